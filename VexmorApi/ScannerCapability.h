// The engine's full description of one scanner, filled from the device's
// capability answer and kept inside the engine library (the backend sees only
// the version-1 view). A plain value type, cleared before it is filled.
#pragma once

#include <cstdint>
#include <string>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Command generation: one-letter or three-letter commands.
enum SCANCMD_GENERATION : int32_t {
    SCANCMD_GENERATION_UNKNOWN = 0,
    SCANCMD_1ST_GENERATION = 1,
    SCANCMD_2ND_GENERATION = 2,
};

enum MARGINADJUSTMENTDIRECTION : int32_t { OUTWARD_POSITIVE = 0, INWARD_POSITIV = 1 };

enum DOCUMENTROTATE : int32_t {
    AUTOROTATE = 0,
    VERTICAL = 1,
    HORIZONTAL = 2,
    NOROTATE = 3,
    DEGREE90 = 4,
    DEGREE180 = 5,
    DEGREE270 = 6,
};

enum TAPECOLOR : int32_t { WHITE_TAPE = 0, GRAY_TAPE = 1, BLACK_TAPE = 2 };

enum DOCUMENTORIENTATION : int32_t { NOT_ORIENTATION = 0, D_VERTICAL = 1, D_HORIZONTAL = 2, FREE = 3 };

enum CORNERINFO_PROTOCOLSYSTEM : int32_t { ONBOTHSIDE = 0, ONONESIDE = 1 };

// Scoped: its UNSUPPORT would clash with CAPSUPPORT's.
enum class AUTOCROPTYPE : int32_t { UNSUPPORT = 0, CROP_1PASS = 1, CROP_2PASS = 2 };

enum CARRIERSHEETOFFSETSYSTEM : int32_t { MANUALSKIP = 0, AUTOSKIP = 1 };

// ---------------------------------------------------------------------------
// Hardware groups.

struct PUSHPULLSCAN {
    bool pushScan;  // started at the device
    bool pullScan;  // started by the computer
};

struct CONTINUOUSSCANSUPPORT {
    CAPSUPPORT cap;
    PUSHPULLSCAN fb;
    PUSHPULLSCAN adf;
};

struct PARAMSETTINGSUPPORT {
    CAPSUPPORT cap;
    bool dupScanOnly;
};

struct DEVICEPANELCAPS {
    CONTINUOUSSCANSUPPORT continuousScan;
    PARAMSETTINGSUPPORT paramSetting;
    AUTOCONTINUOUSSCANDEVICESUPPORT autoCoutinuousScan;
    MARGINADJUSTMENTDIRECTION marginAdjustmentDirection;
};

struct DEVICESUPPORTSCANFUNC {
    bool officeDocCreator;
};

// Settings the device panel offers for push scans.
struct DEVICEPANELFUNCTIONS {
    bool duplex;
    bool scanType;
    bool resolution;
    bool fileType;
    bool documentSize;
    bool brightness;
    bool contrast;
    bool autoDeskew;
    bool skipBlankPage;
    bool removeBackgroundColor;
    bool reduceMoire;
    bool adjustMargin;

    // The panel block of the capability text, from "{ " to "    }".
    std::string GetDescription() const;
};

// ---------------------------------------------------------------------------
// Basic groups.

struct LONGPAPERLENGTHMAX {
    CAPSUPPORT cap;
    uint32_t simplexMaxLength;
    uint32_t duplexMaxLength;
    uint32_t maxResolutionX;
    uint32_t maxResolutionY;
    UNITTYPE unit;
};

struct MARGINSIZES {
    MARGINSIZE flatbed;
    MARGINSIZE adfSimplex;
    MARGINSIZE adfDuplex;
    MARGINSIZE cardslot;
};

struct MARGINADJUSTSIZES {
    MARGINSIZE flatbed_plus;
    MARGINSIZE flatbed_minus;
    MARGINSIZE adfSimplex_plus;
    MARGINSIZE adfSimplex_minus;
    MARGINSIZE adfDuplex_plus;
    MARGINSIZE adfDuplex_minus;
    MARGINSIZE cardslot_plus;
    MARGINSIZE cardslot_minus;
};

