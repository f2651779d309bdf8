// The browse entry of the control library: a Qt application around one
// archive browser window on `archive` ("" for none), returning when the
// window has closed. 0 when it ran and closed; 1 when no window opened or the
// application failed, with the reason in `errorText` (NUL-terminated, cut to
// `errorTextSize`) when there is one.
#pragma once

#include "platform/Export.h"

extern "C" PACKWELL_API int PackwellBrowse(const char* archive, char* errorText, int errorTextSize);
