// Every reader of the BER codec on arbitrary octets, in an order the input
// chooses: reads stay inside the area, counts match the cursor's movement,
// and INTEGER and OBJECT IDENTIFIER values survive re-encoding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "devaccess/net/CTBERformat.h"

using vdtcl::CTBERformat;
using vdtcl::TTString;

namespace {

void Check(bool ok)
{
    if (!ok) {
        abort();
    }
}

// Re-encodes a decoded value and reads it back.
void CheckInteger(int value)
{
    CTBERformat ber;
    int index = -1;
    int size = ber.CreateOctetsInteger(index, value);
    Check(size >= 3 && size <= 6);
    Check(ber.SetMemInfoToDecode(ber.GetOctetsMemoryPtr(index), size));
    int again = ~value;
    Check(ber.GetOctetsInteger(again) == size && again == value);
}

void CheckObjectId(const TTString<char>& text)
{
    CTBERformat ber;
    int index = -1;
    int size = ber.CreateOctetsObjectId(index, text.C_str());
    if (size == 0) {
        return;  // first arcs the decoder reads from one octet but the encoder refuses
    }
    Check(ber.SetMemInfoToDecode(ber.GetOctetsMemoryPtr(index), size));
    TTString<char> again;
    Check(ber.GetOctetsObjectId(again) == size && again.Compare(text) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 1 << 16) {
        return 0;
    }
    // The first octets choose the readers; the rest is the area.
    const size_t programSize = 1 + data[0] % 16;
    if (size <= programSize + 1) {
        return 0;
    }
    const uint8_t* program = data + 1;
    std::vector<unsigned char> area(data + 1 + programSize, data + size);  // exactly sized
    const unsigned char* start = area.data();
    const unsigned char* end = start + area.size();

    CTBERformat ber;
    Check(ber.SetMemInfoToDecode(start, static_cast<int>(area.size())));
    for (size_t step = 0; step < 64; ++step) {
        const unsigned char* before = ber.GetCurrMemPtrToDecode();
        Check(before >= start && before <= end);
        const uint8_t op = program[step % programSize];
        int count = 0;
        int length = -1;
        int value = 0;
        unsigned char type = 0;
        TTString<char> text;
        std::string octets;
        switch (op % 10) {
        case 0:
            count = ber.GetOctetsSequence(length);
            Check(count == 0 || (length >= 0 && length <= end - ber.GetCurrMemPtrToDecode()));
            break;
        case 1:
            count = ber.GetOctetsCommand(type, length);
            Check(count == 0 || (type < 32 && length >= 0 && length <= end - ber.GetCurrMemPtrToDecode()));
            break;
        case 2:
            count = ber.GetOctetsInteger(value);
            if (count > 0) {
                CheckInteger(value);
            }
            break;
        case 3:
            count = ber.GetOctetsString(text);
            break;
        case 4:
            count = ber.GetOctetsString(octets);
            if (count > 0) {
                TTString<char> mac =
                    CTBERformat::ConvertToMacAddr(reinterpret_cast<const unsigned char*>(octets.data()), octets.size(),
                                                  static_cast<CTBERformat::macaddr_separat_t>(op % 3));
                Check(octets.empty() == mac.IsEmpty() || mac.Length() == TTString<char>::kMaxLength);
            }
            break;
        case 5:
            count = ber.GetOctetsIpAddr4(text);
            // Type, a length field of 1 to 5 octets (the long form is legal), 4 octets.
            Check(count == 0 || (count >= 6 && count <= 10));
            break;
        case 6:
            count = ber.GetOctetsObjectId(text);
            if (count > 0) {
                CheckObjectId(text);
            }
            break;
        case 7:
            count = ber.SkipOctetsData();
            break;
        case 8: {
            int fieldCount = 0;
            if (ber.DecodeLengthField(length, fieldCount)) {
                Check(fieldCount >= 1 && fieldCount <= 5 && length <= end - ber.GetCurrMemPtrToDecode());
                count = fieldCount;
            }
            break;
        }
        default:
            // Jump somewhere, possibly just outside the area.
            ber.MoveMemPtrToDecode(start + (op * 7u) % (area.size() + 1));
            Check(ber.GetOctetsType() == 0xFFFFFFFFu || ber.CheckPtrToDecode(ber.GetCurrMemPtrToDecode(), 1));
            continue;
        }
        const unsigned char* after = ber.GetCurrMemPtrToDecode();
        Check(after >= start && after <= end);
        if (count > 0) {
            Check(after - before == count);
        } else {
            // A failed read leaves the message unusable; start again somewhere else.
            ber.MoveMemPtrToDecode(start + step % area.size());
        }
    }
    return 0;
}
