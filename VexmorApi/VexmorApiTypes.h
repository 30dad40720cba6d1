// The records and enumerations that cross the engine interface between the
// engine library and the SANE backend. The two are built separately, so every
// layout here is a contract: x86-64, natural alignment, bool one byte,
// enumerations 32-bit signed, texts fixed NUL-terminated byte arrays, and every
// byte of a record is a named member (padding is spelled out as padNN arrays).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vscore {

// ---------------------------------------------------------------------------
// Enumerations. A fixed underlying type makes every 32-bit value a valid
// value of the type, so a record filled from a device or by the backend never
// holds an out-of-range enumeration.

enum CAPSUPPORT : int32_t { UNKNOWN = 0, UNSUPPORT = 1, SUPPORT = 2 };

// INCH counts thousandths of an inch, MM hundredths of a millimetre.
enum UNITTYPE : int32_t { INCH = 0, MM = 1, PIXEL = 2 };

enum COLORTYPE : int32_t {
    AUTOCOLOR = 0,
    BLACKWHITE = 1,
    ERRDIFFUSION = 2,
    TRUEGRAY = 3,
    COLOR256 = 4,
    COLOR24BIT = 5,
    COLORTYPENUM = 6,
};

enum DUPLEXTYPE : int32_t { SIMPLEX = 0, DUPLEX_LONG = 1, DUPLEX_SHORT = 2 };

enum PAPERSOURCESELECT : int32_t { SOURCEAUTO = 0, FLATBED = 1, ADF = 2, CARDSLOT = 3 };

enum PAPERTYPE : int32_t {
    AUTOSIZE = 0,
    A4 = 1,
    LETTER = 2,
    LEGAL = 3,
    A3 = 4,
    LEDGER = 5,
    JISB4 = 6,
    JISB5 = 7,
    A5 = 8,
    JISB6 = 9,
    A6 = 10,
    EXECUTIVE = 11,
    PHOTO = 12,
    INDEXCARD = 13,
    PHOTOL = 14,
    PHOTO2L = 15,
    POSTCARD = 16,
    POSTCARD2 = 17,
    BCARD90X60 = 18,
    BCARD60X90 = 19,
    FOLIO = 20,
    MEXICANLEGAL = 21,
    INDIALEGAL = 22,
    LONGPAPER_NARROW = 23,
    LONGPAPER_WIDE = 24,
    DEVICEMAX = 25,
    CUSTOMSIZE = 26,
    PAPERTYPENUM = 27,
};

enum IMAGEORIENTATION : int32_t { ROT0 = 0, ROT90 = 1, ROT180 = 2, ROT270 = 3 };

enum IMAGEMERGETYPE : int32_t {
    MERGE_NONE = 0,
    MERGE_FRONTPAGEONLEFT = 1,
    MERGE_FRONTPAGEONTOP = 2,
    MERGE_FRONTPAGEONRIGHT = 3,
    MERGE_FRONTPAGEONBOTTOM = 4,
};

enum IMAGEDIVIDETYPE : int32_t { DIVIDE_NONE = 0, DIVIDE_LEFTRIGHT = 1, DIVIDE_TOPBOTTOM = 2 };

enum LINEDIRECTION : int32_t { LINE_VERTICAL = 0, LINE_HORIZONTAL = 1, LINE_VERTICAL_HORIZONAL = 2 };

enum SELECTCOLOR : int32_t { WHITE = 0, GRAY = 1, BLACK = 2, RED = 3, GREEN = 4, BLUE = 5, NEARBYCOLOR = 6 };

enum BARCODE_DIRECTION : int32_t { BARCODE_AUTO = 0, BARCODE_VERTICAL = 1, BARCODE_HORIZONTAL = 2 };

enum BARCODE_TYPE : int32_t {
    UNKNOWN_BARCODE = 0,
    CODE39 = 1,
    ITF = 2,
    CODE128 = 3,
    GS1_128 = 4,
    CODABAR = 5,
    UPCA = 6,
    UPCE = 7,
    JAN8 = 8,
    JAN13 = 9,
    QR = 10,
    DATAMATRIX = 11,
    PDF417 = 12,
    CODE93 = 13,
    CHINESECODE = 14,
    BARCODE_TYPE_MAXNUM = 15,
};

