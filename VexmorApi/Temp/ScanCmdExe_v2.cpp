// Generation-2 command executor. A framed answer is a result byte (0 is
// success), the three command letters echoed, a 4-byte little-endian length
// that does not count itself, and the data; CKD is answered by a result
// byte and a status byte; XSC and ABT get no answer here.
#include "VexmorApi/Temp/ScanCmdExe_v2.h"

#include <string>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

// The commands without parameters are fixed frames.
const std::string kGKPcmdFrame(
    "\x1B"
    "GKP\n\x80",
    6);
const std::string kGCTcmdFrame(
    "\x1B"
    "GCT\n\x80",
    6);
const std::string kGCPcmdFrame(
    "\x1B"
    "GCP\n\x80",
    6);
const std::string kGDScmdFrame(
    "\x1B"
    "GDS\n\x80",
    6);

constexpr unsigned char kCKDStatusA = 0x41;  // "A"
constexpr unsigned char kCKDDocumentPresent = 0x01;
constexpr unsigned char kCKDResultNeither = 0x83;  // neither present nor absent

}  // namespace

CScanCmdCore_v2::CScanCmdCore_v2(CCmdDevAccess* cmdDevAccess) : cmdDevAccess_(cmdDevAccess) {}

CScanCmdCore_v2::~CScanCmdCore_v2() { FreeResCmdData(); }

VSRSLT CScanCmdCore_v2::ExeCKDcmd(SCANCMD_PAPERSOURCE_TYPE source, bool useBindTime, unsigned int bindTime,
                                  CheckDocumentResult& outcome)
{
    static char const kFunc[] = "ExeCKDcmd";
    outcome = CHECKDOCUMENT_FAILED;
    VSRSLT ret = CMDERR_NO_DEVICE_ACCESS;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, kFunc, ret);
    if (HasCmdDevAccess()) {
        ret = SendFrame(cmdString_.MakeCKDcmdString(source, useBindTime, bindTime));
        unsigned char result = 0;
        unsigned char status = 0;
        if (ret == 0) {
            ret = cmdDevAccess_->RecvCmdResult(&result, &status, kCheckDocumentTimeoutMs);
        }
        if (ret == 0) {
            if (result != 0) {
                g_ScanDevApiLog.WriteLog(1, "Error: Return error result from device. Result Code = 0x%02X", result);
            }
            outcome = ToCheckDocumentResult(result, status);
        }
    }
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeGKPcmd(_SCANCMD_RESPONSE_INFO* out)
{
    return ExeAnswerCmd("ExeGKPcmd", "GKP", out, gkpAnswer_, kGKPcmdFrame, kAnswerTimeoutMs);
}

VSRSLT CScanCmdCore_v2::ExeSSPcmd(_SCANCMD_RESPONSE_INFO* out, const _SCANCMD_SCANPARAM* param, bool readAhead)
{
    std::string const frame = param != nullptr ? cmdString_.MakeSSPcmdString(param, readAhead) : std::string();
    return ExeAnswerCmd("ExeSSPcmd", "SSP", param != nullptr ? out : nullptr, sspAnswer_, frame, kScanParamTimeoutMs);
}

VSRSLT CScanCmdCore_v2::ExeGCTcmd(_SCANCMD_RESPONSE_INFO* out)
{
    return ExeAnswerCmd("ExeGCTcmd", "GCT", out, gctAnswer_, kGCTcmdFrame, kAnswerTimeoutMs);
}

VSRSLT CScanCmdCore_v2::ExeGCPcmd(_SCANCMD_RESPONSE_INFO* out)
{
    return ExeAnswerCmd("ExeGCPcmd", "GCP", out, gcpAnswer_, kGCPcmdFrame, kAnswerTimeoutMs);
}

VSRSLT CScanCmdCore_v2::ExeGDScmd(_SCANCMD_RESPONSE_INFO* out)
{
    return ExeAnswerCmd("ExeGDScmd", "GDS", out, gdsAnswer_, kGDScmdFrame, kDocumentSizeTimeoutMs);
}

VSRSLT CScanCmdCore_v2::ExeXSCcmd(const _SCANCMD_SCANPARAM* param, bool readAhead)
{
    static char const kFunc[] = "ExeXSCcmd";
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, kFunc, ret);
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (param != nullptr) {
        ret = SendFrame(cmdString_.MakeXSCcmdString(param, readAhead));
    }
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeABTcmd(SCANCMD_EJECTION_TYPE ejection, bool finishAutoContinuousScan)
{
    static char const kFunc[] = "ExeABTcmd";
    VSRSLT ret = CMDERR_NO_DEVICE_ACCESS;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, kFunc, ret);
    if (HasCmdDevAccess()) {
        ret = SendFrame(cmdString_.MakeABTcmdString(ejection, finishAutoContinuousScan));
    }
    return ret;
}

void CScanCmdCore_v2::FreeResCmdData()
{
    static char const kFunc[] = "FreeResCmdData";
    TraceScope trace(g_ScanDevApiLog, 2, kFunc);
    CScanCmdCom com;
    com.FreeCmdResponseData(gkpAnswer_);
    com.FreeCmdResponseData(sspAnswer_);
    com.FreeCmdResponseData(gctAnswer_);
    com.FreeCmdResponseData(gcpAnswer_);
    com.FreeCmdResponseData(gdsAnswer_);
}

CheckDocumentResult CScanCmdCore_v2::ToCheckDocumentResult(unsigned char result, unsigned char status)
{
    if (result == 0) {
        switch (status) {
        case kCKDStatusA:
            return CHECKDOCUMENT_STATUS_A;
        case kCKDDocumentPresent:
            return CHECKDOCUMENT_PRESENT;
        default:
            return CHECKDOCUMENT_NO_DOCUMENT;
        }
    }
    return result == kCKDResultNeither ? CHECKDOCUMENT_NEITHER : CHECKDOCUMENT_FAILED;
}

VSRSLT CScanCmdCore_v2::ExeAnswerCmd(const char* name, const char* letters, _SCANCMD_RESPONSE_INFO* out,
                                     _SCANCMD_RESPONSE_INFO& record, const std::string& frame, long timeoutMs)
{
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, name, ret);
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        // A failed command leaves its record empty, never the previous answer.
        CScanCmdCom com;
        com.FreeCmdResponseData(record);
        ret = SendFrame(frame);
        if (ret == 0) {
            ret = com.RecvFramedAnswer(*cmdDevAccess_, letters, timeoutMs, record);
        }
        *out = record;
    }
    return ret;
}

VSRSLT CScanCmdCore_v2::SendFrame(const std::string& frame)
{
    if (frame.empty()) {
        return CMDERR_EMPTY_COMMAND;
    }
    return cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
}

bool CScanCmdCore_v2::HasCmdDevAccess() const
{
    if (cmdDevAccess_ == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "Error: CCmdDevAccess instance does not exist.");
        return false;
    }
    return true;
}

}  // namespace vscore
