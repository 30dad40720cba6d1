// The image-processing library's C entry points (names beginning with VdIP,
// plus a few helpers): blank/colour detection of a page in memory, and the
// entry points the library offers without work behind them.
#pragma once

#include <cstdint>

#include "imagelib/SipExport.h"

// A page in memory, filled by the caller. colorType: 1 24-bit colour
// (bytesPerPixel 3 or 4, the first three bytes blue, green, red), 6 8-bit
// gray (bytesPerPixel 1), 7 1-bit.
struct tagVDIP_INPUT_IMAGE_DATA {
    unsigned char* pixels;  // first byte of the top row
    uint32_t width;
    uint32_t stride;  // bytes per row
    uint32_t height;
    int32_t colorType;
    int32_t bytesPerPixel;
};

// An image the library allocated; VdIPFreeOutImgBuff releases it.
struct tagVDIP_OUTPUT_IMAGE_DATA {
    unsigned char* pixels;
    uint32_t width;
    uint32_t stride;
    uint32_t height;
    int32_t colorType;
    int32_t bytesPerPixel;
    int32_t reserved;  // 0
};

// Mode: 0 blank only, 1 colour only, 2 blank then colour (above 2 counts as
// 2). Resolutions in dots per inch (1 to 2400); sensitivity indices 0 to 10;
// margins in 1/1000 mm.
struct tagVDIP_BLANKCOLOR_DETECTION_SETTING {
    uint8_t mode;
    uint32_t xResolution;
    uint32_t yResolution;
    uint32_t blankIndex;
    uint32_t colorIndex;
    uint32_t grayIndex;
    uint32_t marginTop;
    uint32_t marginRight;
    uint32_t marginLeft;
    uint32_t marginBottom;
};

enum tagVDIP_BLANKCOLOR_DETECTION_RESULT : int32_t {
    VDIP_DETECTED_NONE = 0,
    VDIP_DETECTED_MONO = 1,
    VDIP_DETECTED_GRAY = 2,
    VDIP_DETECTED_COLOR = 3,
    VDIP_DETECTED_BLANK = 4,
};

enum tagVDIP_APPERROR : int32_t {
    VDIP_ERR_NONE = 0,
    VDIP_ERR_MEMORY = 3,      // out of memory or no pixels
    VDIP_ERR_COLORTYPE = 4,   // unsupported colour type
    VDIP_ERR_PARAMETER = 5,   // bad argument
    VDIP_ERR_SMALL_AREA = 6,  // analysis area smaller than one cell
};

struct tagVDIP_BARCODE_RESULT {
    int32_t count;
    void* area;
};

struct tagVDIP_FILEINFO {
    int32_t width;
    int32_t height;
    int32_t depth;
    int32_t extra;
};

struct tagVDIP_FILEINFO32 {
    uint32_t value[4];
};

// 32 bytes: an image buffer with its size.
struct tagIPCMN_IMAGEINFO {
    int32_t width;
    int32_t reserved;  // 0
    int32_t height;
    int32_t depth;
    int32_t extra;
    int32_t padding;
    unsigned char* buffer;  // owned; IpCmnImgaeInfo_Destroy frees it
};

struct tagIPCMN_ERROR {
    int32_t code;
    int32_t detail;
};

