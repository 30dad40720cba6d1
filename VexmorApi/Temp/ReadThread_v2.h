// The reading thread of devices with three-letter commands: the dispatcher
// of the blocks that follow XSC (image lines and JPEG blocks into pages,
// size and colour reports, page and scan ends, cancels, timer and waiting
// events, device errors) and the table of their device errors.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/Tasks/DecodeParameter.h"
#include "VexmorApi/Temp/ConvertScanParam.h"
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"
#include "VexmorApi/Temp/ReadThread_base.h"

namespace vscore {

// Made by the scan process for a generation-2 device; used as its
// IReadThread (see CReadThread_base for threads, locks and seams). The
// dispatcher and everything it calls run on the reading thread.
class CReadThread_v2 : public CReadThread_base {
public:
    // Values a device announces apart from the image data, by page number.
    // Reading thread only.
    class InfoStore {
    public:
        void SetWidth(uint16_t pageNo, uint32_t width) { widths_[pageNo] = width; }
        void SetHeight(uint16_t pageNo, uint32_t height) { heights_[pageNo] = height; }
        void SetAutoColor(uint16_t pageNo, Page::AutoColorResult color) { colors_[pageNo] = color; }
        bool GetHeight(uint16_t pageNo, uint32_t& height) const;
        Page::AutoColorResult GetAutoColor(uint16_t pageNo) const;
        // A stored width becomes the width of the page's device image.
        void Restore(Page& page) const;
        void Clear();

    private:
        std::map<uint16_t, uint32_t> widths_;
        std::map<uint16_t, uint32_t> heights_;
        std::map<uint16_t, Page::AutoColorResult> colors_;
    };

    explicit CReadThread_v2(const EngineTimings& timings = EngineTimings());
    // Ends the thread before the dispatcher goes.
    ~CReadThread_v2() override;

    // Stops at the block that ends the scan; a block that throws leaves the
    // blocks after it in rest before the exception goes on.
    VSRSLT DispatchReceivedData(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength) override;
    // 0x50000000 | code for the device's known codes (0xA1 as 0xA2), else
    // 0x500000FF.
    VSRSLT ConvertDeviceErrorToVSRSLT(uint16_t deviceError) override;

    // The device's colour code of a block to the engine's types.
    static COLORTYPE ToColorType(IMAGE_COLOR color);
    static Page::AutoColorResult ToAutoColorResultType(IMAGE_COLOR color);
    static DeviceImageInfo::ColorType ToDeviceImageInfoColorType(IMAGE_COLOR color);
    static DeviceImageLines::LineColorType ToDeviceImageLinesLineColorType(IMAGE_COLOR color);
    static DeviceImageLines::CompressionType ToDeviceImageLinesCompressionType(IMAGE_COMPRESS compression);
    // The colour code the device sends for a colour type it was asked for.
    static IMAGE_COLOR ToDeviceColor(COLORTYPE type);

private:
    // One complete block, by what the parser found in it.
    VSRSLT DispatchBlock(const IMAGE_HEADER& header, const PARSE_RESULT& parsed);
    VSRSLT WriteDataBlockToImageDataArray(const IMAGE_HEADER& header);
    // False (recorded) when the page's area is larger than the device can send.
    bool MakeImageAndAppendToPageIfNeeded(IMAGE_COMPRESS compression, IMAGE_COLOR color,
                                          const DeviceDataLimits& limits);
    void DispatchEndCode(IMAGE_STATUSCODE endCode);
    void DispatchStatusCode(const PARSE_RESULT& result);
    void DispatchDataInfo(const IMAGE_HEADER& header, const PARSE_RESULT& result);
    void AppendToImageProcessorIfPossible();
    void AppendToImageProcessorInOrderSimplex();
    void AppendToImageProcessorInOrderDuplex();
    void AppendToImageProcessor();
    void DiscardReadingPages();
    // Before the scan's end: a complete duplex page left without its other
    // side goes on alone.
    void FinishToAppendPages();
    // The selected page ends; a blank end of a page that sent nothing makes
    // an empty blank page. False (recorded) for a page beyond what the
    // device can send.
    bool CompleteSelectedPage(bool blank);
    DecodeParameter CreateDecodeParameter(const VS_SCANNER_PARAMETERS& user, const VS_SCANNER_PARAMETERS& device);
    SCANAREA CalcScanAreaToPixel(const tagSCANAREAINFO& area, const EDGECUTPARAM& edgeCut, AXIS userResolution,
                                 AXIS deviceResolution) const;
    AXIS GetImageResolution() const;
    AXIS GetImageArea() const;
    CConvertScanParam::PaperSourceSide GetPaperSourceSide(uint16_t pageNo) const;
    // The page's expected height and whether it limits the page.
    uint32_t ExpectedHeight(bool& limits) const;

    COLORTYPE m_colorType = AUTOCOLOR;
    InfoStore m_infoStore;
};

}  // namespace vscore
