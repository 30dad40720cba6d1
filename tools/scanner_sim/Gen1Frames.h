// A reader of the generation-1 command frames (ESC, one letter, LF, lines,
// 0x80) written from the device's key tables: D and S carry the paper-source
// word alone, I, E and X one-letter keys in a fixed order. Strict like the
// generation-2 reader: an unknown word, a key out of order, a number in any
// other form than plain decimal is an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace scanner_sim {

struct Gen1Frame {
    char command = 0;
    std::vector<std::string> lines;  // without their LF
};

// Splits one frame; false, with a reason, for anything but ESC, an
// upper-case letter, LF, text lines each ended by LF, and the final 0x80.
bool SplitGen1Frame(const uint8_t* data, size_t size, Gen1Frame& frame, std::string& error);

// What a D, S, I, E or X frame asks. Codes: source 0 AUTO, 1 ADF, 2 FB;
// color 0 TEXT, 1 ERRDIF, 2 GRAY256, 3 C256, 4 CGRAY; compression 1 NONE,
// 2 RLENGTH, 3 JPEG; scan type 0 NORMAL_SCAN, 1 SKEW_ADJUST, 2 CORNER_SCAN,
// 3 AUTO_SIZE_SCAN, 4 EDGE_SCAN, 5 ORIGINAL_SCAN.
struct Gen1Request {
    uint32_t source = 0;
    uint32_t resX = 0, resY = 0;
    uint32_t color = 4;
    uint32_t compression = 1;
    bool jpegMin = false;
    int32_t brightness = 0, contrast = 0;  // as sent: the engine's value + 50
    uint32_t area[4] = {0, 0, 0, 0};       // x1, y1, x2, y2
    bool duplex = false;
    uint32_t scanType = 0;
    uint32_t singlePage = 0;  // P
    uint32_t extra = 0;       // E
    uint32_t ground = 0;      // G
    int32_t groundLevel = 0;  // L
};

// Reads the lines of frame for its command into request (fields the
// command does not carry keep their values).
bool ReadGen1Request(const Gen1Frame& frame, Gen1Request& request, std::string& error);

}  // namespace scanner_sim