// Every entry point may be called from any thread; none keeps state between
// calls, and none keeps the caller's pointers.
extern "C" {

// Decides whether the page is blank (4) and whether its content is colour
// (3), gray (2) or black and white (1); 0 when nothing was decided. Returns a
// tagVDIP_APPERROR code; the result stays 0 on failure.
VDIP_EXPORT int32_t VdIPBlankColorDetectionBinMode(const tagVDIP_INPUT_IMAGE_DATA* input,
                                                   const tagVDIP_BLANKCOLOR_DETECTION_SETTING* setting,
                                                   tagVDIP_BLANKCOLOR_DETECTION_RESULT* result);

// Offered without work behind them: they return 0.
VDIP_EXPORT int32_t VdIPColorDropoutBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*);
VDIP_EXPORT int32_t VdIPPunchHoleRemovalBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                                const void*);
VDIP_EXPORT int32_t VdIPEdgeEnhancementBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                               const void*);
VDIP_EXPORT int32_t VdIPToneAdjustmentBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*);
VDIP_EXPORT int32_t VdIPToneAdjustmentContBrightBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                                        const void*);
VDIP_EXPORT int32_t VdIPAutoContEnhanceBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                               const void*);
VDIP_EXPORT int32_t VdIPBinalyMakeBoldImageBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                                   const void*);
VDIP_EXPORT int32_t VdIPBinalyDotFontCorrectBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                                    const void*);
VDIP_EXPORT int32_t VdIPBackcolorRemovalBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                                const void*);
VDIP_EXPORT int32_t VdIPBinarizationBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*, const void*);
VDIP_EXPORT int32_t VdIPFilteringReduceNoiseBinMode(const tagVDIP_INPUT_IMAGE_DATA*, tagVDIP_OUTPUT_IMAGE_DATA*,
                                                    const void*);
VDIP_EXPORT int32_t VdIPPatchCodeDecodeBinMode(const tagVDIP_INPUT_IMAGE_DATA*, const void*, void*);

// Copies the input into a new image in output (released with
// VdIPFreeOutImgBuff). 5 for a null argument, 3 when the copy cannot be
// allocated (or would exceed 2 GiB).
VDIP_EXPORT int32_t VdIPDocumentDetectionBinMode(const tagVDIP_INPUT_IMAGE_DATA* input,
                                                 tagVDIP_OUTPUT_IMAGE_DATA* output, const void* options);
// Finds nothing: count 0, no area, and 3.
VDIP_EXPORT int32_t VdIPBarCodeDecodeBinMode(const tagVDIP_INPUT_IMAGE_DATA* input, const void* options,
                                             tagVDIP_BARCODE_RESULT* result);
VDIP_EXPORT void VdIPBarCodeDecodeRelease(tagVDIP_BARCODE_RESULT* result);
// Frees an output image and clears its record; 4 when there is none.
VDIP_EXPORT int32_t VdIPFreeOutImgBuff(tagVDIP_OUTPUT_IMAGE_DATA* output);

VDIP_EXPORT void VdIPSetFileInfo(tagVDIP_FILEINFO* record, int32_t a, int32_t b, int32_t c, int32_t d);
VDIP_EXPORT void VdIPSetFileInfo32(tagVDIP_FILEINFO32* record, uint32_t a, uint32_t b, uint32_t c, uint32_t d);

// A zero-filled buffer of width x height x depth bytes in info. 0 on
// success; 1 when it cannot be allocated (or would exceed 2 GiB, or a size
// is not positive), with the error record cleared.
VDIP_EXPORT int32_t IpCmnImgaeInfo_Create(tagIPCMN_IMAGEINFO* info, int32_t width, int32_t height, int32_t depth,
                                          int32_t extra, tagIPCMN_ERROR* error);
VDIP_EXPORT int32_t IpCmnImgaeInfo_Create_InfoT(tagIPCMN_IMAGEINFO* info, const tagVDIP_FILEINFO* fileInfo,
                                                tagIPCMN_ERROR* error);
VDIP_EXPORT void IpCmnImgaeInfo_Destroy(tagIPCMN_IMAGEINFO* info);

VDIP_EXPORT int32_t vdip_max(int32_t a, int32_t b);
VDIP_EXPORT int32_t vdip_min(int32_t a, int32_t b);
// mm / 25.4 x dpi.
VDIP_EXPORT double VdIPCmnConvMilliToPixel(double mm, int32_t dpi);
VDIP_EXPORT double VdIPCmnGetCoordinatesDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

}  // extern "C"
