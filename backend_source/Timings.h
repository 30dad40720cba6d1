// The backend's waits in one table: the reader thread's page time-outs by
// resolution, its status poll and its bound on the answer to an abort, how
// often a waiting call looks at the cancel flag, and the bound of an mDNS
// browse.
#pragma once

#include <cstdint>

struct BackendTimings {
    int pageTimeoutLowMs = 10000;    // up to 299 dpi
    int pageTimeoutMidMs = 30000;    // 300 to 600 dpi
    int pageTimeoutHighMs = 120000;  // above 600 dpi
    int statusPollMs = 200;          // between two GetScanStatus polls
    // The reader's bound on the engine's answer to an abort: the engine
    // gives up on an unacknowledged abort after 10 s, with 100-ms reads.
    int abortWaitMs = 12000;
    int cancelCheckMs = 100;   // a call waiting for a page looks at the cancel flag
    int browseBoundMs = 5000;  // a whole mDNS browse, resolvers included
};

// The table in force: the values above; a build with VEXMOR_TEST_HOOKS
// divides each by VEXMOR_TEST_TIME_SCALE (a positive number, read once;
// every wait stays at least 1 ms). Any thread.
const BackendTimings& backend_timings();

// The reader's time-out for a page scanned at dpi.
int page_timeout_ms(const BackendTimings& timings, uint32_t dpi);
