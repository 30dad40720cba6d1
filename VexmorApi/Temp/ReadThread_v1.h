// The reading thread of devices with one-letter commands: the dispatcher of
// the data units that follow X (image lines and JPEG blocks into pages,
// image sizes and paper corners, page and scan ends, cancels, device
// errors) and the table of their device errors.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/Tasks/DecodeParameter.h"
#include "VexmorApi/Temp/ConvertScanParam.h"
#include "VexmorApi/Temp/ParseExeCmdRes_v1.h"
#include "VexmorApi/Temp/ReadThread_base.h"

namespace vscore {

// Made by the scan process for a generation-1 device; used as its
// IReadThread (see CReadThread_base for threads, locks and seams). The
// dispatcher and everything it calls run on the reading thread, and so do
// the two maps below.
class CReadThread_v1 : public CReadThread_base {
public:
    // The image size a device announces for a page (unit 0x88).
    struct ImageSize {
        uint32_t width;
        uint32_t height;
    };

    // How the dispatcher treats a parsed unit.
    enum UnitClass : int32_t {
        LineIncomplete = 0,  // keep the bytes from the unit on
        LineLast = 1,        // write it; it ends the bytes
        LineMore = 2,        // write it; another unit follows
        StatusIncomplete = 3,
        StatusLast = 4,
        StatusMore = 5,
    };

    explicit CReadThread_v1(const EngineTimings& timings = EngineTimings());
    // Ends the thread before the dispatcher goes.
    ~CReadThread_v1() override;

    // Consumes the complete units at the start of data. Failures are
    // recorded in the scan status record for the page they concern: an
    // unreadable unit (READTHREAD_UNREADABLE_DATA with device error 1, which
    // the caller sees as 0x500000FF), a status code the device has no
    // meaning for (READTHREAD_DEVICE_ERROR with the code; it ends the
    // batch), and a unit that does not fit its page (a JPEG block into a
    // page of lines or the reverse, an unknown compression, the end of a
    // page never begun: READTHREAD_UNREADABLE_DATA; image data for a page
    // that has ended is never written into it and fails the page being
    // received). Unreadable data, a device error, the end of the scan and
    // a cancel code end the scan: the scanner is closed and nothing after
    // them is dispatched, also when an earlier failure is the one recorded.
    // Returns the code recorded for an unreadable unit, else 0.
    VSRSLT DispatchReceivedData(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength) override;
    // The device's error codes (0xC2-0xEF) to the results both generations
    // report; every other code 0x500000FF.
    VSRSLT ConvertDeviceErrorToVSRSLT(uint16_t deviceError) override;

    static UnitClass GetReceivedImageInfoStatus(const SCANIMAGEINFO& unit);
    // A unit's compression (1 none, 2 raw, 3 packed) to the lines image's.
    static DeviceImageLines::CompressionType ConvertToDeviceImageLinesCompressionType(uint8_t compression);

private:
    // Writes a line or a JPEG block into its page (one that does not fit
    // the page is recorded for it); false when the block is beyond what the
    // device can send, which ends the stream.
    bool WriteBlockToPage(const LINEDATA& line);
    // Makes the selected page with an image for the compression when the
    // store lacks it; false for a compression that has no image kind, or
    // (recorded) for an area larger than the device can send.
    bool AppendNewPageIfNeeded(uint8_t compression, const DeviceDataLimits& limits);
    // What the device can send at the resolution it scans at.
    DeviceDataLimits Limits() const;
    // False once the scan is over (its end, a cancel, a device error, a
    // size beyond what the device can send): nothing after the code is
    // dispatched, and the scanner is closed (at once, or as the receive
    // loop ends).
    bool DispatchStatusCode(const SCANIMAGEINFO& unit);
    void AppendToImageProcessorIfPossible();
    // Hands the complete pages on in page order: one at a time, or for a
    // duplex scan the two sides of a sheet together.
    void AppendCompletePagesInOrder();
    // Before the scan's end: a complete duplex page left without its other
    // side goes on alone.
    void FinishToAppendPages();
    void AppendToImageProcessor();
    void UpdateImageWidthIfNeeded(Page& page);
    DecodeParameter CreateDecodeParameter() const;
    // The device parameters' colour type as the page images take it.
    DeviceImageInfo::ColorType GetDeviceImageInfoColorType() const;
    DeviceImageLines::LineColorType GetDeviceImageLinesLineColorType() const;
    // After unreadable data or a device error: closes the scanner, which
    // ends the receive loop.
    void EndStream();
    // Records a unit that does not fit its page (page 0 counts as the page
    // being received).
    void RecordMisfit(uint16_t pageNo, const char* what);

    std::map<uint16_t, ImageSize> m_imageSizes;
    std::map<uint16_t, CConvertScanParam::Image4Corners> m_corners;
};

}  // namespace vscore
