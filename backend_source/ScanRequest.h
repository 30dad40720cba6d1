// The scan request of a job: the engine's scan-parameter record filled from
// the handle's options and device-capability copy, in named steps (resolution
// and colour, source and duplex, paper limits, alignment, margins,
// enhancement), with the push-scan decision and the margin trace.
#pragma once

#include <sane/sane.h>

#include "VexmorApi/VexmorApiTypes.h"
#include "backend_source/My_Scanner.h"

// What the job start learnt besides the options: whether a push scan is
// asked for, the engine's push-scan record (null when it gave none) and
// whether a document lies in the feeder.
struct JobInputs {
    bool push = false;
    const PushScanKeyInfo* pushInfo = nullptr;
    bool adfInserted = false;
};

// The push-scan decision of a job start (the settings SKEYAPP and
// SKEYDSENABLE, the calling program, the device's feeder and category),
// with its log line. Front end's thread.
bool push_scan_wanted(const DEVCAP* dc);

// Fills the zeroed scan request p from the handle's options and
// device-capability copy (push duplex may change the selected source).
// GOOD, or INVAL for an unknown resolution or mode, an area beyond the
// device or one that the margins leave empty. Any thread; writes only p and
// s->devcap->sourceSelected.
SANE_Status fill_scan_parameters(My_Scanner* s, const JobInputs& inputs, vscore::VS_SCANNER_PARAMETERS* p);

// Writes the request to the debug log, one line per field. Any thread.
void log_scan_request(const vscore::VS_SCANNER_PARAMETERS& p);

// The margin trace on standard error (on while the debug log is on).
void scan_set_margin_trace(bool on);
