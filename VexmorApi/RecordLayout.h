// The byte layout of every record that crosses the engine interface, as one
// table: per record its size and one row per member (padding included) with
// offset and width. RecordLayout.cpp checks the table against the compiler at
// build time; tests walk the record list.
//
// VEXMOR_LAYOUT_<record>(F, R) expands F(R, member, offset, width) per member,
// in member order. VEXMOR_INTERFACE_RECORDS(X) expands X(type, size, rows).
#pragma once

#include "VexmorApi/VexmorApiTypes.h"

// The rows are laid out by hand, one member per table cell.
// clang-format off

// ---- small shared records ----
#define VEXMOR_LAYOUT_AXIS(F, R) F(R, x, 0, 4) F(R, y, 4, 4)
#define VEXMOR_LAYOUT_tagRECT(F, R) F(R, left, 0, 4) F(R, top, 4, 4) F(R, right, 8, 4) F(R, bottom, 12, 4)
#define VEXMOR_LAYOUT_MARGINSIZE(F, R) \
    F(R, left, 0, 4) F(R, right, 4, 4) F(R, top, 8, 4) F(R, bottom, 12, 4) F(R, unit, 16, 4)
#define VEXMOR_LAYOUT_PAPERSIZE(F, R) F(R, size, 0, 8) F(R, unit, 8, 4)
#define VEXMOR_LAYOUT_SCANAREA(F, R) \
    F(R, offsetX, 0, 4) F(R, offsetY, 4, 4) F(R, width, 8, 4) F(R, height, 12, 4) F(R, unit, 16, 4)
#define VEXMOR_LAYOUT_SUPPORTCOLORTYPES(F, R)                                                              \
    F(R, blackAndWhite, 0, 1) F(R, errorDiffusion, 1, 1) F(R, trueGray, 2, 1) F(R, color256, 3, 1) \
    F(R, color24bit, 4, 1) F(R, color256table, 5, 1) F(R, autoColor, 6, 1)
#define VEXMOR_LAYOUT_SUPPORTPAPERSOURCES(F, R) \
    F(R, flatbed, 0, 1) F(R, adfSimplex, 1, 1) F(R, adfDuplex, 2, 1) F(R, cardslot, 3, 1)
#define VEXMOR_LAYOUT_SUPPORTPOWERSOURCE(F, R) \
    F(R, ac, 0, 1) F(R, usb, 1, 1) F(R, usbWithCapacitor, 2, 1) F(R, battery, 3, 1)
#define VEXMOR_LAYOUT_SUPPORTSCANEVENT(F, R) \
    F(R, scanToImage, 0, 1) F(R, scanToOCR, 1, 1) F(R, scanToEmail, 2, 1) F(R, scanToFile, 3, 1)
#define VEXMOR_LAYOUT_OPTICALRESOLUTIONS(F, R) \
    F(R, flatbed, 0, 8) F(R, adfSimplex, 8, 8) F(R, adfDuplex, 16, 8) F(R, cardSlot, 24, 8)
#define VEXMOR_LAYOUT_DEVICESCANSIZES(F, R) \
    F(R, flatbed, 0, 8) F(R, simplex, 8, 8) F(R, duplex, 16, 8) F(R, cardSlot, 24, 8) F(R, unit, 32, 4)
#define VEXMOR_LAYOUT_PAPERSOURCESPEC(F, R) \
    F(R, supportPaperSource, 0, 4) F(R, duplexScanSystem, 4, 4) F(R, adfStackCapacity, 8, 4)
#define VEXMOR_LAYOUT_PAPERSETTINGPOSITIONS(F, R)                                           \
    F(R, flatbedX, 0, 4) F(R, flatbedY, 4, 4) F(R, adfX, 8, 4) F(R, adfY, 12, 4) \
    F(R, cardslotX, 16, 4) F(R, cardslotY, 20, 4)
#define VEXMOR_LAYOUT_SUPPORTADJUSTLEVEL(F, R) F(R, cap, 0, 4) F(R, level, 4, 4)
#define VEXMOR_LAYOUT_BACKGROUNDREMOVALSUPPORT(F, R) \
    F(R, blackAndWhite, 0, 8) F(R, errorDiffusion, 8, 8) F(R, trueGray, 16, 8) F(R, color24bit, 24, 8)
#define VEXMOR_LAYOUT_MONOTHRESHOLDSUPPORT(F, R)                                                       \
    F(R, autoThresholdCap, 0, 4) F(R, autoThresholdDef, 4, 1) F(R, pad5, 5, 3)                     \
    F(R, manuanThresholdCap, 8, 4) F(R, manualThresholdLevelMax, 12, 4) F(R, manualThresholdLevelMin, 16, 4) \
    F(R, manualThresholdLevelDef, 20, 4)
