// The generation-1 answer parsers (Q, K, I, E, P) on arbitrary bytes. The
// first byte picks the parser; the Q parser also gets table-file values.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "VexmorApi/Temp/ParseCmdRes_v1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    uint8_t const selector = data[0];
    // A copy of exactly the answer, so reads past its end are caught.
    std::vector<unsigned char> answer(data + 1, data + size);
    unsigned char* bytes = answer.empty() ? nullptr : answer.data();
    long const length = static_cast<long>(answer.size());
    vscore::CParseCmdRes_v1 parser;
    switch (selector % 6) {
    case 0:
        parser.ParseDeviceInfoResponse(bytes, length, nullptr);
        break;
    case 1: {
        auto overrides = std::make_unique<vscore::ExternalCapability>();
        overrides->deviceScanSizeMax = vscore::DEVICESCANSIZES{};
        overrides->marginSize = vscore::AXIS{selector, selector};
        overrides->givenKeys = selector * 0x0123u;
        parser.ParseDeviceInfoResponse(bytes, length, std::move(overrides));
        break;
    }
    case 2:
        parser.ParseDeviceKeyInfoResponse(bytes, length);
        break;
    case 3:
        parser.ParseActualParameterResponse(bytes, length);
        break;
    case 4:
        parser.ParsePaperSizeDetectResponse(bytes, length);
        break;
    default: {
        auto palette = parser.ParseColorPaletteResponse(bytes, length);
        if (palette.count < 0 || palette.count > 257 || static_cast<long>(palette.count) * 4 > length) {
            std::abort();
        }
        break;
    }
    }
    return 0;
}
