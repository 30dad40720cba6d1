// The capability cache: one query per device, the table file's overrides,
// the per-platform corrections, and copies for every later caller.
#include "VexmorApi/Temp/DeviceCaps.h"

#include <cstdint>
#include <cstring>

#include "VexmorApi/Temp/DeviceCapsTable.h"
#include "VexmorApi/Temp/PaperDimensions.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/ScanCmdQuery.h"
#include "VexmorApi/Temp/ScanCmdRes.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

// The longest flatbed document of the platforms that report too short a one.
constexpr uint32_t kFlatbedDocumentLength = paper::kLegalLength;
// The narrowest feeder scan of command version 266.
constexpr uint32_t kRushAdfMinimumWidth = 14130;  // 1/100 mm

MARGINSIZE Margin(int32_t value) { return MARGINSIZE{value, value, value, value, MM}; }

}  // namespace

CDeviceCaps::~CDeviceCaps() { UnInitialize(); }

VSRSLT CDeviceCaps::Initialize(std::shared_ptr<CScanCmd> scanCmd)
{
    TraceScope trace(g_ScanDevApiLog, 2, "Initialize");
    VSRSLT ret = 0;
    if (!initialized_) {
        if (scanCmd == nullptr) {
            ret = CAPSERR_NOT_INITIALIZED;
        } else {
            scanCmd_ = std::move(scanCmd);
            initialized_ = true;
        }
    }
    return ret;
}

VSRSLT CDeviceCaps::Initialize(std::shared_ptr<CScanCmd> scanCmd, const std::string& capabilityTablePath,
                               const std::string& modelName)
{
    if (!initialized_) {
        capabilityTablePath_ = capabilityTablePath;
        modelName_ = modelName;
    }
    return Initialize(std::move(scanCmd));
}

VSRSLT CDeviceCaps::UnInitialize()
{
    TraceScope trace(g_ScanDevApiLog, 2, "UnInitialize");
    if (capability_ != nullptr) {
        capability_.reset();
        modelName_.clear();
        capabilityTablePath_.clear();
    }
    initialized_ = false;
    return 0;
}

bool CDeviceCaps::IsInitialized() const { return initialized_; }