#define VEXMOR_LAYOUT_AUTOCOLORLEVELSUPPORT(F, R)                                                          \
    F(R, cap, 0, 4) F(R, monoColorDetectLevelMax, 4, 4) F(R, monoColorDetectLevelMin, 8, 4)             \
    F(R, monoColorDetectLevelDef, 12, 4) F(R, monoGrayDetectLevelMax, 16, 4) F(R, monoGrayDetectLevelMin, 20, 4) \
    F(R, monoGrayDetectLevelDef, 24, 4)
#define VEXMOR_LAYOUT_BLANKREMOVALLEVEL(F, R)                                                    \
    F(R, cap, 0, 4) F(R, blankRemovDef, 4, 1) F(R, pad5, 5, 3) F(R, levelMax, 8, 4) F(R, levelMin, 12, 4) \
    F(R, levelDef, 16, 4)
#define VEXMOR_LAYOUT_BLANKREMOVALSUPPORT(F, R) F(R, cap, 0, 4) F(R, systemType, 4, 4) F(R, blankLevel, 8, 20)

// ---- the scan request ----
#define VEXMOR_LAYOUT_tagSCANAREAINFO(F, R)                                                      \
    F(R, papertype, 0, 4) F(R, customPaperSize, 4, 12) F(R, areaSelected, 16, 1) F(R, pad17, 17, 3) \
    F(R, selectArea, 20, 20)
#define VEXMOR_LAYOUT_MONOTHRESHOLDPARAM(F, R) \
    F(R, autoThreshold, 0, 1) F(R, customThreshold, 1, 1) F(R, pad2, 2, 2) F(R, manualLevel, 4, 4)
#define VEXMOR_LAYOUT_COLORTONEPARAM(F, R)                                                          \
    F(R, autoTone, 0, 1) F(R, customTone, 1, 1) F(R, pad2, 2, 2) F(R, manualBrightness, 4, 4)     \
    F(R, manualContrast, 8, 4) F(R, manualShadow, 12, 4) F(R, manualHighlight, 16, 4) F(R, manualGamma, 20, 4)
#define VEXMOR_LAYOUT_AUTOCOLORLEVELPARAM(F, R) F(R, monoColorDetectLevel, 0, 4) F(R, monoGrayDetectLevel, 4, 4)
#define VEXMOR_LAYOUT_BACKGROUNDREMOVALPARAM(F, R) F(R, remove, 0, 1) F(R, pad1, 1, 3) F(R, level, 4, 4)
#define VEXMOR_LAYOUT_SMOOTHINGPARAM(F, R) \
    F(R, bleedThrough, 0, 1) F(R, backgroundRemoval, 1, 1) F(R, pad2, 2, 2) F(R, level, 4, 4)
#define VEXMOR_LAYOUT_tagCOLORDROP_CUSTOMCOLOR(F, R)                                             \
    F(R, redVal, 0, 1) F(R, greenVal, 1, 1) F(R, blueVal, 2, 1) F(R, pad3, 3, 1) F(R, level, 4, 4) \
    F(R, keepDarkColor, 8, 1) F(R, pad9, 9, 3)
#define VEXMOR_LAYOUT_COLORDROPPARAM(F, R)                                                        \
    F(R, drop, 0, 1) F(R, chromaticColor, 1, 1) F(R, dropRed, 2, 1) F(R, dropGreen, 3, 1)       \
    F(R, dropBlue, 4, 1) F(R, custom, 5, 1) F(R, pad6, 6, 2) F(R, customColor, 8, 12)
#define VEXMOR_LAYOUT_THICKTEXTPARAM(F, R) F(R, thickness, 0, 1) F(R, pad1, 1, 3) F(R, level, 4, 4)
#define VEXMOR_LAYOUT_EDGEENHANCEPARAM(F, R) F(R, enhance, 0, 1) F(R, pad1, 1, 3) F(R, level, 4, 4)
#define VEXMOR_LAYOUT_DUSTREMOVALPARAM(F, R) F(R, reduce, 0, 1) F(R, pad1, 1, 3) F(R, level, 4, 4)
#define VEXMOR_LAYOUT_REMOVELINEPARAM(F, R)                                                   \
    F(R, lineRemove, 0, 1) F(R, pad1, 1, 3) F(R, direction, 4, 4) F(R, minLength, 8, 4) \
    F(R, dashedLength, 12, 4) F(R, unit, 16, 4)
#define VEXMOR_LAYOUT_PUNCHHOLEPARAM(F, R) F(R, remove, 0, 1) F(R, pad1, 1, 3) F(R, fillColor, 4, 4)
#define VEXMOR_LAYOUT_COMBINEIMAGESPARAM(F, R)                                                          \
    F(R, execute, 0, 1) F(R, pad1, 1, 3) F(R, width, 4, 4) F(R, height, 8, 4) F(R, space, 12, 4) \
    F(R, unit, 16, 4)
#define VEXMOR_LAYOUT_CARDMODEPARAM(F, R)                                                    \
    F(R, execute, 0, 1) F(R, pad1, 1, 3) F(R, mergeType, 4, 4) F(R, invertBack, 8, 1) \
    F(R, pad9, 9, 3) F(R, rotationAngle, 12, 4)
