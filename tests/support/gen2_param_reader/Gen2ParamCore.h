// A reader of the generation-2 command texts (CKD, SSP, XSC, ABT) written
// from the device's keyword tables, apart from the engine's builders, into
// plain records of its own: the tests read back what the engine sends, and
// the scanner simulator reads the commands it receives. Strict: an unknown
// key or word, a number in any other form than plain decimal, a repeated
// key or a line out of the device's fixed order is an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gen2_param_reader {

// One command frame split into its parts.
struct Gen2Frame {
    std::string command;                                     // the three letters
    std::vector<std::pair<std::string, std::string>> lines;  // KEY, VALUE in frame order
};

// Splits ESC, letters, LF, KEY=VALUE LF lines, 0x80 (the frame's last
// byte). False, with a reason in error when given, for anything else.
bool SplitFrame(const uint8_t* data, size_t size, Gen2Frame& frame, std::string* error = nullptr);
bool SplitFrame(const std::string& bytes, Gen2Frame& frame, std::string* error = nullptr);

// What an SSP or XSC frame can carry, field by field under the names the
// engine's device scan-parameter record uses; words are read as the codes
// listed at ReadScanSettings.
struct ScanSettings {
    uint32_t osInfo;
    uint32_t paperSource;
    struct {
        uint32_t x, y, autoResolution;
    } resolution;
    uint32_t colorType;
    struct {
        uint32_t type, x, y, width, height;  // width = x2 - x1 and height = y2 - y1, modulo 2^32
    } scanArea;
    struct {
        int32_t left, top, right, bottom;  // hundredths of a millimetre
    } margin;
    struct {
        uint8_t duplex;
        bool back;
    } duplexScan;
    int32_t brightness;
    int32_t contrast;
    bool autoColorLevel;
    uint32_t monoColorDetectLevel;
    uint32_t monoGrayDetectLevel;
    struct {
        uint32_t level;
        bool autoThreshold, manualThreshold;
    } monoThreshold;
    uint32_t compression;
    uint32_t jpegRate;
    uint32_t jpegSamplingFactor;
    uint32_t imageProcessing;
    uint32_t paperType;
    uint32_t scanPage;
    char userName[260];
    uint32_t specialScanType;
    bool longPaper;
    struct {
        bool on, autoMode;
    } carrierSheet;
    struct {
        bool on, levelGiven;
        int32_t level;
    } groundColorRemoval;
    struct {
        bool on, levelGiven;
        uint32_t level;
    } doubleFeedDetection;
    struct {
        bool on, stop, continueFeed;
    } feedMotion;
    bool cornerDetection;
    bool autoDeskew;
    bool landscapeMode;
    struct {
        bool on, levelGiven;
        int32_t level;
    } blankPageRemoval;
    bool moireRemoval;
    struct {
        uint32_t on, value;
    } gammaAdjust;
    bool toneAdjust;
    bool quietScan;
    struct {
        bool execute;
        uint32_t timeout, feedDelay;
    } autoContinuousScan;
    bool autoCrop;
};

// Applies the lines of an SSP or XSC frame to settings; fields the frame
// does not carry stay as they are. Words read back as these codes: OS WIN
// 0, PSRC AUTO 0, CLR AUTO 5, AREA NORMAL 0, COMP NONE 1, JSF 444 0, IPRC
// and PTYPE NORMAL 0, MODE NORMAL 1; GMMA with an empty value is on with 0;
// a margin comes back in hundredths of a millimetre (tenths times 10).
bool ReadScanSettings(const Gen2Frame& frame, ScanSettings& settings, std::string* error = nullptr);

// What a CKD frame asks.
struct CheckDocumentRequest {
    uint32_t paperSource = 0;
    bool useBindTime = false;
    uint32_t bindTime = 0;
};
bool ReadCheckDocument(const Gen2Frame& frame, CheckDocumentRequest& request, std::string* error = nullptr);

// What an ABT frame asks; ejection 0 when no EJCT line came (ONE reads 2).
struct AbortRequest {
    uint32_t ejection = 0;
    bool finishAutoContinuousScan = false;
};
bool ReadAbort(const Gen2Frame& frame, AbortRequest& request, std::string* error = nullptr);

}  // namespace gen2_param_reader
