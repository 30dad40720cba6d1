// The generation-2 answer parser: walks the tag-length-value records of the
// QDI, GKP, SSP, GCP and GDS answers into their plain answer records and,
// for a complete answer, converts those into the engine's records.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "VexmorApi/Temp/IParseCmdRes.h"
#include "VexmorApi/Temp/ParseQdiRes.h"
#include "VexmorApi/Temp/TagRecordTable.h"

namespace vscore {

// GKP: the settings chosen on the device panel for a push scan. 0xFF
// (0xFFFF for words) means the device reports no setting for an item.
struct _GKPCMDRESPONSE {
    uint8_t scanKeyInfo;
    uint8_t scanTiming;
    bool hasScanSetting;  // record 0x1002 was present
    uint16_t resolutionX;
    uint16_t resolutionY;
    uint8_t colorType;
    uint8_t paperType;
    uint8_t documentDirection;
    uint8_t brightness;
    uint8_t contrast;
    uint8_t scanSettingReserved;
    bool hasDuplex;  // 0x1003
    uint8_t duplexScan;
    uint8_t duplexScanEdge;
    bool hasImageProcessing;  // 0x1004
    uint8_t autpCrop;
    uint8_t autoDeskew;
    uint8_t autoDirection;
    uint8_t blankRemoval;
    uint8_t removeBleedThrough;
    uint8_t removeBackgroundColor;
    uint8_t removeBackgroundColorLevel;
    uint8_t moireRemoval;
    bool hasFileSave;  // 0x1005
    uint8_t saveFileType;
    uint8_t compressionFormat;
    uint8_t splitFileType;
    uint8_t splitPageNum;
    bool hasLevels;  // 0x1006
    uint8_t colorLevel;
    uint8_t multipleColorLevel;
    uint8_t blankRemovalLevel;
    uint8_t levelsReserved;
    bool hasAdjustMargin;  // 0x1007
    struct {
        int16_t left;
        int16_t right;
        int16_t top;
        int16_t bottom;
    } adjustMargin;  // 0.1 mm
};

// SSP: the parameters the device applies.
struct _SSPCMDRESPONSE {
    uint8_t paperSource;
    uint8_t paperSourceReserved;
    uint16_t resolutionX;
    uint16_t resolutionY;
    uint32_t scanWidthSizeMax;
    uint32_t scanHeightSizeMax;
    uint32_t scanWidthArea;
    uint32_t scanHeightArea;
    uint16_t edgeScanResolutionX;
    uint16_t edgeScanResolutionY;
    uint32_t edgeScanWidth;
    uint32_t edgeScanHeight;
};

// GDS: the paper the device detected.
struct _GDSCMDRESPONSE {
    uint16_t resolutionX;
    uint16_t resolutionY;
    uint16_t vertexX1;
    uint16_t vertexY1;
    uint16_t vertexX2;
    uint16_t vertexY2;
    uint8_t paperSource;
    uint8_t sizeInfo;
    uint8_t paperSetDirection;
    uint8_t paperDetectSensorInfo;
};

// One parser per answer, used by one thread at a time: the completeness
// flags belong to the latest walk. Records are returned by value and owned by
// the caller (colour profiles are copies of the answer's bytes); nothing
// points into the answer after a call. The static conversions and getters
// keep no state and may be called from any thread.
//
// Each walk starts from a zeroed answer record and remembers whether its
// answer was complete: a complete answer carries the end record 0xF0F0. Tags
// an answer kind does not define are skipped; before the end record they
// leave the answer incomplete until the end record comes, after it they
// change nothing. An answer of nothing but the end record is complete but
// describes nothing: its engine record stays zero.
class CParseCmdRes_v2 : public IParseCmdRes {
public:
    static constexpr uint16_t kEndTag = 0xF0F0;

    CParseCmdRes_v2() = default;
    ~CParseCmdRes_v2() override = default;

    // Entry points: zero result unless data is given and its answer is
    // complete. QDI ignores the overrides.
    VS_SCANNER_CAPABILITY ParseDeviceInfoResponse(unsigned char* data, long length,
                                                  std::unique_ptr<ExternalCapability> overrides) override;
    PushScanKeyInfo ParseDeviceKeyInfoResponse(unsigned char* data, long length) override;
    // Generation 2 has no palette answer: always the zero record.
    COLORPALETTEINFO ParseColorPaletteResponse(unsigned char* data, long length) override;
    ACTUALSCANPARAM ParseActualParameterResponse(unsigned char* data, long length) override;
    _GCPCMDRESPONSE ParsePDFaColorProfileResponse(unsigned char* data, long length) override;
    DETECTEDPAPERINFO ParsePaperSizeDetectResponse(unsigned char* data, long length) override;

