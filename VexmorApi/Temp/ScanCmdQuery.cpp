// Q and QDI: their frames, how their answers are received and kept, and
// the generation and command version each answer reveals.
#include "VexmorApi/Temp/ScanCmdQuery.h"

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Temp/ScanCmdCom.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kQcmdFrame[] =
    "\x1B"
    "Q\n\x80";
constexpr char kQDIcmdFrame[] =
    "\x1B"
    "QDI\n\x80";
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

uint16_t ReadWord(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Receives the Q answer (the two echo bytes, a 1-byte length that counts
// itself, the data) and copies its data into copy.
VSRSLT ReceiveQAnswer(CCmdDevAccess& channel, _SCANCMD_RESPONSE_INFO& copy)
{
    CScanCmdCom com;
    CMDRESINFO info;
    info.signatureBytes = 2;
    info.lengthBytes = 1;
    VSRSLT ret = channel.RecvCmdResponse(info, kQueryTimeoutMs, true);
    if (ret == 0) {
        ret = com.ValidateCmdResSignature(info.signature, kQSignature, sizeof kQSignature);
    }
    if (ret == 0) {
        ret = com.CopyCmdResDataFromRxBuff(info.data, info.dataLength, copy);
    }
    return ret;
}

// The steps shared by Q and QDI: frees the kept answer, sends frame, lets
// receive copy the answer's data, keeps that copy in answer and lets
// describe fill in its generation and command version; out receives the
// kept record, empty after a failure.
template <class Receive, class Describe>
VSRSLT ExeQuery(const char* name, CCmdDevAccess* channel, const char* frame, int frameSize,
                _SCANCMD_DEVICECAP_INFO& answer, _SCANCMD_DEVICECAP_INFO* out, Receive receive, Describe describe)
{
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, name, ret);
    if (channel == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "CCmdDevAccess instance does not exist.");
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        FreeAnswer(answer);
        _SCANCMD_RESPONSE_INFO copy;
        ret = channel->SendCommand(frame, frameSize);
        if (ret == 0) {
            ret = receive(*channel, copy);
        }
        if (ret == 0) {
            // The copy's data changes owner.
            answer.length = copy.length;
            answer.data = copy.data;
            describe(answer);
        }
        *out = answer;
    }
    return ret;
}

}  // namespace

CScanCmdCoreQuery::CScanCmdCoreQuery(CCmdDevAccess* cmdDevAccess) : cmdDevAccess_(cmdDevAccess) {}

CScanCmdCoreQuery::~CScanCmdCoreQuery()
{
    FreeQcmdResponseData();
    FreeQDIcmdResponseData();
}

VSRSLT CScanCmdCoreQuery::ExeQcmd(_SCANCMD_DEVICECAP_INFO* out)
{
    return ExeQuery("ExeQcmd", cmdDevAccess_, kQcmdFrame, sizeof kQcmdFrame - 1, qAnswer_, out, ReceiveQAnswer,
                    [](_SCANCMD_DEVICECAP_INFO& answer) {
                        // Data byte 0 read as a signed number: 16 and above
                        // (up to 127) is a generation-2 device.
                        int8_t const first = static_cast<int8_t>(answer.data[0]);
                        answer.generation = first > 15 ? SCANCMD_2ND_GENERATION : SCANCMD_1ST_GENERATION;
                        answer.commandVersion = first;
                    });
}

VSRSLT CScanCmdCoreQuery::ExeQDIcmd(_SCANCMD_DEVICECAP_INFO* out)
{
    return ExeQuery(
        "ExeQDIcmd", cmdDevAccess_, kQDIcmdFrame, sizeof kQDIcmdFrame - 1, qdiAnswer_, out,
        [](CCmdDevAccess& channel, _SCANCMD_RESPONSE_INFO& copy) {
            return CScanCmdCom().RecvFramedAnswer(channel, kQDISignature, kQueryTimeoutMs, copy);
        },
        [](_SCANCMD_DEVICECAP_INFO& answer) {
            answer.generation = SCANCMD_2ND_GENERATION;
            answer.commandVersion = static_cast<int16_t>(FindQdiCommandVersion(answer.data, answer.length));
        });
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