enum PATCHCODE_TYPE : int32_t {
    PATCHCODE_NONE = 0,
    TYPE_1 = 1,
    TYPE_2 = 2,
    TYPE_3 = 3,
    TYPE_4 = 4,
    TYPE_T = 5,
    TYPE_6 = 6,
    PATCHCODE_TYPE_MAXNUM = 7,
};

// Interface of a device as the engine interface names it (device access has
// its own devif_t).
enum devif_type : int32_t { USB = 1, NETWORK = 2, WINSTI = 3 };

// How a selection names its device.
enum devid_type : int32_t {
    DeviceName = 1,
    UsbId = 2,
    NodeNameOrIpAddress = 3,
    LocationId = 4,
    UsbPortName = 5,
};

// Address assignment of a network device.
enum bootmethod_type : int32_t { AUTO = 0, DHCP = 3, STATIC = 7, OTHER = 99 };

// State of the next page to be handed over (GetScanStatus).
enum SCANAPISTATUS : int32_t {
    STANDBY = 0,
    WAITINGNEXTPAGE = 1,
    RECEIVING = 2,
    XFERREADY = 3,
    WAITINGDOCUMENTINSERTION = 4,
    ALLEND = 5,
};

enum DEVICECATEGORY : int32_t { LASER = 0, INK = 1, DOCUMENTSCANNER = 2, HERON = 3 };

// The device's command version code; 14, 15 and 265 have no name.
enum CommandVersion : int32_t {
    CommandVersion_1999 = 0,
    CommandVersion_2000 = 1,
    CommandVersion_2001 = 2,
    CommandVersion_2003 = 3,
    CommandVersion_2005 = 4,
    CommandVersion_2008 = 5,
    CommandVersion_2009 = 6,
    CommandVersion_2010 = 7,
    CommandVersion_2011 = 8,
    CommandVersion_2012 = 9,
    CommandVersion_2013 = 10,
    CommandVersion_2014 = 11,
    CommandVersion_2014_2 = 12,
    CommandVersion_2017 = 13,
    CommandVersion_OLD_TARN = 16,
    CommandVersion_TARN = 257,
    CommandVersion_KELP2 = 258,
    CommandVersion_MOSSA = 259,
    CommandVersion_MOSSB = 260,
    CommandVersion_MOSSC = 261,
    CommandVersion_FERN4 = 262,
    CommandVersion_SPRIG = 263,
    CommandVersion_OSIER = 264,
    CommandVersion_RUSH = 266,
    CommandVersion_SEDGE2 = 267,
    CommandVersion_268 = 268,  // newest platform; no corrections of its own
};

enum POSITION : int32_t { LEFT = 0, CENTER = 1, RIGHT = 2, TOP = 3, BOTTOM = 4 };

enum DUPLEXSCANTYPE : int32_t { SWITCHBACK = 0, WCIS = 1 };

enum CardModeType : int32_t {
    NoCardMode = 0,
    AutoSize600dpiInADF = 1,
    AutoSizeInADF = 2,
    AutoSizeInSlot = 3,
    CardSize = 4,
};

enum BLANKREMOVALSYSTEM : int32_t { DETECTONLY = 0, DETECTANDREMOVE = 1 };

enum XFERCOUNTSYSTEM : int32_t { NOXFERCOUNT = 0, ONESHEETXFERCOUNTONLY = 1, MULTISHEETXFERCOUNT = 2 };

enum AUTOCONTINUOUSSCANDEVICESUPPORT : int32_t {
    UNSUPPORT_WITH_DEVICE = 0,
    WAIT_AT_DEVICE = 1,
    DISPLAY_WAITING_AT_DEVICE = 2,
};

// ---------------------------------------------------------------------------
// Small records shared by the scan request and the capability records.

struct AXIS {
    uint32_t x;
    uint32_t y;
};

struct AXIS_SIGNED {
    int32_t x;
    int32_t y;
};

struct tagRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct MARGINSIZE {
    int32_t left;
    int32_t right;
    int32_t top;
    int32_t bottom;
    UNITTYPE unit;
};

