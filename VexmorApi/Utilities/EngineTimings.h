// Every wait of the scan engine in one table: the reading threads' and the
// replay mock's. The defaults are the shipped values; tests hand a reading
// thread or a mock a shortened copy so that silent devices do not cost
// minutes. Times the device announces (its timer events) are never scaled:
// they are used as sent.
#pragma once

namespace vscore {

// The replay mock's part, passed by value to DeviceAccessMock (and through it
// to each ScannerMock); every mock keeps its own copy.
struct MockTimings {
    // A recorded "remaining time" block (status 0x52) pauses the replay this
    // long, as a device waiting for the next document does.
    unsigned long pacingMs = 3000;
    // An open cover repeats its notice after this long.
    unsigned long coverMs = 10000;
    // While nothing can be delivered, a receive looks again this often until
    // its time-out has passed.
    unsigned long pollMs = 10;
};

// Passed by value to CReadThread_base (constructor or SetTimings before
// Start); the reading thread keeps its own copy.
struct EngineTimings {
    // How long the receive loop waits for data before the scan times out,
    // until an abort or finish command is sent or the scan is terminated.
    long readTimeoutMs = 90000;
    // The same wait once an abort or finish command was sent or the scan
    // was terminated.
    long shortReadTimeoutMs = 10000;
    // One receive try waits this long; the loop makes readTimeoutMs /
    // receiveTryMs tries (900 with the defaults) before it gives up.
    long receiveTryMs = 100;
    // An abort or finish command not acknowledged by the device for longer
    // than this ends the scan as cancelled.
    long abortAckTimeoutMs = 10000;
    // Each status query of the caller sleeps this long, which paces its
    // polling.
    unsigned long statusPollSleepMs = 100;
    // Between the end of an edge pre-scan and the scan command that scans
    // the page itself.
    unsigned long rescanDelayMs = 1000;
    // Between two status polls of the scan process's wait for a status.
    unsigned long xferStatusPollMs = 100;
    // The engine hands this part to the replay mocks it makes.
    MockTimings mock;
    // Not a wait: pages processed at once, fixed for benchmarks of the
    // whole pipeline; 0 leaves the choice to PagesInFlight.
    unsigned pagesInFlight = 0;
};

}  // namespace vscore
