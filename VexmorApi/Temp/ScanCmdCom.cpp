// Signature check and answer copies for the command executors.
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

VSRSLT CScanCmdCom::CopyCmdResDataFromRxBuff(const unsigned char* data, int length,
                                             _SCANCMD_RESPONSE_INFO& response)
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

}  // namespace vscore
