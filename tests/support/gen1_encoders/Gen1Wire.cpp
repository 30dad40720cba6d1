// Generation-1 answer and scan-data encoders.
#include "tests/support/gen1_encoders/Gen1Wire.h"

#include <stdexcept>

namespace gen1 {

namespace {

void Append16(Bytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void AppendAddedInfo(Bytes& out, const AddedInfo& added)
{
    Append16(out, added.hasValue32 ? 7 : 3);
    Append16(out, static_cast<uint16_t>(added.page));
    out.push_back(added.marked ? 0x85 : 0x00);
    if (added.hasValue32) {
        Append32(out, added.value32);
    }
}

}  // namespace

Bytes EncodeQAnswer(const Bytes& data)
{
    if (data.size() > 254) {
        throw std::invalid_argument("a Q answer carries at most 254 data bytes");
    }
    Bytes out{0xC1, 0x00, static_cast<uint8_t>(data.size() + 1)};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes ResultAnswer(uint8_t result, const std::string& data)
{
    Bytes out{result};
    Append16(out, static_cast<uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes LengthAnswer(const Bytes& data)
{
    Bytes out;
    Append16(out, static_cast<uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes LineUnit(uint8_t header, const AddedInfo& added, const Bytes& data)
{
    if (header < 0x40 || header > 0x7F || data.size() > 0xFFFF) {
        throw std::invalid_argument("not a line-data unit");
    }
    Bytes out{header};
    AppendAddedInfo(out, added);
    Append16(out, static_cast<uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes WhiteLineUnit(uint8_t header, const AddedInfo& added)
{
    if (header > 0x3F) {
        throw std::invalid_argument("not an all-white line");
    }
    Bytes out{header};
    AppendAddedInfo(out, added);
    return out;
}

Bytes PageEndUnit(const AddedInfo& added)
{
    Bytes out{0x82};
    AppendAddedInfo(out, added);
    return out;
}

Bytes StatusUnit(uint8_t code)
{
    if (code < 0x80 || code == 0x82 || code == 0x87 || code == 0x88) {
        throw std::invalid_argument("not a bare status code");
    }
    return Bytes{code};
}

Bytes ImageSizeUnit(const AddedInfo& added, uint32_t width, uint32_t height)
{
    Bytes out{0x88};
    AppendAddedInfo(out, added);
    Append16(out, 0);
    Append32(out, width);
    Append32(out, height);
    return out;
}

Bytes CornersUnit(const AddedInfo& added, const uint32_t (&xy)[8])
{
    Bytes out{0x87};
    AppendAddedInfo(out, added);
    Append16(out, 0);
    for (uint32_t value : xy) {
        Append32(out, value);
    }
    return out;
}

}  // namespace gen1
