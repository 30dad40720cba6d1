// The answers of generation-1 devices turned into engine records: the
// fixed-layout Q answer into the capability record, the text answers of K,
// I and E into the push-scan settings, the actual scan parameters and the
// detected paper, and the P answer into the palette.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "VexmorApi/Temp/IParseCmdRes.h"

namespace vscore {

// The data of a generation-1 Q answer: 72 bytes on the wire, 16-bit words
// little-endian at odd and even offsets alike. Members are in wire order;
// the comment gives the wire offset. Sizes and margins are in 0.1 mm,
// resolutions in dpi.
struct QCMDRESPONSE {
    static constexpr size_t kWireSize = 72;

    uint8_t CommandVersion;     // 0: above 9 the device reports its sources by their sizes
    uint8_t Reserved1;          // 1
    uint8_t ColorType;          // 2: bits 0-4 black and white, error diffusion, gray, 256 colours, 24-bit
    uint16_t Reserved3;         // 3
    uint16_t Reserved5;         // 5
    uint16_t Reserved7;         // 7
    uint8_t Reserved9[4];       // 9-12
    uint8_t FbPositionX;        // 13: paper-position codes (2 centre, 3 right/bottom)
    uint8_t FbPositionY;        // 14
    uint8_t AdfPositionX;       // 15
    uint8_t AdfPositionY;       // 16
    uint8_t Feature;            // 17: bits 0 edge, 1 size, 2 corner detection, 3 ADF deskew, 5 overscan
    uint8_t DeviceKind;         // 18: 1 a feeder-only device
    uint8_t MultiFeed;          // 19: non-zero, multi-feed detection
    uint8_t CarrierSheet;       // 20: bit 0, carrier sheet
    uint8_t Reserved21[4];      // 21-24
    uint8_t Panel;              // 25
    uint8_t BackgroundRemoval;  // 26
    uint16_t FbMaxX;            // 27
    uint16_t FbMaxY;            // 29
    uint16_t SimMaxX;           // 31
    uint16_t SimMaxY;           // 33
    uint16_t DupMaxX;           // 35
    uint16_t DupMaxY;           // 37
    uint16_t SimMinX;           // 39
    uint16_t SimMinY;           // 41
    uint16_t DupMinX;           // 43
    uint16_t DupMinY;           // 45
    uint16_t MarginX;           // 47
    uint16_t MarginY;           // 49
    uint8_t Landscape;          // 51
    uint8_t CardPositionX;      // 52
    uint8_t CardPositionY;      // 53
    uint16_t FbResoX;           // 54
    uint16_t FbResoY;           // 56
    uint16_t SimResoX;          // 58
    uint16_t SimResoY;          // 60
    uint16_t DupResoX;          // 62
    uint16_t DupResoY;          // 64
    uint8_t ScanEvent;          // 66: bits 0-3 image, OCR, e-mail, file
    uint16_t AdfCapacity;       // 67
    uint8_t Reserved69;         // 69
    uint8_t Reserved70;         // 70
    uint8_t Compression;        // 71: bit 0 gray JPEG
};

// Stateless: any thread may call any operation, also at the same time. Every
// operation returns its record by value (the caller owns it), reads at most
// length bytes at data, keeps no pointer into them and returns an all-zero
// record for null or empty data.
class CParseCmdRes_v1 : public IParseCmdRes {
public:
    VS_SCANNER_CAPABILITY ParseDeviceInfoResponse(unsigned char* data, long length,
                                                  std::unique_ptr<ExternalCapability> overrides) override;
    PushScanKeyInfo ParseDeviceKeyInfoResponse(unsigned char* data, long length) override;
    COLORPALETTEINFO ParseColorPaletteResponse(unsigned char* data, long length) override;
    ACTUALSCANPARAM ParseActualParameterResponse(unsigned char* data, long length) override;
    // Generation-1 devices have no colour profile: always empty.
    _GCPCMDRESPONSE ParsePDFaColorProfileResponse(unsigned char* data, long length) override;
    DETECTEDPAPERINFO ParsePaperSizeDetectResponse(unsigned char* data, long length) override;

    // The Q answer's fields that the bytes reach; the rest stays 0 (a word
    // whose second byte is missing takes 0 for it).
    static QCMDRESPONSE GetQcmdResponse(const unsigned char* data, long length);
    // Writes the table file's given values over the answer's.
    static void OverwriteResponseIfExistExternalCaps(QCMDRESPONSE& response, const ExternalCapability* overrides);

private:
    // The K readers, each over the whole answer text.
    static SKEYINFO_VALUE GetSkeyEventInfo(const std::string& text);
    static SKEYINFO_DUPLEXTYPE GetSkeyDuplexInfo(const std::string& text);
    static SKEYINFO_RESOLUTION GetSkeyResolutionInfo(const std::string& text);
    static SKEYINFO_COLORTYPE GetSkeyColorTypeInfo(const std::string& text);
    static SKEYINFO_PAPERTYPE GetSkeyPaperTypeInfo(const std::string& text);
    static SKEYINFO_VALUE GetSkeyBrightnessInfo(const std::string& text);
    static SKEYINFO_VALUE GetSkeyContrastInfo(const std::string& text);
    static SKEYINFO_SWITCH GetSkeyAutoCropInfo(const std::string& text);
    static SKEYINFO_FILESAVE GetSkeyFileTypeInfo(const std::string& text);
    static SKEYINFO_SWITCH GetSkeyBlankPageRemoveInfo(const std::string& text);
    static SKEYINFO_SWITCH GetSkeyRemoveBleedThroughInfo(const std::string& text);
    static SKEYINFO_ORIENTATION GetSkeyOrientInfo(const std::string& text);
    static SKEYINFO_SWITCH GetSkeyDskewInfo(const std::string& text);
    static SKEYINFO_BACKGROUNDREMOVAL GetSkeyRemoveBacgroundInfo(const std::string& text);
    // Present when the key's value is not empty; its leading digits, kept
    // within min..max.
    static SKEYINFO_VALUE GetSkeySettingValueTypeInfo(const std::string& text, const std::string& key, int32_t min,
                                                      int32_t max);
    // Present and on when the key's value contains onWord, present and off
    // when it contains offWord, else not present.
    static SKEYINFO_SWITCH GetSkeySettingSwitchTypeInfo(const std::string& text, const std::string& key,
                                                        const std::string& onWord, const std::string& offWord);
    // The value of key in the K text, without a trailing CR or blanks.
    static std::string GetKeyValue(const std::string& text, const std::string& key);
};

}  // namespace vscore
