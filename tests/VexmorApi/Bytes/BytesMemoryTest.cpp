// Heap byte container: the growth rule, failures that leave the container as
// it was, sources inside the own block, and appends against a plain vector.
#include "VexmorApi/Bytes/BytesMemory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr uint64_t MiB = 0x100000;

std::vector<unsigned char> Contents(BytesMemory& bytes)
{
    return std::vector<unsigned char>(bytes.GetBytesPointer(), bytes.GetBytesPointer() + bytes.GetByteSize());
}

TEST(BytesMemory, GrowthRuleStepsByCapacityThenBy128MiB)
{
    struct Case {
        uint64_t capacity, needed, grown;
    } const cases[] = {
        {0, 10, 0x100000},                      // empty: one 1 MiB step
        {4 * MiB, 4 * MiB + 1, 8 * MiB},        // step = the capacity
        {300 * MiB, 700 * MiB, 0x32C00000},     // 600 MiB >= 512 MiB: shortfall 400 MiB -> 512 MiB
        {600 * MiB, 601 * MiB, 728 * MiB},      // first step already large: 1 MiB -> 128 MiB
        {MiB / 2, 3 * MiB, 3 * MiB + MiB / 2},  // three 1 MiB steps
        {MiB, MiB, MiB},                        // fits
        {0xF0000000, 0xF8000001, 0x100000000},  // beyond 32 bits: reported, not wrapped
    };
    for (Case const& c : cases) {
        EXPECT_EQ(GrowBytesCapacity(static_cast<uint32_t>(c.capacity), c.needed), c.grown) << c.capacity;
    }
}

TEST(BytesMemory, FailedAllocationKeepsBlockSizeAndBytes)
{
    unsigned char const start[] = {1, 2, 3, 4};
    BytesMemory bytes(4u, const_cast<unsigned char*>(start), BytesMemory::Copy);
    unsigned char* const block = bytes.GetBytesPointer();
    unsigned char const more[10] = {};

    BytesAllocator const previous = SetBytesAllocator([](size_t) -> void* { return nullptr; });
    try {
        bytes.AppendBytes(sizeof more, more);
        ADD_FAILURE() << "growth with a failing allocator must throw";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetType(), Exception::FailedToAllocateMemory);
        EXPECT_EQ(e.GetMessage(), "Failed to allocate 1,048,580 bytes.");  // 4 + one 1 MiB step
        EXPECT_EQ(e.GetVSRSLT(), 0x30402001u);
    }
    EXPECT_THROW(bytes.SetBytes(sizeof more, more), Exception);
    EXPECT_THROW(make_unique_bytes(1), Exception);
    SetBytesAllocator(previous);
    EXPECT_EQ(bytes.GetBytesPointer(), block);
    EXPECT_EQ(bytes.GetCapacity(), 4u);
    EXPECT_EQ(Contents(bytes), std::vector<unsigned char>(start, start + 4));

    // A container that claims almost 4 GiB over a tiny block: the total is
    // refused before any byte is copied.
    BytesMemory huge(0xFFFFFFF0u, static_cast<unsigned char*>(std::malloc(16)), BytesMemory::Adopt);
    try {
        huge.AppendBytes(32, more);
        ADD_FAILURE() << "a total above 4 GiB must throw";
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetMessage(), "Failed to allocate 4,294,967,312 bytes.");
    }
    EXPECT_EQ(huge.GetByteSize(), 0xFFFFFFF0u);
}

TEST(BytesMemory, SourcesInsideTheOwnBlockStayValid)
{
    unsigned char pattern[] = {10, 20, 30, 40, 50};
    BytesMemory bytes(5u, pattern, BytesMemory::Copy);
    bytes.AppendBytes(5, bytes.GetBytesPointer());  // grows while reading the old block
    EXPECT_EQ(Contents(bytes), (std::vector<unsigned char>{10, 20, 30, 40, 50, 10, 20, 30, 40, 50}));
    bytes.SetBytes(8, bytes.GetBytesPointer() + 2);  // overlapping move
    EXPECT_EQ(Contents(bytes), (std::vector<unsigned char>{30, 40, 50, 10, 20, 30, 40, 50}));
    bytes.ShrinkCapacityToFit();
    EXPECT_EQ(bytes.GetCapacity(), 8u);
    bytes.ExpandCapacity(64);
    EXPECT_EQ(Contents(bytes), (std::vector<unsigned char>{30, 40, 50, 10, 20, 30, 40, 50}));
}

TEST(BytesMemory, RandomAppendsMatchAPlainVector)
{
    std::mt19937 random(42);
    BytesMemory bytes(0u);
    std::vector<unsigned char> reference;
    for (int round = 0; round < 100; ++round) {
        std::vector<unsigned char> chunk(random() % 40000, static_cast<unsigned char>(round));
        bytes.AppendBytes(static_cast<unsigned>(chunk.size()), chunk.data());
        reference.insert(reference.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(Contents(bytes), reference);
    EXPECT_GE(bytes.GetCapacity(), bytes.GetByteSize());
}

}  // namespace
