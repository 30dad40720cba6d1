// Multi-line log texts of the large interface records: the version-1
// capability view, the scan request and its advanced settings.
#pragma once

#include <cstdint>
#include <string>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Static operations only, stateless (any thread); each returns a new string
// and never fails.
class VdSdkScanStructsDescriptor {
public:
    // "{", the sections, "}" without a final line feed. The paper-type list
    // shows paperNum entries, never more than the list holds.
    static std::string GetDescription(const tagVS_SCANNER_CAPABILITY_VER1& capability);
    // "{", the basic lines, the advanced settings, "}" without a final line feed.
    static std::string GetDescription(const VS_SCANNER_PARAMETERS& parameters);
    // The sections of the advanced settings; the last line ends with a line feed.
    static std::string GetAdvancedSettingsString(const tagVS_ADVANCEDSCAN& settings);
    // "{ " and the count values joined by ", ", closed by " }" after the last;
    // only "{ " for count 0. The caller bounds count by its array.
    static std::string GetResolutionListString(const uint32_t* list, uint8_t count);
    // The same frame around paper-type names.
    static std::string GetPaperTypeListString(const PAPERTYPE* list, uint8_t count);
};

}  // namespace vscore
