// Generation-2 command texts. Numbers are plain decimal; brightness,
// contrast, the auto-colour levels and the margins are signed, all others
// unsigned. Flags are ON or OFF.
#include "VexmorApi/Temp/ScanCmdText_v2.h"

#include <cstring>

#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kEsc = '\x1B';
constexpr char kEnd = '\x80';

// The head of a command frame: ESC, the letters, LF.
std::string FrameHead(const char* letters)
{
    std::string frame(1, kEsc);
    frame += letters;
    frame += '\n';
    return frame;
}

// Logs the finished text of a command builder.
void LogCommand(const char* format, const std::string& frame) { g_ScanDevApiLog.WriteLog(1, format, frame.c_str()); }

}  // namespace

// ---------------------------------------------------------------------------
// Commands.

std::string CCmdString_v2::MakeCKDcmdString(SCANCMD_PAPERSOURCE_TYPE source, bool useBindTime, unsigned int bindTime)
{
    static char const kFunc[] = "MakeCKDcmdString";
    TraceScope trace(g_ScanDevApiLog, 2, kFunc);
    std::string frame = FrameHead("CKD");
    frame += MakePaperSourceString(source);
    if (useBindTime) {
        frame += MakeBindTimeString(bindTime);
    }
    frame += kEnd;
    LogCommand("CKD Command:\r\n%s", frame);
    return frame;
}

std::string CCmdString_v2::MakeSSPcmdString(const _SCANCMD_SCANPARAM* param, bool readAhead)
{
    static char const kFunc[] = "MakeSSPcmdString";
    TraceScope trace(g_ScanDevApiLog, 2, kFunc);
    std::string frame;
    if (param != nullptr) {
        const _SCANCMD_SCANPARAM& p = *param;
        frame = FrameHead("SSP");
        frame += MakeOSinfoString(p.osInfo);
        // A read-ahead scan uses the settings made on the device panel.
        if (!readAhead) {
            frame += MakePaperSourceString(p.paperSource);
            frame += MakeResolutionString(p.resolution);
            frame += MakeColorTypeString(p.colorType);
            frame += MakeScanAreaString(p.scanArea);
            frame += MakeMarginAreaString(p.margin);
            frame += MakeDuplexScanString(p.duplexScan);
            frame += MakeBrightnessString(p.brightness);
            frame += MakeContrastString(p.contrast);
            if (p.autoColorLevel) {
                frame += MakeAutoColorLevelString(p.monoColorDetectLevel, p.monoGrayDetectLevel);
            }
            if (!p.monoThreshold.autoThreshold && p.monoThreshold.manualThreshold) {
                frame += MakeMonoThresholdString(p.monoThreshold.level);
            }
            frame += MakeCompressionString(p.compression);
            if (p.jpegRate != 0) {
                frame += MakeJpegCompressionRateString(p.jpegRate);
            }
            frame += MakeJpegSamplingFactorString(p.jpegSamplingFactor);
            frame += MakeImageProcessingString(p.imageProcessing);
            frame += MakePaperTypeString(p.paperType);
            frame += MakeScanPageString(p.scanPage);
            frame += MakeLongPaperModeString(p.longPaper);
            frame += MakeCarrierSheetModeSetring(p.carrierSheet);
            frame += MakeGroundColorRemovalString(p.groundColorRemoval);
            frame += MakeDoubleFeedDetectionString(p.doubleFeedDetection);
            if (p.feedMotion.on) {
                frame += MakeDoubleFeedMotionString(p.feedMotion);
            }
            frame += MakeCornerDetectionString(p.cornerDetection);
            frame += MakeAutoDeskewString(p.autoDeskew);
            frame += MakeLandScapeModeString(p.landscapeMode);
            frame += MakeBlankPageRemoval(p.blankPageRemoval);
            frame += MakeMoireRemovalString(p.moireRemoval);
            frame += MakeGammaAdjustString(p.gammaAdjust);
            frame += MakeToneAdjustString(p.toneAdjust);
            frame += MakeQuietScanString(p.quietScan);
            frame += MakeAutoContinuousScanString(p.autoContinuousScan);
            frame += MakeAutoCropString(p.autoCrop);
            frame += MakeUserName(p.userName, sizeof p.userName);
        }
        frame += kEnd;
    }
    LogCommand("SSP command parameter :\r\n%s", frame);
    return frame;
}