    // Whether the latest walk of that answer kind met the end record.
    bool IsCompleteQDI() const { return completeQdi_; }
    bool IsCompleteSSP() const { return completeSsp_; }
    bool IsCompleteGKP() const { return completeGkp_; }
    bool IsCompleteGCP() const { return completeGcp_; }
    bool IsCompleteGDS() const { return completeGds_; }

    // Walks: the answer's records into its plain record.
    _QDICMDRESPONSE GetQDIcommandResponse(unsigned char* data, long length);
    _GKPCMDRESPONSE GetGKPcommandResponse(unsigned char* data, long length);
    _SSPCMDRESPONSE GetSSPcommandResponse(unsigned char* data, long length);
    // The profiles are copied out of data into the record.
    _GCPCMDRESPONSE GetGCPcommandResponse(unsigned char* data, long length);
    _GDSCMDRESPONSE GetGDScommandResponse(unsigned char* data, long length);

    // Conversions of a plain record; a null record gives the zero result.
    static VS_SCANNER_CAPABILITY GetParseDeviceInfoResponse(const _QDICMDRESPONSE* qdi);
    static PushScanKeyInfo GetParseScanKeyInfoResponse(const _GKPCMDRESPONSE* gkp);
    static ACTUALSCANPARAM GetParseActualParameterResponse(const _SSPCMDRESPONSE* ssp);
    static _GCPCMDRESPONSE GetParseColorProfileResponse(const _GCPCMDRESPONSE* gcp);
    static DETECTEDPAPERINFO GetParsePaperSizeResponse(const _GDSCMDRESPONSE* gds);

    // Reads a record header (tag, then value length) at *cursor and moves
    // the cursor past it. The caller makes sure four bytes remain. Returns 0
    // and reads nothing for a null length or cursor.
    static unsigned short GetTagID(unsigned short* length, unsigned char** cursor);
    // True when bit is non-zero and all of its bits are set in value.
    static bool IsStandingBit(int value, int bit);

