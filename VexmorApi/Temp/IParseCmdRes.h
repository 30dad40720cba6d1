// The answer-parser interface shared by both command generations, and the
// engine records its operations return: what the device applies after a
// scan-parameter setting, the paper it detected, its colour profiles and
// its colour palette.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// Values read from the capability table file that replace a generation-1
// device's own (defined with the table file's reader).
struct ExternalCapability;

// What the device applies after a scan-parameter setting. Sizes are in
// pixels at the actual resolution.
struct ACTUALSCANPARAM {
    PAPERSOURCESELECT paperSource;
    uint32_t resolutionX;
    uint32_t resolutionY;
    int32_t maxScanAreaOriginX;
    int32_t maxScanAreaOriginY;
    uint32_t maxScanAreaWidth;
    uint32_t maxScanAreaHeight;
    uint32_t scanAreaWidth;
    uint32_t scanAreaHeight;
    uint32_t edgeScanResolutionX;
    uint32_t edgeScanResolutionY;
    uint32_t edgeScanWidth;
    uint32_t edgeScanHeight;
};

// The paper the device detected: two corners at the detection resolution,
// the source, the paper type and how the paper lies.
struct DETECTEDPAPERINFO {
    uint32_t resolutionX;
    uint32_t resolutionY;
    int32_t vertexX1;
    int32_t vertexY1;
    int32_t vertexX2;
    int32_t vertexY2;
    PAPERSOURCESELECT paperSource;  // 0 unknown, 1 flatbed, 2 feeder
    PAPERTYPE paperType;
    DOCUMENTORIENTATION paperOrientation;
    int32_t paperDetectSensorState;  // 0 no paper seen, 1 both sensors, 2 the first alone
};

// The device's two colour profiles. The bytes are copies owned by the
// record, so the record outlives the answer it was read from; an absent
// profile is empty.
struct _GCPCMDRESPONSE {
    std::vector<unsigned char> firstProfile;   // record 0x3101
    std::vector<unsigned char> secondProfile;  // record 0x3102

    const unsigned char* FirstProfileData() const { return firstProfile.empty() ? nullptr : firstProfile.data(); }
    uint64_t FirstProfileLength() const { return firstProfile.size(); }
    const unsigned char* SecondProfileData() const { return secondProfile.empty() ? nullptr : secondProfile.data(); }
    uint64_t SecondProfileLength() const { return secondProfile.size(); }
};

// The colour palette of a generation-1 device: up to 257 entries of four
// bytes; count never exceeds the entries stored.
struct COLORPALETTEINFO {
    int32_t present;
    int32_t count;
    uint8_t entries[257][4];
};

// A record with every byte zero, padding included: where every parse of an
// answer starts.
template <class Record>
Record ZeroedRecord()
{
    Record record;
    ClearRecord(&record);
    return record;
}

// Turns the data of one device answer (frame and header already removed)
// into an engine record. Every operation starts from an all-zero result and
// returns it unchanged when the answer cannot be used. data may be null;
// the parser reads at most length bytes at data and keeps no pointer into
// them.
class IParseCmdRes {
public:
    virtual ~IParseCmdRes() = default;

    // The device's capability record (Q or QDI answer); overrides replace
    // device values where the generation applies them.
    virtual VS_SCANNER_CAPABILITY ParseDeviceInfoResponse(unsigned char* data, long length,
                                                          std::unique_ptr<ExternalCapability> overrides) = 0;
    // The settings chosen on the device panel for a push scan.
    virtual PushScanKeyInfo ParseDeviceKeyInfoResponse(unsigned char* data, long length) = 0;
    virtual COLORPALETTEINFO ParseColorPaletteResponse(unsigned char* data, long length) = 0;
    // The parameters the device applies after a scan-parameter setting.
    virtual ACTUALSCANPARAM ParseActualParameterResponse(unsigned char* data, long length) = 0;
    virtual _GCPCMDRESPONSE ParsePDFaColorProfileResponse(unsigned char* data, long length) = 0;
    virtual DETECTEDPAPERINFO ParsePaperSizeDetectResponse(unsigned char* data, long length) = 0;
};

}  // namespace vscore