struct PAPERSIZE {
    AXIS size;
    UNITTYPE unit;
};

struct SCANAREA {
    int32_t offsetX;
    int32_t offsetY;
    int32_t width;
    int32_t height;
    UNITTYPE unit;
};

// Seven one-byte flags (7 bytes; records that embed it pad after it).
struct SUPPORTCOLORTYPES {
    bool blackAndWhite;
    bool errorDiffusion;
    bool trueGray;
    bool color256;
    bool color24bit;
    bool color256table;
    bool autoColor;
};

struct SUPPORTPAPERSOURCES {
    bool flatbed;
    bool adfSimplex;
    bool adfDuplex;
    bool cardslot;
};

struct SUPPORTPOWERSOURCE {
    bool ac;
    bool usb;
    bool usbWithCapacitor;
    bool battery;
};

struct SUPPORTSCANEVENT {
    bool scanToImage;
    bool scanToOCR;
    bool scanToEmail;
    bool scanToFile;
};

struct OPTICALRESOLUTIONS {
    AXIS flatbed;
    AXIS adfSimplex;
    AXIS adfDuplex;
    AXIS cardSlot;
};

struct DEVICESCANSIZES {
    AXIS flatbed;
    AXIS simplex;
    AXIS duplex;
    AXIS cardSlot;
    UNITTYPE unit;
};

struct PAPERSOURCESPEC {
    SUPPORTPAPERSOURCES supportPaperSource;
    DUPLEXSCANTYPE duplexScanSystem;
    uint32_t adfStackCapacity;
};

struct PAPERSETTINGPOSITIONS {
    POSITION flatbedX;
    POSITION flatbedY;
    POSITION adfX;
    POSITION adfY;
    POSITION cardslotX;
    POSITION cardslotY;
};

struct SUPPORTADJUSTLEVEL {
    CAPSUPPORT cap;
    int32_t level;
};

struct BACKGROUNDREMOVALSUPPORT {
    SUPPORTADJUSTLEVEL blackAndWhite;
    SUPPORTADJUSTLEVEL errorDiffusion;
    SUPPORTADJUSTLEVEL trueGray;
    SUPPORTADJUSTLEVEL color24bit;
};

struct BREEDTHROUGHREMOVALSUPPORT {
    SUPPORTADJUSTLEVEL blackAndWhite;
    SUPPORTADJUSTLEVEL errorDiffusion;
    SUPPORTADJUSTLEVEL trueGray;
    SUPPORTADJUSTLEVEL color24bit;
};

struct MONOTHRESHOLDSUPPORT {
    CAPSUPPORT autoThresholdCap;
    bool autoThresholdDef;
    uint8_t pad5[3];
    CAPSUPPORT manuanThresholdCap;
    uint32_t manualThresholdLevelMax;
    uint32_t manualThresholdLevelMin;
    uint32_t manualThresholdLevelDef;
};

struct AUTOCOLORLEVELSUPPORT {
    CAPSUPPORT cap;
    int32_t monoColorDetectLevelMax;
    int32_t monoColorDetectLevelMin;
    int32_t monoColorDetectLevelDef;
    int32_t monoGrayDetectLevelMax;
    int32_t monoGrayDetectLevelMin;
    int32_t monoGrayDetectLevelDef;
};

struct BLANKREMOVALLEVEL {
    CAPSUPPORT cap;
    bool blankRemovDef;
    uint8_t pad5[3];
    int32_t levelMax;
    int32_t levelMin;
    int32_t levelDef;
};

struct BLANKREMOVALSUPPORT {
    CAPSUPPORT cap;
    BLANKREMOVALSYSTEM systemType;
    BLANKREMOVALLEVEL blankLevel;
};

// ---------------------------------------------------------------------------
// The scan request of StartScanning.

struct tagSCANAREAINFO {
    PAPERTYPE papertype;
    PAPERSIZE customPaperSize;  // applies when papertype is CUSTOMSIZE
    bool areaSelected;          // selectArea applies when set
    uint8_t pad17[3];
    SCANAREA selectArea;
};

