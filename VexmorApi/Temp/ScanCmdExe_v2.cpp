// Generation-2 command executor. A framed answer is a result byte (0 is
// success), the three command letters echoed, a 4-byte little-endian length
// that does not count itself, and the data; CKD is answered by a result
// byte and a status byte; XSC and ABT get no answer here.
#include "VexmorApi/Temp/ScanCmdExe_v2.h"

#include <string>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

// The commands without parameters are fixed frames.
const std::string kGKPcmdFrame("\x1B" "GKP\n\x80", 6);
const std::string kGCTcmdFrame("\x1B" "GCT\n\x80", 6);
const std::string kGCPcmdFrame("\x1B" "GCP\n\x80", 6);
const std::string kGDScmdFrame("\x1B" "GDS\n\x80", 6);

constexpr VSRSLT kEmptyCommand = 0x10210034;  // no command text could be made

constexpr unsigned char kCKDStatusA = 0x41;        // "A"
constexpr unsigned char kCKDDocumentPresent = 0x01;
constexpr unsigned char kCKDResultNeither = 0x83;  // neither present nor absent

}  // namespace

CScanCmdCore_v2::CScanCmdCore_v2(CCmdDevAccess* cmdDevAccess) : cmdDevAccess_(cmdDevAccess) {}

CScanCmdCore_v2::~CScanCmdCore_v2() { FreeResCmdData(); }

VSRSLT CScanCmdCore_v2::ExeCKDcmd(SCANCMD_PAPERSOURCE_TYPE source, bool useBindTime, unsigned int bindTime,
                                  CheckDocumentResult& outcome)
{
    static char const kFunc[] = "ExeCKDcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    outcome = CHECKDOCUMENT_FAILED;
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else {
        std::string const frame = cmdString_.MakeCKDcmdString(source, useBindTime, bindTime);
        ret = frame.empty() ? kEmptyCommand
                            : cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
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
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeGKPcmd(_SCANCMD_RESPONSE_INFO* out)
{
    static char const kFunc[] = "ExeGKPcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        ret = ExeAnswerCmd("GKP", gkpAnswer_, kGKPcmdFrame, kAnswerTimeoutMs);
        *out = gkpAnswer_;
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeSSPcmd(_SCANCMD_RESPONSE_INFO* out, const _SCANCMD_SCANPARAM* param, bool readAhead)
{
    static char const kFunc[] = "ExeSSPcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr && param != nullptr) {
        ret = ExeAnswerCmd("SSP", sspAnswer_, cmdString_.MakeSSPcmdString(param, readAhead), kScanParamTimeoutMs);
        *out = sspAnswer_;
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeGCTcmd(_SCANCMD_RESPONSE_INFO* out)
{
    static char const kFunc[] = "ExeGCTcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        ret = ExeAnswerCmd("GCT", gctAnswer_, kGCTcmdFrame, kAnswerTimeoutMs);
        *out = gctAnswer_;
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeGCPcmd(_SCANCMD_RESPONSE_INFO* out)
{
    static char const kFunc[] = "ExeGCPcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        ret = ExeAnswerCmd("GCP", gcpAnswer_, kGCPcmdFrame, kAnswerTimeoutMs);
        *out = gcpAnswer_;
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeGDScmd(_SCANCMD_RESPONSE_INFO* out)
{
    static char const kFunc[] = "ExeGDScmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        ret = ExeAnswerCmd("GDS", gdsAnswer_, kGDScmdFrame, kDocumentSizeTimeoutMs);
        *out = gdsAnswer_;
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeXSCcmd(const _SCANCMD_SCANPARAM* param, bool readAhead)
{
    static char const kFunc[] = "ExeXSCcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (param != nullptr) {
        std::string const frame = cmdString_.MakeXSCcmdString(param, readAhead);
        ret = frame.empty() ? kEmptyCommand
                            : cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCore_v2::ExeABTcmd(SCANCMD_EJECTION_TYPE ejection, bool finishAutoContinuousScan)
{
    static char const kFunc[] = "ExeABTcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else {
        std::string const frame = cmdString_.MakeABTcmdString(ejection, finishAutoContinuousScan);
        ret = frame.empty() ? kEmptyCommand
                            : cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

void CScanCmdCore_v2::FreeResCmdData()
{
    static char const kFunc[] = "FreeResCmdData";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    CScanCmdCom com;
    com.FreeCmdResponseData(gkpAnswer_);
    com.FreeCmdResponseData(sspAnswer_);
    com.FreeCmdResponseData(gctAnswer_);
    com.FreeCmdResponseData(gcpAnswer_);
    com.FreeCmdResponseData(gdsAnswer_);
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<<", kFunc);
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

VSRSLT CScanCmdCore_v2::ExeAnswerCmd(const char* letters, _SCANCMD_RESPONSE_INFO& record, const std::string& frame,
                                     long timeoutMs)
{
    // A failed command leaves its record empty, never the previous answer.
    CScanCmdCom().FreeCmdResponseData(record);
    if (frame.empty()) {
        return kEmptyCommand;
    }
    VSRSLT const ret = cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
    if (ret != 0) {
        return ret;
    }
    return RecvFramedAnswer(letters, record, timeoutMs);
}

VSRSLT CScanCmdCore_v2::RecvFramedAnswer(const char* letters, _SCANCMD_RESPONSE_INFO& record, long timeoutMs)
{
    CScanCmdCom com;
    CMDRESINFO info;
    info.resultBytes = 1;
    info.signatureBytes = 3;
    info.lengthBytes = 4;
    VSRSLT ret = cmdDevAccess_->RecvCmdResponse(info, timeoutMs, false);
    if (ret == 0 && info.resultCode != 0) {
        g_ScanDevApiLog.WriteLog(1, "Error: Return error result from device. Result Code = 0x%02X", info.resultCode);
        ret = vdtcl::CommandResultByteError(info.resultCode);
    }
    if (ret == 0) {
        ret = com.ValidateCmdResSignature(info.signature, letters, 3);
    }
    if (ret == 0) {
        ret = com.CopyCmdResDataFromRxBuff(info.data, info.dataLength, record);
    }
    return ret;
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
