// One scanned page on its way from the reading thread through decoding and
// enhancement to delivery: at most one image at a time (JPEG stream, lines
// or bitmap), its number and its state flags.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Pages/DeviceImage.h"
#include "VexmorApi/Pages/DeviceImageJpeg.h"
#include "VexmorApi/Pages/DeviceImageLines.h"

// Shared as std::shared_ptr<Page> by the reading thread, the scheduler, its
// tasks and the scan process. Every operation may be called from any thread:
// the image slots are guarded by the page's own recursive lock, the number
// and flags are atomics. Images move in and out as unique pointers; whoever
// took an image out works on it without the lock and sets it back.
class Page {
public:
    // What the device detected for the page; values outside 1..3 mean none.
    // The page itself does not store it.
    enum AutoColorResult : int32_t {
        AutoColorNone = 0,
        AutoColorBlackAndWhite = 1,
        AutoColorGray = 2,
        AutoColorColor = 3,
    };

    explicit Page(uint16_t pageNo);
    // Files the image by its dynamic type; throws InvalidArgument "argument
    // typeid is " + the type for an empty pointer or another kind.
    Page(std::unique_ptr<DeviceImage> image, uint16_t pageNo);
    Page(std::unique_ptr<DeviceImageJpeg> image, uint16_t pageNo);
    Page(std::unique_ptr<DeviceImageLines> image, uint16_t pageNo);
    Page(std::unique_ptr<BitmapImage> image, uint16_t pageNo);
    virtual ~Page();
    Page(Page const&) = delete;
    Page& operator=(Page const&) = delete;

    bool HasDeviceImageJpeg() const;
    bool HasDeviceImageLines() const;
    bool HasBitmapImage() const;

    // Each puts the image into its slot and drops the other two.
    void SetImage(std::unique_ptr<DeviceImage> image);  // by dynamic type, as the constructor
    void SetImage(std::unique_ptr<DeviceImageJpeg> image);
    void SetImage(std::unique_ptr<DeviceImageLines> image);
    void SetImage(std::unique_ptr<BitmapImage> image);

    // Each moves the image out to the caller, leaving its slot empty (an
    // empty pointer when there is none). GetDeviceImage takes the JPEG
    // stream if one is held, else the lines.
    std::unique_ptr<DeviceImage> GetDeviceImage();
    std::unique_ptr<DeviceImageJpeg> GetDeviceImageJpeg();
    std::unique_ptr<DeviceImageLines> GetDeviceImageLines();
    std::unique_ptr<BitmapImage> GetBitmapImage();

    uint16_t GetPageNo() const { return pageNo_.load(); }
    bool IsBlankPage() const { return blank_.load(); }
    bool IsTerminatedPage() const { return terminated_.load(); }
    bool IsReceivedAllData() const { return receivedAllData_.load(); }
    // Marks the page blank and drops its image.
    void SetBlankPage();
    // The page was cut at the device's or the paper's maximum length.
    void SetTerminatedPage() { terminated_.store(true); }
    // Once per page; a second call throws InvalidSequence "already received
    // all data of page " + the number.
    void NotifyRecivedAllData();

    // Of the held image (JPEG, lines or bitmap); 0 when none is held.
    unsigned GetImageSize() const;
    unsigned GetImageSizeOnMemory() const;
    unsigned GetImageSizeOnFile() const;
    // Moves the held image's data into a temporary file; nothing without one.
    void StoreImageInTemporaryFileIfPossible();

private:
    // Which size of the held image to report.
    enum class Size { All, Memory, File };
    unsigned ImageSize(Size which) const;

    // Guarded by mutex_: at most one of the three is set.
    std::unique_ptr<DeviceImageJpeg> jpeg_;
    std::unique_ptr<DeviceImageLines> lines_;
    std::unique_ptr<BitmapImage> bitmap_;
    std::atomic<uint16_t> pageNo_;
    std::atomic<bool> blank_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> receivedAllData_{false};
    mutable std::recursive_mutex mutex_;
};
