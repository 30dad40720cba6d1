// The generation-independent answer front: each operation picks the parser
// by command generation and notes whether the answer it parsed was complete.
#include "VexmorApi/Temp/ScanCmdRes.h"

#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

IParseCmdRes* CScanCmdRes::GetParseCmdRes(SCANCMD_GENERATION generation)
{
    TraceScope trace(g_ScanDevApiLog, 2, "GetParseCmdRes");
    switch (generation) {
    case SCANCMD_1ST_GENERATION:
        return &parser1_;
    case SCANCMD_2ND_GENERATION:
        return &parser2_;
    default:
        return nullptr;
    }
}

int CScanCmdRes::GetProtocolVersion(_SCANCMD_DEVICECAP_INFO* info)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "GetProtocolVersion");
    trace.Enter();
    int generation = info == nullptr ? 0 : static_cast<int>(info->generation);
    trace.Leave(" Command Generation = 0x%04X", static_cast<unsigned>(generation));
    return generation;
}

VS_SCANNER_CAPABILITY CScanCmdRes::ParseDeviceInfoData(_SCANCMD_DEVICECAP_INFO* info,
                                                       std::unique_ptr<ExternalCapability> overrides)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseDeviceInfoData");
    auto capability = ZeroedRecord<VS_SCANNER_CAPABILITY>();
    lastComplete_ = false;
    if (info == nullptr) {
        return capability;
    }
    if (IParseCmdRes* parser = GetParseCmdRes(info->generation)) {
        capability = parser->ParseDeviceInfoResponse(info->data, info->length, std::move(overrides));
        lastComplete_ = info->generation == SCANCMD_2ND_GENERATION ? info->data != nullptr && parser2_.IsCompleteQDI()
                                                                   : info->data != nullptr && info->length > 0;
    }
    capability.cmdGeneration = info->generation;
    return capability;
}

PushScanKeyInfo CScanCmdRes::ParseDeviceKeyInfoData(_SCANCMD_RESPONSE_INFO* info,
                                                    const VS_SCANNER_CAPABILITY& capability)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseDeviceKeyInfoData");
    auto keyInfo = ZeroedRecord<PushScanKeyInfo>();
    lastComplete_ = false;
    if (info == nullptr || info->data == nullptr) {
        return keyInfo;
    }
    IParseCmdRes* parser = GetParseCmdRes(capability.cmdGeneration);
    if (parser == nullptr) {
        return keyInfo;
    }
    keyInfo = parser->ParseDeviceKeyInfoResponse(info->data, info->length);
    if (capability.cmdGeneration == SCANCMD_2ND_GENERATION) {
        ChangeBusinessCardTypeIfNeeded(capability, keyInfo.paperType);
        lastComplete_ = parser2_.IsCompleteGKP();
    } else {
        lastComplete_ = info->length > 0;
    }
    return keyInfo;
}

COLORPALETTEINFO CScanCmdRes::ParseColorPaletteData(unsigned char* data, long length,
                                                    const VS_SCANNER_CAPABILITY& capability)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseColorPaletteData");
    auto palette = ZeroedRecord<COLORPALETTEINFO>();
    lastComplete_ = false;
    if (IParseCmdRes* parser = GetParseCmdRes(capability.cmdGeneration)) {
        palette = parser->ParseColorPaletteResponse(data, length);
        // Generation 2 has no palette answer.
        lastComplete_ = capability.cmdGeneration == SCANCMD_1ST_GENERATION && data != nullptr && length > 0;
    }
    return palette;
}

ACTUALSCANPARAM CScanCmdRes::ParseActualParameterData(_SCANCMD_RESPONSE_INFO* info,
                                                      const VS_SCANNER_CAPABILITY& capability)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParseActualParameterData");
    auto actual = ZeroedRecord<ACTUALSCANPARAM>();
    lastComplete_ = false;
    if (info == nullptr || info->data == nullptr) {
        return actual;
    }
    if (IParseCmdRes* parser = GetParseCmdRes(capability.cmdGeneration)) {
        actual = parser->ParseActualParameterResponse(info->data, info->length);
        lastComplete_ =
            capability.cmdGeneration == SCANCMD_2ND_GENERATION ? parser2_.IsCompleteSSP() : info->length > 0;
    }
    return actual;
}

_GCPCMDRESPONSE CScanCmdRes::ParsePDFaColorProfileData(unsigned char* data, long length,
                                                       const VS_SCANNER_CAPABILITY& capability)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParsePDFaColorProfileData");
    _GCPCMDRESPONSE profiles;
    lastComplete_ = false;
    if (IParseCmdRes* parser = GetParseCmdRes(capability.cmdGeneration)) {
        profiles = parser->ParsePDFaColorProfileResponse(data, length);
        // Generation 1 has no colour-profile answer.
        lastComplete_ =
            capability.cmdGeneration == SCANCMD_2ND_GENERATION && data != nullptr && parser2_.IsCompleteGCP();
    }
    return profiles;
}

DETECTEDPAPERINFO CScanCmdRes::ParsePaperSizeDetected(_SCANCMD_RESPONSE_INFO* info, const ACTUALSCANPARAM& actual,
                                                      SCANCMD_GENERATION generation)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ParsePaperSizeDetectedData");
    auto detected = ZeroedRecord<DETECTEDPAPERINFO>();
    lastComplete_ = false;
    IParseCmdRes* parser = GetParseCmdRes(generation);
    if (parser == nullptr) {
        return detected;
    }
    if (info != nullptr) {
        detected = parser->ParsePaperSizeDetectResponse(info->data, info->length);
        lastComplete_ = info->data != nullptr &&
                        (generation == SCANCMD_2ND_GENERATION ? parser2_.IsCompleteGDS() : info->length > 0);
    }
    if (generation == SCANCMD_1ST_GENERATION) {
        detected.paperSource = actual.paperSource;
        detected.paperType = DEVICEMAX;
        detected.paperOrientation = NOT_ORIENTATION;
        detected.paperDetectSensorState = 0;
    }
    return detected;
}

void CScanCmdRes::ChangeBusinessCardTypeIfNeeded(const VS_SCANNER_CAPABILITY& capability, SKEYINFO_PAPERTYPE& paperType)
{
    TraceScope trace(g_ScanDevApiLog, 2, "ChangeBusinessCardTypeIfNeeded");
    if (paperType.isSet && paperType.value == BCARD90X60 && capability.category == DOCUMENTSCANNER &&
        capability.cardSizeOrientation.capAdf == SUPPORT && capability.cardSizeOrientation.orientAdf == VERTICAL) {
        paperType.value = BCARD60X90;
    }
}

}  // namespace vscore
