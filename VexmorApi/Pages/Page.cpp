// The image slots and state of a page.
#include "VexmorApi/Pages/Page.h"

#include "VexmorApi/Pages/TemporaryStore.h"
#include "VexmorApi/Utilities/Exception.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Pages/Page";

using Lock = std::lock_guard<std::recursive_mutex>;

// The kind of device image, or a failure naming what was given.
template <typename Kind>
std::unique_ptr<Kind> TakeAs(std::unique_ptr<DeviceImage>& image)
{
    if (Kind* kind = dynamic_cast<Kind*>(image.get())) {
        image.release();
        return std::unique_ptr<Kind>(kind);
    }
    return nullptr;
}

[[noreturn]] void ThrowUnknownKind(std::unique_ptr<DeviceImage> const& image, char const* function)
{
    std::string name = temporary_store::TypeName(typeid(image));
    if (image) {
        DeviceImage const& held = *image;
        name = temporary_store::TypeName(typeid(held));
    }
    VEXMOR_THROW(kOrigin, function, Exception::InvalidArgument, "argument typeid is " + name);
}

}  // namespace

Page::Page(uint16_t pageNo) : pageNo_(pageNo) {}

Page::Page(std::unique_ptr<DeviceImage> image, uint16_t pageNo) : pageNo_(pageNo)
{
    if (auto jpeg = TakeAs<DeviceImageJpeg>(image)) {
        jpeg_ = std::move(jpeg);
    } else if (auto lines = TakeAs<DeviceImageLines>(image)) {
        lines_ = std::move(lines);
    } else {
        ThrowUnknownKind(image, "Page");
    }
}

Page::Page(std::unique_ptr<DeviceImageJpeg> image, uint16_t pageNo) : jpeg_(std::move(image)), pageNo_(pageNo) {}

Page::Page(std::unique_ptr<DeviceImageLines> image, uint16_t pageNo) : lines_(std::move(image)), pageNo_(pageNo) {}

Page::Page(std::unique_ptr<BitmapImage> image, uint16_t pageNo) : bitmap_(std::move(image)), pageNo_(pageNo) {}

Page::~Page() = default;

bool Page::HasDeviceImageJpeg() const
{
    Lock lock(mutex_);
    return jpeg_ != nullptr;
}

bool Page::HasDeviceImageLines() const
{
    Lock lock(mutex_);
    return lines_ != nullptr;
}

bool Page::HasBitmapImage() const
{
    Lock lock(mutex_);
    return bitmap_ != nullptr;
}

void Page::SetImage(std::unique_ptr<DeviceImage> image)
{
    if (auto jpeg = TakeAs<DeviceImageJpeg>(image)) {
        SetImage(std::move(jpeg));
    } else if (auto lines = TakeAs<DeviceImageLines>(image)) {
        SetImage(std::move(lines));
    } else {
        ThrowUnknownKind(image, "SetImage");
    }
}

void Page::SetImage(std::unique_ptr<DeviceImageJpeg> image)
{
    Lock lock(mutex_);
    jpeg_ = std::move(image);
    lines_.reset();
    bitmap_.reset();
}

void Page::SetImage(std::unique_ptr<DeviceImageLines> image)
{
    Lock lock(mutex_);
    lines_ = std::move(image);
    jpeg_.reset();
    bitmap_.reset();
}

void Page::SetImage(std::unique_ptr<BitmapImage> image)
{
    Lock lock(mutex_);
    bitmap_ = std::move(image);
    jpeg_.reset();
    lines_.reset();
}

std::unique_ptr<DeviceImage> Page::GetDeviceImage()
{
    Lock lock(mutex_);
    if (jpeg_) {
        return std::move(jpeg_);
    }
    return std::move(lines_);
}

std::unique_ptr<DeviceImageJpeg> Page::GetDeviceImageJpeg()
{
    Lock lock(mutex_);
    return std::move(jpeg_);
}

std::unique_ptr<DeviceImageLines> Page::GetDeviceImageLines()
{
    Lock lock(mutex_);
    return std::move(lines_);
}

std::unique_ptr<BitmapImage> Page::GetBitmapImage()
{
    Lock lock(mutex_);
    return std::move(bitmap_);
}

void Page::SetBlankPage()
{
    Lock lock(mutex_);
    blank_.store(true);
    jpeg_.reset();
    lines_.reset();
    bitmap_.reset();
}

void Page::NotifyRecivedAllData()
{
    if (receivedAllData_.exchange(true)) {
        VEXMOR_THROW(kOrigin, "NotifyRecivedAllData", Exception::InvalidSequence,
                     "already received all data of page " + std::to_string(GetPageNo()));
    }
}

unsigned Page::GetImageSize() const { return ImageSize(Size::All); }

unsigned Page::GetImageSizeOnMemory() const { return ImageSize(Size::Memory); }

unsigned Page::GetImageSizeOnFile() const { return ImageSize(Size::File); }

unsigned Page::ImageSize(Size which) const
{
    Lock lock(mutex_);
    DeviceImage const* device = jpeg_ ? static_cast<DeviceImage const*>(jpeg_.get()) : lines_.get();
    if (device) {
        return which == Size::All      ? device->GetByteSize()
               : which == Size::Memory ? device->GetByteSizeOnMemory()
                                       : device->GetByteSizeOnFile();
    }
    if (bitmap_) {
        return which == Size::All      ? bitmap_->GetPixelSize()
               : which == Size::Memory ? bitmap_->GetPixelSizeOnMemory()
                                       : bitmap_->GetPixelSizeOnFile();
    }
    return 0;
}

void Page::StoreImageInTemporaryFileIfPossible()
{
    Lock lock(mutex_);
    if (jpeg_) {
        jpeg_->StoreBytesInTemporaryFile();
    } else if (lines_) {
        lines_->StoreBytesInTemporaryFile();
    } else if (bitmap_) {
        bitmap_->StorePixelsInTemporaryFile();
    }
}