    // QDI getters (with GetParseDeviceInfoResponse in QdiToCapability.cpp):
    // one capability field or group each from the QDI record; the zero value
    // for a null record.
    static DEVICECATEGORY GetDeviceCategory(const _QDICMDRESPONSE* qdi);
    // The first 128 bytes of the model name, zero-filled.
    static void GetDeviceModelName(const _QDICMDRESPONSE* qdi, char (&name)[128]);
    static SUPPORTSCANEVENT GetSupoortScanEvent(const _QDICMDRESPONSE* qdi);
    static CONTINUOUSSCANSUPPORT GetContiunousScanMode(const _QDICMDRESPONSE* qdi);
    static PARAMSETTINGSUPPORT GetPushScanParamSetting(const _QDICMDRESPONSE* qdi);
    static AUTOCONTINUOUSSCANDEVICESUPPORT GetAutoContinuousScanSupport(const _QDICMDRESPONSE* qdi);
    static MARGINADJUSTMENTDIRECTION GetMarginAdjustmentDirection(const _QDICMDRESPONSE* qdi);
    static DEVICESUPPORTSCANFUNC GetDeviceFunc(const _QDICMDRESPONSE* qdi);
    static CAPSUPPORT GetQciCommandSupport(const _QDICMDRESPONSE* qdi);
    static CAPSUPPORT GetPushScanStartTimingSup(const _QDICMDRESPONSE* qdi);
    static DEVICEPANELFUNCTIONS GetDevicePanelFunctions(const _QDICMDRESPONSE* qdi);
    static bool GetSupportedSolutionSwitch(const _QDICMDRESPONSE* qdi);
    static SUPPORTPOWERSOURCE GetSupportPowerSource(const _QDICMDRESPONSE* qdi);
    static SUPPORTCOLORTYPES GetColorType(const _QDICMDRESPONSE* qdi);
    static PAPERSOURCESPEC GetPaperSource(const _QDICMDRESPONSE* qdi);
    static OPTICALRESOLUTIONS GetOpticalResolution(const _QDICMDRESPONSE* qdi);
    static DEVICESCANSIZES GetDeviceScanSizeMax(const _QDICMDRESPONSE* qdi);
    static LONGPAPERLENGTHMAX GetLongPaperLength(const _QDICMDRESPONSE* qdi);
    static DEVICESCANSIZES GetDeviceScanSizeMin(const _QDICMDRESPONSE* qdi);
    static DEVICESCANSIZES GetSupportDocSizeMax(const _QDICMDRESPONSE* qdi);
    static MARGINSIZES GetMarginSize(const _QDICMDRESPONSE* qdi);
    static MARGINSIZES GetMarginSizeAuto(const _QDICMDRESPONSE* qdi);
    static MARGINADJUSTSIZES GetMarginAdjust(const _QDICMDRESPONSE* qdi);
    static MARGINADJUSTSIZES GetMarginAdjustAuto(const _QDICMDRESPONSE* qdi);
    static PAPERSETTINGPOSITIONS GetPaperPosition(const _QDICMDRESPONSE* qdi);
    static CARDSCANSETTINGORIENTATIONS GetCardScanOrientation(const _QDICMDRESPONSE* qdi);
    static MULTIPAGESCANSYSTEM GetMultiPageScanSystem(const _QDICMDRESPONSE* qdi);
    static OVERSCANSYSTEM GetOverScanSystem(const _QDICMDRESPONSE* qdi);
    static CANCELSYSTEM GetCancelSystem(const _QDICMDRESPONSE* qdi);
    static ERRORSYSTEM GetErrorSystem(const _QDICMDRESPONSE* qdi);
    static COLORTAPE GetColorTape(const _QDICMDRESPONSE* qdi);
    static RECOMMENDEDORIENTATION GetRecommendedPaperOrientation(const _QDICMDRESPONSE* qdi);
    static TRANSFERPIXELUNIT GetTransferPixelUnit(const _QDICMDRESPONSE* qdi);
    // selector 0 feeder front colour, 1 back colour, 2 front gray, 3 back
    // gray; any other value throws InvalidArgument.
    static PSEUDOBACKGROUNDCOLOR GetPseudBackgroundColor(const _QDICMDRESPONSE* qdi, int selector);
    static SUPPORTCOMPRESSIONTYPE GetCompressType(const _QDICMDRESPONSE* qdi);
    static MONOTHRESHOLDSUPPORT GetMonoThreshold(const _QDICMDRESPONSE* qdi);
    static SPECIALDOCUMENTIMAGEPROCS GetSpecialDocumentImage(const _QDICMDRESPONSE* qdi);
    static CAPSUPPORT GetColorProfile(const _QDICMDRESPONSE* qdi);
    static MOIREREMOVALCAPABILITY GetMoireRemoval(const _QDICMDRESPONSE* qdi);
    static CAPSUPPORT GetToneAdjust(const _QDICMDRESPONSE* qdi);
    static PAPERWIDTHDETECT GetDetectedPaperSize(const _QDICMDRESPONSE* qdi);
    static AUTOCROP2PASS GetAutoCrop(const _QDICMDRESPONSE* qdi);
    static CORNERDETECT GetDetected4Corner(const _QDICMDRESPONSE* qdi);
    static IDCARDMODE GetIdCard(const _QDICMDRESPONSE* qdi);
    static LANDSCAPESUPPORT GetLandScapeMode(const _QDICMDRESPONSE* qdi);
    static CAPSUPPORT GetAdfOnlyBackScanMode(const _QDICMDRESPONSE* qdi);
    static CARRIERSHEETSUPPORT GetCarrierSheetMode(const _QDICMDRESPONSE* qdi);
    static PLASTICCARDSUPPORT GetPlasticCardMode(const _QDICMDRESPONSE* qdi);
    static MULTIFEEDDETECTSUPPORT GetMultiFeedDetect(const _QDICMDRESPONSE* qdi);
    static BACKGROUNDREMOVALSUPPORT GetBackGroundRemove(const _QDICMDRESPONSE* qdi);
    static BREEDTHROUGHREMOVALSUPPORT GetBreedthroughRemove(const _QDICMDRESPONSE* qdi);
    static DEVICEDETECTSIZESUPPORT GetAutoDocumentSize(const _QDICMDRESPONSE* qdi);
    static DEVICEDESKEWSUPPORT GetDeskewSupport(const _QDICMDRESPONSE* qdi);
    static BLANKREMOVALSUPPORT GetBlankRemove(const _QDICMDRESPONSE* qdi);
    static AUTOCOLORLEVELSUPPORT GetAutoColorLevelSupport(const _QDICMDRESPONSE* qdi);
    static CAPSUPPORT GetDetectResolution(const _QDICMDRESPONSE* qdi);
    static QUIETMODESUPPORT GetQuietScanMode(const _QDICMDRESPONSE* qdi);
    static AUTOCROPTYPE GetAutoCropType(const _QDICMDRESPONSE* qdi);
    // Value helpers of the QDI conversion.
    static POSITION GetPositionX(uint8_t code);
    static POSITION GetPositionY(uint8_t code);
    static SUPPORTCOLORTYPES GetColorTypeSupport(unsigned bits);
    static EXCLUSIONFUNCTIONS GetFuncExclusionSupport(unsigned bits);
    static COMPRESSIONTYPES GetCompressTypeSupport(uint8_t bits);
    static SUPPORTADJUSTLEVEL GetAdjustLevel(uint8_t level);

