// The library's boundary: everything is compiled with hidden visibility, and
// only what carries PACKWELL_API is exported from the control library. It
// marks what hosts may use; everything else may change between releases.
#pragma once

#define PACKWELL_API __attribute__((visibility("default")))
