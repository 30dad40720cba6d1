// The device-side form of one scan request, in the units and codes of the
// scanner protocol: filled from the engine's scan request, kept by the read
// preparation and the command facade, written out by the I/X and SSP/XSC
// command builders. A plain record, zero-filled before it is filled in.
#pragma once

#include <cstdint>
#include <type_traits>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Host system (OS=); always Linux.
enum SCANCMD_OS_INFO : uint32_t {
    SCANCMD_OS_LNX = 5,
};

// Paper source (PSRC=).
enum SCANCMD_PAPERSOURCE_TYPE : uint32_t {
    SCANCMD_PAPERSOURCE_AUTO = 0,
    SCANCMD_PAPERSOURCE_ADF = 1,
    SCANCMD_PAPERSOURCE_FB = 2,
};

// Colour type (CLR=).
enum SCANCMD_COLOR_TYPE : uint32_t {
    SCANCMD_COLOR_TEXT = 0,
    SCANCMD_COLOR_ERRDIF = 1,
    SCANCMD_COLOR_GRAY256 = 2,
    SCANCMD_COLOR_C256 = 3,
    SCANCMD_COLOR_C24BIT = 4,
    SCANCMD_COLOR_AUTO = 5,
};

// How the device takes the scan area (AREA=).
enum SCANCMD_SCAN_AREA_TYPE : uint32_t {
    SCANCMD_SCAN_AREA_NORMAL = 0,  // the explicit rectangle
    SCANCMD_SCAN_AREA_FULL = 1,
    SCANCMD_SCAN_AREA_OVER = 2,
    SCANCMD_SCAN_AREA_AUTO = 3,
    SCANCMD_SCAN_AREA_ATDSKW = 4,
    SCANCMD_SCAN_AREA_CORNER = 5,
};

// Compression (COMP=).
enum SCANCMD_COMPRESSION_TYPE : uint32_t {
    SCANCMD_COMPRESSION_NONE = 1,
    SCANCMD_COMPRESSION_RLENGTH = 2,
    SCANCMD_COMPRESSION_JPEG = 3,
};

// JPEG sampling factor (JSF=).
enum SCANCMD_JPEG_SAMPLING_FACTOR_TYPE : uint32_t {
    SCANCMD_JPEG_SAMPLING_444 = 0,
    SCANCMD_JPEG_SAMPLING_422 = 1,
    SCANCMD_JPEG_SAMPLING_411 = 2,
    SCANCMD_JPEG_SAMPLING_420 = 3,
    SCANCMD_JPEG_SAMPLING_400 = 4,
};

// Image processing of the device (IPRC=).
enum SCANCMD_IMAGE_PROCESSING_TYPE : uint32_t {
    SCANCMD_IMAGE_PROCESSING_NORMAL = 0,
    SCANCMD_IMAGE_PROCESSING_COPY = 1,
    SCANCMD_IMAGE_PROCESSING_OCR = 2,
    SCANCMD_IMAGE_PROCESSING_PHOTO = 3,
    SCANCMD_IMAGE_PROCESSING_TXTGR = 4,
};

// Paper kind (PTYPE=).
enum SCANCMD_PAPER_TYPE : uint32_t {
    SCANCMD_PAPER_NORMAL = 0,
    SCANCMD_PAPER_THIN = 1,
    SCANCMD_PAPER_THOCK = 2,
    SCANCMD_PAPER_PCARD = 3,
};

// Scan mode (MODE= of XSC).
enum SCANCMD_SPECIAL_SCAN_TYPE : uint32_t {
    SCANCMD_SPECIAL_SCAN_NORMAL = 1,
    SCANCMD_SPECIAL_SCAN_EDGEPRE = 2,
    SCANCMD_SPECIAL_SCAN_ORIGINAL = 3,
    SCANCMD_SPECIAL_SCAN_ATC1PASS = 4,
};

struct _SCANCMD_RESOLUTION {
    uint32_t x;
    uint32_t y;
    uint32_t autoResolution;  // non-zero: the device chooses
};

struct _SCANCMD_SCANAREA {
    SCANCMD_SCAN_AREA_TYPE type;
    uint32_t x;
    uint32_t y;
    uint32_t width;
    uint32_t height;
};

