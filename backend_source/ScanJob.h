// A SANE scan job: the first sane_start of a handle starts the engine's scan
// and a reader thread that queues the pages the engine hands over, at most
// one ahead of the page the front end reads; each
// sane_start moves to the next page, sane_read copies its lines out, and the
// job ends when the handle is cancelled and used again, closed or the
// backend exits.
#pragma once

#include <sane/sane.h>

#include <cstdint>

#include "VexmorApi/VexmorApiTypes.h"
#include "backend_source/My_Scanner.h"

// sane_start: starts the job when the handle has none (ending a cancelled
// one first), gives the previous page back and waits for the next page to
// deliver. GOOD with a page; NO_DOCS when no page is left, also when the job
// ended without any; CANCELLED when sane_cancel came while starting or
// waiting; otherwise the status of the failure (SaneStatus.h). DEVICE_BUSY
// while another handle's job runs. Front end's thread.
SANE_Status scan_start(My_Scanner* s);
// sane_read: copies lines of the current page into buf, whole lines when
// one fits, else a part of the line. *len is 0 unless GOOD. EOF after the
// page's last byte. Front end's thread.
SANE_Status scan_read(My_Scanner* s, SANE_Byte* buf, SANE_Int max, SANE_Int* len);
// sane_cancel: only sets the handle's cancel flag (no lock, no I/O, no
// allocation), so a signal handler on any thread may call it. Within one
// poll the reader asks the engine to abort the scan, so the device stops
// feeding, and gives every page that still arrives back; a waiting or later
// sane_start or sane_read of the job gives CANCELLED, sane_get_parameters
// gives the options' estimate, and the next sane_start ends the job and
// begins a new one.
void scan_cancel(My_Scanner* s);
// Ends the handle's job: the reader aborts the scan as for a cancel, is
// waited for (at most until the engine gives up on the device's
// acknowledgement), every queued page goes back once and the job is freed.
// A reader that gave the scan up on its page time-out has asked the engine
// to abort it and ended at once; the engine's own scan then ends before its
// next command reaches the device (the next job's first engine call waits
// for it, as long as the acknowledgement time-out at most). A handle
// without a job is left as it is. Front end's thread.
void scan_end_job(My_Scanner* s);
// The handle whose job is running, null when none; one engine serves all.
My_Scanner* scan_job_owner();