struct CARDSCANSETTINGORIENTATIONS {
    CAPSUPPORT capFlatbed;
    DOCUMENTROTATE orientFlatbed;
    CAPSUPPORT capAdf;
    DOCUMENTROTATE orientAdf;
};

struct MULTIPAGESCANSYSTEM {
    bool scan1Paper;
    bool definingPageNums;
};

// Features that cannot be combined with a scan mode.
struct EXCLUSIONFUNCTIONS {
    bool detectDocSize;
    bool detectMultifeed;
    bool removeBackgroundByDevice;
    bool deskewByDevice;
    bool autoColorByDevice;
    bool blankRemovalByDevice;
    bool detectDocSizeByDevice;
    bool autoResolutionByDevice;
    bool autoRotateByDevice;
};

struct OVERSCANSYSTEM {
    CAPSUPPORT cap;
    SUPPORTCOLORTYPES supportColorType;
    EXCLUSIONFUNCTIONS exclusion;
};

struct CANCELACTION {
    bool allEjection;
    bool stopEjection;
    bool stopFeed;
};

struct CANCELSYSTEM {
    CAPSUPPORT cap;
    CANCELACTION cancelAction;
};

struct ERRORSTOPSYSTEM {
    CAPSUPPORT cap;
    bool scanStop;
    bool cancelError;
};

struct DOUBLEFEEDERRORSYSTEM {
    CAPSUPPORT cap;
    bool scanStop;
    bool cancelError;
    bool continuousScan;
};

struct ERRORSYSTEM {
    ERRORSTOPSYSTEM errorJam;
    DOUBLEFEEDERRORSYSTEM errorDoublefeed;
    ERRORSTOPSYSTEM coverOpen;
};

struct TAPECOLORDATA {
    int32_t tapeColorRed;
    int32_t tapeColorGreen;
    int32_t tapeColorBlue;
};

struct TAPECOLORRANGE {
    int32_t tapeColorRangeMax;
    int32_t tapeColorRangeMin;
};

// The colour of the feeder's background tape.
struct COLORTAPE {
    TAPECOLOR tapeColor;
    TAPECOLORDATA tapeData;
    TAPECOLORRANGE tapeRange;
};

struct RECOMMENDEDORIENTATION {
    DOCUMENTORIENTATION standerdOrientFb;
    DOCUMENTORIENTATION standerdOrientAdf;
    DOCUMENTORIENTATION orientA4Fb;
    DOCUMENTORIENTATION orientLetterFb;
    DOCUMENTORIENTATION orientB5Fb;
    DOCUMENTORIENTATION orientExectiveFb;
    DOCUMENTORIENTATION orientA5Fb;
    DOCUMENTORIENTATION orientA4Adf;
    DOCUMENTORIENTATION orientLetterAdf;
    DOCUMENTORIENTATION orientB5Adf;
    DOCUMENTORIENTATION orientExectiveAdf;
    DOCUMENTORIENTATION orientA5Adf;
};

// Pixel units of the transfer per colour type.
struct TRANSFERPIXELUNIT {
    uint8_t blackAndWhite;
    uint8_t errorDiffusion;
    uint8_t trueGray;
    uint8_t color256;
    uint8_t color24bit;
};

// Pseudo background colour of the feeder.
struct PSEUDOBACKGROUNDCOLOR {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t redMin;
    uint8_t greenMin;
    uint8_t blueMin;
    uint8_t redMax;
    uint8_t greenMax;
    uint8_t blueMax;
};

// ---------------------------------------------------------------------------
// Image-processing groups.

struct COMPRESSIONTYPES {
    bool noCompress;
    bool packbits;
    bool mh;
    bool jpeg;
};

struct JPEGSAMPLINGFACTOR {
    bool ycbcr444;
    bool ycbcr422;
    bool ycbcr411;
    bool ycbcr420;
    bool ycbcr400;
};

struct JPEGCOMPRESSION {
    uint32_t compressLevel;
    JPEGSAMPLINGFACTOR jpegSamplingFactor;
};

struct SUPPORTCOMPRESSIONTYPE {
    COMPRESSIONTYPES blackAndWhite;
    COMPRESSIONTYPES errorDiffusion;
    COMPRESSIONTYPES trueGray;
    COMPRESSIONTYPES color256;
    COMPRESSIONTYPES color24bit;
    JPEGCOMPRESSION jpegCompression;
};