struct MONOTHRESHOLDPARAM {
    bool autoThreshold;
    bool customThreshold;
    uint8_t pad2[2];
    uint32_t manualLevel;
};

struct COLORTONEPARAM {
    bool autoTone;
    bool customTone;
    uint8_t pad2[2];
    int32_t manualBrightness;
    int32_t manualContrast;
    int32_t manualShadow;
    int32_t manualHighlight;
    int32_t manualGamma;
};

struct AUTOCOLORLEVELPARAM {
    int32_t monoColorDetectLevel;
    int32_t monoGrayDetectLevel;
};

struct BACKGROUNDREMOVALPARAM {
    bool remove;
    uint8_t pad1[3];
    uint32_t level;
};

struct SMOOTHINGPARAM {
    bool bleedThrough;
    bool backgroundRemoval;
    uint8_t pad2[2];
    int32_t level;
};

struct tagCOLORDROP_CUSTOMCOLOR {
    uint8_t redVal;
    uint8_t greenVal;
    uint8_t blueVal;
    uint8_t pad3[1];
    uint32_t level;
    bool keepDarkColor;
    uint8_t pad9[3];
};

struct COLORDROPPARAM {
    bool drop;
    bool chromaticColor;
    bool dropRed;
    bool dropGreen;
    bool dropBlue;
    bool custom;
    uint8_t pad6[2];
    tagCOLORDROP_CUSTOMCOLOR customColor;
};

struct THICKTEXTPARAM {
    bool thickness;
    uint8_t pad1[3];
    uint32_t level;
};

struct EDGEENHANCEPARAM {
    bool enhance;
    uint8_t pad1[3];
    uint32_t level;
};

struct DUSTREMOVALPARAM {
    bool reduce;
    uint8_t pad1[3];
    uint32_t level;
};

struct REMOVELINEPARAM {
    bool lineRemove;
    uint8_t pad1[3];
    LINEDIRECTION direction;
    uint32_t minLength;
    uint32_t dashedLength;
    UNITTYPE unit;
};

struct PUNCHHOLEPARAM {
    bool remove;
    uint8_t pad1[3];
    SELECTCOLOR fillColor;
};

struct COMBINEIMAGESPARAM {
    bool execute;
    uint8_t pad1[3];
    uint32_t width;
    uint32_t height;
    uint32_t space;
    UNITTYPE unit;
};

struct CARDMODEPARAM {
    bool execute;
    uint8_t pad1[3];
    IMAGEMERGETYPE mergeType;
    bool invertBack;
    uint8_t pad9[3];
    IMAGEORIENTATION rotationAngle;
};

struct EDGECUTPARAM {
    bool adjust;
    uint8_t pad1[3];
    tagRECT rect;
    UNITTYPE unit;
};

struct EDGEFILLPARAM {
    bool automatic;
    bool specifiedArea;
    uint8_t pad2[2];
    SELECTCOLOR color;
    MARGINSIZE margin;
};

struct BLANKREMOVEPARAM {
    bool remove;
    uint8_t pad1[3];
    int32_t level;
};

// Three bytes, one-byte aligned.
struct AUTOCONTINUOUSSCANPARAM {
    bool execute;
    uint8_t timeout;
    uint8_t feedDelay;
};

struct BARCODEPARAMETER {
    bool execute;
    uint8_t maxNum;
    uint8_t pad2[2];
    BARCODE_DIRECTION searchDirection;
    uint8_t retryNum;
    bool specifyArea;
    uint8_t pad10[2];
    SCANAREA area;
    bool addStartStopToCodabar;
    uint8_t pad33[3];
    BARCODE_TYPE types[15];
    uint16_t typesNum;  // entries used in types; a reader clamps it to 15
    uint8_t pad98[2];
};

struct PATCHCODEPARAMETER {
    bool execute;
    uint8_t pad1[3];
    PATCHCODE_TYPE types[7];
    uint16_t typesNum;  // entries used in types; a reader clamps it to 7
    uint8_t pad34[2];
};