VSRSLT CDeviceCaps::GetDeviceCapability(VS_SCANNER_CAPABILITY* out)
{
    // A cached record answers with the exit line alone.
    OperationTrace const trace(g_ScanDevApiLog, 3, "GetDeviceCapability");
    if (!initialized_ || scanCmd_ == nullptr) {
        return CAPSERR_NOT_INITIALIZED;
    }
    if (out == nullptr) {
        return CAPSERR_BAD_ARGUMENT;
    }
    if (capability_ != nullptr) {
        *out = *capability_;
        trace.LeaveResult(0);
        return 0;
    }

    trace.Enter(" pDeviceCap = 0x%X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(out)));
    _SCANCMD_DEVICECAP_INFO info;
    VSRSLT ret = scanCmd_->QueryDeviceCapability(&info, true);
    if (ret != 0) {
        g_ScanDevApiLog.WriteLog(1, "Error: QueryDeviceCapability failed. ret[VSRSLT] = 0x%08X", ret);
    } else if (info.length < 1) {
        ret = CAPSERR_NO_CAPABILITY;
    } else {
        // Built and corrected aside: the cache only ever holds a finished record.
        VS_SCANNER_CAPABILITY record;
        ClearRecord(&record);
        if (!BuildCapability(info, record)) {
            g_ScanDevApiLog.WriteLog(1, "Error: the device's capability answer is incomplete.");
            ret = CAPSERR_NO_CAPABILITY;
        } else {
            FixDeviceCapability(record);
            capability_ = std::make_unique<VS_SCANNER_CAPABILITY>(record);
            *out = record;
            g_ScanDevApiLog.WriteLog(2, "Internal Scanner Capability = %s", record.GetDescription().c_str());
        }
    }
    trace.LeaveResult(ret);
    return ret;
}

bool CDeviceCaps::BuildCapability(_SCANCMD_DEVICECAP_INFO& info, VS_SCANNER_CAPABILITY& record) const
{
    std::unique_ptr<ExternalCapability> overrides;
    if (!capabilityTablePath_.empty() && !modelName_.empty()) {
        DeviceCapabilityFile const file(capabilityTablePath_);
        if (file.ExistsModel(modelName_)) {
            g_ScanDevApiLog.WriteLog(2, "capability table path: %s", capabilityTablePath_.c_str());
            overrides = std::make_unique<ExternalCapability>(file, modelName_);
        }
    }
    CScanCmdRes front;
    record = front.ParseDeviceInfoData(&info, std::move(overrides));
    // An answer cut short (generation 2: no end record) would read as a
    // device without any capability.
    return front.IsAnswerComplete();
}

void CDeviceCaps::FixDeviceCapability(VS_SCANNER_CAPABILITY& capability) const
{
    if (capability.longPaperLengthMax.cap != SUPPORT) {
        capability.longPaperLengthMax.simplexMaxLength = 0;
        capability.longPaperLengthMax.duplexMaxLength = 0;
    }
    switch (capability.commandVersion) {
    case CommandVersion_TARN:
        FixDeviceCapabilityForTARN(capability);
        break;
    case CommandVersion_KELP2:
        FixDeviceCapabilityForKELP2(capability);
        break;
    case CommandVersion_FERN4:
        FixDeviceCapabilityForFERN4(capability);
        break;
    case CommandVersion_RUSH:
        FixDeviceCapabilityForRUSH(capability);
        break;
    case CommandVersion_SEDGE2:
        FixDeviceCapabilityForSEDGE2(capability);
        break;
    default:
        break;
    }
}

void CDeviceCaps::FixDeviceCapabilityForTARN(VS_SCANNER_CAPABILITY& capability) const
{
    capability.supportDocSizeMax.flatbed.y = kFlatbedDocumentLength;
}

void CDeviceCaps::FixDeviceCapabilityForKELP2(VS_SCANNER_CAPABILITY& capability) const { capability.updateNum = 0; }

void CDeviceCaps::FixDeviceCapabilityForFERN4(VS_SCANNER_CAPABILITY& capability) const
{
    capability.supportDocSizeMax.flatbed.y = kFlatbedDocumentLength;
}

void CDeviceCaps::FixDeviceCapabilityForRUSH(VS_SCANNER_CAPABILITY& capability) const
{
    if (capability.paperSource.supportPaperSource.adfSimplex) {
        capability.deviceScanSizeMin.simplex.x = kRushAdfMinimumWidth;
    }
    if (capability.paperSource.supportPaperSource.adfDuplex) {
        capability.deviceScanSizeMin.duplex.x = kRushAdfMinimumWidth;
    }
}

void CDeviceCaps::FixDeviceCapabilityForSEDGE2(VS_SCANNER_CAPABILITY& capability) const
{
    std::string const model(capability.modelName, strnlen(capability.modelName, sizeof capability.modelName));
    if (model != kSedge2ModelKeepingPowerSource) {
        capability.supportPowerSource.usb = false;
        capability.supportPowerSource.usbWithCapacitor = true;
    }

    MARGINADJUSTSIZES& adjust = capability.marginAdjustForAuto;
    adjust.adfSimplex_plus = adjust.adfDuplex_plus = adjust.cardslot_plus = Margin(400);
    adjust.adfSimplex_minus = adjust.adfDuplex_minus = adjust.cardslot_minus = Margin(-200);

    PLASTICCARDSUPPORT& card = capability.plasticCard;
    ClearRecord(&card);
    card.cap = UNSUPPORT;

    CARRIERSHEETSUPPORT& carrier = capability.carrierSheet;
    carrier.cap = SUPPORT;
    carrier.skipOffsetSystem = MANUALSKIP;
    carrier.supportColorType = SUPPORTCOLORTYPES{true, true, true, false, true, false, false};
    carrier.offsetSizeMm = CARRIERSHEETOFFSETSIZE{3200, 0};
    carrier.resolutionDpiMax = AXIS{600, 600};
    carrier.resolutionDpiMin = AXIS{100, 100};
    carrier.exclusion.detectDocSizeByDevice = true;
    carrier.exclusion.deskewByDevice = true;
}

}  // namespace vscore
