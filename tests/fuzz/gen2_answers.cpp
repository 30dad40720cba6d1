// Feeds arbitrary answer data to the six generation-2 entry points of the
// answer front (QDI, GKP, palette, SSP, GCP, GDS): short values, lengths past
// the end, trailing bytes. The data lies in a block of exactly its size, so
// any read past it is caught. A colour profile handed back must be bytes of
// the answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "VexmorApi/Temp/ScanCmdRes.h"

namespace {

struct Generation2 {
    vscore::SCANCMD_GENERATION GetCmdGeneration() const { return vscore::SCANCMD_2ND_GENERATION; }
};

void CheckProfile(std::vector<unsigned char> const& profile, const unsigned char* data, size_t size)
{
    if (profile.empty()) {
        return;
    }
    if (profile.size() > size || std::search(data, data + size, profile.begin(), profile.end()) == data + size) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    std::unique_ptr<unsigned char[]> data(new unsigned char[size == 0 ? 1 : size]);
    if (size > 0) {
        std::memcpy(data.get(), input, size);
    }
    long const length = static_cast<long>(size);

    vscore::VS_SCANNER_CAPABILITY capability;
    vscore::ClearRecord(&capability);
    capability.cmdGeneration = vscore::SCANCMD_2ND_GENERATION;
    // A device on which a business card turns upright.
    capability.category = vscore::DOCUMENTSCANNER;
    capability.cardSizeOrientation.capAdf = vscore::SUPPORT;
    capability.cardSizeOrientation.orientAdf = vscore::VERTICAL;

    vscore::_SCANCMD_DEVICECAP_INFO query;
    query.generation = vscore::SCANCMD_2ND_GENERATION;
    query.length = static_cast<int>(size);
    query.data = data.get();
    vscore::_SCANCMD_RESPONSE_INFO response{static_cast<int>(size), data.get()};

    vscore::CScanCmdRes front;
    vscore::VS_SCANNER_CAPABILITY parsed = front.ParseDeviceInfoData(&query, nullptr);
    if (parsed.cmdGeneration != vscore::SCANCMD_2ND_GENERATION) {
        std::abort();
    }
    front.ParseDeviceKeyInfoData(&response, capability);
    front.ParseColorPaletteData(data.get(), length, capability);
    front.ParseActualParameterData(&response, capability);
    vscore::_GCPCMDRESPONSE profiles = front.ParsePDFaColorProfileData(data.get(), length, capability);
    CheckProfile(profiles.firstProfile, data.get(), size);
    CheckProfile(profiles.secondProfile, data.get(), size);
    front.ParsePaperSizeDetectedData(&response, vscore::ACTUALSCANPARAM{}, vscore::MM, Generation2{});
    return 0;
}
