// The capability record's log text against golden texts written from the
// text layout, for a cleared record and for one with every group filled.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "VexmorApi/ScannerCapability.h"
#include "diagnostics/DeviceCapabilityDescriptor.h"

namespace {

using namespace vscore;

const char* const kClearedText = R"TXT({
    <Generation>
    cmdGeneration:  SCANCMD_GENERATION_UNKNOWN
    commandVersion: 0x0000

    <Model Info>
    category:  LASER
    modelName: 
    updateNum: 0

    <Hardware Spec>
    supportPushScanEvent: { scanToImage: false, scanToOCR: false, scanToEmail: false, scanToFile: false }
    devicePanelCaps: {
        continuousScan:       { cap: UNKNOWN, fb: { pushScan: false, pullScan: false }, adf: { pushScan: false, pullScan: false } }
        paramSetting:         { cap: UNKNOWN, dupScanOnly: false }
        autoCoutinuousScan:   UNSUPPORT_WITH_DEVICE
        marginAdjustmentDirection: OUTWARD_POSITIVE
    }
    deviceSupportScanFunc: { officeDocCreator: false }
    qciCommandSup: UNKNOWN
    preScaningSup: UNKNOWN
    devicePanelFunctions: { 
        duplex:                false
        scanType:              false
        resolution:            false
        fileType:              false
        documentSize:          false
        brightness:            false
        contrast:              false
        autoDeskew:            false
        skipBlankPage:         false
        removeBackgroundColor: false
        reduceMoire:           false
        adjustMargin:          false
    }
    barcodeUtilitySolution: false
    supportPowerSource: { ac: false, usb: false, usbWithCapacitor: false, battery: false }

