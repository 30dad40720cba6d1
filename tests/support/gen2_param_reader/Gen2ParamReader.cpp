// The command-text reader over the engine's device scan-parameter record:
// the record goes into the reader's own settings and back, field by field.
#include "tests/support/gen2_param_reader/Gen2ParamReader.h"

#include <cstring>
#include <type_traits>

namespace gen2_param_reader {

namespace {

// Copies every field between the two records, whose members carry the same
// names; enumerations and plain codes convert both ways.
template <typename From, typename To>
void Transfer(const From& f, To& t)
{
    auto put = [](auto& to, const auto& from) { to = static_cast<std::remove_reference_t<decltype(to)>>(from); };
    put(t.osInfo, f.osInfo);
    put(t.paperSource, f.paperSource);
    put(t.resolution.x, f.resolution.x);
    put(t.resolution.y, f.resolution.y);
    put(t.resolution.autoResolution, f.resolution.autoResolution);
    put(t.colorType, f.colorType);
    put(t.scanArea.type, f.scanArea.type);
    put(t.scanArea.x, f.scanArea.x);
    put(t.scanArea.y, f.scanArea.y);
    put(t.scanArea.width, f.scanArea.width);
    put(t.scanArea.height, f.scanArea.height);
    put(t.margin.left, f.margin.left);
    put(t.margin.top, f.margin.top);
    put(t.margin.right, f.margin.right);
    put(t.margin.bottom, f.margin.bottom);
    put(t.duplexScan.duplex, f.duplexScan.duplex);
    put(t.duplexScan.back, f.duplexScan.back);
    put(t.brightness, f.brightness);
    put(t.contrast, f.contrast);
    put(t.autoColorLevel, f.autoColorLevel);
    put(t.monoColorDetectLevel, f.monoColorDetectLevel);
    put(t.monoGrayDetectLevel, f.monoGrayDetectLevel);
    put(t.monoThreshold.level, f.monoThreshold.level);
    put(t.monoThreshold.autoThreshold, f.monoThreshold.autoThreshold);
    put(t.monoThreshold.manualThreshold, f.monoThreshold.manualThreshold);
    put(t.compression, f.compression);
    put(t.jpegRate, f.jpegRate);
    put(t.jpegSamplingFactor, f.jpegSamplingFactor);
    put(t.imageProcessing, f.imageProcessing);
    put(t.paperType, f.paperType);
    put(t.scanPage, f.scanPage);
    static_assert(sizeof t.userName == sizeof f.userName, "user names of one size");
    std::memcpy(t.userName, f.userName, sizeof t.userName);
    put(t.specialScanType, f.specialScanType);
    put(t.longPaper, f.longPaper);
    put(t.carrierSheet.on, f.carrierSheet.on);
    put(t.carrierSheet.autoMode, f.carrierSheet.autoMode);
    put(t.groundColorRemoval.on, f.groundColorRemoval.on);
    put(t.groundColorRemoval.levelGiven, f.groundColorRemoval.levelGiven);
    put(t.groundColorRemoval.level, f.groundColorRemoval.level);
    put(t.doubleFeedDetection.on, f.doubleFeedDetection.on);
    put(t.doubleFeedDetection.levelGiven, f.doubleFeedDetection.levelGiven);
    put(t.doubleFeedDetection.level, f.doubleFeedDetection.level);
    put(t.feedMotion.on, f.feedMotion.on);
    put(t.feedMotion.stop, f.feedMotion.stop);
    put(t.feedMotion.continueFeed, f.feedMotion.continueFeed);
    put(t.cornerDetection, f.cornerDetection);
    put(t.autoDeskew, f.autoDeskew);
    put(t.landscapeMode, f.landscapeMode);
    put(t.blankPageRemoval.on, f.blankPageRemoval.on);
    put(t.blankPageRemoval.levelGiven, f.blankPageRemoval.levelGiven);
    put(t.blankPageRemoval.level, f.blankPageRemoval.level);
    put(t.moireRemoval, f.moireRemoval);
    put(t.gammaAdjust.on, f.gammaAdjust.on);
    put(t.gammaAdjust.value, f.gammaAdjust.value);
    put(t.toneAdjust, f.toneAdjust);
    put(t.quietScan, f.quietScan);
    put(t.autoContinuousScan.execute, f.autoContinuousScan.execute);
    put(t.autoContinuousScan.timeout, f.autoContinuousScan.timeout);
    put(t.autoContinuousScan.feedDelay, f.autoContinuousScan.feedDelay);
    put(t.autoCrop, f.autoCrop);
}

}  // namespace

bool ReadScanParam(const Gen2Frame& frame, vscore::_SCANCMD_SCANPARAM& param, std::string* error)
{
    ScanSettings settings{};
    Transfer(param, settings);
    if (!ReadScanSettings(frame, settings, error)) {
        return false;
    }
    Transfer(settings, param);
    return true;
}

}  // namespace gen2_param_reader
