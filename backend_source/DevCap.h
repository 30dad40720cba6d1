// The backend's device-capability copy: the template TEMPLATE_DEVCAP, which
// every open handle copies, and its fill from the engine's version-1
// capability record. Lengths are hundredths of a millimetre.
#pragma once

#include <cstdint>

#include "VexmorApi/VexmorApiTypes.h"

// One resolution of the template: its dpi, whether the device offers it and
// its id (ids are not indices).
struct DevCapResolution {
    int dpi;
    int offered;
    int id;
};

// One labelled entry (source, mode or feature).
struct DevCapEntry {
    char label[64];
    int offered;
    int id;
};

constexpr int kDevCapResolutions = 11;
constexpr int kDevCapSources = 12;
constexpr int kDevCapModes = 5;
constexpr int kDevCapFeatures = 5;

// Feature entries in template order.
enum DevCapFeature { featureSizeDetect, featureSkewAdjust, featureGroundColor, featureMultiFeed, featureBlankRemoval };

// Source ids in template order.
enum DevCapSourceId {
    srcFlatBed = 0,
    srcFlatBedLeft = 1,
    srcFlatBedRight = 2,
    srcFlatBedCenter = 3,
    srcAdfLeft = 4,
    srcAdfRight = 5,
    srcAdfCenter = 6,
    srcAdfLeftDuplex = 7,
    srcAdfRightDuplex = 8,
    srcAdfCenterDuplex = 9,
    srcCardSlot = 10,
    srcCardSlotDuplex = 11,
};

// Mode ids (the template lists them as 5, 7, 0, 3, 1).
enum DevCapModeId { modeBlackWhite = 0, modeErrorDiffusion = 1, modeTrueGray = 3, modeColor = 5, modeColorFast = 7 };

struct DEVCAP {
    DevCapResolution resolution[kDevCapResolutions];
    int resolutionSelected;  // id
    DevCapEntry source[kDevCapSources];
    int sourceSelected;  // id
    DevCapEntry mode[kDevCapModes];
    int modeSelected;  // id
    int unused1[4];
    int flatbedMaxWidth, flatbedMaxHeight, flatbedMinWidth, flatbedMinHeight;
    int adfDuplexMaxWidth, adfDuplexMaxHeight, adfDuplexMinWidth, adfDuplexMinHeight;
    int adfSimplexMaxWidth, adfSimplexMaxHeight, adfSimplexMinWidth, adfSimplexMinHeight;
    int longPaperSimplexMax, longPaperDuplexMax;
    int contrast, brightness;  // whole percent
    int unused2;
    // The blank-removal entry's id is the level default; -1 each when the
    // device gives no levels.
    DevCapEntry feature[kDevCapFeatures];
    int blankLevelMin, blankLevelMax;
    int sizeDetectCoupling;  // AutoDeskew and SkipBlankPage imply AutoDocumentSize
    uint8_t reserved[72];
    int64_t marginLeft, marginTop, marginRight, marginBottom;  // minimum margins
    uint8_t adfDuplex, adfSimplex;
    uint8_t pad1930[2];
    int deviceCategory;  // vscore::DEVICECATEGORY
};
static_assert(sizeof(DEVCAP) == 1936, "the device-capability copy is 1936 bytes");

// The template every handle copies (exported by the backend library).
extern "C" __attribute__((visibility("default"))) const DEVCAP TEMPLATE_DEVCAP;

// Copies the template into devcap and applies the engine's record. The record
// is untrusted: flags are read as bytes, counts are clamped and lengths kept
// within int. Any thread; both stay the caller's.
void make_devcap(DEVCAP* devcap, const vscore::tagVS_SCANNER_CAPABILITY_VER1* capability);
