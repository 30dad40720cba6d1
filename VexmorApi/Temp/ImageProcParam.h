// The enhancement settings of one scanned page: which PC-side steps the
// image pipeline applies and with which values. Made per page from the scan
// request and the capability; every page task keeps its own copy, so the
// record owns all its data (the barcode and patch-code type lists included).
#pragma once

#include <cstdint>
#include <vector>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// The colour type the user asked for, as the pipeline sees it.
enum IMAGEPROC_USER_COLORTYPE : int32_t {
    IMAGEPROC_USER_AUTOCOLOR = 0,  // automatic colour and 256 colours
    IMAGEPROC_USER_BLACKWHITE = 1,
    IMAGEPROC_USER_ERRDIFFUSION = 2,
    IMAGEPROC_USER_TRUEGRAY = 3,
    IMAGEPROC_USER_COLOR24BIT = 4,
};

// The colour kind the device found on the page.
enum DETECTED_COLOR : int32_t {
    DETECTED_COLOR_NONE = 0,
    DETECTED_COLOR_BLACKWHITE = 1,
    DETECTED_COLOR_GRAY = 2,
    DETECTED_COLOR_COLOR = 3,
};

enum IMAGEPROC_ORIENT_TYPE : int32_t {
    IMAGEPROC_ORIENT_NONE = 0,
    IMAGEPROC_ORIENT_90 = 1,   // a quarter turn clockwise
    IMAGEPROC_ORIENT_270 = 2,  // a quarter turn counter-clockwise
    IMAGEPROC_ORIENT_180 = 3,
    IMAGEPROC_ORIENT_AUTO = 4,  // found from the text, in the given language
};

// Where the paper lies across the scan width.
enum IMAGEPROC_PAPER_POSITION : int32_t {
    IMAGEPROC_PAPER_LEFT = 0,
    IMAGEPROC_PAPER_CENTER = 1,
    IMAGEPROC_PAPER_RIGHT = 2,
};

// The binarisation threshold that applies.
enum IMAGEPROC_THRESHOLD_MODE : int32_t {
    IMAGEPROC_THRESHOLD_STATIC = 0,  // the pipeline's fixed threshold
    IMAGEPROC_THRESHOLD_USER = 2,    // monoThresholdLevel
};

// The paper corners the device reported, in page pixels (y from the top).
struct IMAGEPROC_4CORNERS {
    bool cornersGiven;
    bool deskew;  // straighten the page along the corners
    AXIS_SIGNED points[4];
};

struct IMAGEPROC_PARAMETER_ONLY_LEVEL {
    uint8_t enabled;
    uint8_t level;
};

struct IMAGEPROC_SMOOTHING {
    bool on;
    int32_t backgroundRemoval;  // 0 or 1
    int32_t level;
};

struct IMAGEPROC_COLORDROP {
    bool on;
    bool chromatic;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    int32_t level;
    bool keepDarkColor;
};

struct IMAGEPROC_PUNCHHOLE {
    bool on;
    // The hole finder's settings in its own order; values[6] is the fill
    // (1 white, 0 the nearby colour, 2 another colour) and values[9] the
    // background tolerance.
    int32_t values[10];
    bool uniformBackground;
};

struct IMAGEPROC_EDGE_ENHANCE {
    bool on;
    uint8_t level;
};

struct IMAGEPROC_DUSTREMOVAL {
    bool on;
    uint16_t value;
    int32_t values[4];  // two dust sizes, then 500 and 1
};

struct IMAGEPROC_LINE_DIRECTION {
    uint64_t on;
    uint64_t reserved;
    uint16_t value;
    uint32_t dashedLength;
    uint32_t minLength;
};

struct IMAGEPROC_LINEREMOVAL {
    bool on;
    IMAGEPROC_LINE_DIRECTION vertical;
    IMAGEPROC_LINE_DIRECTION horizontal;
    UNITTYPE unit;
};

// mode 0 none, 1 thick text with level, 2 dot-text combine with dotMode.
struct IMAGEPROC_TEXTMODE {
    int32_t mode;
    int32_t level;
    int32_t dotMode;
};

struct IMAGEPROC_EDGE_FILL_PARAM {
    bool on;
    bool black;
    MARGINSIZE margin;
};

struct IMAGEPROC_BARCODE {
    bool execute;
    uint8_t maxNum;
    BARCODE_DIRECTION searchDirection;
    uint8_t retryNum;
    bool specifyArea;
    SCANAREA area;
    bool addStartStopToCodabar;
    std::vector<BARCODE_TYPE> types;
};

struct IMAGEPROC_PATCHCODE {
    bool execute;
    std::vector<PATCHCODE_TYPE> types;
};

// The gray range of the scan bed's background.
struct IMAGEPROC_BACKGROUND_COLOR {
    bool on;
    uint8_t reserved1[3];
    uint8_t lowerGray;
    uint8_t upperGray;
    uint8_t reserved6[2];
};

// Margin correction in 1/100 mm.
struct IMAGEPROC_EDGE_CUT {
    int32_t left;
    int32_t right;
    int32_t top;
    int32_t bottom;
};

// Every member starts zero, the lists empty; copies are deep.
struct _IMAGEPROC_PARAM {
    IMAGEPROC_USER_COLORTYPE userColorType{};
    int32_t brightness{};  // 0..255
    int32_t contrast{};    // 0..255
    DETECTED_COLOR detectedColorType{};
    uint8_t monoColorDetectLevel{};
    uint8_t monoGrayDetectLevel{};
    int32_t fittingMode{};  // 0 off, 1 fit to the paper, 2 with automatic edge fill
    IMAGEPROC_4CORNERS corners{};
    IMAGEPROC_PARAMETER_ONLY_LEVEL blankRemove{};
    IMAGEPROC_SMOOTHING smoothing{};
    IMAGEPROC_COLORDROP colorDrop{};
    IMAGEPROC_PUNCHHOLE punchHole{};
    int32_t toneMode{};  // 0 none, 1 automatic, 2 custom, 3 the device's default tone
    uint8_t toneBrightness{};
    uint8_t toneContrast{};
    uint8_t toneShadow{};
    uint8_t toneHighlight{};
    double toneGamma{};
    IMAGEPROC_EDGE_ENHANCE edgeEnhance{};
    IMAGEPROC_THRESHOLD_MODE monoThresholdMode{};
    int32_t monoThresholdLevel{};
    IMAGEPROC_DUSTREMOVAL dustRemoval{};
    bool reduceNoise{};
    IMAGEPROC_LINEREMOVAL lineRemoval{};
    IMAGEPROC_TEXTMODE textMode{};
    IMAGEPROC_EDGE_FILL_PARAM edgeFill{};
    IMAGEPROC_ORIENT_TYPE orientation{};
    uint16_t orientationLanguage{};
    bool outputSizeGiven{};
    AXIS outputSize{};  // pixels: crop the page to it
    bool appendLength{};
    uint32_t lengthToAppend{};  // rows: lengthen a shorter page to it
    IMAGEPROC_BARCODE barcode{};
    IMAGEPROC_PATCHCODE patchcode{};
    IMAGEPROC_BACKGROUND_COLOR backgroundColor{};
    IMAGEPROC_EDGE_CUT edgeCut{};
    IMAGEPROC_PAPER_POSITION paperPosition{};

    // The user left the colour to automatic and the device found none.
    bool ShouldDetectColor() const;
};

}  // namespace vscore