struct _SCANCMD_DUPLEXSCAN {
    uint8_t duplex;  // 0 simplex, else duplex; a byte, so any value read back stays defined
    bool back;
};

struct _SCANCMD_MONO_THRESHOLD {
    uint32_t level;
    bool autoThreshold;
    bool manualThreshold;
};

struct _SCANCMD_CARRIERSHEETMODE {
    bool on;
    bool autoMode;
};

struct _SCANCMD_GROUNDCOLORREMOVAL {
    bool on;
    bool levelGiven;
    int32_t level;
};

struct _SCANCMD_DOUBLEFEEDDETECTION {
    bool on;
    bool levelGiven;
    uint32_t level;
};

struct _SCANCMD_FEEDMOTION {
    bool on;
    bool stop;
    bool continueFeed;
};

struct _SCANCMD_BLANKPAGEREMOVAL {
    bool on;
    bool levelGiven;
    int32_t level;
};

struct _SCANCMD_GAMMAADJIST {
    uint32_t on;
    uint32_t value;
};

struct _SCANCMD_AUTOCONTINUOUSSCAN {
    bool execute;
    uint32_t timeout;
    uint32_t feedDelay;
};

// One scan request as the device takes it; the comment names the key the
// generation-2 commands write.
struct _SCANCMD_SCANPARAM {
    SCANCMD_OS_INFO osInfo;                // OS=
    SCANCMD_PAPERSOURCE_TYPE paperSource;  // PSRC=
    _SCANCMD_RESOLUTION resolution;        // RESO=
    SCANCMD_COLOR_TYPE colorType;          // CLR=
    _SCANCMD_SCANAREA scanArea;            // AREA=
    tagRECT margin;                        // MRGN=, 1/100 mm, negative: the area grows
    _SCANCMD_DUPLEXSCAN duplexScan;        // DPLX=
    int32_t brightness;                    // BRIT=
    int32_t contrast;                      // CONT=
    bool autoColorLevel;                   // ATCL= with the two levels below
    uint32_t monoColorDetectLevel;
    uint32_t monoGrayDetectLevel;
    _SCANCMD_MONO_THRESHOLD monoThreshold;                 // THRS=
    SCANCMD_COMPRESSION_TYPE compression;                  // COMP=
    uint32_t jpegRate;                                     // RATE=
    SCANCMD_JPEG_SAMPLING_FACTOR_TYPE jpegSamplingFactor;  // JSF=
    SCANCMD_IMAGE_PROCESSING_TYPE imageProcessing;         // IPRC=
    SCANCMD_PAPER_TYPE paperType;                          // PTYPE=
    uint32_t scanPage;                                     // PAGE=, 0: no limit given
    char userName[260];                                    // USER=, empty
    SCANCMD_SPECIAL_SCAN_TYPE specialScanType;             // MODE= (XSC)
    bool longPaper;                                        // LONG=
    _SCANCMD_CARRIERSHEETMODE carrierSheet;                // CARR=
    _SCANCMD_GROUNDCOLORREMOVAL groundColorRemoval;        // RMGC=
    _SCANCMD_DOUBLEFEEDDETECTION doubleFeedDetection;      // DTDF=
    _SCANCMD_FEEDMOTION feedMotion;                        // OPDF=
    bool cornerDetection;                                  // DT4V=
    bool autoDeskew;                                       // DSKW=
    bool landscapeMode;                                    // LSMD=
    _SCANCMD_BLANKPAGEREMOVAL blankPageRemoval;            // RMBP=
    bool moireRemoval;                                     // RMMR=
    _SCANCMD_GAMMAADJIST gammaAdjust;                      // GMMA=, left zero
    bool toneAdjust;                                       // TONE=: brightness and contrast are tone values
    bool quietScan;                                        // QTFD=
    _SCANCMD_AUTOCONTINUOUSSCAN autoContinuousScan;        // ATCN=, ATTO=, ATFD=
    bool autoCrop;                                         // ATCRP=
};

static_assert(std::is_trivially_copyable_v<_SCANCMD_SCANPARAM> && std::is_standard_layout_v<_SCANCMD_SCANPARAM>,
              "the device scan parameters are plain data, copied and zero-filled whole");

}  // namespace vscore
