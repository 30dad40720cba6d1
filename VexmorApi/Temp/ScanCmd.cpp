// The command facade: generation choice, opening and closing of the device,
// and the stored scan parameters and read-ahead mark.
#include "VexmorApi/Temp/ScanCmd.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "VexmorApi/Temp/ScanCmdExe_v1.h"
#include "VexmorApi/Temp/ScanCmdExe_v2.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/Timer.h"
#include "vdtcl/CTTime.h"

namespace vscore {

namespace {

// The pause between the Q answer and QDI, which the device needs to
// prepare its description.
constexpr unsigned long kQdiDelayMs = 100;
// Devices up to this command version want the channel closed after the
// capability query; newer ones keep it open.
constexpr uint16_t kLastVersionClosingAfterQuery = 0x0102;

using TraceResult = ResultTrace<VSRSLT>;
using TraceBool = ResultTrace<bool>;

void CommandStart(char const* letters) { g_ScanDevApiLog.WriteLog(1, "%s command start", letters); }

int ThreadNumber() { return static_cast<int>(syscall(SYS_gettid)); }

}  // namespace

CScanCmd::CScanCmd(IDeviceAccess* deviceAccess, const _DEV_IDENTIFIER& identifier)
    : identifier_(identifier),
      deviceAccess_(deviceAccess),
      cmdDevAccess_(std::make_shared<CCmdDevAccess>()),
      query_(std::make_unique<CScanCmdCoreQuery>(cmdDevAccess_.get())),
      core1_(std::make_unique<CScanCmdCore_v1>(cmdDevAccess_.get())),
      core2_(std::make_unique<CScanCmdCore_v2>(cmdDevAccess_.get()))
{
    ClearRecord(&scanParam_);
}

CScanCmd::~CScanCmd()
{
    query_->FreeQcmdResponseData();
    query_->FreeQDIcmdResponseData();
    core1_->FreeResCmdData();
    core2_->FreeResCmdData();
    if (deviceAccess_ != nullptr) {
        cmdDevAccess_->CloseDevice();
    }
}

VSRSLT CScanCmd::SetScanParam(const _SCANCMD_SCANPARAM* param)
{
    VSRSLT ret = 0;
    TraceResult trace(g_ScanDevApiLog, 2, "SetScanParam", ret);
    if (param == nullptr) {
        scanParamSet_ = false;
        ret = CMDERR_BAD_ARGUMENT;
    } else {
        scanParam_ = *param;
        scanParamSet_ = true;
    }
    return ret;
}

bool CScanCmd::SetCommandGeneration(SCANCMD_GENERATION generation)
{
    if (generation_ == SCANCMD_GENERATION_UNKNOWN) {
        generation_ = generation;
        return true;
    }
    return generation_ == generation;
}

bool CScanCmd::GetConnectionStatus()
{
    bool ret = false;
    TraceBool trace(g_ScanDevApiLog, 2, "GetConnectionStatus", ret);
    if (deviceAccess_ == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "Error: IDeviceAccess instance does not exist.");
    } else {
        ret = cmdDevAccess_->ConfirmConnection(deviceAccess_, identifier_);
    }
    return ret;
}

VSRSLT CScanCmd::OpenDevice()
{
    bool ret = false;
    VSRSLT failure = 0;
    TraceBool trace(g_ScanDevApiLog, 2, "OpenDeviceIfNecessary", ret);
    if (deviceAccess_ == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "Error: IDeviceAccess instance does not exist.");
    } else if (deviceAccess_->IsOpenScanner()) {
        cmdDevAccess_->SetPointerToDeviceAccess(deviceAccess_);
        ret = true;
    } else {
        ret = cmdDevAccess_->OpenDevice(deviceAccess_, identifier_, &failure);
    }
    if (ret) {
        return 0;
    }
    switch (failure) {
    case DEVACS_ERR_BUSY:
    case DEVACS_ERR_NO_DEVICE:
    case DEVACS_ERR_REFUSED:
        return failure;
    default:
        return CMDERR_OPEN_FAILED;
    }
}

