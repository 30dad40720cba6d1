// Device data of a page as one JPEG stream, the received blocks appended in
// order; its height lives in the stream's frame header.
#pragma once

#include <cstdint>

#include "VexmorApi/Pages/DeviceImage.h"

// Used by one thread at a time (see DeviceImage).
class DeviceImageJpeg : public DeviceImage {
public:
    // Width 0, nothing reserved.
    DeviceImageJpeg(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType);
    // Each reserves a third of the raw size of expectedLines rows.
    DeviceImageJpeg(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType, uint32_t width,
                    uint32_t expectedLines);
    DeviceImageJpeg(DeviceImageInfo const& info, uint32_t expectedLines);

    // Appends a received block (a copy); FailedToAllocateMemory past 32-bit sizes.
    void AppendBlock(uint32_t length, unsigned char const* data);
    // The stream's first byte (a stream in a file is loaded first); null
    // without data. Valid until the stream changes.
    unsigned char* GetBlockPointer();
    uint32_t GetBlockSize() const { return GetByteSize(); }
    // The frame header's height; 0 without data or frame header.
    uint32_t GetHeight();
    // Writes the height into the frame header (at most 65535); nothing
    // without data or frame header.
    void SetHeight(uint32_t height);
    // Bytes per row of the description x GetHeight(): the decoded size.
    uint64_t GetRequiredByteSize();

private:
    // Reserves (4-byte rows x lines) / 3 bytes.
    void AllocateBytes(uint32_t lines);
};
