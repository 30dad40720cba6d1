// Test helper: a device answer copied into a heap block of exactly its size,
// so the address sanitizer reports any read past its last byte, and handed
// to the answer front as the copied-answer records do.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "VexmorApi/Temp/ScanCmdRes.h"

class AnswerBuffer {
public:
    explicit AnswerBuffer(std::vector<uint8_t> const& bytes)
        : size_(bytes.size()), data_(new unsigned char[bytes.empty() ? 1 : bytes.size()])
    {
        if (!bytes.empty()) {
            std::memcpy(data_.get(), bytes.data(), bytes.size());
        }
    }
    unsigned char* Data() const { return data_.get(); }
    long Size() const { return static_cast<long>(size_); }
    vscore::_SCANCMD_RESPONSE_INFO Response() const { return {static_cast<int>(size_), data_.get()}; }
    vscore::_SCANCMD_DEVICECAP_INFO DeviceCap(vscore::SCANCMD_GENERATION generation) const
    {
        vscore::_SCANCMD_DEVICECAP_INFO info;
        info.generation = generation;
        info.length = static_cast<int>(size_);
        info.data = data_.get();
        return info;
    }

private:
    size_t size_;
    std::unique_ptr<unsigned char[]> data_;
};

// A capability record of the given generation, as the front expects it.
inline vscore::VS_SCANNER_CAPABILITY CapabilityOf(vscore::SCANCMD_GENERATION generation)
{
    vscore::VS_SCANNER_CAPABILITY capability;
    vscore::ClearRecord(&capability);
    capability.cmdGeneration = generation;
    return capability;
}

// Any all-zero record, byte for byte.
template <class Record>
bool IsAllZero(Record const& record)
{
    unsigned char const* bytes = reinterpret_cast<unsigned char const*>(&record);
    for (size_t i = 0; i < sizeof(Record); ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}
