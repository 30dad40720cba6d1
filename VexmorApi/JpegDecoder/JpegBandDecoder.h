// Decoding a JPEG page band by band with the engine's own decoder: the
// stream is fed in 4096-byte pieces and every decoded row is appended to the
// line set at once, so the decoded page never exists twice in memory.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/JpegDecoder/VdJpegDecode.h"
#include "VexmorApi/Pages/DeviceImageJpeg.h"
#include "VexmorApi/Pages/DeviceImageLines.h"
#include "vdtcl/VsResult.h"

// Statuses of the band decoder's steps.
enum JPEGDECODESTATUS : int32_t {
    JPEGDEC_OK = 0,
    JPEGDEC_ERR = 3,
    JPEGDEC_INVALID_PARAMETER = 4,
    JPEGDEC_LOW_MEMORY = 5,
    JPEGDEC_MEMORY_PROC = 6,
    JPEGDEC_CREATE_STREAM_FAILED = 7,
    JPEGDEC_WRITE_STREAM_FAILED = 8,
    JPEGDEC_NOT_OPENED = 9,
    JPEGDEC_MORE_INPUT = 11,  // also: the header lacks width, height or depth
    JPEGDEC_LINE_READY = 12,
    JPEGDEC_END = 13,
    JPEGDEC_WRITE_BAND_FAILED = 14,
    JPEGDEC_OPENED = 16,
};

// Filled by the open step; 32-bit signed fields.
struct JPGBANDDECODEINFO {
    int32_t resolutionX;  // dpi
    int32_t resolutionY;
    int32_t bitsPerPixel;
    int32_t width;                 // pixels
    int32_t height;                // rows
    int32_t inPixelCount;          // the width
    int32_t recommendedInputSize;  // bytes per write
};

// One band decode per page: construct, DecodeJpegImage_Band, destroy. Used
// by one thread.
class JpegBandDecoder {
public:
    JpegBandDecoder() = default;
    virtual ~JpegBandDecoder() = default;
    JpegBandDecoder(JpegBandDecoder const&) = delete;
    JpegBandDecoder& operator=(JpegBandDecoder const&) = delete;

    // The page's rows, as many as decoded (the caller checks the count), at
    // the width of the smaller of the device image and the frame; empty when
    // the decoder cannot be opened (also for a header without width, height
    // or depth). The JPEG image is consumed.
    std::unique_ptr<DeviceImageLines> DecodeJpegImage_Band(std::unique_ptr<DeviceImageJpeg> jpeg);

    // Reads the header into info and opens the decoder. info's resolutions
    // on entry are used unless the header gives a density in dots per inch
    // or per cm.
    JPEGDECODESTATUS BandJpegDecOpen(unsigned char* data, unsigned int size, JPGBANDDECODEINFO* info);
    // Depth from SOF0 (8 or 24), width, height and input pixel count (the
    // width); the resolutions only for density unit 1 or 2, else unchanged.
    // JPEGDEC_MORE_INPUT unless depth, width and height are positive.
    JPEGDECODESTATUS GetJpgImageInfo(unsigned char* data, unsigned int size, int32_t* bpp, int32_t* resX, int32_t* resY,
                                     int32_t* width, int32_t* height, int32_t* inPixCnt);
    JPEGDECODESTATUS WriteJpegBlockData(unsigned char* data, unsigned int size);
    // JPEGDEC_LINE_READY with a row (valid until the next read),
    // JPEGDEC_MORE_INPUT, JPEGDEC_END, JPEGDEC_ERR; JPEGDEC_OK after the end.
    JPEGDECODESTATUS ReadBandLineData(void** line, unsigned long* size);
    void BandJpegDecClose();

    static VSRSLT ConvertJpegDecErrToVSRSLT(JPEGDECODESTATUS status);
    // 8 -> TrueGray, 24 -> Color; InvalidArgument "Invalid bpp: " otherwise.
    static DeviceImageInfo::ColorType GetColorType(unsigned char bpp);
    // 8 -> 8-bit gray rows, 24 -> RGB rows; InvalidArgument otherwise.
    static DeviceImageLines::LineColorType GetLineColorType(unsigned char bpp);

private:
    uint8_t bandStatus_ = 0;  // 16 after open, 0 while lines flow, 1 after the end
    vscore::CVdJpegDecode decoder_;
};
