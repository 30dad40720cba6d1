// For the replay mock's tests: command frames as the engine writes them and
// the mock's waits, shortened so a pause can be watched or made endless.
#pragma once

#include <string>

#include "VexmorApi/Utilities/EngineTimings.h"
#include "tests/support/mock_recording/MockRecording.h"

namespace mocktest {

using mock_recording::Bytes;

// ESC, the letters, LF, the lines, 0x80.
inline Bytes Frame(const std::string& command, const std::string& lines = "")
{
    Bytes frame{0x1B};
    frame.insert(frame.end(), command.begin(), command.end());
    frame.push_back('\n');
    frame.insert(frame.end(), lines.begin(), lines.end());
    frame.push_back(0x80);
    return frame;
}

// Waits short enough to watch a pause end within a test.
inline vscore::MockTimings Quick()
{
    vscore::MockTimings t;
    t.pacingMs = 300;
    t.coverMs = 600;
    t.pollMs = 5;
    return t;
}

// Waits that never end within a test.
inline vscore::MockTimings Endless()
{
    vscore::MockTimings t;
    t.pacingMs = 600000;
    t.coverMs = 600000;
    return t;
}

}  // namespace mocktest
