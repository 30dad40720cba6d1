// The SANE status a front end gets for a result code: one table, keyed by
// the engine's result codes and the backend's own few, for every status
// that sane_open, sane_start and sane_read give back.
#pragma once

#include <sane/sane.h>

#include <cstdint>

// What the backend finds itself, in the engine's code layout (class 4 or
// 1, layer 0xF00, which the engine does not use).
constexpr uint32_t kStatusPageTimedOut = 0x40F00001;      // the reader gave up waiting for a page
constexpr uint32_t kStatusPageInconsistent = 0x40F00002;  // a page record that does not describe its pixels
constexpr uint32_t kStatusNoPageAtAll = 0x10F00003;       // the job ended without handing over any page

// The status for a failure code (0 gives GOOD), logged with its meaning.
// Any thread.
SANE_Status sane_status_of(uint32_t code);
