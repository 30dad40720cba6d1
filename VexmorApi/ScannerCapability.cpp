// Predicates over the engine's capability record; its text dump lives with
// the other log texts in diagnostics/.
#include "VexmorApi/ScannerCapability.h"

#include <type_traits>

namespace vscore {

// Copied and cleared as a whole by the capability code.
static_assert(std::is_trivially_copyable_v<VS_SCANNER_CAPABILITY> && std::is_standard_layout_v<VS_SCANNER_CAPABILITY>,
              "the capability record is plain data");

bool VS_SCANNER_CAPABILITY::IsSupportedFittingAutoSize() const { return false; }

bool VS_SCANNER_CAPABILITY::IsDetectedBlankOnPC() const
{
    return blankRemoval.cap == UNSUPPORT && category == DOCUMENTSCANNER;
}

bool VS_SCANNER_CAPABILITY::IsDetectedColorOnPC() const { return false; }

bool VS_SCANNER_CAPABILITY::IsOutsideDevice() const
{
    return commandVersion == CommandVersion_2017 ||
           (category == DOCUMENTSCANNER && commandVersion > CommandVersion_RUSH);
}

}  // namespace vscore
