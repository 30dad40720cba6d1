// A page's data as the device sent it, before decoding: its description and
// one byte block in memory or in a temporary file. The two kinds are
// DeviceImageLines and DeviceImageJpeg, told apart by the dynamic type.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "VexmorApi/Bytes/Bytes.h"
#include "VexmorApi/Pages/DeviceImageInfo.h"

// Owned through a unique pointer and used by one thread at a time; it moves
// between the reading thread, the page and the decoder without copying data.
class DeviceImage {
public:
    // No data block yet.
    DeviceImage(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType);
    DeviceImage(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType, uint32_t width);
    explicit DeviceImage(DeviceImageInfo const& info);
    virtual ~DeviceImage();
    DeviceImage(DeviceImage const&) = delete;
    DeviceImage& operator=(DeviceImage const&) = delete;

    DeviceImageInfo GetDeviceImageInfo() const { return info_; }
    uint16_t GetResolutionX() const { return info_.GetResolutionX(); }
    uint16_t GetResolutionY() const { return info_.GetResolutionY(); }
    uint32_t GetWidth() const { return info_.GetWidth(); }
    // The width may be learnt after the data began to arrive.
    void SetWidth(uint32_t width) { info_.SetWidth(width); }
    DeviceImageInfo::ColorType GetColorType() const { return info_.GetColorType(); }

    // Of the data block; 0 without one.
    unsigned GetByteSize() const;
    unsigned GetByteSizeOnMemory() const;
    unsigned GetByteSizeOnFile() const;
    // Moves the data into a temporary file (removed with the image), or
    // writes a loaded copy back into its file. Throws InvalidMemberVariable
    // "member variable typeid is " without data.
    void StoreBytesInTemporaryFile();
    // The description's lines, then "bytes: " + the data size + " bytes".
    virtual std::string GetDescription() const;

protected:
    // Creates an empty memory block with room for capacity bytes, at most
    // 256 MiB up front (it grows while data arrive); nothing for 0.
    void ReserveBytes(uint64_t capacity);

    // The device data; may be absent.
    std::unique_ptr<Bytes> bytes_;

private:
    DeviceImageInfo info_;
};