#define VEXMOR_LAYOUT_EDGECUTPARAM(F, R) F(R, adjust, 0, 1) F(R, pad1, 1, 3) F(R, rect, 4, 16) F(R, unit, 20, 4)
#define VEXMOR_LAYOUT_EDGEFILLPARAM(F, R)                                                    \
    F(R, automatic, 0, 1) F(R, specifiedArea, 1, 1) F(R, pad2, 2, 2) F(R, color, 4, 4) \
    F(R, margin, 8, 20)
#define VEXMOR_LAYOUT_BLANKREMOVEPARAM(F, R) F(R, remove, 0, 1) F(R, pad1, 1, 3) F(R, level, 4, 4)
#define VEXMOR_LAYOUT_AUTOCONTINUOUSSCANPARAM(F, R) F(R, execute, 0, 1) F(R, timeout, 1, 1) F(R, feedDelay, 2, 1)
#define VEXMOR_LAYOUT_BARCODEPARAMETER(F, R)                                                     \
    F(R, execute, 0, 1) F(R, maxNum, 1, 1) F(R, pad2, 2, 2) F(R, searchDirection, 4, 4)        \
    F(R, retryNum, 8, 1) F(R, specifyArea, 9, 1) F(R, pad10, 10, 2) F(R, area, 12, 20)         \
    F(R, addStartStopToCodabar, 32, 1) F(R, pad33, 33, 3) F(R, types, 36, 60) F(R, typesNum, 96, 2) \
    F(R, pad98, 98, 2)
#define VEXMOR_LAYOUT_PATCHCODEPARAMETER(F, R) \
    F(R, execute, 0, 1) F(R, pad1, 1, 3) F(R, types, 4, 28) F(R, typesNum, 32, 2) F(R, pad34, 34, 2)
#define VEXMOR_LAYOUT_tagVS_ADVANCEDSCAN(F, R)                                                              \
    F(R, autocrop, 0, 1) F(R, deskew, 1, 1) F(R, autoRotate, 2, 1) F(R, pad3, 3, 1)                       \
    F(R, autoRotateLangId, 4, 4) F(R, detectEndOfPage, 8, 1) F(R, pad9, 9, 3) F(R, rotateImageAngle, 12, 4) \
    F(R, monoThreshold, 16, 8) F(R, colorTone, 24, 24) F(R, autoColorLevel, 48, 8)                        \
    F(R, backgroundRemoval, 56, 8) F(R, smoothing, 64, 8) F(R, colorDrop, 72, 20) F(R, thickText, 92, 8)  \
    F(R, dotTextCombine, 100, 1) F(R, pad101, 101, 3) F(R, edgeEnhance, 104, 8) F(R, reduceNoise, 112, 1) \
    F(R, moireRemoval, 113, 1) F(R, pad114, 114, 2) F(R, dustRemoval, 116, 8) F(R, lineRemove, 124, 20)  \
    F(R, punchHoleRemove, 144, 8) F(R, imageMerge, 152, 4) F(R, imageDivide, 156, 4)                      \
    F(R, combineImages, 160, 20) F(R, carriersheet, 180, 1) F(R, pad181, 181, 3) F(R, plasticCard, 184, 16) \
    F(R, edgeCut, 200, 24) F(R, edgeFill, 224, 28) F(R, blankRemoval, 252, 8) F(R, xferCount, 260, 4)     \
    F(R, quietMode, 264, 1) F(R, autoContinuousScan, 265, 3) F(R, multifeedDetect, 268, 1)               \
    F(R, pad269, 269, 3) F(R, detectBarcode, 272, 100) F(R, detectPatchcode, 372, 36)                    \
    F(R, iccProfile, 408, 1) F(R, pad409, 409, 3)
#define VEXMOR_LAYOUT_VS_SCANNER_PARAMETERS(F, R)                                                    \
    F(R, resolutionX, 0, 4) F(R, resolutionY, 4, 4) F(R, colortype, 8, 4) F(R, scanAreaInfo, 12, 40) \
    F(R, brightness, 52, 4) F(R, contrast, 56, 4) F(R, duplextype, 60, 4) F(R, paperSource, 64, 4)  \
    F(R, landscapeMode, 68, 1) F(R, pad69, 69, 3) F(R, enhanced, 72, 412)

// ---- the version-1 capability view ----
#define VEXMOR_LAYOUT_LONGPAPERSUPPORT(F, R) \
    F(R, simplexMaxLength, 0, 4) F(R, duplexMaxLength, 4, 4) F(R, unit, 8, 4) F(R, maxResolution, 12, 4)