    <Basic Spec>
    colorType:   { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
    paperSource: { supportPaperSource: { flatbed: false, adfSimplex: false, adfDuplex: false, cardslot: false }, duplexScanSystem: SWITCHBACK, adfStackCapacity: 0 }
    resolutionOptical:  { flatbed: { x: 0, y: 0 }, adfSimplex: { x: 0, y: 0 }, adfDuplex: { x: 0, y: 0 }, cardSlot: { x: 0, y: 0 } }
    deviceScanSizeMax:  { flatbed: { x: 0, y: 0 }, simplex: { x: 0, y: 0 }, duplex: { x: 0, y: 0 }, cardSlot: { x: 0, y: 0 }, unit: INCH }
    longPaperLengthMax: { cap: UNKNOWN, simplexMaxLength: 0, duplexMaxLength: 0, maxResolutionX: 0, maxResolutionY: 0, unit: INCH }
    deviceScanSizeMin:  { flatbed: { x: 0, y: 0 }, simplex: { x: 0, y: 0 }, duplex: { x: 0, y: 0 }, cardSlot: { x: 0, y: 0 }, unit: INCH }
    supportDocSizeMax:  { flatbed: { x: 0, y: 0 }, simplex: { x: 0, y: 0 }, duplex: { x: 0, y: 0 }, cardSlot: { x: 0, y: 0 }, unit: INCH }
    marginSize:         {
        flatbed:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
    }
    marginSizeForAuto:  {
        flatbed:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
    }
    isMarginAutoEnabled: false
    marginAdjust:        {
        flatbed_plus:     { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        flatbed_minus:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex_plus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex_minus: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_plus:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_minus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_plus:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_minus:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
    }
    marginAdjustForAuto: {
        flatbed_plus:     { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        flatbed_minus:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex_plus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex_minus: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_plus:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_minus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_plus:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_minus:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
    }
    isMarginAdjustAutoEnabled:  false
    paperPosition: { flatbedX: LEFT, flatbedY: LEFT, adfX: LEFT, adfY: LEFT, cardslotX: LEFT, cardslotY: LEFT }
    cardSizeOrientation: { capFlatbed: UNKNOWN, orientFlatbed: AUTOROTATE, capAdf: UNKNOWN, orientAdf: AUTOROTATE }
    multipageScanSystem: { scan1Paper: false, definingPageNums: false }
    overScanSystem: {
        cap: UNKNOWN
        supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
        exclusion: {
            detectDocSize:         false, detectMultifeed:        false, removeBackgroundByDevice: false
            deskewByDevice:        false, autoColorByDevice:      false, blankRemovalByDevice:     false
            detectDocSizeByDevice: false, autoResolutionByDevice: false, autoRotateByDevice:       false
        }
    }
    cancelSystem:   { cap: UNKNOWN, cancelAction: { allEjection: false, stopEjection: false, stopFeed: false } }
    errorSystem:    {
        errorJam:        { cap: UNKNOWN, scanStop: false, cancelError: false }
        errorDoublefeed: { cap: UNKNOWN, scanStop: false, cancelError: false, continuousScan: false }
        coverOpen:       { cap: UNKNOWN, scanStop: false, cancelError: false }
    }
    colorTape:  { tapeColor: WHITE_TAPE, tapeData: { tapeColorRed: 0, tapeColorGreen: 0, tapeColorBlue: 0 }, tapeRange: { tapeColorRangeMax: 0, tapeColorRangeMin: 0 } }
    recommendedOrientation: {
        standerdOrientFb:  NOT_ORIENTATION, standerdOrientAdf: NOT_ORIENTATION
        orientA4Fb:        NOT_ORIENTATION, orientLetterFb:    NOT_ORIENTATION
        orientB5Fb:        NOT_ORIENTATION, orientExectiveFb:  NOT_ORIENTATION
        orientA5Fb:        NOT_ORIENTATION, orientA4Adf:       NOT_ORIENTATION
        orientLetterAdf:   NOT_ORIENTATION, orientB5Adf:       NOT_ORIENTATION
        orientExectiveAdf: NOT_ORIENTATION, orientA5Adf:       NOT_ORIENTATION
    }
    transferPixelUnit:      { blackAndWhite: 0, errorDiffusion: 0, trueGray: 0, color256: 0, color24bit: 0 }
    pseudoBackgoundAdfFrontColor: { red: 0, green: 0, blue: 0, redMin: 0, greenMin: 0, blueMin: 0, redMax: 0, greenMax: 0, blueMax: 0 }
    pseudoBackgoundAdfBackColor: { red: 0, green: 0, blue: 0, redMin: 0, greenMin: 0, blueMin: 0, redMax: 0, greenMax: 0, blueMax: 0 }
    pseudoBackgoundAdfFrontGray: { red: 0, green: 0, blue: 0, redMin: 0, greenMin: 0, blueMin: 0, redMax: 0, greenMax: 0, blueMax: 0 }
    pseudoBackgoundAdfBackGray: { red: 0, green: 0, blue: 0, redMin: 0, greenMin: 0, blueMin: 0, redMax: 0, greenMax: 0, blueMax: 0 }

    <Image Processing Spec>
    supportCompressionType: {
        blackAndWhite:   { noCompress: false, packbits: false, mh: false, jpeg: false }
        errorDiffusion:  { noCompress: false, packbits: false, mh: false, jpeg: false }
        trueGray:        { noCompress: false, packbits: false, mh: false, jpeg: false }
        color256:        { noCompress: false, packbits: false, mh: false, jpeg: false }
        color24bit:      { noCompress: false, packbits: false, mh: false, jpeg: false }
        jpegCompression: { compressLevel: 0, jpegSamplingFactor: { ycbcr444: false, ycbcr422: false, ycbcr411: false, ycbcr420: false, ycbcr400: false } }
    }
    monoThreshold: { autoThresholdCap: UNKNOWN, autoThresholdDef: false, manuanThresholdCap: UNKNOWN, manualThresholdLevelMax: 0, manualThresholdLevelMin: 0, manualThresholdLevelDef: 0 }
    specialDocumentImageProcs: { ocr: false, photo: false, textandgraph: false, copy: false }
    colorProfileOutput: UNKNOWN
    gammaRange:         0
    moireRemoval:       { moireCap: UNKNOWN, moireMaxResolution: { x: 0, y: 0 } }
    toneAdjust:         UNKNOWN

    <Advanced Spec>
    paperWidthDetect: {
            cap: UNKNOWN
            supportPaperSource: { flatbed: false, adfSimplex: false, adfDuplex: false, cardslot: false }
            fb2CornerData:  UNKNOWN, fbStanderdSize:  UNKNOWN, fbPaperOrientation : UNKNOWN
            adf2CornerData: UNKNOWN, adfStanderdSize: UNKNOWN, adfPaperOrientation: UNKNOWN
            fbDetectSensorNum: 0, adfDetectSensorNum: 0
        }
    autoCrop2Pass: {
            cap: UNKNOWN
            supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
            AutoCropResolutionDpi: { x: 0, y: 0 }
            AutoCropPixel: { x: 0, y: 0 }
        }
    cornerDetect: {
            cap: UNKNOWN
            supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
            supportPaperSource: { flatbed: false, adfSimplex: false, adfDuplex: false, cardslot: false }
            cornerInfoOutputSystem: ONBOTHSIDE
            resolutionDpiMin: { x: 0, y: 0 }
            resolutionDpiMax: { x: 0, y: 0 }
        }
    idCardMode: { cap: UNKNOWN, deviceFunc: { scanFromFlatbed: false, showGuidsOnPanel: false } }
    landscape:  { cap: UNKNOWN, ladscapeCapablePaperSource: { flatbed: false, adfSimplex: false, adfDuplex: false, cardslot: false } }
    adfOnlyBackScan: UNKNOWN
    carrierSheet: {
        cap: UNKNOWN
        skipOffsetSystem: MANUALSKIP
        supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
        offsetSizeMm: { top: 0, bottom: 0 }
        resolutionDpiMax: { x: 0, y: 0 }
        resolutionDpiMin: { x: 0, y: 0 }
        exclusion: {
            detectDocSize:         false, detectMultifeed:        false, removeBackgroundByDevice: false
            deskewByDevice:        false, autoColorByDevice:      false, blankRemovalByDevice:     false
            detectDocSizeByDevice: false, autoResolutionByDevice: false, autoRotateByDevice:       false
        }
    }
    plasticCard: {
        cap: UNKNOWN
        supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
        resolutionDpiMin: { x: 0, y: 0 }
        resolutionDpiMax: { x: 0, y: 0 }
        exclusion: {
            detectDocSize:         false, detectMultifeed:        false, removeBackgroundByDevice: false
            deskewByDevice:        false, autoColorByDevice:      false, blankRemovalByDevice:     false
            detectDocSizeByDevice: false, autoResolutionByDevice: false, autoRotateByDevice:       false
        }
    }
    multifeedDetect:     { cap: UNKNOWN, detectionLevel: { cap: UNKNOWN, level: 0 } }
    backgroundRemove:    { blackAndWhite: { cap: UNKNOWN, level: 0 }, errorDiffusion: { cap: UNKNOWN, level: 0 }, trueGray: { cap: UNKNOWN, level: 0 }, color24bit: { cap: UNKNOWN, level: 0 } }
    breedthroughRemoval: { blackAndWhite: { cap: UNKNOWN, level: 0 }, errorDiffusion: { cap: UNKNOWN, level: 0 }, trueGray: { cap: UNKNOWN, level: 0 }, color24bit: { cap: UNKNOWN, level: 0 } }
    deviceDetectSize: {
            cap: UNKNOWN
            supportPaperSource: { flatbed: false, adfSimplex: false, adfDuplex: false, cardslot: false }
            interlock: { isNotSingleUsed: false, isAutoDeskew: false }
            resolutionLimit: { x: 0, y: 0 }
        }
    deskew: {
        cap: UNKNOWN
        supportPaperSource: { flatbed: false, adfSimplex: false, adfDuplex: false, cardslot: false }
        interlock: { isNotSingleUsed: false, isAutoDocument: false }
        resolutionLimit: { x: 0, y: 0 }
    }
    blankRemoval:     { cap: UNKNOWN, systemType: DETECTONLY, blankLevel: { cap: UNKNOWN, blankRemovDef: false, levelMax: 0, levelMin: 0, levelDef: 0 } }
    autoColor:        { cap: UNKNOWN, monoColorDetectLevelMax: 0, monoColorDetectLevelMin: 0, monoColorDetectLevelDef: 0, monoGrayDetectLevelMax: 0, monoGrayDetectLevelMin: 0, monoGrayDetectLevelDef: 0 }
    detectResolution: UNKNOWN
    quietMode:        { cap: UNKNOWN, resoMax: 0, resoMin: 0 }
    autoCropType:     UNSUPPORT
})TXT";

// Every group set, with distinct values where a swapped field would show.
VS_SCANNER_CAPABILITY FilledCapability()
{
    VS_SCANNER_CAPABILITY c{};
    c.cmdGeneration = SCANCMD_2ND_GENERATION;
    c.commandVersion = CommandVersion_SEDGE2;
    c.category = DOCUMENTSCANNER;
    std::memset(c.modelName, 'M', sizeof c.modelName);  // no terminator: the text stops at the field's end
    c.updateNum = 200;

    c.supportPushScanEvent = {true, false, true, false};
    c.devicePanelCaps = {
        {SUPPORT, {true, false}, {false, true}}, {UNSUPPORT, true}, DISPLAY_WAITING_AT_DEVICE, INWARD_POSITIV};
    c.deviceSupportScanFunc.officeDocCreator = true;
    c.qciCommandSup = SUPPORT;
    c.preScaningSup = UNSUPPORT;
    c.devicePanelFunctions = {true, false, true, false, true, false, true, false, true, false, true, false};
    c.barcodeUtilitySolution = true;
    c.supportPowerSource = {true, true, false, false};

    c.colorType = {true, true, true, false, true, false, false};
    c.paperSource = {{true, true, true, false}, WCIS, 50};
    c.resolutionOptical = {{600, 600}, {300, 600}, {300, 300}, {200, 100}};
    c.deviceScanSizeMax = {{21590, 35560}, {21600, 86360}, {21600, 40000}, {8600, 5400}, MM};
    c.longPaperLengthMax = {SUPPORT, 500000, 400000, 300, 200, MM};
    c.deviceScanSizeMin = {{5100, 5100}, {5200, 7400}, {5200, 7401}, {5000, 5000}, MM};
    c.supportDocSizeMax = {{21590, 35560}, {21590, 500000}, {21590, 400000}, {8600, 5400}, PIXEL};
    c.marginSize = {{1, 2, 3, 4, MM}, {-5, 6, -7, 8, INCH}, {9, 10, 11, 12, PIXEL}, {0, 0, 0, 0, UNITTYPE(7)}};
    c.marginSizeForAuto.flatbed = {21, 22, 23, 24, MM};
    c.isMarginAutoEnabled = true;
    c.marginAdjust.flatbed_plus = {300, 301, 302, 303, MM};
    c.marginAdjust.flatbed_minus = {-300, -301, -302, -303, MM};
    c.marginAdjustForAuto.cardslot_minus = {-1, -2, -3, -4, MM};
    c.paperPosition = {LEFT, TOP, CENTER, TOP, RIGHT, BOTTOM};
    c.cardSizeOrientation = {SUPPORT, VERTICAL, UNSUPPORT, DEGREE270};
    c.multipageScanSystem = {true, false};
    c.overScanSystem = {SUPPORT,
                        {false, false, false, false, false, false, true},
                        {true, false, true, false, false, true, false, false, true}};
    c.cancelSystem = {SUPPORT, {true, false, true}};
    c.errorSystem = {{SUPPORT, true, false}, {UNSUPPORT, false, true, true}, {UNKNOWN, true, true}};
    c.colorTape = {GRAY_TAPE, {128, -1, 255}, {30, -30}};
    c.recommendedOrientation.standerdOrientFb = FREE;
    c.recommendedOrientation.standerdOrientAdf = D_VERTICAL;
    c.recommendedOrientation.orientA4Fb = D_HORIZONTAL;
    c.recommendedOrientation.orientA5Adf = DOCUMENTORIENTATION(9);
    c.transferPixelUnit = {1, 8, 16, 32, 255};
    c.pseudoBackgoundAdfFrontColor = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    c.pseudoBackgoundAdfBackColor = {10, 11, 12, 13, 14, 15, 16, 17, 18};
    c.pseudoBackgoundAdfBackGray.red = 255;
    c.pseudoBackgoundAdfBackGray.blueMax = 7;

    c.supportCompressionType.blackAndWhite = {true, false, true, false};
    c.supportCompressionType.trueGray = {false, false, false, true};
    c.supportCompressionType.color24bit = {true, true, true, true};
    c.supportCompressionType.jpegCompression = {95, {true, false, false, true, false}};
    c.monoThreshold = {SUPPORT, true, {}, UNSUPPORT, 255, 1, 128};
    c.specialDocumentImageProcs = {false, true, false, true};
    c.colorProfileOutput = SUPPORT;
    c.gammaRange = 22;
    c.moireRemoval = {SUPPORT, {300, 600}};
    c.toneAdjust = UNSUPPORT;

    c.paperWidthDetect = {
        SUPPORT, {true, false, false, false}, SUPPORT, UNSUPPORT, UNKNOWN, CAPSUPPORT(3), SUPPORT, SUPPORT, 2, 3};
    c.autoCrop2Pass = {SUPPORT, {false, false, true, false, false, false, false}, {150, 151}, {1000, 2000}};
    c.cornerDetect = {UNSUPPORT, {}, {false, true, true, false}, ONONESIDE, {100, 101}, {600, 601}};
    c.idCardMode = {SUPPORT, {true, false}};
    c.landscape = {UNSUPPORT, {false, false, false, true}};
    c.adfOnlyBackScan = SUPPORT;
    c.carrierSheet = {SUPPORT,    AUTOSKIP,   {true, false, false, false, false, false, false},      {15, 20},
                      {600, 602}, {150, 152}, {true, true, true, true, true, true, true, true, true}};
    c.plasticCard = {UNSUPPORT, {}, {100, 102}, {300, 302}, {}};
    c.multifeedDetect = {SUPPORT, {SUPPORT, -3}};
    c.backgroundRemove = {{SUPPORT, 1}, {UNSUPPORT, 2}, {UNKNOWN, 3}, {SUPPORT, -4}};
    c.breedthroughRemoval.color24bit = {SUPPORT, 9};
    c.deviceDetectSize = {SUPPORT, {true, true, false, false}, {true, false}, {300, 200}};
    c.deskew = {SUPPORT, {false, true, true, false}, {false, true}, {600, 400}};
    c.blankRemoval = {UNSUPPORT, DETECTANDREMOVE, {SUPPORT, true, {}, 10, 0, 5}};
    c.autoColor = {SUPPORT, 5, -5, 0, 9, 1, 4};
    c.detectResolution = UNSUPPORT;
    c.quietMode = {SUPPORT, 300, -100};
    c.autoCropType = AUTOCROPTYPE::CROP_2PASS;
    return c;
}

const char* const kFilledText = R"TXT({
    <Generation>
    cmdGeneration:  SCANCMD_2ND_GENERATION
    commandVersion: 0x010b

    <Model Info>
    category:  DOCUMENTSCANNER
    modelName: MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM
    updateNum: 200

    <Hardware Spec>
    supportPushScanEvent: { scanToImage: true, scanToOCR: false, scanToEmail: true, scanToFile: false }
    devicePanelCaps: {
        continuousScan:       { cap: SUPPORT, fb: { pushScan: true, pullScan: false }, adf: { pushScan: false, pullScan: true } }
        paramSetting:         { cap: UNSUPPORT, dupScanOnly: true }
        autoCoutinuousScan:   DISPLAY_WAITING_AT_DEVICE
        marginAdjustmentDirection: INWARD_POSITIV
    }
    deviceSupportScanFunc: { officeDocCreator: true }
    qciCommandSup: SUPPORT
    preScaningSup: UNSUPPORT
    devicePanelFunctions: { 
        duplex:                true
        scanType:              false
        resolution:            true
        fileType:              false
        documentSize:          true
        brightness:            false
        contrast:              true
        autoDeskew:            false
        skipBlankPage:         true
        removeBackgroundColor: false
        reduceMoire:           true
        adjustMargin:          false
    }
    barcodeUtilitySolution: true
    supportPowerSource: { ac: true, usb: true, usbWithCapacitor: false, battery: false }

    <Basic Spec>
    colorType:   { blackAndWhite: true, errorDiffusion: true, trueGray: true, color256: false, color24bit: true, color256table: false, autoColor: false }
    paperSource: { supportPaperSource: { flatbed: true, adfSimplex: true, adfDuplex: true, cardslot: false }, duplexScanSystem: WCIS, adfStackCapacity: 50 }
    resolutionOptical:  { flatbed: { x: 600, y: 600 }, adfSimplex: { x: 300, y: 600 }, adfDuplex: { x: 300, y: 300 }, cardSlot: { x: 200, y: 100 } }
    deviceScanSizeMax:  { flatbed: { x: 21590, y: 35560 }, simplex: { x: 21600, y: 86360 }, duplex: { x: 21600, y: 40000 }, cardSlot: { x: 8600, y: 5400 }, unit: MM }
    longPaperLengthMax: { cap: SUPPORT, simplexMaxLength: 500000, duplexMaxLength: 400000, maxResolutionX: 300, maxResolutionY: 200, unit: MM }
    deviceScanSizeMin:  { flatbed: { x: 5100, y: 5100 }, simplex: { x: 5200, y: 7400 }, duplex: { x: 5200, y: 7401 }, cardSlot: { x: 5000, y: 5000 }, unit: MM }
    supportDocSizeMax:  { flatbed: { x: 21590, y: 35560 }, simplex: { x: 21590, y: 500000 }, duplex: { x: 21590, y: 400000 }, cardSlot: { x: 8600, y: 5400 }, unit: PIXEL }
    marginSize:         {
        flatbed:    { left: 1, right: 2, top: 3, bottom: 4, unit: MM }
        adfSimplex: { left: -5, right: 6, top: -7, bottom: 8, unit: INCH }
        adfDuplex:  { left: 9, right: 10, top: 11, bottom: 12, unit: PIXEL }
        cardslot:   { left: 0, right: 0, top: 0, bottom: 0, unit: Unknown }
    }
    marginSizeForAuto:  {
        flatbed:    { left: 21, right: 22, top: 23, bottom: 24, unit: MM }
        adfSimplex: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
    }
    isMarginAutoEnabled: true
    marginAdjust:        {
        flatbed_plus:     { left: 300, right: 301, top: 302, bottom: 303, unit: MM }
        flatbed_minus:    { left: -300, right: -301, top: -302, bottom: -303, unit: MM }
        adfSimplex_plus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex_minus: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_plus:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_minus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_plus:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_minus:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
    }
    marginAdjustForAuto: {
        flatbed_plus:     { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        flatbed_minus:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex_plus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfSimplex_minus: { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_plus:   { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        adfDuplex_minus:  { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_plus:    { left: 0, right: 0, top: 0, bottom: 0, unit: INCH }
        cardslot_minus:   { left: -1, right: -2, top: -3, bottom: -4, unit: MM }
    }
    isMarginAdjustAutoEnabled:  false
    paperPosition: { flatbedX: LEFT, flatbedY: TOP, adfX: CENTER, adfY: TOP, cardslotX: RIGHT, cardslotY: BOTTOM }
    cardSizeOrientation: { capFlatbed: SUPPORT, orientFlatbed: VERTICAL, capAdf: UNSUPPORT, orientAdf: DEGREE270 }
    multipageScanSystem: { scan1Paper: true, definingPageNums: false }
    overScanSystem: {
        cap: SUPPORT
        supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: true }
        exclusion: {
            detectDocSize:          true, detectMultifeed:        false, removeBackgroundByDevice:  true
            deskewByDevice:        false, autoColorByDevice:      false, blankRemovalByDevice:      true
            detectDocSizeByDevice: false, autoResolutionByDevice: false, autoRotateByDevice:        true
        }
    }
    cancelSystem:   { cap: SUPPORT, cancelAction: { allEjection: true, stopEjection: false, stopFeed: true } }
    errorSystem:    {
        errorJam:        { cap: SUPPORT, scanStop: true, cancelError: false }
        errorDoublefeed: { cap: UNSUPPORT, scanStop: false, cancelError: true, continuousScan: true }
        coverOpen:       { cap: UNKNOWN, scanStop: true, cancelError: true }
    }
    colorTape:  { tapeColor: GRAY_TAPE, tapeData: { tapeColorRed: 128, tapeColorGreen: -1, tapeColorBlue: 255 }, tapeRange: { tapeColorRangeMax: 30, tapeColorRangeMin: -30 } }
    recommendedOrientation: {
        standerdOrientFb:          FREE, standerdOrientAdf:   D_VERTICAL
        orientA4Fb:        D_HORIZONTAL, orientLetterFb:    NOT_ORIENTATION
        orientB5Fb:        NOT_ORIENTATION, orientExectiveFb:  NOT_ORIENTATION
        orientA5Fb:        NOT_ORIENTATION, orientA4Adf:       NOT_ORIENTATION
        orientLetterAdf:   NOT_ORIENTATION, orientB5Adf:       NOT_ORIENTATION
        orientExectiveAdf: NOT_ORIENTATION, orientA5Adf:            Unknown
    }
    transferPixelUnit:      { blackAndWhite: 1, errorDiffusion: 8, trueGray: 16, color256: 32, color24bit: 255 }
    pseudoBackgoundAdfFrontColor: { red: 1, green: 2, blue: 3, redMin: 4, greenMin: 5, blueMin: 6, redMax: 7, greenMax: 8, blueMax: 9 }
    pseudoBackgoundAdfBackColor: { red: 10, green: 11, blue: 12, redMin: 13, greenMin: 14, blueMin: 15, redMax: 16, greenMax: 17, blueMax: 18 }
    pseudoBackgoundAdfFrontGray: { red: 0, green: 0, blue: 0, redMin: 0, greenMin: 0, blueMin: 0, redMax: 0, greenMax: 0, blueMax: 0 }
    pseudoBackgoundAdfBackGray: { red: 255, green: 0, blue: 0, redMin: 0, greenMin: 0, blueMin: 0, redMax: 0, greenMax: 0, blueMax: 7 }

    <Image Processing Spec>
    supportCompressionType: {
        blackAndWhite:   { noCompress:  true, packbits: false, mh:  true, jpeg: false }
        errorDiffusion:  { noCompress: false, packbits: false, mh: false, jpeg: false }
        trueGray:        { noCompress: false, packbits: false, mh: false, jpeg:  true }
        color256:        { noCompress: false, packbits: false, mh: false, jpeg: false }
        color24bit:      { noCompress:  true, packbits:  true, mh:  true, jpeg:  true }
        jpegCompression: { compressLevel: 95, jpegSamplingFactor: { ycbcr444: true, ycbcr422: false, ycbcr411: false, ycbcr420: true, ycbcr400: false } }
    }
    monoThreshold: { autoThresholdCap: SUPPORT, autoThresholdDef: true, manuanThresholdCap: UNSUPPORT, manualThresholdLevelMax: 255, manualThresholdLevelMin: 1, manualThresholdLevelDef: 128 }
    specialDocumentImageProcs: { ocr: false, photo: true, textandgraph: false, copy: true }
    colorProfileOutput: SUPPORT
    gammaRange:         22
    moireRemoval:       { moireCap: SUPPORT, moireMaxResolution: { x: 300, y: 600 } }
    toneAdjust:         UNSUPPORT

    <Advanced Spec>
    paperWidthDetect: {
            cap: SUPPORT
            supportPaperSource: { flatbed: true, adfSimplex: false, adfDuplex: false, cardslot: false }
            fb2CornerData:  SUPPORT, fbStanderdSize:  UNSUPPORT, fbPaperOrientation : UNKNOWN
            adf2CornerData: Unknown, adfStanderdSize: SUPPORT, adfPaperOrientation: SUPPORT
            fbDetectSensorNum: 2, adfDetectSensorNum: 3
        }
    autoCrop2Pass: {
            cap: SUPPORT
            supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: true, color256: false, color24bit: false, color256table: false, autoColor: false }
            AutoCropResolutionDpi: { x: 150, y: 151 }
            AutoCropPixel: { x: 1000, y: 2000 }
        }
    cornerDetect: {
            cap: UNSUPPORT
            supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
            supportPaperSource: { flatbed: false, adfSimplex: true, adfDuplex: true, cardslot: false }
            cornerInfoOutputSystem: ONONESIDE
            resolutionDpiMin: { x: 100, y: 101 }
            resolutionDpiMax: { x: 600, y: 601 }
        }
    idCardMode: { cap: SUPPORT, deviceFunc: { scanFromFlatbed: true, showGuidsOnPanel: false } }
    landscape:  { cap: UNSUPPORT, ladscapeCapablePaperSource: { flatbed: false, adfSimplex: false, adfDuplex: false, cardslot: true } }
    adfOnlyBackScan: SUPPORT
    carrierSheet: {
        cap: SUPPORT
        skipOffsetSystem: AUTOSKIP
        supportColorType: { blackAndWhite: true, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
        offsetSizeMm: { top: 15, bottom: 20 }
        resolutionDpiMax: { x: 600, y: 602 }
        resolutionDpiMin: { x: 150, y: 152 }
        exclusion: {
            detectDocSize:          true, detectMultifeed:         true, removeBackgroundByDevice:  true
            deskewByDevice:         true, autoColorByDevice:       true, blankRemovalByDevice:      true
            detectDocSizeByDevice:  true, autoResolutionByDevice:  true, autoRotateByDevice:        true
        }
    }
    plasticCard: {
        cap: UNSUPPORT
        supportColorType: { blackAndWhite: false, errorDiffusion: false, trueGray: false, color256: false, color24bit: false, color256table: false, autoColor: false }
        resolutionDpiMin: { x: 100, y: 102 }
        resolutionDpiMax: { x: 300, y: 302 }
        exclusion: {
            detectDocSize:         false, detectMultifeed:        false, removeBackgroundByDevice: false
            deskewByDevice:        false, autoColorByDevice:      false, blankRemovalByDevice:     false
            detectDocSizeByDevice: false, autoResolutionByDevice: false, autoRotateByDevice:       false
        }
    }
    multifeedDetect:     { cap: SUPPORT, detectionLevel: { cap: SUPPORT, level: -3 } }
    backgroundRemove:    { blackAndWhite: { cap: SUPPORT, level: 1 }, errorDiffusion: { cap: UNSUPPORT, level: 2 }, trueGray: { cap: UNKNOWN, level: 3 }, color24bit: { cap: SUPPORT, level: -4 } }
    breedthroughRemoval: { blackAndWhite: { cap: UNKNOWN, level: 0 }, errorDiffusion: { cap: UNKNOWN, level: 0 }, trueGray: { cap: UNKNOWN, level: 0 }, color24bit: { cap: SUPPORT, level: 9 } }
    deviceDetectSize: {
            cap: SUPPORT
            supportPaperSource: { flatbed: true, adfSimplex: true, adfDuplex: false, cardslot: false }
            interlock: { isNotSingleUsed: true, isAutoDeskew: false }
            resolutionLimit: { x: 300, y: 200 }
        }
    deskew: {
        cap: SUPPORT
        supportPaperSource: { flatbed: false, adfSimplex: true, adfDuplex: true, cardslot: false }
        interlock: { isNotSingleUsed: false, isAutoDocument: true }
        resolutionLimit: { x: 600, y: 400 }
    }
    blankRemoval:     { cap: UNSUPPORT, systemType: DETECTANDREMOVE, blankLevel: { cap: SUPPORT, blankRemovDef: true, levelMax: 10, levelMin: 0, levelDef: 5 } }
    autoColor:        { cap: SUPPORT, monoColorDetectLevelMax: 5, monoColorDetectLevelMin: -5, monoColorDetectLevelDef: 0, monoGrayDetectLevelMax: 9, monoGrayDetectLevelMin: 1, monoGrayDetectLevelDef: 4 }
    detectResolution: UNSUPPORT
    quietMode:        { cap: SUPPORT, resoMax: 300, resoMin: -100 }
    autoCropType:     CROP_2PASS
})TXT";

// Line by line, so a mismatch names the first differing line.
void ExpectSameText(const std::string& expected, const std::string& actual)
{
    std::size_t lineNo = 1;
    std::size_t e = 0;
    std::size_t a = 0;
    while (e < expected.size() && a < actual.size()) {
        std::size_t eEnd = expected.find('\n', e);
        std::size_t aEnd = actual.find('\n', a);
        ASSERT_EQ(expected.substr(e, eEnd - e), actual.substr(a, aEnd - a)) << "line " << lineNo;
        if (eEnd == std::string::npos || aEnd == std::string::npos) {
            ASSERT_EQ(eEnd, aEnd) << "line " << lineNo;
            break;
        }
        e = eEnd + 1;
        a = aEnd + 1;
        ++lineNo;
    }
    EXPECT_EQ(expected, actual);
}

TEST(CapabilityDescription, ClearedRecordMatchesGolden)
{
    VS_SCANNER_CAPABILITY cleared;
    std::memset(&cleared, 0, sizeof cleared);
    ExpectSameText(kClearedText, cleared.GetDescription());
}

TEST(CapabilityDescription, FilledRecordMatchesGolden)
{
    ExpectSameText(kFilledText, FilledCapability().GetDescription());
}

TEST(CapabilityDescription, EnumerationsOfTheRecordFallBackToUnknown)
{
    using E = DeviceCapabilityEnumDescriptor;
    struct Case {
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {E::GetScanCmdGenerationString(SCANCMD_GENERATION(3)), "Unknown"},
        {E::GetMarginAdjustmentDirectionString(MARGINADJUSTMENTDIRECTION(-1)), "Unknown"},
        {E::GetDocumentRotateString(DEGREE270), "DEGREE270"},
        {E::GetDocumentRotateString(DOCUMENTROTATE(7)), "Unknown"},
        {E::GetTapeColorString(BLACK_TAPE), "BLACK_TAPE"},
        {E::GetTapeColorString(TAPECOLOR(3)), "Unknown"},
        {E::GetCornerInfoProtocolSystemString(CORNERINFO_PROTOCOLSYSTEM(2)), "Unknown"},
        {E::GetAutoCropTypeString(AUTOCROPTYPE::CROP_1PASS), "CROP_1PASS"},
        {E::GetAutoCropTypeString(AUTOCROPTYPE(3)), "Unknown"},
        {E::GetCarrierSheetOffsetSystemString(CARRIERSHEETOFFSETSYSTEM(INT32_MIN)), "Unknown"},
        {E::GetDocumentOrientationString(DOCUMENTORIENTATION(4)), "Unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
}

}  // namespace
