// The generation-2 device description (QDI answer) as the device sends it:
// one field per value item of its tag-length-value records, in record order.
// Field names are the names the answer's items are logged with; bytes are
// unsigned, words 16-bit. "Reserved" fields are kept but never converted.
#pragma once

#include <cstdint>

namespace vscore {

struct _QDICMDRESPONSE {
    // 0x0001, 0x0002
    uint16_t commandVersion;
    uint16_t commandDeviceSupport;
    // 0x0101 - 0x0103
    uint16_t deviceCategory;
    char modelName[128];  // zero-filled; all 128 bytes may be text
    uint8_t updateNum;
    // 0x0201 - 0x0208
    uint8_t pushScanEventInfo;
    uint8_t pushScanEventInfoReserved;
    uint8_t continuousFbScan;
    uint8_t pushScanSetting;
    uint8_t autoContinuousScan;
    uint8_t marginAdjustmentDisplay;  // never read from the answer
    uint16_t deviceSupport;
    uint8_t qciSupport;
    uint8_t qciSupportReserved;
    uint8_t pushScanStartTiming;
    uint8_t pushScanStartTimingReserved;
    uint16_t pushScanDevicePanelList;
    uint16_t solutionSwitchList;
    uint8_t supportPowerSource;
    uint8_t supportPowerSourceReserved;
    // 0x0301 - 0x0303
    uint8_t colorType;
    uint8_t colorTypeReserved;
    uint8_t paperSource;
    uint8_t duplexScan;
    uint16_t adfStackCapacity;
    // 0x0304: X and Y per source (Fb, Simplex, Duplex, CardSlot); the
    // card-slot pair only from values of 16 bytes or more.
    uint16_t resolutionOptical[4][2];
    // 0x0305: maximum scan sizes, as 0x0304.
    uint16_t scanSizeMax[4][2];
    // 0x0306
    uint16_t longPaperSizeSimplexMax;
    uint16_t longPaperSizeDuplexMax;
    uint8_t longPaperSimplexLengthSpecificationMethod;
    uint8_t longPaperDuplexLengthSpecificationMethod;
    uint16_t longPaperMaxResolutionX;
    uint16_t longPaperMaxResolutionY;
    // 0x0307: minimum scan sizes, as 0x0304.
    uint16_t scanSizeMin[4][2];
    // 0x0308: largest supported documents, as 0x0304.
    uint16_t supportDocSizeMax[4][2];
    // 0x0309: per source (Fb, Simplex, Duplex, Cardslot) LeftX, RightX,
    // TopY, BottomY; then the same for automatic sizes.
    int16_t marginSize[4][4];
    int16_t marginSizeAuto[4][4];
    // 0x030A: per source LeftMaxX, LeftMinX, RightMaxX, RightMinX, TopMaxY,
    // TopMinY, BottomMaxY, BottomMinY; then the same for automatic sizes.
    int16_t marginAdjust[4][8];
    int16_t marginAdjustAuto[4][8];
    bool hasMarginSizeAuto;    // 0x0309 carried the automatic sizes
    bool hasMarginAdjustAuto;  // 0x030A carried the automatic adjustments
    // 0x030B - 0x0313
    uint8_t scanPositionFbX;
    uint8_t scanPositionFbY;
    uint8_t scanPositionX;
    uint8_t scanPositionY;
    uint8_t scanPositionCardslotX;
    uint8_t scanPositionCardslotY;
    uint8_t CardOrientFb;
    uint8_t CardOrient;
    uint8_t scanPages;
    uint8_t scanPagesReserved;
    uint8_t overScan;
    uint8_t overScanColorType;
    uint16_t overScanExclusionSetting;
    uint8_t afterCancelAction;
    uint8_t afterCancelActionReserved;
    uint8_t errorJamAction;
    uint8_t errorDpubleFeedAction;
    uint8_t errorCoverOpenAction;
    uint8_t errorActionReserved;
    uint8_t tapeColor;
    uint8_t tapeColorRed;
    uint8_t tapeColorGreen;
    uint8_t tapeColorBlue;
    uint8_t tapeColorRangeMax;
    uint8_t tapeColorRangeMin;
    uint8_t standerdOrientationFb;
    uint8_t standerdOrientationAdf;
    uint16_t particularOrientationFb;
    uint16_t particularOrientationAdf;
    uint8_t transferPixelBlackWhite;
    uint8_t transferPixelErrorDiffusion;
    uint8_t transferPixelTrueGray;
    uint8_t transferPixel256Color;
    uint8_t transferPixel24bitColor;
    uint8_t transferPixelColorTypeReserved;
    // 0x0314 - 0x0317, one per pseudo background (feeder front colour, back
    // colour, front gray, back gray): red, green, blue, their minimums and
    // maximums, and a reserved byte.
    uint8_t pseudoBackground[4][10];
    // 0x0401 - 0x0408
    uint8_t CompressBlackWhite;
    uint8_t CompressErrorDiffusion;
    uint8_t CompressTrueGray;
    uint8_t Compress256Color;
    uint8_t Compress24bitColor;
    uint8_t CompressReserved;
    uint8_t jpegCompressionRate;
    uint8_t jpegSamplingFactor;
    uint8_t changeThreshold;
    uint8_t lowerLimitThreshold;
    uint8_t upperLimitThreshold;
    uint8_t thresholdReserved;
    uint16_t specialImageProccesing;
    uint16_t colorProfile;
    uint8_t gammaAdjust;
    uint8_t gammaAdjustReserved;
    uint8_t moireRemoval;
    uint8_t moireRemovalReserved;
    uint16_t moireRemovalMaxResolutionX;
    uint16_t moireRemovalMaxResolutionY;
    uint16_t toneAdjust;
    uint16_t toneAdjustReserved;
    // 0x0501 - 0x0510
    uint8_t paperSizeDetected;
    uint8_t paperSizeDetectedContentFb;
    uint8_t paperSizeDetectedContentAdf;
    uint8_t paperDetectSensorNumFb;
    uint8_t paperDetectSensorNumAdf;
    uint8_t paperSizeDetectedReserved;
    uint8_t autoCrop;
    uint8_t autoCropColorType;
    uint16_t autoCropResolutionX;
    uint16_t autoCropResolutionY;
    uint16_t autoCropPixelX;
    uint16_t autoCropPixelY;
    uint8_t vertexEdgeDetection;
    uint8_t vertexEdgeColorType;
    uint16_t vertexEdgeResolutionMinX;
    uint16_t vertexEdgeResolutionMinY;
    uint16_t vertexEdgeResolutionMaxX;
    uint16_t vertexEdgeResolutionMaxY;
    uint8_t idCardMode;
    uint8_t landscanpeMode;
    uint16_t adfOnlyBackScan;
    uint8_t carrierSheetMode;
    uint8_t carrierSheetColorType;
    uint16_t carrierSheetSkipTop;
    uint16_t carrierSheetSkipBottom;
    uint16_t carrierSheetResolutionMinX;
    uint16_t carrierSheetResolutionMinY;
    uint16_t carrierSheetResolutionMaxX;
    uint16_t carrierSheetResolutionMaxY;
    uint16_t carrierSheetLimitedSetting;
    uint8_t plasticCardMode;
    uint8_t plasticCardColorType;
    uint16_t plasticCardResolutionMinX;
    uint16_t plasticCardResolutionMinY;
    uint16_t plasticCardResolutionMaxX;
    uint16_t plasticCardResolutionMaxY;
    uint16_t plasticCardLimitedSetting;
    uint8_t multiFeedDetect;
    uint8_t multiFeedDetectLevel;
    uint8_t groundRemoval[6];        // BlackWhite, ErrorDiffusion, TrueGray, 256Color, ColorTypeReserved, reserved
    uint8_t breedthroughRemoval[6];  // the same
    uint8_t autoDocumentSize;
    uint8_t autoDocumentSizeInterlocking;
    uint16_t autoDocumentSizeResolutionLimitX;
    uint16_t autoDocumentSizeResolutionLimitY;
    uint8_t deskew;
    uint8_t deskewInterlocking;
    uint16_t deskewResolutionLimitX;
    uint16_t deskewResolutionLimitY;
    uint8_t blankRemoval;
    uint8_t blankPageRemovalLevel;
    uint8_t autoColorType;
    uint8_t colorTypeLevel;
    uint8_t multipleTypeLevel;
    uint8_t autoColorTypeReserved;
    uint8_t detectResolution;
    uint8_t detectResolutionReserved;
    uint8_t quietScanMode;
    uint8_t quietScanModeReserved;
    uint16_t quietScanModeResoMinX;
    uint16_t quietScanModeResoMinY;
    uint16_t quietScanModeResoMaxX;
    uint16_t quietScanModeResoMaxY;
    uint8_t autoCropType;
    uint8_t autoCropTypeReserved;
};

}  // namespace vscore
