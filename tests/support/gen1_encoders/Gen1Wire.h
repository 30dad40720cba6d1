// Encoders of what a generation-1 device sends: the 72-byte Q answer from a
// record of its fields, framed K/I/E/P answers, and the data units of the
// scan-data stream. Written from the wire tables alone, apart from the
// engine's parsers, so a misread offset shows up as a mismatch. Includes no
// engine header: the scanner simulator builds on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gen1 {

using Bytes = std::vector<uint8_t>;

// ---- Q answer.
// The fields of the 72-byte Q layout, named as the engine's record names
// them; the comment gives the wire offset.
struct QFields {
    uint8_t CommandVersion = 0;     // 0
    uint8_t Reserved1 = 0;          // 1
    uint8_t ColorType = 0;          // 2
    uint16_t Reserved3 = 0;         // 3
    uint16_t Reserved5 = 0;         // 5
    uint16_t Reserved7 = 0;         // 7
    uint8_t Reserved9[4] = {};      // 9-12
    uint8_t FbPositionX = 0;        // 13
    uint8_t FbPositionY = 0;        // 14
    uint8_t AdfPositionX = 0;       // 15
    uint8_t AdfPositionY = 0;       // 16
    uint8_t Feature = 0;            // 17
    uint8_t DeviceKind = 0;         // 18
    uint8_t MultiFeed = 0;          // 19
    uint8_t CarrierSheet = 0;       // 20
    uint8_t Reserved21[4] = {};     // 21-24
    uint8_t Panel = 0;              // 25
    uint8_t BackgroundRemoval = 0;  // 26
    uint16_t FbMaxX = 0;            // 27
    uint16_t FbMaxY = 0;            // 29
    uint16_t SimMaxX = 0;           // 31
    uint16_t SimMaxY = 0;           // 33
    uint16_t DupMaxX = 0;           // 35
    uint16_t DupMaxY = 0;           // 37
    uint16_t SimMinX = 0;           // 39
    uint16_t SimMinY = 0;           // 41
    uint16_t DupMinX = 0;           // 43
    uint16_t DupMinY = 0;           // 45
    uint16_t MarginX = 0;           // 47
    uint16_t MarginY = 0;           // 49
    uint8_t Landscape = 0;          // 51
    uint8_t CardPositionX = 0;      // 52
    uint8_t CardPositionY = 0;      // 53
    uint16_t FbResoX = 0;           // 54
    uint16_t FbResoY = 0;           // 56
    uint16_t SimResoX = 0;          // 58
    uint16_t SimResoY = 0;          // 60
    uint16_t DupResoX = 0;          // 62
    uint16_t DupResoY = 0;          // 64
    uint8_t ScanEvent = 0;          // 66
    uint16_t AdfCapacity = 0;       // 67
    uint8_t Reserved69 = 0;         // 69
    uint8_t Reserved70 = 0;         // 70
    uint8_t Compression = 0;        // 71
};

// The 72 data bytes of a Q answer from any record with the members of
// QFields (QFields itself, or the engine's record of the same layout).
template <typename Q>
Bytes EncodeQData(const Q& q)
{
    Bytes out(72, 0);
    auto put8 = [&out](size_t offset, uint8_t value) { out.at(offset) = value; };
    auto put16 = [&out](size_t offset, uint16_t value) {
        out.at(offset) = static_cast<uint8_t>(value);
        out.at(offset + 1) = static_cast<uint8_t>(value >> 8);
    };
    put8(0, q.CommandVersion);
    put8(1, q.Reserved1);
    put8(2, q.ColorType);
    put16(3, q.Reserved3);
    put16(5, q.Reserved5);
    put16(7, q.Reserved7);
    for (size_t i = 0; i < 4; ++i) {
        put8(9 + i, q.Reserved9[i]);
        put8(21 + i, q.Reserved21[i]);
    }
    const uint8_t bytes13to20[] = {q.FbPositionX, q.FbPositionY, q.AdfPositionX, q.AdfPositionY,
                                   q.Feature,     q.DeviceKind,  q.MultiFeed,    q.CarrierSheet};
    for (size_t i = 0; i < 8; ++i) {
        put8(13 + i, bytes13to20[i]);
    }
    put8(25, q.Panel);
    put8(26, q.BackgroundRemoval);
    const uint16_t words27to49[] = {q.FbMaxX,  q.FbMaxY,  q.SimMaxX, q.SimMaxY, q.DupMaxX, q.DupMaxY,
                                    q.SimMinX, q.SimMinY, q.DupMinX, q.DupMinY, q.MarginX, q.MarginY};
    for (size_t i = 0; i < 12; ++i) {
        put16(27 + 2 * i, words27to49[i]);
    }
    put8(51, q.Landscape);
    put8(52, q.CardPositionX);
    put8(53, q.CardPositionY);
    const uint16_t words54to64[] = {q.FbResoX, q.FbResoY, q.SimResoX, q.SimResoY, q.DupResoX, q.DupResoY};
    for (size_t i = 0; i < 6; ++i) {
        put16(54 + 2 * i, words54to64[i]);
    }
    put8(66, q.ScanEvent);
    put16(67, q.AdfCapacity);
    put8(69, q.Reserved69);
    put8(70, q.Reserved70);
    put8(71, q.Compression);
    return out;
}

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