struct SPECIALDOCUMENTIMAGEPROCS {
    bool ocr;
    bool photo;
    bool textandgraph;
    bool copy;
};

struct MOIREREMOVALCAPABILITY {
    CAPSUPPORT moireCap;
    AXIS moireMaxResolution;
};

// ---------------------------------------------------------------------------
// Advanced groups.

struct PAPERWIDTHDETECT {
    CAPSUPPORT cap;
    SUPPORTPAPERSOURCES supportPaperSource;
    CAPSUPPORT fb2CornerData;
    CAPSUPPORT fbStanderdSize;
    CAPSUPPORT fbPaperOrientation;
    CAPSUPPORT adf2CornerData;
    CAPSUPPORT adfStanderdSize;
    CAPSUPPORT adfPaperOrientation;
    uint32_t fbDetectSensorNum;
    uint32_t adfDetectSensorNum;
};

struct AUTOCROP2PASS {
    CAPSUPPORT cap;
    SUPPORTCOLORTYPES supportColorType;
    AXIS AutoCropResolutionDpi;
    AXIS AutoCropPixel;
};

struct CORNERDETECT {
    CAPSUPPORT cap;
    SUPPORTCOLORTYPES supportColorType;
    SUPPORTPAPERSOURCES supportPaperSource;
    CORNERINFO_PROTOCOLSYSTEM cornerInfoOutputSystem;
    AXIS resolutionDpiMin;
    AXIS resolutionDpiMax;
};

struct IDCARDDEVICEFUNC {
    bool scanFromFlatbed;
    bool showGuidsOnPanel;
};

struct IDCARDMODE {
    CAPSUPPORT cap;
    IDCARDDEVICEFUNC deviceFunc;
};

struct LANDSCAPESUPPORT {
    CAPSUPPORT cap;
    SUPPORTPAPERSOURCES ladscapeCapablePaperSource;
};

struct CARRIERSHEETOFFSETSIZE {
    uint32_t top;
    uint32_t bottom;
};

struct CARRIERSHEETSUPPORT {
    CAPSUPPORT cap;
    CARRIERSHEETOFFSETSYSTEM skipOffsetSystem;
    SUPPORTCOLORTYPES supportColorType;
    CARRIERSHEETOFFSETSIZE offsetSizeMm;
    AXIS resolutionDpiMax;
    AXIS resolutionDpiMin;
    EXCLUSIONFUNCTIONS exclusion;
};

struct PLASTICCARDSUPPORT {
    CAPSUPPORT cap;
    SUPPORTCOLORTYPES supportColorType;
    AXIS resolutionDpiMin;
    AXIS resolutionDpiMax;
    EXCLUSIONFUNCTIONS exclusion;
};

struct MULTIFEEDDETECTSUPPORT {
    CAPSUPPORT cap;
    SUPPORTADJUSTLEVEL detectionLevel;
};

struct DETECTSIZEINTERLOCK {
    bool isNotSingleUsed;
    bool isAutoDeskew;
};

struct DEVICEDETECTSIZESUPPORT {
    CAPSUPPORT cap;
    SUPPORTPAPERSOURCES supportPaperSource;
    DETECTSIZEINTERLOCK interlock;
    AXIS resolutionLimit;
};

struct DESKEWINTERLOCK {
    bool isNotSingleUsed;
    bool isAutoDocument;
};

struct DEVICEDESKEWSUPPORT {
    CAPSUPPORT cap;
    SUPPORTPAPERSOURCES supportPaperSource;
    DESKEWINTERLOCK interlock;
    AXIS resolutionLimit;
};

struct QUIETMODESUPPORT {
    CAPSUPPORT cap;
    int32_t resoMax;
    int32_t resoMin;
};

// ---------------------------------------------------------------------------

// The full capability record, six groups in the order of its text dump.
struct VS_SCANNER_CAPABILITY {
    // Generation
    SCANCMD_GENERATION cmdGeneration;
    CommandVersion commandVersion;

    // Model Info
    DEVICECATEGORY category;
    char modelName[128];  // NUL-terminated unless all 128 bytes are text
    uint8_t updateNum;