// Advanced settings; the backend zeroes it and sets autocrop, deskew,
// blankRemoval and multifeedDetect.
struct tagVS_ADVANCEDSCAN {
    bool autocrop;
    bool deskew;
    bool autoRotate;
    uint8_t pad3[1];
    int32_t autoRotateLangId;
    bool detectEndOfPage;
    uint8_t pad9[3];
    IMAGEORIENTATION rotateImageAngle;
    MONOTHRESHOLDPARAM monoThreshold;
    COLORTONEPARAM colorTone;
    AUTOCOLORLEVELPARAM autoColorLevel;
    BACKGROUNDREMOVALPARAM backgroundRemoval;
    SMOOTHINGPARAM smoothing;
    COLORDROPPARAM colorDrop;
    THICKTEXTPARAM thickText;
    bool dotTextCombine;
    uint8_t pad101[3];
    EDGEENHANCEPARAM edgeEnhance;
    bool reduceNoise;
    bool moireRemoval;
    uint8_t pad114[2];
    DUSTREMOVALPARAM dustRemoval;
    REMOVELINEPARAM lineRemove;
    PUNCHHOLEPARAM punchHoleRemove;
    IMAGEMERGETYPE imageMerge;
    IMAGEDIVIDETYPE imageDivide;
    COMBINEIMAGESPARAM combineImages;
    bool carriersheet;
    uint8_t pad181[3];
    CARDMODEPARAM plasticCard;
    EDGECUTPARAM edgeCut;
    EDGEFILLPARAM edgeFill;
    BLANKREMOVEPARAM blankRemoval;
    int32_t xferCount;
    bool quietMode;
    AUTOCONTINUOUSSCANPARAM autoContinuousScan;
    bool multifeedDetect;
    uint8_t pad269[3];
    BARCODEPARAMETER detectBarcode;
    PATCHCODEPARAMETER detectPatchcode;
    bool iccProfile;
    uint8_t pad409[3];
};

// The scan request; the engine copies it and the caller keeps its own.
struct VS_SCANNER_PARAMETERS {
    uint32_t resolutionX;  // dpi
    uint32_t resolutionY;  // dpi
    COLORTYPE colortype;
    tagSCANAREAINFO scanAreaInfo;
    int32_t brightness;
    int32_t contrast;
    DUPLEXTYPE duplextype;
    PAPERSOURCESELECT paperSource;
    bool landscapeMode;
    uint8_t pad69[3];
    tagVS_ADVANCEDSCAN enhanced;
};

// ---------------------------------------------------------------------------
// The version-1 capability view of QueryDeviceCapabilities and its groups.

struct LONGPAPERSUPPORT {
    uint32_t simplexMaxLength;
    uint32_t duplexMaxLength;
    UNITTYPE unit;
    uint32_t maxResolution;
};

struct AUTODESKEWSUPPORT {
    CAPSUPPORT cap;
    SUPPORTPAPERSOURCES supportPaperSource;
    uint32_t maxResolution;
};

struct COLORTONESUPPORT {
    CAPSUPPORT cap;
    bool autoToneDef;
    uint8_t pad5[3];
    int32_t manualBrightnessLevelMax;
    int32_t manualBrightnessLevelMin;
    int32_t manualBrightnessLevelDef;
    int32_t manualContrastLevelMax;
    int32_t manualContrastLevelMin;
    int32_t manualContrastLevelDef;
    int32_t manualShadowLevelMax;
    int32_t manualShadowLevelMin;
    int32_t manualShadowLevelDef;
    int32_t manualHighlightLevelMax;
    int32_t manualHighlightLevelMin;
    int32_t manualHighlightLevelDef;
    int32_t manualGammaLevelMax;
    int32_t manualGammaLevelMin;
    int32_t manualGammaLevelDef;
};

struct SMOOTHINGSUPPORT {
    CAPSUPPORT bleedThroughCap;
    bool bleedThroughDef;
    uint8_t pad5[3];
    CAPSUPPORT removeBackgroundCap;
    bool removeBackgroundDef;
    uint8_t pad13[3];
    int32_t levelMax;
    int32_t levelMin;
    int32_t levelDef;
};

struct COLORDROPSUPPORT {
    CAPSUPPORT cap;
    SUPPORTCOLORTYPES colorType;
    uint8_t pad11[1];
};