    // GKP value getters.
    static SKEYINFO_VALUE GetScanEventType(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_VALUE GetScanStartTiming(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_RESOLUTION GetScanResolution(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_COLORTYPE GetColorType(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_PAPERTYPE GetPaperType(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_ORIENTATION GetDocumentDirection(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_DUPLEXTYPE GetDuplexInfo(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_BACKGROUNDREMOVAL GetGroundRemoval(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_FILESAVE GetFileSaveInfo(const _GKPCMDRESPONSE* gkp);
    static SKEYINFO_MARGINADJUST GetMarginAdjustment(const _GKPCMDRESPONSE* gkp);
    // 0xFF: not set; 1: set and on; anything else: set and off.
    static SKEYINFO_SWITCH GetChangedState(uint8_t state);
    // 0xFF: not set; anything else: set, value minus 50.
    static SKEYINFO_VALUE GetChangedValue(uint8_t value);
    // SSP and GDS value getters.
    static PAPERSOURCESELECT GetPaperSourceSelect(const _SSPCMDRESPONSE* ssp);
    static PAPERSOURCESELECT GetDetectedPaperSourceSelect(const _GDSCMDRESPONSE* gds);
    static PAPERTYPE GetDetectedPaperType(const _GDSCMDRESPONSE* gds);
    static DOCUMENTORIENTATION GetPaperOrientation(const _GDSCMDRESPONSE* gds);
    static int32_t GetPaperDetectSensorState(const _GDSCMDRESPONSE* gds);

    // The paper type of a paper code of GKP (longPaper: the long-paper and
    // extra automatic-size codes apply) or GDS; unlisted codes give A4.
    static PAPERTYPE PaperTypeFromCode(uint8_t code, bool longPaper);

private:
    // Every entry point but the palette's: the trace lines of name, then,
    // for given data, the walk and, when complete (the walk's flag) says the
    // answer was complete and described something, its conversion; else
    // result as given.
    template <class Result, class Answer>
    Result ParseAnswer(const char* name, unsigned char* data, long length, Result result,
                       Answer (CParseCmdRes_v2::*walk)(unsigned char*, long), const bool& complete,
                       Result (*convert)(const Answer*));
    // Walks the records of one answer, calling readTag for each record
    // header; readTag returns false for a tag the answer kind does not
    // define. Never reads outside the length bytes at data. Returns whether
    // the answer was complete and notes in lastWalkDescribed_ whether it
    // carried any defined record.
    bool WalkAnswer(const unsigned char* data, long length, int logLevel,
                    const std::function<bool(uint16_t tag, TagValueReader& value)>& readTag);
    // The latest walk was complete and carried something to convert: an
    // answer of nothing but the end record describes nothing, so its
    // engine record stays zero.
    bool Convertible(bool complete) const { return complete && lastWalkDescribed_; }

    bool completeQdi_ = false;
    bool completeSsp_ = false;
    bool completeGkp_ = false;
    bool completeGcp_ = false;
    bool completeGds_ = false;
    bool lastWalkDescribed_ = false;
};

}  // namespace vscore
