// Encoders of what a generation-1 device sends: the 72-byte Q answer from a
// record of its fields, framed K/I/E/P answers, and the data units of the
// scan-data stream. Written from the wire tables alone, apart from the
// engine's parsers, so a misread offset shows up as a mismatch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "VexmorApi/Temp/ParseCmdRes_v1.h"

namespace gen1 {

using Bytes = std::vector<uint8_t>;

// ---- Q answer.
// The 72 data bytes of a Q answer.
Bytes EncodeQData(const vscore::QCMDRESPONSE& fields);
// The whole Q answer: C1 00, the length (counting itself), then data (at
// most 254 bytes).
Bytes EncodeQAnswer(const Bytes& data);

// ---- Framed answers.
// K, I, E: the result byte, a 2-byte little-endian length, the data.
Bytes ResultAnswer(uint8_t result, const std::string& data);
// P: a 2-byte little-endian length and the data.
Bytes LengthAnswer(const Bytes& data);

// ---- Scan-data units.
// The added info every unit but a bare status code carries.
struct AddedInfo {
    int16_t page = 1;
    bool marked = false;
    bool hasValue32 = false;  // the long form, with a 32-bit value
    uint32_t value32 = 0;
};
// Line data behind header 0x40-0x7F.
Bytes LineUnit(uint8_t header, const AddedInfo& added, const Bytes& data);
// An all-white line, header 0x00-0x3F.
Bytes WhiteLineUnit(uint8_t header, const AddedInfo& added);
// The page end 0x82.
Bytes PageEndUnit(const AddedInfo& added);
// A status code alone (0x80-0xFF other than 0x82, 0x87, 0x88).
Bytes StatusUnit(uint8_t code);
// 0x88: width and height.
Bytes ImageSizeUnit(const AddedInfo& added, uint32_t width, uint32_t height);
// 0x87: four corners, each x then y.
Bytes CornersUnit(const AddedInfo& added, const uint32_t (&xy)[8]);

}  // namespace gen1