std::string CCmdString_v2::MakeXSCcmdString(const _SCANCMD_SCANPARAM* param, bool readAhead)
{
    static char const kFunc[] = "MakeXSCcmdString";
    TraceScope trace(g_ScanDevApiLog, 2, kFunc);
    std::string frame;
    if (param != nullptr) {
        frame = FrameHead("XSC");
        if (!readAhead) {
            frame += MakeResolutionString(param->resolution);
            frame += MakeLastScanAreaString(param->scanArea);
            frame += MakeSpecialModeString(param->specialScanType);
        }
        frame += kEnd;
    }
    LogCommand("XSC command parameter:\r\n%s", frame);
    return frame;
}

std::string CCmdString_v2::MakeABTcmdString(SCANCMD_EJECTION_TYPE ejection, bool finishAutoContinuousScan)
{
    static char const kFunc[] = "MakeABTcmdString";
    TraceScope trace(g_ScanDevApiLog, 2, kFunc);
    std::string frame = FrameHead("ABT");
    if (ejection != SCANCMD_EJECTION_NONE) {
        frame += MakeEjectionModeString(ejection);
    }
    if (finishAutoContinuousScan) {
        frame += MakeAutoContinuousFinishString();
    }
    frame += kEnd;
    LogCommand("ABT Command:\r\n%s", frame);
    return frame;
}

// ---------------------------------------------------------------------------
// Parameter lines.

std::string CCmdString_v2::MakeOSinfoString(SCANCMD_OS_INFO os)
{
    switch (static_cast<uint32_t>(os)) {
    case 2:
        return Line("OS", "MAC");
    case 3:
        return Line("OS", "IOS");
    case 4:
        return Line("OS", "ADR");
    case 5:
        return Line("OS", "LNX");
    case 6:
        return Line("OS", "WPH");
    default:
        return Line("OS", "WIN");
    }
}

std::string CCmdString_v2::MakePaperSourceString(SCANCMD_PAPERSOURCE_TYPE source)
{
    switch (source) {
    case SCANCMD_PAPERSOURCE_ADF:
        return Line("PSRC", "ADF");
    case SCANCMD_PAPERSOURCE_FB:
        return Line("PSRC", "FB");
    default:
        return Line("PSRC", "AUTO");
    }
}

std::string CCmdString_v2::MakeBindTimeString(unsigned int bindTime) { return Line("CSIT", Unsigned(bindTime)); }

std::string CCmdString_v2::MakeResolutionString(const _SCANCMD_RESOLUTION& resolution)
{
    if (resolution.autoResolution != 0) {
        return Line("RESO", "AUTO");
    }
    std::string value = Unsigned(resolution.x);
    value += ',';
    value += Unsigned(resolution.y);
    return Line("RESO", value.c_str());
}

std::string CCmdString_v2::MakeColorTypeString(SCANCMD_COLOR_TYPE color)
{
    switch (color) {
    case SCANCMD_COLOR_TEXT:
        return Line("CLR", "TEXT");
    case SCANCMD_COLOR_ERRDIF:
        return Line("CLR", "ERRDIF");
    case SCANCMD_COLOR_GRAY256:
        return Line("CLR", "GRAY256");
    case SCANCMD_COLOR_C256:
        return Line("CLR", "C256");
    case SCANCMD_COLOR_C24BIT:
        return Line("CLR", "C24BIT");
    default:
        return Line("CLR", "AUTO");
    }
}

std::string CCmdString_v2::MakeScanAreaString(const _SCANCMD_SCANAREA& area)
{
    switch (area.type) {
    case SCANCMD_SCAN_AREA_FULL:
        return Line("AREA", "FULL");
    case SCANCMD_SCAN_AREA_OVER:
        return Line("AREA", "OVER");
    case SCANCMD_SCAN_AREA_AUTO:
        return Line("AREA", "AUTO");
    case SCANCMD_SCAN_AREA_ATDSKW:
        return Line("AREA", "ATDSKW");
    default:
        return Line("AREA", "NORMAL");
    }
}

std::string CCmdString_v2::MakeMarginAreaString(const tagRECT& margin)
{
    // Hundredths of a millimetre to tenths, truncated toward zero; the
    // device takes left, right, top, bottom.
    std::string value = Signed(int64_t{margin.left} / 10);
    value += ',';
    value += Signed(int64_t{margin.right} / 10);
    value += ',';
    value += Signed(int64_t{margin.top} / 10);
    value += ',';
    value += Signed(int64_t{margin.bottom} / 10);
    return Line("MRGN", value.c_str());
}

std::string CCmdString_v2::MakeDuplexScanString(const _SCANCMD_DUPLEXSCAN& duplex)
{
    if (!duplex.duplex) {
        return Line("DPLX", "OFF");
    }
    return Line("DPLX", duplex.back ? "BACK" : "ON");
}

// The device's scale runs from 0 to 100 around the engine's 0.
std::string CCmdString_v2::MakeBrightnessString(int32_t brightness)
{
    return Line("BRIT", Signed(int64_t{brightness} + 50));
}

