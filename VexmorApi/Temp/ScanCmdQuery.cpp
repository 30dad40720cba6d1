// Q and QDI: frames, answer layouts and the generation they reveal.
#include "VexmorApi/Temp/ScanCmdQuery.h"

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Temp/ScanCmdCom.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kQcmdFrame[] = "\x1B" "Q\n\x80";
constexpr char kQDIcmdFrame[] = "\x1B" "QDI\n\x80";
constexpr char kQSignature[] = {'\xC1', '\x00'};
constexpr char kQDISignature[] = "QDI";
constexpr long kQueryTimeoutMs = 35000;
constexpr uint16_t kCommandVersionTag = 0x0001;

// Frees a kept answer's data and clears the record.
void FreeAnswer(_SCANCMD_DEVICECAP_INFO& answer)
{
    delete[] answer.data;
    answer = _SCANCMD_DEVICECAP_INFO{};
}

// Moves a copied answer into a kept record.
void KeepAnswer(_SCANCMD_RESPONSE_INFO& copy, _SCANCMD_DEVICECAP_INFO& answer)
{
    answer.length = copy.length;
    answer.data = copy.data;
    copy = _SCANCMD_RESPONSE_INFO{};
}

uint16_t ReadWord(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

CScanCmdCoreQuery::CScanCmdCoreQuery(CCmdDevAccess* cmdDevAccess) : cmdDevAccess_(cmdDevAccess) {}

CScanCmdCoreQuery::~CScanCmdCoreQuery()
{
    FreeQcmdResponseData();
    FreeQDIcmdResponseData();
}

VSRSLT CScanCmdCoreQuery::ExeQcmd(_SCANCMD_DEVICECAP_INFO* out)
{
    static char const kFunc[] = "ExeQcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (cmdDevAccess_ == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "CCmdDevAccess instance does not exist.");
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        FreeQcmdResponseData();
        CScanCmdCom com;
        CMDRESINFO info;
        info.resultBytes = 0;
        info.signatureBytes = 2;
        info.lengthBytes = 1;
        _SCANCMD_RESPONSE_INFO copy;
        ret = cmdDevAccess_->SendCommand(kQcmdFrame, sizeof kQcmdFrame - 1);
        if (ret == 0) {
            ret = cmdDevAccess_->RecvCmdResponse(info, kQueryTimeoutMs, true);
        }
        if (ret == 0) {
            ret = com.ValidateCmdResSignature(info.signature, kQSignature, sizeof kQSignature);
        }
        if (ret == 0) {
            ret = com.CopyCmdResDataFromRxBuff(info.data, info.dataLength, copy);
        }
        if (ret == 0) {
            KeepAnswer(copy, qAnswer_);
            // Data byte 0 read as a signed number: 16 and above (up to 127)
            // is a generation-2 device.
            int8_t const first = static_cast<int8_t>(qAnswer_.data[0]);
            qAnswer_.generation = first > 15 ? SCANCMD_2ND_GENERATION : SCANCMD_1ST_GENERATION;
            qAnswer_.commandVersion = first;
        }
        *out = qAnswer_;
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

VSRSLT CScanCmdCoreQuery::ExeQDIcmd(_SCANCMD_DEVICECAP_INFO* out)
{
    static char const kFunc[] = "ExeQDIcmd";
    g_ScanDevApiLog.WriteLog(2, ">>>>> %s >>>>>", kFunc);
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    if (cmdDevAccess_ == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "CCmdDevAccess instance does not exist.");
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        FreeQDIcmdResponseData();
        CScanCmdCom com;
        CMDRESINFO info;
        info.resultBytes = 1;
        info.signatureBytes = 3;
        info.lengthBytes = 4;
        _SCANCMD_RESPONSE_INFO copy;
        ret = cmdDevAccess_->SendCommand(kQDIcmdFrame, sizeof kQDIcmdFrame - 1);
        if (ret == 0) {
            ret = cmdDevAccess_->RecvCmdResponse(info, kQueryTimeoutMs, false);
        }
        if (ret == 0 && info.resultCode != 0) {
            g_ScanDevApiLog.WriteLog(1, "Return error result from device. Result Code = 0x%02X", info.resultCode);
            ret = vdtcl::CommandResultByteError(info.resultCode);
        }
        if (ret == 0) {
            ret = com.ValidateCmdResSignature(info.signature, kQDISignature, 3);
        }
        if (ret == 0) {
            ret = com.CopyCmdResDataFromRxBuff(info.data, info.dataLength, copy);
        }
        if (ret == 0) {
            KeepAnswer(copy, qdiAnswer_);
            qdiAnswer_.generation = SCANCMD_2ND_GENERATION;
            qdiAnswer_.commandVersion =
                static_cast<int16_t>(FindQdiCommandVersion(qdiAnswer_.data, qdiAnswer_.length));
        }
        *out = qdiAnswer_;
    }
    g_ScanDevApiLog.WriteLog(2, "<<<<< %s <<<<< ret[VSRSLT] = 0x%08X", kFunc, ret);
    return ret;
}

uint16_t CScanCmdCoreQuery::FindQdiCommandVersion(const unsigned char* data, int length)
{
    uint16_t version = 0;
    if (data == nullptr || length <= 0) {
        return version;
    }
    // Each record: 16-bit tag, 16-bit value length, value; all little-endian.
    size_t const end = static_cast<size_t>(length);
    size_t position = 0;
    while (end - position >= 4) {
        uint16_t const tag = ReadWord(data + position);
        size_t const valueLength = ReadWord(data + position + 2);
        position += 4;
        if (tag == kCommandVersionTag && valueLength >= 2 && end - position >= 2) {
            version = ReadWord(data + position);
        }
        if (end - position < valueLength) {
            break;
        }
        position += valueLength;
    }
    return version;
}

_SCANCMD_DEVICECAP_INFO CScanCmdCoreQuery::GetDeviceCapInfo() const
{
    return qdiAnswer_.data != nullptr ? qdiAnswer_ : qAnswer_;
}

void CScanCmdCoreQuery::FreeQcmdResponseData() { FreeAnswer(qAnswer_); }

void CScanCmdCoreQuery::FreeQDIcmdResponseData() { FreeAnswer(qdiAnswer_); }

}  // namespace vscore