VSRSLT CScanCmd::QueryDeviceCapability(_SCANCMD_DEVICECAP_INFO* info, bool query)
{
    VSRSLT ret = 0;
    TraceResult trace(g_ScanDevApiLog, 2, "QueryDeviceCapability", ret);
    int const thread = ThreadNumber();
    g_ScanDevApiLog.WriteLog(1, "Query device capability. Timer Start [%d]", thread);
    Timer* timer = Singleton<Timer>::GetInstance();
    timer->Start();

    if (info == nullptr) {
        ret = CMDERR_BAD_ARGUMENT;
    } else if (!query) {
        *info = query_->GetDeviceCapInfo();
        ret = info->data != nullptr ? VSRSLT{0} : VSRSLT{CMDERR_NO_DEVICE_CAP_ANSWER};
    } else if ((ret = OpenDevice()) == 0) {
        ret = QueryAndLearnGeneration(info);
    }

    g_ScanDevApiLog.WriteLog(1, "Timer Stop [%d]: %d msec", thread, static_cast<int>(timer->Stop()));
    return ret;
}

VSRSLT CScanCmd::QueryAndLearnGeneration(_SCANCMD_DEVICECAP_INFO* info)
{
    CommandStart("Q");
    VSRSLT ret = query_->ExeQcmd(info);
    if (ret != 0) {
        return ret;  // the device stays open
    }
    generation_ = info->generation;
    switch (generation_) {
    case SCANCMD_1ST_GENERATION:
        g_ScanDevApiLog.WriteLog(1, "Command Generation is 1st");
        cmdDevAccess_->CloseDevice();
        break;
    case SCANCMD_2ND_GENERATION:
        g_ScanDevApiLog.WriteLog(1, "Command Generation is 2nd");
        query_->FreeQcmdResponseData();
        CommandStart("QDI");
        vdtcl::CTTime::Sleep_ms(kQdiDelayMs);
        ret = query_->ExeQDIcmd(info);
        // A failed QDI leaves a cleared record (version 0), which closes too.
        if (static_cast<uint16_t>(info->commandVersion) <= kLastVersionClosingAfterQuery) {
            cmdDevAccess_->CloseDevice();
        }
        break;
    default:
        ret = CMDERR_NO_GENERATION;
        break;
    }
    return ret;
}

template <class Gen1, class Gen2>
VSRSLT CScanCmd::RunCommand(const char* name, bool needsRecord, const void* record, Gen1 gen1, Gen2 gen2, bool* opened)
{
    VSRSLT ret = 0;
    TraceResult trace(g_ScanDevApiLog, 2, name, ret);
    if (opened != nullptr) {
        *opened = false;
    }
    if (needsRecord && record == nullptr) {
        ret = CMDERR_BAD_ARGUMENT;
        return ret;
    }
    ret = OpenDevice();
    if (ret != 0) {
        return ret;
    }
    if (opened != nullptr) {
        *opened = true;
    }
    if (generation_ == SCANCMD_1ST_GENERATION) {
        ret = gen1();
    } else if (generation_ == SCANCMD_2ND_GENERATION) {
        ret = gen2();
    } else {
        ret = CMDERR_NO_GENERATION;
    }
    return ret;
}

VSRSLT CScanCmd::CheckDocument(SCANCMD_PAPERSOURCE_TYPE source, bool useBindTime, unsigned int bindTime,
                               CheckDocumentResult& result)
{
    result = CHECKDOCUMENT_FAILED;
    bool opened = false;
    VSRSLT const ret = RunCommand(
        "CheckDocument", false, nullptr,
        [&] {
            CommandStart("D");
            return core1_->ExeDcmd(source, result);
        },
        [&] {
            CommandStart("CKD");
            return core2_->ExeCKDcmd(source, useBindTime, bindTime, result);
        },
        &opened);
    if (opened && !(useBindTime && bindTime != 0)) {
        g_ScanDevApiLog.WriteLog(1, "Close Scanner");
        cmdDevAccess_->CloseDevice();
    }
    return ret;
}

