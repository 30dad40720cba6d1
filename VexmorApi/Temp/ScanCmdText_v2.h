// Texts of the generation-2 commands that carry parameters: CKD (check
// document), SSP (set scan parameters), XSC (execute scan) and ABT (abort).
// Each is ESC, the three letters, LF, KEY=VALUE lines ended by LF, and 0x80.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "vdtcl/TTString.h"

namespace vscore {

// What the device does with the sheets still in the feeder when a scan is
// aborted (EJCT= of ABT); NONE sends no EJCT line.
enum SCANCMD_EJECTION_TYPE : uint32_t {
    SCANCMD_EJECTION_NONE = 0,
    SCANCMD_EJECTION_ALL = 1,
    SCANCMD_EJECTION_ONE = 2,
    SCANCMD_EJECTION_NO = 3,
};

// Builds the generation-2 command texts from the device scan parameters.
// Every builder returns a new string; the command builders log the finished
// text. Not thread-safe: one number buffer is reused by every line.
class CCmdString_v2 {
public:
    // CKD: the paper source and, when useBindTime, the bind time (also 0).
    std::string MakeCKDcmdString(SCANCMD_PAPERSOURCE_TYPE source, bool useBindTime, unsigned int bindTime);
    // SSP: the OS line alone when readAhead, else every parameter line in
    // the device's fixed order. Empty for a null record.
    std::string MakeSSPcmdString(const _SCANCMD_SCANPARAM* param, bool readAhead);
    // XSC: no lines when readAhead, else RESO, AREA with coordinates, MODE.
    // Empty for a null record.
    std::string MakeXSCcmdString(const _SCANCMD_SCANPARAM* param, bool readAhead);
    // ABT: EJCT unless ejection is NONE, then ATCN=OFF when finishing an
    // automatic continuous scan.
    std::string MakeABTcmdString(SCANCMD_EJECTION_TYPE ejection, bool finishAutoContinuousScan);

    // One parameter line each, ended by LF.
    std::string MakeOSinfoString(SCANCMD_OS_INFO os);
    std::string MakePaperSourceString(SCANCMD_PAPERSOURCE_TYPE source);
    std::string MakeBindTimeString(unsigned int bindTime);
    std::string MakeResolutionString(const _SCANCMD_RESOLUTION& resolution);
    std::string MakeColorTypeString(SCANCMD_COLOR_TYPE color);
    std::string MakeScanAreaString(const _SCANCMD_SCANAREA& area);  // SSP: the area's type only
    std::string MakeMarginAreaString(const tagRECT& margin);        // left, right, top, bottom in 0.1 mm
    std::string MakeDuplexScanString(const _SCANCMD_DUPLEXSCAN& duplex);
    std::string MakeBrightnessString(int32_t brightness);
    std::string MakeContrastString(int32_t contrast);
    std::string MakeAutoColorLevelString(uint32_t monoColorLevel, uint32_t monoGrayLevel);
    std::string MakeMonoThresholdString(uint32_t level);
    std::string MakeCompressionString(SCANCMD_COMPRESSION_TYPE compression);
    std::string MakeJpegCompressionRateString(uint32_t rate);
    std::string MakeJpegSamplingFactorString(SCANCMD_JPEG_SAMPLING_FACTOR_TYPE factor);
    std::string MakeImageProcessingString(SCANCMD_IMAGE_PROCESSING_TYPE processing);
    std::string MakePaperTypeString(SCANCMD_PAPER_TYPE paper);
    std::string MakeScanPageString(uint32_t pages);
    std::string MakeLongPaperModeString(bool on);
    std::string MakeCarrierSheetModeSetring(const _SCANCMD_CARRIERSHEETMODE& carrier);
    std::string MakeGroundColorRemovalString(const _SCANCMD_GROUNDCOLORREMOVAL& removal);
    std::string MakeDoubleFeedDetectionString(const _SCANCMD_DOUBLEFEEDDETECTION& detection);
    std::string MakeDoubleFeedMotionString(const _SCANCMD_FEEDMOTION& motion);
    std::string MakeCornerDetectionString(bool on);
    std::string MakeAutoDeskewString(bool on);
    std::string MakeLandScapeModeString(bool on);
    std::string MakeBlankPageRemoval(const _SCANCMD_BLANKPAGEREMOVAL& removal);
    std::string MakeMoireRemovalString(bool on);
    std::string MakeGammaAdjustString(const _SCANCMD_GAMMAADJIST& gamma);
    std::string MakeToneAdjustString(bool on);
    std::string MakeQuietScanString(bool on);
    std::string MakeAutoContinuousScanString(const _SCANCMD_AUTOCONTINUOUSSCAN& scan);  // one or three lines
    std::string MakeAutoCropString(bool on);
    // The name up to its first NUL within size bytes; control bytes and
    // bytes of 0x80 and above are left out, as either would end the frame.
    std::string MakeUserName(const char* name, size_t size);
    std::string MakeLastScanAreaString(const _SCANCMD_SCANAREA& area);  // XSC: corners for a normal area
    std::string MakeSpecialModeString(SCANCMD_SPECIAL_SCAN_TYPE mode);
    std::string MakeEjectionModeString(SCANCMD_EJECTION_TYPE ejection);
    std::string MakeAutoContinuousFinishString();

private:
    std::string Line(const char* key, const char* value);
    std::string OnOffLine(const char* key, bool on);
    // A feature that is off, on, or on at a given level.
    std::string LevelLine(const char* key, bool on, bool levelGiven, int64_t level);
    const char* Signed(int64_t value);
    const char* Unsigned(uint64_t value);

    vdtcl::TTString<char> number_;
};

}  // namespace vscore