#define VEXMOR_LAYOUT_AUTODESKEWSUPPORT(F, R) F(R, cap, 0, 4) F(R, supportPaperSource, 4, 4) F(R, maxResolution, 8, 4)
#define VEXMOR_LAYOUT_COLORTONESUPPORT(F, R)                                                              \
    F(R, cap, 0, 4) F(R, autoToneDef, 4, 1) F(R, pad5, 5, 3) F(R, manualBrightnessLevelMax, 8, 4)       \
    F(R, manualBrightnessLevelMin, 12, 4) F(R, manualBrightnessLevelDef, 16, 4)                          \
    F(R, manualContrastLevelMax, 20, 4) F(R, manualContrastLevelMin, 24, 4) F(R, manualContrastLevelDef, 28, 4) \
    F(R, manualShadowLevelMax, 32, 4) F(R, manualShadowLevelMin, 36, 4) F(R, manualShadowLevelDef, 40, 4) \
    F(R, manualHighlightLevelMax, 44, 4) F(R, manualHighlightLevelMin, 48, 4)                            \
    F(R, manualHighlightLevelDef, 52, 4) F(R, manualGammaLevelMax, 56, 4) F(R, manualGammaLevelMin, 60, 4) \
    F(R, manualGammaLevelDef, 64, 4)
#define VEXMOR_LAYOUT_SMOOTHINGSUPPORT(F, R)                                                         \
    F(R, bleedThroughCap, 0, 4) F(R, bleedThroughDef, 4, 1) F(R, pad5, 5, 3)                       \
    F(R, removeBackgroundCap, 8, 4) F(R, removeBackgroundDef, 12, 1) F(R, pad13, 13, 3)            \
    F(R, levelMax, 16, 4) F(R, levelMin, 20, 4) F(R, levelDef, 24, 4)
#define VEXMOR_LAYOUT_COLORDROPSUPPORT(F, R) F(R, cap, 0, 4) F(R, colorType, 4, 7) F(R, pad11, 11, 1)
#define VEXMOR_LAYOUT_THICKTEXTSUPPORT(F, R)                                                     \
    F(R, cap, 0, 4) F(R, thicknessDef, 4, 1) F(R, pad5, 5, 3) F(R, levelMax, 8, 4) F(R, levelMin, 12, 4) \
    F(R, levelDef, 16, 4)
#define VEXMOR_LAYOUT_EDGEENHANCESUPPORT(F, R)                                                     \
    F(R, cap, 0, 4) F(R, edgeEnhanceDef, 4, 1) F(R, pad5, 5, 3) F(R, levelMax, 8, 4) F(R, levelMin, 12, 4) \
    F(R, levelDef, 16, 4)
#define VEXMOR_LAYOUT_MOIREREMOVALSUPPORT(F, R) F(R, cap, 0, 4) F(R, maxResolution, 4, 4)
#define VEXMOR_LAYOUT_DUSTREMOVALSUPPORT(F, R)                                                     \
    F(R, cap, 0, 4) F(R, dustRemovDef, 4, 1) F(R, pad5, 5, 3) F(R, levelMax, 8, 4) F(R, levelMin, 12, 4) \
    F(R, levelDef, 16, 4)
#define VEXMOR_LAYOUT_REMOVELINESUPPORT(F, R)                                                        \
    F(R, cap, 0, 4) F(R, directionDef, 4, 4) F(R, minLengthMaxMm, 8, 4) F(R, minLengthMinMm, 12, 4) \
    F(R, minLengthDefMm, 16, 4) F(R, dashedLengthMaxMm, 20, 4) F(R, dashedLengthMinMm, 24, 4)       \
    F(R, dashedLengthDefMm, 28, 4) F(R, minLengthMaxInch, 32, 4) F(R, minLengthMinInch, 36, 4)      \
    F(R, minLengthDefInch, 40, 4) F(R, dashedLengthMaxInch, 44, 4) F(R, dashedLengthMinInch, 48, 4) \
    F(R, dashedLengthDefInch, 52, 4)
#define VEXMOR_LAYOUT_PUNCHHOLESUPPORT(F, R) \
    F(R, cap, 0, 4) F(R, white, 4, 1) F(R, nearbyColor, 5, 1) F(R, pad6, 6, 2)
#define VEXMOR_LAYOUT_EDGECUTSUPPORT(F, R)                                                             \
    F(R, cap, 0, 4) F(R, maxMm, 4, 20) F(R, minMm, 24, 20) F(R, autoSizeOnly, 44, 1)                 \
    F(R, isReversedSignOfDevicePanel, 45, 1) F(R, pad46, 46, 2)
#define VEXMOR_LAYOUT_FILLCAPABILITY(F, R) F(R, cap, 0, 4) F(R, white, 4, 1) F(R, black, 5, 1) F(R, pad6, 6, 2)
#define VEXMOR_LAYOUT_EDGEFILLSUPPORT(F, R) F(R, automatic, 0, 4) F(R, specifiedArea, 4, 8)
#define VEXMOR_LAYOUT_AUTOCONTINUOUSSCANSUPPORT(F, R)                                            \
    F(R, support, 0, 4) F(R, timeoutMin, 4, 1) F(R, timeoutMax, 5, 1) F(R, feedDelayMin, 6, 1) \
    F(R, feedDelayMax, 7, 1)
#define VEXMOR_LAYOUT_BARCODESUPPORT(F, R) \
    F(R, cap, 0, 4) F(R, retryMax, 4, 1) F(R, maxNum, 5, 1) F(R, pad6, 6, 2) F(R, types, 8, 60)