struct THICKTEXTSUPPORT {
    CAPSUPPORT cap;
    bool thicknessDef;
    uint8_t pad5[3];
    uint32_t levelMax;
    uint32_t levelMin;
    uint32_t levelDef;
};

struct EDGEENHANCESUPPORT {
    CAPSUPPORT cap;
    bool edgeEnhanceDef;
    uint8_t pad5[3];
    uint32_t levelMax;
    uint32_t levelMin;
    uint32_t levelDef;
};

struct MOIREREMOVALSUPPORT {
    CAPSUPPORT cap;
    uint32_t maxResolution;
};

struct DUSTREMOVALSUPPORT {
    CAPSUPPORT cap;
    bool dustRemovDef;
    uint8_t pad5[3];
    uint32_t levelMax;
    uint32_t levelMin;
    uint32_t levelDef;
};

struct REMOVELINESUPPORT {
    CAPSUPPORT cap;
    LINEDIRECTION directionDef;
    uint32_t minLengthMaxMm;
    uint32_t minLengthMinMm;
    uint32_t minLengthDefMm;
    uint32_t dashedLengthMaxMm;
    uint32_t dashedLengthMinMm;
    uint32_t dashedLengthDefMm;
    uint32_t minLengthMaxInch;
    uint32_t minLengthMinInch;
    uint32_t minLengthDefInch;
    uint32_t dashedLengthMaxInch;
    uint32_t dashedLengthMinInch;
    uint32_t dashedLengthDefInch;
};

struct PUNCHHOLESUPPORT {
    CAPSUPPORT cap;
    bool white;
    bool nearbyColor;
    uint8_t pad6[2];
};

struct EDGECUTSUPPORT {
    CAPSUPPORT cap;
    MARGINSIZE maxMm;
    MARGINSIZE minMm;
    bool autoSizeOnly;
    bool isReversedSignOfDevicePanel;
    uint8_t pad46[2];
};

struct FILLCAPABILITY {
    CAPSUPPORT cap;
    bool white;
    bool black;
    uint8_t pad6[2];
};

struct EDGEFILLSUPPORT {
    CAPSUPPORT automatic;
    FILLCAPABILITY specifiedArea;
};

struct AUTOCONTINUOUSSCANSUPPORT {
    AUTOCONTINUOUSSCANDEVICESUPPORT support;
    uint8_t timeoutMin;
    uint8_t timeoutMax;
    uint8_t feedDelayMin;
    uint8_t feedDelayMax;
};

struct BARCODESUPPORT {
    CAPSUPPORT cap;
    uint8_t retryMax;
    uint8_t maxNum;
    uint8_t pad6[2];
    BARCODE_TYPE types[15];
};

struct PATCHCODESUPPORT {
    CAPSUPPORT cap;
    PATCHCODE_TYPE types[7];
    uint8_t pad32[4];
};