VSRSLT CScanCmd::SelectPaperSource(SCANCMD_PAPERSOURCE_TYPE source)
{
    return RunCommand(
        "SelectPaperSource", false, nullptr,
        [&] {
            CommandStart("S");
            return core1_->ExeScmd(source);
        },
        [] { return static_cast<VSRSLT>(CMDERR_NOT_IN_GENERATION); });
}

VSRSLT CScanCmd::GetPushScanParameter(_SCANCMD_RESPONSE_INFO* out)
{
    return RunCommand(
        "GetPushScanParameter", true, out,
        [&] {
            CommandStart("K");
            return core1_->ExeKcmd(out);
        },
        [&] {
            CommandStart("GKP");
            return core2_->ExeGKPcmd(out);
        });
}

VSRSLT CScanCmd::QueryDeviceScanParameter(_SCANCMD_RESPONSE_INFO* out)
{
    return RunCommand(
        "QueryDeviceScanParameter", true, out,
        [&] {
            CommandStart("I");
            return core1_->ExeIcmd(out, &scanParam_);
        },
        [&] {
            CommandStart("SSP");
            return core2_->ExeSSPcmd(out, &scanParam_, readAhead_.load());
        });
}

VSRSLT CScanCmd::GetPaletteTable(_SCANCMD_RESPONSE_INFO* out)
{
    return RunCommand(
        "GetPaletteTable", true, out,
        [&] {
            CommandStart("P");
            return core1_->ExePcmd(out);
        },
        [&] {
            CommandStart("GCT");
            return core2_->ExeGCTcmd(out);
        });
}

VSRSLT CScanCmd::GetColorProfile(_SCANCMD_RESPONSE_INFO* out)
{
    return RunCommand(
        "GetColorProfile", true, out, [] { return static_cast<VSRSLT>(CMDERR_NOT_IN_GENERATION); },
        [&] {
            CommandStart("GCP");
            return core2_->ExeGCPcmd(out);
        });
}

VSRSLT CScanCmd::GetDocumentSizeOnPaperSource(_SCANCMD_RESPONSE_INFO* out)
{
    return RunCommand(
        "GetDocumentSizeOnPaperSource", true, out,
        [&] {
            CommandStart("E");
            return core1_->ExeEcmd(out, &scanParam_);
        },
        [&] {
            CommandStart("GDS");
            return core2_->ExeGDScmd(out);
        });
}

VSRSLT CScanCmd::ExecuteScanning()
{
    VSRSLT ret = 0;
    TraceResult trace(g_ScanDevApiLog, 2, "ExecuteScanning", ret);
    if (!scanParamSet_) {
        ret = CMDERR_SCAN_PARAM_NOT_SET;
    } else if ((ret = OpenDevice()) == 0) {
        if (generation_ == SCANCMD_1ST_GENERATION) {
            CommandStart("X");
            ret = core1_->ExeXcmd(&scanParam_);
        } else if (generation_ == SCANCMD_2ND_GENERATION) {
            CommandStart("XSC");
            ret = core2_->ExeXSCcmd(&scanParam_, readAhead_.load());
        } else {
            ret = CMDERR_NO_GENERATION;
        }
        readAhead_ = false;
    }
    return ret;
}

VSRSLT CScanCmd::AbortScanning(SCANCMD_EJECTION_TYPE ejection, bool finishAutoContinuousScan)
{
    return RunCommand(
        "AbortScanning", false, nullptr,
        [&] {
            CommandStart("R");
            return core1_->ExeRcmd();
        },
        [&] {
            CommandStart("ABT");
            return core2_->ExeABTcmd(ejection, finishAutoContinuousScan);
        });
}

void CScanCmd::SetReadAheadScan() { readAhead_ = true; }

}  // namespace vscore
