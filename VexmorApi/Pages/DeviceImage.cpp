// Device data of a page: sizes, temporary file and description.
#include "VexmorApi/Pages/DeviceImage.h"

#include <algorithm>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Pages/TemporaryStore.h"
#include "VexmorApi/Utilities/Formatter.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Pages/DeviceImage";

// An expected size from the device is a hint, never a reason to take the heap.
constexpr uint64_t kMaximumReservation = 256u << 20;

}  // namespace

DeviceImage::DeviceImage(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType)
    : info_(resolutionX, resolutionY, colorType)
{
}

DeviceImage::DeviceImage(uint16_t resolutionX, uint16_t resolutionY, DeviceImageInfo::ColorType colorType,
                         uint32_t width)
    : info_(resolutionX, resolutionY, colorType, width)
{
}

DeviceImage::DeviceImage(DeviceImageInfo const& info) : info_(info) {}

DeviceImage::~DeviceImage() = default;

unsigned DeviceImage::GetByteSize() const { return bytes_ ? bytes_->GetByteSize() : 0; }

unsigned DeviceImage::GetByteSizeOnMemory() const { return bytes_ ? bytes_->GetByteSizeOnMemory() : 0; }

unsigned DeviceImage::GetByteSizeOnFile() const { return bytes_ ? bytes_->GetByteSizeOnFile() : 0; }

void DeviceImage::ReserveBytes(uint64_t capacity)
{
    if (capacity != 0) {
        bytes_ = std::make_unique<BytesMemory>(static_cast<unsigned>(std::min(capacity, kMaximumReservation)));
    }
}

void DeviceImage::StoreBytesInTemporaryFile()
{
    temporary_store::StoreInTemporaryFile(bytes_, kOrigin, "StoreBytesInTemporaryFile");
}

std::string DeviceImage::GetDescription() const
{
    return info_.GetDescription() + "bytes: " + Formatter::ToCommaSeparatedNumber(GetByteSize(), 3) + " bytes\n";
}