std::string CCmdString_v2::MakeContrastString(int32_t contrast) { return Line("CONT", Signed(int64_t{contrast} + 50)); }

std::string CCmdString_v2::MakeAutoColorLevelString(uint32_t monoColorLevel, uint32_t monoGrayLevel)
{
    std::string value = Signed(static_cast<int32_t>(monoColorLevel));
    value += ',';
    value += Signed(static_cast<int32_t>(monoGrayLevel));
    return Line("ATCL", value.c_str());
}

std::string CCmdString_v2::MakeMonoThresholdString(uint32_t level) { return Line("THRS", Unsigned(level)); }

std::string CCmdString_v2::MakeCompressionString(SCANCMD_COMPRESSION_TYPE compression)
{
    switch (static_cast<uint32_t>(compression)) {
    case 2:
    case 4:
        return Line("COMP", "RLENGTH");
    case 3:
    case 5:
        return Line("COMP", "JPEG");
    default:
        return Line("COMP", "NONE");
    }
}

std::string CCmdString_v2::MakeJpegCompressionRateString(uint32_t rate) { return Line("RATE", Unsigned(rate)); }

std::string CCmdString_v2::MakeJpegSamplingFactorString(SCANCMD_JPEG_SAMPLING_FACTOR_TYPE factor)
{
    switch (factor) {
    case SCANCMD_JPEG_SAMPLING_422:
        return Line("JSF", "422");
    case SCANCMD_JPEG_SAMPLING_411:
        return Line("JSF", "411");
    case SCANCMD_JPEG_SAMPLING_420:
        return Line("JSF", "420");
    case SCANCMD_JPEG_SAMPLING_400:
        return Line("JSF", "400");
    default:
        return Line("JSF", "444");
    }
}

std::string CCmdString_v2::MakeImageProcessingString(SCANCMD_IMAGE_PROCESSING_TYPE processing)
{
    switch (processing) {
    case SCANCMD_IMAGE_PROCESSING_COPY:
        return Line("IPRC", "COPY");
    case SCANCMD_IMAGE_PROCESSING_OCR:
        return Line("IPRC", "OCR");
    case SCANCMD_IMAGE_PROCESSING_PHOTO:
        return Line("IPRC", "PHOTO");
    case SCANCMD_IMAGE_PROCESSING_TXTGR:
        return Line("IPRC", "TXTGR");
    default:
        return Line("IPRC", "NORMAL");
    }
}

std::string CCmdString_v2::MakePaperTypeString(SCANCMD_PAPER_TYPE paper)
{
    switch (paper) {
    case SCANCMD_PAPER_THIN:
        return Line("PTYPE", "THIN");
    case SCANCMD_PAPER_THOCK:
        return Line("PTYPE", "THOCK");
    case SCANCMD_PAPER_PCARD:
        return Line("PTYPE", "PCARD");
    default:
        return Line("PTYPE", "NORMAL");
    }
}

std::string CCmdString_v2::MakeScanPageString(uint32_t pages) { return Line("PAGE", Unsigned(pages)); }

std::string CCmdString_v2::MakeLongPaperModeString(bool on) { return OnOffLine("LONG", on); }

std::string CCmdString_v2::MakeCarrierSheetModeSetring(const _SCANCMD_CARRIERSHEETMODE& carrier)
{
    if (!carrier.on) {
        return Line("CARR", "OFF");
    }
    return Line("CARR", carrier.autoMode ? "AUTO" : "ON");
}

std::string CCmdString_v2::MakeGroundColorRemovalString(const _SCANCMD_GROUNDCOLORREMOVAL& removal)
{
    return LevelLine("RMGC", removal.on, removal.levelGiven, removal.level);
}

std::string CCmdString_v2::MakeDoubleFeedDetectionString(const _SCANCMD_DOUBLEFEEDDETECTION& detection)
{
    return LevelLine("DTDF", detection.on, detection.levelGiven, detection.level);
}

std::string CCmdString_v2::MakeDoubleFeedMotionString(const _SCANCMD_FEEDMOTION& motion)
{
    return Line("OPDF", motion.continueFeed ? "CONT" : "STOP");
}

std::string CCmdString_v2::MakeCornerDetectionString(bool on) { return OnOffLine("DT4V", on); }

std::string CCmdString_v2::MakeAutoDeskewString(bool on) { return OnOffLine("DSKW", on); }

std::string CCmdString_v2::MakeLandScapeModeString(bool on) { return OnOffLine("LSMD", on); }

std::string CCmdString_v2::MakeBlankPageRemoval(const _SCANCMD_BLANKPAGEREMOVAL& removal)
{
    return LevelLine("RMBP", removal.on, removal.levelGiven, removal.level);
}

