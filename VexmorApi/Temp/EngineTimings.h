// Every wait of the scan engine's reading threads in one table. The defaults
// are the shipped values; tests hand a reading thread a shortened copy so
// that silent devices do not cost minutes. Times the device announces (its
// timer events) are never scaled: they are used as sent.
#pragma once

namespace vscore {

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
};

}  // namespace vscore