// Written whole by QueryDeviceCapabilities(1, record): the engine clears the
// record and fills it from its full capability record.
struct tagVS_SCANNER_CAPABILITY_VER1 {
    CommandVersion commandVersion;
    uint32_t updateVersion;
    char modelName[128];
    DEVICECATEGORY deviceCategory;
    SUPPORTPOWERSOURCE powerSource;
    SUPPORTSCANEVENT pushEvent;
    OPTICALRESOLUTIONS resolutionOptical;
    uint32_t resolutionList[11];  // entries after the last resolution are 0
    SUPPORTCOLORTYPES colorType;
    uint8_t pad231[1];
    DEVICESCANSIZES supportDocSizeMax;
    DEVICESCANSIZES deviceScanSizeMin;
    PAPERTYPE paperTypeList[27];
    uint32_t paperNum;  // entries used in paperTypeList; a reader clamps it to 27
    LONGPAPERSUPPORT longPaper;
    uint32_t autoSizeMaxResolution;
    PAPERSOURCESPEC paperSourceSpec;
    PAPERSETTINGPOSITIONS paperPosition;
    MARGINSIZE marginSize;
    CAPSUPPORT autoCrop;
    AUTODESKEWSUPPORT deskew;
    CAPSUPPORT autoRotate;
    CAPSUPPORT detectEndOfPage;
    CAPSUPPORT rotateImage;
    MONOTHRESHOLDSUPPORT monoThreshold;
    CAPSUPPORT grayTone;
    COLORTONESUPPORT colorTone;
    AUTOCOLORLEVELSUPPORT autoColorLevel;
    BACKGROUNDREMOVALSUPPORT backgroundRemoval;
    SMOOTHINGSUPPORT smoothing;
    COLORDROPSUPPORT colorDrop;
    THICKTEXTSUPPORT thickText;
    CAPSUPPORT dotTextCombine;
    EDGEENHANCESUPPORT edgeEnhance;
    CAPSUPPORT reduceNoise;
    MOIREREMOVALSUPPORT moireRemoval;
    DUSTREMOVALSUPPORT dustRemoval;
    REMOVELINESUPPORT lineRemove;
    PUNCHHOLESUPPORT punchHoleRemove;
    CAPSUPPORT imageMerge;
    CAPSUPPORT imageDevide;
    CAPSUPPORT combineImages;
    CAPSUPPORT carrierSheet;
    CardModeType plasticCard;
    EDGECUTSUPPORT edgeCut;
    EDGEFILLSUPPORT edgeFill;
    BLANKREMOVALSUPPORT blankRemoval;
    XFERCOUNTSYSTEM xferCount;
    AUTOCONTINUOUSSCANSUPPORT autoContinuousScan;
    CAPSUPPORT multifeedDetect;
    CAPSUPPORT quietMode;
    BARCODESUPPORT detectBarcode;
    PATCHCODESUPPORT detectPatchcode;
    CAPSUPPORT colorProfile;
    bool barcodeUtilitySolution;
    uint8_t pad1093[3];
};

// ---------------------------------------------------------------------------
// Pages, devices and settings.

// One finished page. The pixels stay the engine's until FreeImageData of the
// same page number; rows follow each other without filler bytes.
struct tagVS_SCAN_IMAGEDATA {
    uint8_t* pDataPtr;
    uint32_t dataSize;
    uint32_t resolutionX;
    uint32_t resolutionY;   // always equal to resolutionX
    uint32_t bitsPerPixel;  // 1, 8 or 24
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerLine;
    bool isBlankPage;  // set alone for a blank page; no other field is written
    bool isMaxLengthCut;
    uint8_t pad38[2];
    uint32_t reserved;  // always 0
    PAPERSOURCESELECT paperSource;
};

// One device of EnumerateDevice's list.
struct _VS_DEVICE_INFO {
    char nameDevice[128];
    devif_type ifType;  // USB or NETWORK, 0 for any other kind
    struct {
        uint16_t idVender;
        uint16_t idProduct;
        char nameUsbPort[128];
        uint32_t idLocation;
    } usb;
    struct {
        bootmethod_type bootMethod;
        char nameNode[128];
        char ipAddress[128];
        char macAddress[128];
    } net;
};

// The device selection of SelectDevice, kept by the engine.
struct _VS_SELECT_DEVICE_INFO {
    devif_type typeDeviceIf;
    devid_type typeDeviceId;
    char nameDevice[128];   // device name or USB port name
    char addrNetwork[128];  // node name or IPv4 address
    struct {
        uint16_t idVendor;
        uint16_t idProduct;
    } usbId;
    uint32_t idLocation;
};

// The first and second SNMP community names of the network plug-in.
struct VS_SNMP_COMMUNITYNAME {
    char name1[256];
    char name2[256];
};

// Groups of the push-scan settings: each opens with a flag that says whether
// the device reported the setting.
struct SKEYINFO_VALUE {
    bool isSet;
    uint8_t pad1[3];
    int32_t value;
};

struct SKEYINFO_DUPLEXTYPE {
    bool isSet;
    uint8_t pad1[3];
    DUPLEXTYPE value;
};

struct SKEYINFO_COLORTYPE {
    bool isSet;
    uint8_t pad1[3];
    COLORTYPE value;
};

struct SKEYINFO_PAPERTYPE {
    bool isSet;
    uint8_t pad1[3];
    PAPERTYPE value;
};

