// Per-page enhancement settings from the scan request and the capability.
#include "VexmorApi/Temp/ConvertScanParam.h"

#include <algorithm>
#include <iterator>

#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Utilities/SaturatingCast.h"

namespace vscore {

namespace {

uint8_t LowByte(int64_t value) { return static_cast<uint8_t>(value & 0xFF); }

uint32_t NonNegative(int32_t value) { return value < 0 ? 0u : static_cast<uint32_t>(value); }

// The weighted gray of a colour, as the pipeline compares background pixels.
int64_t GrayOf(int64_t red, int64_t green, int64_t blue) { return (306 * red + 601 * green + 117 * blue) / 1024; }

IMAGEPROC_ORIENT_TYPE ToOrientation(IMAGEORIENTATION angle)
{
    switch (angle) {
    case ROT90:
        return IMAGEPROC_ORIENT_90;
    case ROT180:
        return IMAGEPROC_ORIENT_180;
    case ROT270:
        return IMAGEPROC_ORIENT_270;
    default:
        return IMAGEPROC_ORIENT_NONE;
    }
}

// The settings both generations derive alike. The detected colour must be
// set before, as colour detection depends on it.
void ApplyCommon(_IMAGEPROC_PARAM& param, const VS_SCANNER_CAPABILITY& capability, const VS_SCANNER_PARAMETERS& user,
                 const VS_SCANNER_PARAMETERS& device, AXIS outputSize, bool generation2, bool fitting)
{
    const tagVS_ADVANCEDSCAN& advanced = user.enhanced;
    bool const pcSideForFitting = generation2 && fitting;
    if (advanced.blankRemoval.remove && (capability.IsDetectedBlankOnPC() || pcSideForFitting)) {
        param.blankRemove.enabled = 1;
        param.blankRemove.level = LowByte(advanced.blankRemoval.level);
    }
    if (param.ShouldDetectColor() && (capability.IsDetectedColorOnPC() || pcSideForFitting)) {
        param.monoColorDetectLevel = LowByte(advanced.autoColorLevel.monoColorDetectLevel);
        param.monoGrayDetectLevel = LowByte(advanced.autoColorLevel.monoGrayDetectLevel);
    }
    if (advanced.edgeFill.specifiedArea) {
        param.edgeFill = CConvertScanParam::GetSpecifiedEdgeFill(advanced.edgeFill);
    }
    if (generation2 && advanced.autoRotate) {
        param.orientation = IMAGEPROC_ORIENT_AUTO;
        param.orientationLanguage = static_cast<uint16_t>(advanced.autoRotateLangId);
    } else {
        param.orientation = ToOrientation(advanced.rotateImageAngle);
    }
    if (CConvertScanParam::ShouldAppendLengthToEndOfPage(
            device, CPaperSize::IsFixedPaperType(user.scanAreaInfo.papertype), capability.category)) {
        param.appendLength = true;
        param.lengthToAppend = outputSize.y;
    }
}

IMAGEPROC_COLORDROP ToColorDrop(const COLORDROPPARAM& drop)
{
    IMAGEPROC_COLORDROP out{};
    out.on = true;
    out.keepDarkColor = true;
    if (drop.chromaticColor) {
        out.chromatic = true;
        out.level = 1;
    } else if (drop.dropRed) {
        out.red = 80;
        out.blue = 28;
        out.level = 40;
    } else if (drop.dropGreen) {
        out.green = 60;
        out.level = 40;
    } else if (drop.dropBlue) {
        out.blue = 40;
        out.level = 60;
    } else {
        out.red = drop.customColor.redVal;
        out.green = drop.customColor.greenVal;
        out.blue = drop.customColor.blueVal;
        out.level = SaturateTo<int32_t>(drop.customColor.level);
        out.keepDarkColor = drop.customColor.keepDarkColor;
    }
    return out;
}

IMAGEPROC_DUSTREMOVAL ToDustRemoval(uint32_t level)
{
    int32_t size = 120;
    switch (level) {
    case 1:
        size = 30;
        break;
    case 2:
        size = 60;
        break;
    case 4:
        size = 200;
        break;
    case 5:
        size = 300;
        break;
    default:
        break;
    }
    return IMAGEPROC_DUSTREMOVAL{true, 100, {size, size, 500, 1}};
}

IMAGEPROC_LINEREMOVAL ToLineRemoval(const REMOVELINEPARAM& line)
{
    IMAGEPROC_LINEREMOVAL out{};
    out.on = true;
    IMAGEPROC_LINE_DIRECTION const block{1, 0, 33, line.dashedLength, line.minLength};
    if (line.direction == LINE_VERTICAL || line.direction == LINE_VERTICAL_HORIZONAL) {
        out.vertical = block;
    }
    if (line.direction == LINE_HORIZONTAL || line.direction == LINE_VERTICAL_HORIZONAL) {
        out.horizontal = block;
    }
    out.unit = line.unit;
    return out;
}

IMAGEPROC_BARCODE ToBarcode(const BARCODEPARAMETER& barcode)
{
    IMAGEPROC_BARCODE out{};
    out.execute = barcode.execute;
    out.maxNum = barcode.maxNum;
    out.searchDirection = barcode.searchDirection;
    out.retryNum = barcode.retryNum;
    out.specifyArea = barcode.specifyArea;
    if (barcode.specifyArea) {
        out.area = barcode.area;
    }
    out.addStartStopToCodabar = barcode.addStartStopToCodabar;
    size_t const count = std::min<size_t>(barcode.typesNum, std::size(barcode.types));
    out.types.assign(barcode.types, barcode.types + count);
    return out;
}

IMAGEPROC_PATCHCODE ToPatchcode(const PATCHCODEPARAMETER& patchcode)
{
    IMAGEPROC_PATCHCODE out{};
    out.execute = patchcode.execute;
    size_t const count = std::min<size_t>(patchcode.typesNum, std::size(patchcode.types));
    out.types.assign(patchcode.types, patchcode.types + count);
    return out;
}

IMAGEPROC_EDGE_CUT ToEdgeCut(const EDGECUTPARAM& edgeCut)
{
    tagRECT mm{};
    if (edgeCut.adjust) {
        tagRECT converted{};
        if (CConvertUnit::ConvertUnit(edgeCut.rect, edgeCut.unit, &converted, MM)) {
            mm = converted;
        }
    }
    return IMAGEPROC_EDGE_CUT{SaturateTo<int32_t>(int64_t{mm.left} - 50), SaturateTo<int32_t>(int64_t{mm.right} - 50),
                              SaturateTo<int32_t>(int64_t{mm.top} - 50), SaturateTo<int32_t>(int64_t{mm.bottom} - 50)};
}

}  // namespace

_IMAGEPROC_PARAM CConvertScanParam::ToImageEnhanceParam_v1(const VS_SCANNER_CAPABILITY& capability,
                                                           const VS_SCANNER_PARAMETERS& user,
                                                           const VS_SCANNER_PARAMETERS& device, AXIS outputSize,
                                                           const std::unique_ptr<Image4Corners>& corners)
{
    _IMAGEPROC_PARAM param;
    param.userColorType = ConvertColorType(user.colortype);
    ApplyCommon(param, capability, user, device, outputSize, false, false);
    param.reduceNoise = user.enhanced.reduceNoise;
    if (capability.cornerDetect.cap == SUPPORT && corners) {
        param.corners.cornersGiven = true;
        param.corners.deskew = user.enhanced.deskew;
        for (size_t i = 0; i < std::size(param.corners.points); ++i) {
            param.corners.points[i] =
                AXIS_SIGNED{SaturateTo<int32_t>(corners->points[i].x), SaturateTo<int32_t>(corners->points[i].y)};
        }
        if (CPaperSize::IsFixedPaperType(user.scanAreaInfo.papertype)) {
            param.outputSizeGiven = true;
            param.outputSize = outputSize;
        }
    }
    param.paperPosition = IMAGEPROC_PAPER_CENTER;
    return param;
}

_IMAGEPROC_PARAM CConvertScanParam::ToImageEnhanceParam_v2(const VS_SCANNER_CAPABILITY& capability,
                                                           const VS_SCANNER_PARAMETERS& user,
                                                           const VS_SCANNER_PARAMETERS& device,
                                                           Page::AutoColorResult autoColor, AXIS outputSize,
                                                           const PaperSourceSide& side)
{
    const tagVS_ADVANCEDSCAN& advanced = user.enhanced;
    const tagSCANAREAINFO& area = user.scanAreaInfo;
    _IMAGEPROC_PARAM param;
    param.userColorType = ConvertColorType(user.colortype);
    param.detectedColorType = ConvertDetectedColorType(autoColor);
    bool const fitting = capability.IsSupportedFittingAutoSize() && area.papertype == AUTOSIZE && !area.areaSelected;
    if (fitting) {
        param.fittingMode = advanced.edgeFill.automatic ? 2 : 1;
    }
    ApplyCommon(param, capability, user, device, outputSize, true, fitting);

    param.reduceNoise = advanced.reduceNoise;
    if (advanced.colorDrop.drop) {
        param.colorDrop = ToColorDrop(advanced.colorDrop);
    }
    if (advanced.punchHoleRemove.remove) {
        param.punchHole = GetPunchHoleRemoval(advanced.punchHoleRemove.fillColor,
                                              IsUniformBackgroundColorModel(capability.commandVersion));
    }
    if (advanced.smoothing.bleedThrough) {
        param.smoothing =
            IMAGEPROC_SMOOTHING{true, advanced.smoothing.backgroundRemoval ? 1 : 0, advanced.smoothing.level};
    }
    param.brightness = ToLevel255(user.brightness);
    param.contrast = ToLevel255(user.contrast);

    if (advanced.colorTone.autoTone) {
        param.toneMode = 1;
    } else if (advanced.colorTone.customTone) {
        param.toneMode = 2;
        param.toneBrightness = static_cast<uint8_t>(ToLevel255(advanced.colorTone.manualBrightness));
        param.toneContrast = static_cast<uint8_t>(ToLevel255(advanced.colorTone.manualContrast));
        param.toneShadow = LowByte(advanced.colorTone.manualShadow);
        param.toneHighlight = LowByte(advanced.colorTone.manualHighlight);
        param.toneGamma = advanced.colorTone.manualGamma / 100.0;
    } else {
        param.toneMode = capability.commandVersion <= CommandVersion_KELP2 ? 0 : 3;
    }
    if (advanced.edgeEnhance.enhance) {
        param.edgeEnhance = IMAGEPROC_EDGE_ENHANCE{true, LowByte(advanced.edgeEnhance.level)};
    }

    if (advanced.monoThreshold.customThreshold) {
        param.monoThresholdMode = IMAGEPROC_THRESHOLD_USER;
        param.monoThresholdLevel = SaturateTo<int32_t>(advanced.monoThreshold.manualLevel);
    } else {
        param.monoThresholdMode = IMAGEPROC_THRESHOLD_STATIC;
        param.monoThresholdLevel = capability.commandVersion == CommandVersion_2017 ? 195 : 128;
    }

    if (advanced.dustRemoval.reduce && capability.commandVersion == CommandVersion_KELP2) {
        param.dustRemoval = ToDustRemoval(advanced.dustRemoval.level);
    }
    if (advanced.lineRemove.lineRemove && capability.commandVersion == CommandVersion_KELP2) {
        param.lineRemoval = ToLineRemoval(advanced.lineRemove);
    }

    if (advanced.thickText.thickness) {
        param.textMode = IMAGEPROC_TEXTMODE{1, SaturateTo<int32_t>(advanced.thickText.level), 0};
    } else if (advanced.dotTextCombine) {
        param.textMode = IMAGEPROC_TEXTMODE{2, 0, std::min(user.resolutionX, user.resolutionY) > 599 ? 2 : 1};
    }

    if (CPaperSize::IsFixedPaperType(area.papertype) && advanced.deskew &&
        capability.deskew.interlock.isNotSingleUsed && !area.areaSelected) {
        param.outputSizeGiven = true;
        param.outputSize = outputSize;
    }

    param.barcode = ToBarcode(advanced.detectBarcode);
    param.patchcode = ToPatchcode(advanced.detectPatchcode);

    param.backgroundColor = IsUniformBackgroundColorModel(capability.commandVersion)
                                ? GetBackGroundColor(capability)
                                : GetBackGroundColor(capability, device.colortype, side);
    param.edgeCut = ToEdgeCut(advanced.edgeCut);
    param.paperPosition = GetPaperPosition(capability.paperPosition, side, user.duplextype);
    return param;
}

AXIS CConvertScanParam::ToImageEnhanceOutputSize(AXIS resolution, unsigned short sourceResolution,
                                                 const tagSCANAREAINFO& info, const SCANAREA& selected,
                                                 bool normalAreaType, PAPERSOURCESELECT source, const AXIS& detected)
{
    AXIS size{};
    UNITTYPE unit = PIXEL;
    if (detected.x != 0 && detected.y != 0) {
        size = detected;
    } else if (info.areaSelected && source != CARDSLOT) {
        size = AXIS{NonNegative(selected.width), NonNegative(selected.height)};
        unit = selected.unit;
    } else if (CPaperSize::IsFixedPaperType(info.papertype) && !normalAreaType) {
        PAPERSIZE const paper =
            info.papertype == CUSTOMSIZE ? info.customPaperSize : CPaperSize::GetPaperSizeFromType(info.papertype);
        size = paper.size;
        unit = paper.unit;
    } else {
        size = AXIS{NonNegative(info.selectArea.width), NonNegative(info.selectArea.height)};
        unit = info.selectArea.unit;
    }
    return CConvertUnit::ConvertToSpecifiedResolutionPixels(resolution, AXIS{sourceResolution, sourceResolution}, size,
                                                            unit);
}

IMAGEPROC_USER_COLORTYPE CConvertScanParam::ConvertColorType(COLORTYPE type)
{
    switch (type) {
    case AUTOCOLOR:
    case COLOR256:
        return IMAGEPROC_USER_AUTOCOLOR;
    case BLACKWHITE:
        return IMAGEPROC_USER_BLACKWHITE;
    case ERRDIFFUSION:
        return IMAGEPROC_USER_ERRDIFFUSION;
    case TRUEGRAY:
        return IMAGEPROC_USER_TRUEGRAY;
    default:
        return IMAGEPROC_USER_COLOR24BIT;
    }
}

DETECTED_COLOR CConvertScanParam::ConvertDetectedColorType(Page::AutoColorResult result)
{
    switch (result) {
    case Page::AutoColorBlackAndWhite:
        return DETECTED_COLOR_BLACKWHITE;
    case Page::AutoColorGray:
        return DETECTED_COLOR_GRAY;
    case Page::AutoColorColor:
        return DETECTED_COLOR_COLOR;
    default:
        return DETECTED_COLOR_NONE;
    }
}

IMAGEPROC_PUNCHHOLE CConvertScanParam::GetPunchHoleRemoval(SELECTCOLOR fill, bool uniform)
{
    int32_t const fillMode = fill == WHITE ? 1 : fill == NEARBYCOLOR ? 0 : 2;
    return IMAGEPROC_PUNCHHOLE{true, {30, 30, 30, 30, 3, 10, fillMode, 0, 0, uniform ? 70 : 10}, uniform};
}

IMAGEPROC_EDGE_FILL_PARAM CConvertScanParam::GetSpecifiedEdgeFill(const EDGEFILLPARAM& edgeFill)
{
    return IMAGEPROC_EDGE_FILL_PARAM{true, edgeFill.color == BLACK, edgeFill.margin};
}

IMAGEPROC_BACKGROUND_COLOR CConvertScanParam::GetBackGroundColor(const VS_SCANNER_CAPABILITY& capability)
{
    const COLORTAPE& tape = capability.colorTape;
    int64_t const gray = GrayOf(tape.tapeData.tapeColorRed, tape.tapeData.tapeColorGreen, tape.tapeData.tapeColorBlue);
    IMAGEPROC_BACKGROUND_COLOR out{};
    out.on = tape.tapeColor != WHITE_TAPE;
    out.lowerGray = SaturateTo<uint8_t>(gray - tape.tapeRange.tapeColorRangeMin);
    out.upperGray = SaturateTo<uint8_t>(gray + tape.tapeRange.tapeColorRangeMax);
    return out;
}

IMAGEPROC_BACKGROUND_COLOR CConvertScanParam::GetBackGroundColor(const VS_SCANNER_CAPABILITY& capability,
                                                                 COLORTYPE deviceColor, const PaperSourceSide& side)
{
    bool const colour = deviceColor == AUTOCOLOR || deviceColor == COLOR24BIT;
    const PSEUDOBACKGROUNDCOLOR& pseudo =
        colour ? (side.backSide ? capability.pseudoBackgoundAdfBackColor : capability.pseudoBackgoundAdfFrontColor)
               : (side.backSide ? capability.pseudoBackgoundAdfBackGray : capability.pseudoBackgoundAdfFrontGray);
    int64_t const gray = GrayOf(pseudo.red, pseudo.green, pseudo.blue);
    IMAGEPROC_BACKGROUND_COLOR out{};
    out.on = true;
    out.lowerGray = SaturateTo<uint8_t>(gray - 60);
    out.upperGray = SaturateTo<uint8_t>(gray + 20);
    return out;
}

bool CConvertScanParam::IsUniformBackgroundColorModel(CommandVersion version)
{
    return version != CommandVersion_SEDGE2 && version != CommandVersion_268;
}

IMAGEPROC_PAPER_POSITION CConvertScanParam::GetPaperPosition(const PAPERSETTINGPOSITIONS& positions,
                                                             const PaperSourceSide& side, DUPLEXTYPE duplex)
{
    POSITION position = LEFT;
    switch (side.source) {
    case 0:
        position = positions.flatbedX;
        break;
    case 1:
        position = positions.adfX;
        break;
    case 2:
        position = positions.cardslotX;
        break;
    default:
        break;
    }
    bool const mirrored = side.backSide && duplex == DUPLEX_LONG;
    if (position == LEFT) {
        return mirrored ? IMAGEPROC_PAPER_RIGHT : IMAGEPROC_PAPER_LEFT;
    }
    if (position == RIGHT) {
        return mirrored ? IMAGEPROC_PAPER_LEFT : IMAGEPROC_PAPER_RIGHT;
    }
    return IMAGEPROC_PAPER_CENTER;
}

bool CConvertScanParam::ShouldAppendLengthToEndOfPage(const VS_SCANNER_PARAMETERS& device, bool fixedPaper,
                                                      DEVICECATEGORY category)
{
    PAPERTYPE const type = device.scanAreaInfo.papertype;
    if (device.enhanced.detectEndOfPage || type == LONGPAPER_NARROW || type == LONGPAPER_WIDE) {
        return false;
    }
    if (category == INK && type == AUTOSIZE) {
        return false;
    }
    if (device.scanAreaInfo.selectArea.height <= 0 && !fixedPaper && !device.scanAreaInfo.areaSelected) {
        return false;
    }
    return !device.enhanced.autocrop;
}

int32_t CConvertScanParam::ToLevel255(int32_t value)
{
    int32_t const clamped = std::clamp(value, -50, 50);
    return ((clamped + 50) * 255 + 50) / 100;
}

}  // namespace vscore
