// The backend hands the engine records pre-filled with 0xFE; whatever the
// engine clears must come back zero in every byte, padding included.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "VexmorApi/RecordLayout.h"
#include "VexmorApi/ScannerCapability.h"

namespace {

template <class Record>
std::size_t NonZeroBytes(const Record& record)
{
    unsigned char bytes[sizeof(Record)];
    std::memcpy(bytes, &record, sizeof bytes);
    std::size_t count = 0;
    for (unsigned char byte : bytes) {
        count += byte != 0;
    }
    return count;
}

template <class Record>
void ExpectClearingOverwritesPattern(const char* name, std::size_t size)
{
    SCOPED_TRACE(name);
    ASSERT_EQ(size, sizeof(Record));
    Record record;
    std::memset(static_cast<void*>(&record), 0xFE, sizeof record);
    vscore::ClearRecord(&record);
    EXPECT_EQ(0u, NonZeroBytes(record));

    // Assigning a value-initialised record must clear as much: with every
    // padding byte a member, there is no byte the copy may skip.
    std::memset(static_cast<void*>(&record), 0xFE, sizeof record);
    record = Record{};
    EXPECT_EQ(0u, NonZeroBytes(record));
}

#define VEXMOR_CLEAR_CASE(R, size, ROWS) ExpectClearingOverwritesPattern<R>(#R, size);

TEST(InterfaceRecords, ClearingOverwritesEveryByteOfAPrefilledRecord){VEXMOR_INTERFACE_RECORDS(VEXMOR_CLEAR_CASE)}

TEST(InterfaceRecords, ClearedCapabilityRecordIsAllUnknown)
{
    vscore::VS_SCANNER_CAPABILITY capability;
    std::memset(static_cast<void*>(&capability), 0xFE, sizeof capability);
    vscore::ClearRecord(&capability);
    EXPECT_EQ(0u, NonZeroBytes(capability));
    EXPECT_EQ(vscore::SCANCMD_GENERATION_UNKNOWN, capability.cmdGeneration);
    EXPECT_EQ(vscore::LASER, capability.category);
    EXPECT_EQ(vscore::UNKNOWN, capability.blankRemoval.cap);
    EXPECT_EQ(vscore::UNKNOWN, capability.multifeedDetect.detectionLevel.cap);
}

}  // namespace
