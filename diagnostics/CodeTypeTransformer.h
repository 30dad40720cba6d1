// Names of the barcode and patch-code kinds, in both directions, for the log
// texts of the scan request and the capability records.
#pragma once

#include <string>

#include "VexmorApi/VexmorApiTypes.h"

// Both classes: static and stateless, any thread; texts are returned by value.
class BarcodeTypeTransformer {
public:
    // The kind's name, "Unknown" for a value that has none.
    static std::string ToString(vscore::BARCODE_TYPE type);
    // The lowest kind whose name equals text exactly (case-sensitive); 0 when
    // none does.
    static vscore::BARCODE_TYPE FromString(const std::string& text);
};

class PatchcodeTypeTransformer {
public:
    // The same for patch-code kinds.
    static std::string ToString(vscore::PATCHCODE_TYPE type);
    static vscore::PATCHCODE_TYPE FromString(const std::string& text);
};
