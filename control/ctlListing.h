// The control's listing record, as hosts include it beside ctlPackwell.h.
// The record itself lives with the shared value types in platform/, so the
// dispatch value that carries it can be used below the control too.
#pragma once

#include "platform/ctlListing.h"
