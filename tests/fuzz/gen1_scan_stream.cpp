// The generation-1 scan-data parser on arbitrary bytes, walked unit by unit
// as a reading thread does. Every pointer it returns must lie inside the
// input, every unit must move forward, and a unit must parse the same when
// the bytes after it are cut away (except a line unit without data bytes,
// which the device never ends its data with and which is awaited as
// incomplete).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "VexmorApi/Temp/ParseExeCmdRes_v1.h"

namespace {

using vscore::CParseExeCmdRes_v1;
using vscore::SCANIMAGEINFO;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input, so reads past its end are caught.
    std::vector<unsigned char> bytes(data, data + size);
    const unsigned char* cursor = bytes.data();
    const unsigned char* const end = bytes.data() + bytes.size();
    while (cursor < end) {
        size_t const remaining = static_cast<size_t>(end - cursor);
        SCANIMAGEINFO info;
        int const result = CParseExeCmdRes_v1::ParseXcmdImageDataInfo(cursor, remaining, &info);
        if (result != 0 || info.needMoreData) {
            break;
        }
        if (info.isLineData && info.lineData.data != nullptr) {
            Check(info.lineData.data > cursor && info.lineData.data + info.lineData.length <= end);
            volatile unsigned char sink = 0;
            for (size_t i = 0; i < info.lineData.length; ++i) {
                sink = sink ^ info.lineData.data[i];
            }
        }
        if (info.lineData.allWhite) {
            Check(info.isLineData && info.lineData.data == nullptr && info.lineData.length == 0);
        }
        if (info.nextUnit == nullptr) {
            break;
        }
        Check(info.nextUnit > cursor && info.nextUnit < end);
        if (info.isLineData && !info.lineData.allWhite && info.lineData.length == 0) {
            cursor = info.nextUnit;
            continue;
        }
        // The unit alone parses the same and ends the bytes.
        size_t const unitSize = static_cast<size_t>(info.nextUnit - cursor);
        std::vector<unsigned char> unit(cursor, info.nextUnit);
        SCANIMAGEINFO alone;
        Check(CParseExeCmdRes_v1::ParseXcmdImageDataInfo(unit.data(), unitSize, &alone) == 0);
        Check(!alone.needMoreData && alone.nextUnit == nullptr);
        Check(alone.statusCode == info.statusCode && alone.isLineData == info.isLineData &&
              alone.lineData.length == info.lineData.length);
        // Any shorter piece of it is incomplete (or, for a bare status code,
        // nothing at all).
        for (size_t cut = 1; cut < unitSize; ++cut) {
            SCANIMAGEINFO part;
            Check(CParseExeCmdRes_v1::ParseXcmdImageDataInfo(unit.data(), cut, &part) == 0);
            Check(part.needMoreData == 1);
        }
        cursor = info.nextUnit;
    }
    return 0;
}