    // Hardware Spec
    SUPPORTSCANEVENT supportPushScanEvent;
    DEVICEPANELCAPS devicePanelCaps;
    DEVICESUPPORTSCANFUNC deviceSupportScanFunc;
    CAPSUPPORT qciCommandSup;  // the device answers the QDI capability command
    CAPSUPPORT preScaningSup;
    DEVICEPANELFUNCTIONS devicePanelFunctions;
    bool barcodeUtilitySolution;
    SUPPORTPOWERSOURCE supportPowerSource;

    // Basic Spec
    SUPPORTCOLORTYPES colorType;
    PAPERSOURCESPEC paperSource;
    OPTICALRESOLUTIONS resolutionOptical;
    DEVICESCANSIZES deviceScanSizeMax;
    LONGPAPERLENGTHMAX longPaperLengthMax;
    DEVICESCANSIZES deviceScanSizeMin;
    DEVICESCANSIZES supportDocSizeMax;
    MARGINSIZES marginSize;
    MARGINSIZES marginSizeForAuto;
    bool isMarginAutoEnabled;
    MARGINADJUSTSIZES marginAdjust;
    MARGINADJUSTSIZES marginAdjustForAuto;
    bool isMarginAdjustAutoEnabled;
    PAPERSETTINGPOSITIONS paperPosition;
    CARDSCANSETTINGORIENTATIONS cardSizeOrientation;
    MULTIPAGESCANSYSTEM multipageScanSystem;
    OVERSCANSYSTEM overScanSystem;
    CANCELSYSTEM cancelSystem;
    ERRORSYSTEM errorSystem;
    COLORTAPE colorTape;
    RECOMMENDEDORIENTATION recommendedOrientation;
    TRANSFERPIXELUNIT transferPixelUnit;
    PSEUDOBACKGROUNDCOLOR pseudoBackgoundAdfFrontColor;
    PSEUDOBACKGROUNDCOLOR pseudoBackgoundAdfBackColor;
    PSEUDOBACKGROUNDCOLOR pseudoBackgoundAdfFrontGray;
    PSEUDOBACKGROUNDCOLOR pseudoBackgoundAdfBackGray;

    // Image Processing Spec
    SUPPORTCOMPRESSIONTYPE supportCompressionType;
    MONOTHRESHOLDSUPPORT monoThreshold;
    SPECIALDOCUMENTIMAGEPROCS specialDocumentImageProcs;
    CAPSUPPORT colorProfileOutput;  // the device delivers a colour profile
    uint32_t gammaRange;
    MOIREREMOVALCAPABILITY moireRemoval;
    CAPSUPPORT toneAdjust;

    // Advanced Spec
    PAPERWIDTHDETECT paperWidthDetect;
    AUTOCROP2PASS autoCrop2Pass;
    CORNERDETECT cornerDetect;
    IDCARDMODE idCardMode;
    LANDSCAPESUPPORT landscape;
    CAPSUPPORT adfOnlyBackScan;
    CARRIERSHEETSUPPORT carrierSheet;
    PLASTICCARDSUPPORT plasticCard;
    MULTIFEEDDETECTSUPPORT multifeedDetect;
    BACKGROUNDREMOVALSUPPORT backgroundRemove;
    BREEDTHROUGHREMOVALSUPPORT breedthroughRemoval;
    DEVICEDETECTSIZESUPPORT deviceDetectSize;
    DEVICEDESKEWSUPPORT deskew;
    BLANKREMOVALSUPPORT blankRemoval;
    AUTOCOLORLEVELSUPPORT autoColor;
    CAPSUPPORT detectResolution;
    QUIETMODESUPPORT quietMode;
    AUTOCROPTYPE autoCropType;

    // The record as multi-line text for the engine log, "{" to "}" without a
    // final line feed.
    std::string GetDescription() const;

    // Always false: the engine does not fit automatic sizes itself.
    bool IsSupportedFittingAutoSize() const;
    // A document scanner that cannot remove blank pages: the engine's own
    // pipeline detects them.
    bool IsDetectedBlankOnPC() const;
    // Always false: colour is never detected by the engine.
    bool IsDetectedColorOnPC() const;
    // Command version 13, or a document scanner above command version 266.
    bool IsOutsideDevice() const;
};

}  // namespace vscore
