// The waits of the replay mock in one small table. It stands apart from the
// reading threads' timing table for now; that table can take these fields
// over, and the engine then hands the mock its part of it.
#pragma once

namespace vscore {

// Passed by value to DeviceAccessMock (and through it to each ScannerMock);
// every mock keeps its own copy.
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

}  // namespace vscore
