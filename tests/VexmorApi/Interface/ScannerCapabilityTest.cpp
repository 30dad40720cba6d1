// Predicates of the capability record that decide where blank pages are
// detected and which devices count as outside devices.
#include <gtest/gtest.h>

#include <cstring>

#include "VexmorApi/ScannerCapability.h"

namespace {

using namespace vscore;

TEST(ScannerCapability, Predicates)
{
    struct Case {
        DEVICECATEGORY category;
        int32_t commandVersion;
        CAPSUPPORT blankCap;
        bool outside;
        bool blankOnPc;
    };
    const Case cases[] = {
        {LASER, 0, UNKNOWN, false, false},  // a cleared record
        {DOCUMENTSCANNER, 267, SUPPORT, true, false},
        {DOCUMENTSCANNER, 266, UNSUPPORT, false, true},
        {DOCUMENTSCANNER, 0x7FFFFFFF, UNKNOWN, true, false},
        {DOCUMENTSCANNER, -1, UNSUPPORT, false, true},
        {LASER, 13, UNSUPPORT, true, false},
        {INK, 13, UNKNOWN, true, false},
        {HERON, 13, UNSUPPORT, true, false},
        {DOCUMENTSCANNER, 13, SUPPORT, true, false},
        {INK, 267, UNSUPPORT, false, false},
        {HERON, 300, SUPPORT, false, false},
        {DOCUMENTSCANNER, 12, CAPSUPPORT(3), false, false},
    };
    for (const Case& c : cases) {
        VS_SCANNER_CAPABILITY capability;
        std::memset(&capability, 0, sizeof capability);
        capability.category = c.category;
        capability.commandVersion = static_cast<CommandVersion>(c.commandVersion);
        capability.blankRemoval.cap = c.blankCap;
        SCOPED_TRACE(testing::Message() << "category " << c.category << ", version " << c.commandVersion
                                        << ", blank cap " << c.blankCap);
        EXPECT_EQ(c.outside, capability.IsOutsideDevice());
        EXPECT_EQ(c.blankOnPc, capability.IsDetectedBlankOnPC());
        EXPECT_FALSE(capability.IsSupportedFittingAutoSize());
        EXPECT_FALSE(capability.IsDetectedColorOnPC());
    }
}

}  // namespace
