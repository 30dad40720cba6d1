// Signature check, answer copies and the generation-2 framed answer for the
// command executors.
#include "VexmorApi/Temp/ScanCmdCom.h"

#include <cstring>
#include <new>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {
// Spare bytes behind every copied answer.
constexpr size_t kSpareBytes = 4;
}  // namespace

VSRSLT CScanCmdCom::ValidateCmdResSignature(const unsigned char* received, const char* expected, int count)
{
    if (received == nullptr || expected == nullptr || count <= 0) {
        return CMDERR_BAD_ARGUMENT;
    }
    if (std::memcmp(received, expected, static_cast<size_t>(count)) != 0) {
        g_ScanDevApiLog.WriteLog(1, "Error: Invalid signature of response data.");
        return CMDERR_INVALID_SIGNATURE;
    }
    return 0;
}

VSRSLT CScanCmdCom::CopyCmdResDataFromRxBuff(const unsigned char* data, int length, _SCANCMD_RESPONSE_INFO& response)
{
    if (data == nullptr || length <= 0) {
        return CMDERR_BAD_ARGUMENT;
    }
    size_t const size = static_cast<size_t>(length);
    unsigned char* copy = new (std::nothrow) unsigned char[size + kSpareBytes];
    if (copy == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "Error: Memory allocate FAILD for response data.");
        return CMDERR_NO_MEMORY;
    }
    std::memcpy(copy, data, size);
    std::memset(copy + size, 0, kSpareBytes);
    FreeCmdResponseData(response);
    response.length = length;
    response.data = copy;
    return 0;
}

void CScanCmdCom::FreeCmdResponseData(_SCANCMD_RESPONSE_INFO& response)
{
    delete[] response.data;
    response.data = nullptr;
    response.length = 0;
}

VSRSLT CScanCmdCom::RecvFramedAnswer(CCmdDevAccess& channel, const char* letters, long timeoutMs,
                                     _SCANCMD_RESPONSE_INFO& record)
{
    CMDRESINFO info;
    info.resultBytes = 1;
    info.signatureBytes = 3;
    info.lengthBytes = 4;
    VSRSLT ret = channel.RecvCmdResponse(info, timeoutMs, false);
    if (ret == 0 && info.resultCode != 0) {
        g_ScanDevApiLog.WriteLog(1, "Error: Return error result from device. Result Code = 0x%02X", info.resultCode);
        ret = vdtcl::CommandResultByteError(info.resultCode);
    }
    if (ret == 0) {
        ret = ValidateCmdResSignature(info.signature, letters, 3);
    }
    if (ret == 0) {
        ret = CopyCmdResDataFromRxBuff(info.data, info.dataLength, record);
    }
    return ret;
}

}  // namespace vscore