#define VEXMOR_LAYOUT_PATCHCODESUPPORT(F, R) F(R, cap, 0, 4) F(R, types, 4, 28) F(R, pad32, 32, 4)
#define VEXMOR_LAYOUT_tagVS_SCANNER_CAPABILITY_VER1(F, R)                                                    \
    F(R, commandVersion, 0, 4) F(R, updateVersion, 4, 4) F(R, modelName, 8, 128) F(R, deviceCategory, 136, 4) \
    F(R, powerSource, 140, 4) F(R, pushEvent, 144, 4) F(R, resolutionOptical, 148, 32)                     \
    F(R, resolutionList, 180, 44) F(R, colorType, 224, 7) F(R, pad231, 231, 1)                             \
    F(R, supportDocSizeMax, 232, 36) F(R, deviceScanSizeMin, 268, 36) F(R, paperTypeList, 304, 108)        \
    F(R, paperNum, 412, 4) F(R, longPaper, 416, 16) F(R, autoSizeMaxResolution, 432, 4)                    \
    F(R, paperSourceSpec, 436, 12) F(R, paperPosition, 448, 24) F(R, marginSize, 472, 20)                  \
    F(R, autoCrop, 492, 4) F(R, deskew, 496, 12) F(R, autoRotate, 508, 4) F(R, detectEndOfPage, 512, 4)   \
    F(R, rotateImage, 516, 4) F(R, monoThreshold, 520, 24) F(R, grayTone, 544, 4) F(R, colorTone, 548, 68) \
    F(R, autoColorLevel, 616, 28) F(R, backgroundRemoval, 644, 32) F(R, smoothing, 676, 28)               \
    F(R, colorDrop, 704, 12) F(R, thickText, 716, 20) F(R, dotTextCombine, 736, 4) F(R, edgeEnhance, 740, 20) \
    F(R, reduceNoise, 760, 4) F(R, moireRemoval, 764, 8) F(R, dustRemoval, 772, 20)                       \
    F(R, lineRemove, 792, 56) F(R, punchHoleRemove, 848, 8) F(R, imageMerge, 856, 4)                       \
    F(R, imageDevide, 860, 4) F(R, combineImages, 864, 4) F(R, carrierSheet, 868, 4)                       \
    F(R, plasticCard, 872, 4) F(R, edgeCut, 876, 48) F(R, edgeFill, 924, 12) F(R, blankRemoval, 936, 28)  \
    F(R, xferCount, 964, 4) F(R, autoContinuousScan, 968, 8) F(R, multifeedDetect, 976, 4)                \
    F(R, quietMode, 980, 4) F(R, detectBarcode, 984, 68) F(R, detectPatchcode, 1052, 36)                   \
    F(R, colorProfile, 1088, 4) F(R, barcodeUtilitySolution, 1092, 1) F(R, pad1093, 1093, 3)

// ---- pages, devices, settings ----
#define VEXMOR_LAYOUT_tagVS_SCAN_IMAGEDATA(F, R)                                                    \
    F(R, pDataPtr, 0, 8) F(R, dataSize, 8, 4) F(R, resolutionX, 12, 4) F(R, resolutionY, 16, 4)   \
    F(R, bitsPerPixel, 20, 4) F(R, width, 24, 4) F(R, height, 28, 4) F(R, bytesPerLine, 32, 4)   \
    F(R, isBlankPage, 36, 1) F(R, isMaxLengthCut, 37, 1) F(R, pad38, 38, 2) F(R, reserved, 40, 4) \
    F(R, paperSource, 44, 4)
#define VEXMOR_LAYOUT_ScanBitmapImageInfo(F, R)                                                      \
    F(R, bitsPerPixel, 0, 4) F(R, resolutionX, 4, 4) F(R, resolutionY, 8, 4) F(R, pixelsPerMeterX, 12, 4) \
    F(R, pixelsPerMeterY, 16, 4) F(R, width, 20, 4) F(R, height, 24, 4) F(R, bytesPerLine, 28, 4)
#define VEXMOR_LAYOUT__VS_DEVICE_INFO(F, R)                                                             \
    F(R, nameDevice, 0, 128) F(R, ifType, 128, 4) F(R, usb.idVender, 132, 2) F(R, usb.idProduct, 134, 2) \
    F(R, usb.nameUsbPort, 136, 128) F(R, usb.idLocation, 264, 4) F(R, net.bootMethod, 268, 4)           \
    F(R, net.nameNode, 272, 128) F(R, net.ipAddress, 400, 128) F(R, net.macAddress, 528, 128)
#define VEXMOR_LAYOUT__VS_SELECT_DEVICE_INFO(F, R)                                                   \
    F(R, typeDeviceIf, 0, 4) F(R, typeDeviceId, 4, 4) F(R, nameDevice, 8, 128) F(R, addrNetwork, 136, 128) \
    F(R, usbId.idVendor, 264, 2) F(R, usbId.idProduct, 266, 2) F(R, idLocation, 268, 4)