struct SKEYINFO_RESOLUTION {
    bool isSetX;
    bool isSetY;
    bool isAutoX;
    bool isAutoY;
    uint32_t x;
    uint32_t y;
};

struct SKEYINFO_SWITCH {
    bool isSet;
    bool isOn;
};

struct SKEYINFO_FILESAVE {
    bool isFileTypeSet;
    uint8_t pad1[3];
    uint32_t fileType;
    bool isCompressionSet;
    uint8_t pad9[3];
    uint32_t compression;
    uint32_t splitType;
    uint32_t splitPages;
    uint32_t jpegQuality;
    bool onePagePerFile;
    uint8_t pad29[3];
};

struct SKEYINFO_ORIENTATION {
    bool isSet;
    uint8_t pad1[3];
    bool isAutoRotate;
    uint8_t pad5[3];
    int32_t angle;
};

struct SKEYINFO_BACKGROUNDREMOVAL {
    bool isSet;
    bool isOn;
    uint8_t pad2[2];
    bool isLevelSet;
    uint8_t pad5[3];
    uint32_t level;
};

struct SKEYINFO_MARGINADJUST {
    bool isSet;
    uint8_t pad1[3];
    int32_t left;  // 1/100 mm
    int32_t right;
    int32_t top;
    int32_t bottom;
    UNITTYPE unit;
};

}  // namespace vscore

// The scan-key (push-scan) settings that GetPushScanParameter copies out
// whole. Cleared first, then filled from the device's answer.
struct PushScanKeyInfo {
    vscore::SKEYINFO_VALUE scanEvent;        // 0 image, 1 OCR, 2 e-mail, 3 file
    vscore::SKEYINFO_VALUE scanStartTiming;  // 1 asks for read-ahead scanning
    vscore::SKEYINFO_DUPLEXTYPE duplex;
    vscore::SKEYINFO_RESOLUTION resolution;
    vscore::SKEYINFO_COLORTYPE colorType;
    vscore::SKEYINFO_PAPERTYPE paperType;
    vscore::SKEYINFO_VALUE brightness;
    vscore::SKEYINFO_VALUE contrast;
    vscore::SKEYINFO_SWITCH autoCrop;
    uint8_t pad70[2];
    vscore::SKEYINFO_FILESAVE fileSave;
    vscore::SKEYINFO_SWITCH blankPageRemoval;
    vscore::SKEYINFO_SWITCH bleedThroughRemoval;
    vscore::SKEYINFO_ORIENTATION documentOrientation;
    vscore::SKEYINFO_SWITCH deskew;
    uint8_t pad122[2];
    vscore::SKEYINFO_BACKGROUNDREMOVAL backgroundRemoval;
    uint16_t changedState;  // generation 2 only
    vscore::SKEYINFO_SWITCH moireRemoval;
    vscore::SKEYINFO_MARGINADJUST marginAdjustment;  // generation 2 only
};

// The bitmap a scan will deliver, computed from the last scan request; all
// zero when no scan process exists.
struct ScanBitmapImageInfo {
    uint32_t bitsPerPixel;
    uint32_t resolutionX;
    uint32_t resolutionY;
    uint32_t pixelsPerMeterX;
    uint32_t pixelsPerMeterY;
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerLine;  // (width * bitsPerPixel + 7) / 8
};

// Document-feeder state of QueryAdfState: the engine's document-check result
// plus one, 0 when no check could be made.
enum AdfState : int32_t {
    AdfNotChecked = 0,
    AdfUnexpectedAnswer = 1,  // the check gave a result outside 1-4
    AdfDocumentPresent = 2,
    AdfNoDocument = 3,
    AdfNeitherState = 4,  // the device reports neither present nor absent
    AdfStatusA = 5,       // generation-2 devices only
};

namespace vscore {

// Clears every byte of an interface record before the engine fills it, so a
// caller's pre-filled pattern never survives in any field or padding byte.
template <class Record>
void ClearRecord(Record* record)
{
    static_assert(std::is_trivially_copyable_v<Record> && std::is_standard_layout_v<Record>,
                  "interface records are plain data");
    std::memset(static_cast<void*>(record), 0, sizeof(Record));
}

}  // namespace vscore