std::string CCmdString_v2::MakeMoireRemovalString(bool on) { return OnOffLine("RMMR", on); }

std::string CCmdString_v2::MakeGammaAdjustString(const _SCANCMD_GAMMAADJIST& gamma)
{
    if (gamma.on == 0) {
        return Line("GMMA", "OFF");
    }
    // On without a value: the device keeps its own gamma.
    return Line("GMMA", gamma.value != 0 ? Unsigned(gamma.value) : "");
}

std::string CCmdString_v2::MakeToneAdjustString(bool on) { return OnOffLine("TONE", on); }

std::string CCmdString_v2::MakeQuietScanString(bool on) { return OnOffLine("QTFD", on); }

std::string CCmdString_v2::MakeAutoContinuousScanString(const _SCANCMD_AUTOCONTINUOUSSCAN& scan)
{
    if (!scan.execute) {
        return Line("ATCN", "OFF");
    }
    std::string lines = Line("ATCN", "ON");
    lines += Line("ATTO", Unsigned(scan.timeout));
    lines += Line("ATFD", Unsigned(scan.feedDelay));
    return lines;
}

std::string CCmdString_v2::MakeAutoCropString(bool on) { return OnOffLine("ATCRP", on); }

std::string CCmdString_v2::MakeUserName(const char* name, size_t size)
{
    std::string value;
    if (name != nullptr) {
        size_t const length = strnlen(name, size);
        value.reserve(length);
        for (size_t i = 0; i < length; ++i) {
            unsigned char const byte = static_cast<unsigned char>(name[i]);
            // An LF would end the line and 0x80 the whole frame.
            if (byte >= 0x20 && byte < 0x80) {
                value += static_cast<char>(byte);
            }
        }
    }
    return Line("USER", value.c_str());
}

std::string CCmdString_v2::MakeLastScanAreaString(const _SCANCMD_SCANAREA& area)
{
    switch (area.type) {
    case SCANCMD_SCAN_AREA_FULL:
    case SCANCMD_SCAN_AREA_OVER:
    case SCANCMD_SCAN_AREA_AUTO:
    case SCANCMD_SCAN_AREA_ATDSKW:
        return MakeScanAreaString(area);
    default:
        break;
    }
    // The corners; the sums wrap at 32 bits as the device computes them.
    std::string value = Unsigned(area.x);
    value += ',';
    value += Unsigned(area.y);
    value += ',';
    value += Unsigned(static_cast<uint32_t>(area.x + area.width));
    value += ',';
    value += Unsigned(static_cast<uint32_t>(area.y + area.height));
    return Line("AREA", value.c_str());
}

std::string CCmdString_v2::MakeSpecialModeString(SCANCMD_SPECIAL_SCAN_TYPE mode)
{
    switch (mode) {
    case SCANCMD_SPECIAL_SCAN_EDGEPRE:
        return Line("MODE", "EDGEPRE");
    case SCANCMD_SPECIAL_SCAN_ORIGINAL:
        return Line("MODE", "ORIGINAL");
    case SCANCMD_SPECIAL_SCAN_ATC1PASS:
        return Line("MODE", "ATC1PASS");
    default:
        return Line("MODE", "NORMAL");
    }
}

std::string CCmdString_v2::MakeEjectionModeString(SCANCMD_EJECTION_TYPE ejection)
{
    switch (ejection) {
    case SCANCMD_EJECTION_ALL:
        return Line("EJCT", "ALL");
    case SCANCMD_EJECTION_NO:
        return Line("EJCT", "NO");
    default:
        return Line("EJCT", "ONE");
    }
}

std::string CCmdString_v2::MakeAutoContinuousFinishString() { return Line("ATCN", "OFF"); }

// ---------------------------------------------------------------------------
// Helpers.

std::string CCmdString_v2::Line(const char* key, const char* value)
{
    std::string line = key;
    line += '=';
    line += value;
    line += '\n';
    return line;
}

std::string CCmdString_v2::OnOffLine(const char* key, bool on) { return Line(key, on ? "ON" : "OFF"); }

std::string CCmdString_v2::LevelLine(const char* key, bool on, bool levelGiven, int64_t level)
{
    if (!on) {
        return Line(key, "OFF");
    }
    return Line(key, levelGiven ? Signed(level) : "ON");
}

const char* CCmdString_v2::Signed(int64_t value)
{
    number_.Format("%lld", static_cast<long long>(value));
    return number_.C_str();
}

const char* CCmdString_v2::Unsigned(uint64_t value)
{
    number_.Format("%llu", static_cast<unsigned long long>(value));
    return number_.C_str();
}

}  // namespace vscore