#define VEXMOR_LAYOUT_VS_SNMP_COMMUNITYNAME(F, R) F(R, name1, 0, 256) F(R, name2, 256, 256)
#define VEXMOR_LAYOUT_SKEYINFO_VALUE(F, R) F(R, isSet, 0, 1) F(R, pad1, 1, 3) F(R, value, 4, 4)
#define VEXMOR_LAYOUT_SKEYINFO_DUPLEXTYPE(F, R) F(R, isSet, 0, 1) F(R, pad1, 1, 3) F(R, value, 4, 4)
#define VEXMOR_LAYOUT_SKEYINFO_COLORTYPE(F, R) F(R, isSet, 0, 1) F(R, pad1, 1, 3) F(R, value, 4, 4)
#define VEXMOR_LAYOUT_SKEYINFO_PAPERTYPE(F, R) F(R, isSet, 0, 1) F(R, pad1, 1, 3) F(R, value, 4, 4)
#define VEXMOR_LAYOUT_SKEYINFO_RESOLUTION(F, R)                                                    \
    F(R, isSetX, 0, 1) F(R, isSetY, 1, 1) F(R, isAutoX, 2, 1) F(R, isAutoY, 3, 1) F(R, x, 4, 4) \
    F(R, y, 8, 4)
#define VEXMOR_LAYOUT_SKEYINFO_SWITCH(F, R) F(R, isSet, 0, 1) F(R, isOn, 1, 1)
#define VEXMOR_LAYOUT_SKEYINFO_FILESAVE(F, R)                                                           \
    F(R, isFileTypeSet, 0, 1) F(R, pad1, 1, 3) F(R, fileType, 4, 4) F(R, isCompressionSet, 8, 1)      \
    F(R, pad9, 9, 3) F(R, compression, 12, 4) F(R, splitType, 16, 4) F(R, splitPages, 20, 4)          \
    F(R, jpegQuality, 24, 4) F(R, onePagePerFile, 28, 1) F(R, pad29, 29, 3)
#define VEXMOR_LAYOUT_SKEYINFO_ORIENTATION(F, R) \
    F(R, isSet, 0, 1) F(R, pad1, 1, 3) F(R, isAutoRotate, 4, 1) F(R, pad5, 5, 3) F(R, angle, 8, 4)
#define VEXMOR_LAYOUT_SKEYINFO_BACKGROUNDREMOVAL(F, R)                                          \
    F(R, isSet, 0, 1) F(R, isOn, 1, 1) F(R, pad2, 2, 2) F(R, isLevelSet, 4, 1) F(R, pad5, 5, 3) \
    F(R, level, 8, 4)
#define VEXMOR_LAYOUT_SKEYINFO_MARGINADJUST(F, R)                                                \
    F(R, isSet, 0, 1) F(R, pad1, 1, 3) F(R, left, 4, 4) F(R, right, 8, 4) F(R, top, 12, 4)      \
    F(R, bottom, 16, 4) F(R, unit, 20, 4)
#define VEXMOR_LAYOUT_PushScanKeyInfo(F, R)                                                                  \
    F(R, scanEvent, 0, 8) F(R, scanStartTiming, 8, 8) F(R, duplex, 16, 8) F(R, resolution, 24, 12)         \
    F(R, colorType, 36, 8) F(R, paperType, 44, 8) F(R, brightness, 52, 8)          \
    F(R, contrast, 60, 8) F(R, autoCrop, 68, 2) F(R, pad70, 70, 2) F(R, fileSave, 72, 32)                  \
    F(R, blankPageRemoval, 104, 2) F(R, bleedThroughRemoval, 106, 2) F(R, documentOrientation, 108, 12)    \
    F(R, deskew, 120, 2) F(R, pad122, 122, 2) F(R, backgroundRemoval, 124, 12) F(R, changedState, 136, 2)  \
    F(R, moireRemoval, 138, 2) F(R, marginAdjustment, 140, 24)

// Every record of the engine interface with its size.
#define VEXMOR_INTERFACE_RECORDS(X)                                                        \
    X(vscore::AXIS, 8, VEXMOR_LAYOUT_AXIS)                                                 \
    X(vscore::tagRECT, 16, VEXMOR_LAYOUT_tagRECT)                                          \
    X(vscore::MARGINSIZE, 20, VEXMOR_LAYOUT_MARGINSIZE)                                    \
    X(vscore::PAPERSIZE, 12, VEXMOR_LAYOUT_PAPERSIZE)                                      \
    X(vscore::SCANAREA, 20, VEXMOR_LAYOUT_SCANAREA)                                        \
    X(vscore::SUPPORTCOLORTYPES, 7, VEXMOR_LAYOUT_SUPPORTCOLORTYPES)                       \
    X(vscore::SUPPORTPAPERSOURCES, 4, VEXMOR_LAYOUT_SUPPORTPAPERSOURCES)                   \
    X(vscore::SUPPORTPOWERSOURCE, 4, VEXMOR_LAYOUT_SUPPORTPOWERSOURCE)                     \
    X(vscore::SUPPORTSCANEVENT, 4, VEXMOR_LAYOUT_SUPPORTSCANEVENT)                         \
    X(vscore::OPTICALRESOLUTIONS, 32, VEXMOR_LAYOUT_OPTICALRESOLUTIONS)                    \
    X(vscore::DEVICESCANSIZES, 36, VEXMOR_LAYOUT_DEVICESCANSIZES)                          \
    X(vscore::PAPERSOURCESPEC, 12, VEXMOR_LAYOUT_PAPERSOURCESPEC)                          \
    X(vscore::PAPERSETTINGPOSITIONS, 24, VEXMOR_LAYOUT_PAPERSETTINGPOSITIONS)              \
    X(vscore::SUPPORTADJUSTLEVEL, 8, VEXMOR_LAYOUT_SUPPORTADJUSTLEVEL)                     \
    X(vscore::BACKGROUNDREMOVALSUPPORT, 32, VEXMOR_LAYOUT_BACKGROUNDREMOVALSUPPORT)        \
    X(vscore::MONOTHRESHOLDSUPPORT, 24, VEXMOR_LAYOUT_MONOTHRESHOLDSUPPORT)                \
    X(vscore::AUTOCOLORLEVELSUPPORT, 28, VEXMOR_LAYOUT_AUTOCOLORLEVELSUPPORT)              \
    X(vscore::BLANKREMOVALLEVEL, 20, VEXMOR_LAYOUT_BLANKREMOVALLEVEL)                      \
    X(vscore::BLANKREMOVALSUPPORT, 28, VEXMOR_LAYOUT_BLANKREMOVALSUPPORT)                  \
    X(vscore::tagSCANAREAINFO, 40, VEXMOR_LAYOUT_tagSCANAREAINFO)                          \
    X(vscore::MONOTHRESHOLDPARAM, 8, VEXMOR_LAYOUT_MONOTHRESHOLDPARAM)                     \
    X(vscore::COLORTONEPARAM, 24, VEXMOR_LAYOUT_COLORTONEPARAM)                            \
    X(vscore::AUTOCOLORLEVELPARAM, 8, VEXMOR_LAYOUT_AUTOCOLORLEVELPARAM)                   \
    X(vscore::BACKGROUNDREMOVALPARAM, 8, VEXMOR_LAYOUT_BACKGROUNDREMOVALPARAM)             \
    X(vscore::SMOOTHINGPARAM, 8, VEXMOR_LAYOUT_SMOOTHINGPARAM)                             \
    X(vscore::tagCOLORDROP_CUSTOMCOLOR, 12, VEXMOR_LAYOUT_tagCOLORDROP_CUSTOMCOLOR)        \
    X(vscore::COLORDROPPARAM, 20, VEXMOR_LAYOUT_COLORDROPPARAM)                            \
    X(vscore::THICKTEXTPARAM, 8, VEXMOR_LAYOUT_THICKTEXTPARAM)                             \
    X(vscore::EDGEENHANCEPARAM, 8, VEXMOR_LAYOUT_EDGEENHANCEPARAM)                         \
    X(vscore::DUSTREMOVALPARAM, 8, VEXMOR_LAYOUT_DUSTREMOVALPARAM)                         \
    X(vscore::REMOVELINEPARAM, 20, VEXMOR_LAYOUT_REMOVELINEPARAM)                          \
    X(vscore::PUNCHHOLEPARAM, 8, VEXMOR_LAYOUT_PUNCHHOLEPARAM)                             \
    X(vscore::COMBINEIMAGESPARAM, 20, VEXMOR_LAYOUT_COMBINEIMAGESPARAM)                    \
    X(vscore::CARDMODEPARAM, 16, VEXMOR_LAYOUT_CARDMODEPARAM)                              \
    X(vscore::EDGECUTPARAM, 24, VEXMOR_LAYOUT_EDGECUTPARAM)                                \
    X(vscore::EDGEFILLPARAM, 28, VEXMOR_LAYOUT_EDGEFILLPARAM)                              \
    X(vscore::BLANKREMOVEPARAM, 8, VEXMOR_LAYOUT_BLANKREMOVEPARAM)                         \
    X(vscore::AUTOCONTINUOUSSCANPARAM, 3, VEXMOR_LAYOUT_AUTOCONTINUOUSSCANPARAM)           \
    X(vscore::BARCODEPARAMETER, 100, VEXMOR_LAYOUT_BARCODEPARAMETER)                       \
    X(vscore::PATCHCODEPARAMETER, 36, VEXMOR_LAYOUT_PATCHCODEPARAMETER)                    \
    X(vscore::tagVS_ADVANCEDSCAN, 412, VEXMOR_LAYOUT_tagVS_ADVANCEDSCAN)                   \
    X(vscore::VS_SCANNER_PARAMETERS, 484, VEXMOR_LAYOUT_VS_SCANNER_PARAMETERS)             \
    X(vscore::LONGPAPERSUPPORT, 16, VEXMOR_LAYOUT_LONGPAPERSUPPORT)                        \
    X(vscore::AUTODESKEWSUPPORT, 12, VEXMOR_LAYOUT_AUTODESKEWSUPPORT)                      \
    X(vscore::COLORTONESUPPORT, 68, VEXMOR_LAYOUT_COLORTONESUPPORT)                        \
    X(vscore::SMOOTHINGSUPPORT, 28, VEXMOR_LAYOUT_SMOOTHINGSUPPORT)                        \
    X(vscore::COLORDROPSUPPORT, 12, VEXMOR_LAYOUT_COLORDROPSUPPORT)                        \
    X(vscore::THICKTEXTSUPPORT, 20, VEXMOR_LAYOUT_THICKTEXTSUPPORT)                        \
    X(vscore::EDGEENHANCESUPPORT, 20, VEXMOR_LAYOUT_EDGEENHANCESUPPORT)                    \
    X(vscore::MOIREREMOVALSUPPORT, 8, VEXMOR_LAYOUT_MOIREREMOVALSUPPORT)                   \
    X(vscore::DUSTREMOVALSUPPORT, 20, VEXMOR_LAYOUT_DUSTREMOVALSUPPORT)                    \
    X(vscore::REMOVELINESUPPORT, 56, VEXMOR_LAYOUT_REMOVELINESUPPORT)                      \
    X(vscore::PUNCHHOLESUPPORT, 8, VEXMOR_LAYOUT_PUNCHHOLESUPPORT)                         \
    X(vscore::EDGECUTSUPPORT, 48, VEXMOR_LAYOUT_EDGECUTSUPPORT)                            \
    X(vscore::FILLCAPABILITY, 8, VEXMOR_LAYOUT_FILLCAPABILITY)                             \
    X(vscore::EDGEFILLSUPPORT, 12, VEXMOR_LAYOUT_EDGEFILLSUPPORT)                          \
    X(vscore::AUTOCONTINUOUSSCANSUPPORT, 8, VEXMOR_LAYOUT_AUTOCONTINUOUSSCANSUPPORT)       \
    X(vscore::BARCODESUPPORT, 68, VEXMOR_LAYOUT_BARCODESUPPORT)                            \
    X(vscore::PATCHCODESUPPORT, 36, VEXMOR_LAYOUT_PATCHCODESUPPORT)                        \
    X(vscore::tagVS_SCANNER_CAPABILITY_VER1, 1096, VEXMOR_LAYOUT_tagVS_SCANNER_CAPABILITY_VER1) \
    X(vscore::tagVS_SCAN_IMAGEDATA, 48, VEXMOR_LAYOUT_tagVS_SCAN_IMAGEDATA)                \
    X(ScanBitmapImageInfo, 32, VEXMOR_LAYOUT_ScanBitmapImageInfo)                          \
    X(vscore::_VS_DEVICE_INFO, 656, VEXMOR_LAYOUT__VS_DEVICE_INFO)                         \
    X(vscore::_VS_SELECT_DEVICE_INFO, 272, VEXMOR_LAYOUT__VS_SELECT_DEVICE_INFO)           \
    X(vscore::VS_SNMP_COMMUNITYNAME, 512, VEXMOR_LAYOUT_VS_SNMP_COMMUNITYNAME)             \
    X(vscore::SKEYINFO_VALUE, 8, VEXMOR_LAYOUT_SKEYINFO_VALUE)                             \
    X(vscore::SKEYINFO_DUPLEXTYPE, 8, VEXMOR_LAYOUT_SKEYINFO_DUPLEXTYPE)                   \
    X(vscore::SKEYINFO_COLORTYPE, 8, VEXMOR_LAYOUT_SKEYINFO_COLORTYPE)                     \
    X(vscore::SKEYINFO_PAPERTYPE, 8, VEXMOR_LAYOUT_SKEYINFO_PAPERTYPE)                     \
    X(vscore::SKEYINFO_RESOLUTION, 12, VEXMOR_LAYOUT_SKEYINFO_RESOLUTION)                  \
    X(vscore::SKEYINFO_SWITCH, 2, VEXMOR_LAYOUT_SKEYINFO_SWITCH)                           \
    X(vscore::SKEYINFO_FILESAVE, 32, VEXMOR_LAYOUT_SKEYINFO_FILESAVE)                      \
    X(vscore::SKEYINFO_ORIENTATION, 12, VEXMOR_LAYOUT_SKEYINFO_ORIENTATION)                \
    X(vscore::SKEYINFO_BACKGROUNDREMOVAL, 12, VEXMOR_LAYOUT_SKEYINFO_BACKGROUNDREMOVAL)    \
    X(vscore::SKEYINFO_MARGINADJUST, 24, VEXMOR_LAYOUT_SKEYINFO_MARGINADJUST)              \
    X(PushScanKeyInfo, 164, VEXMOR_LAYOUT_PushScanKeyInfo)
// clang-format on
