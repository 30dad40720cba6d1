// The answer side shared by every command executor: checks the echoed
// command bytes, copies an answer's data out of the receive buffer into a
// block of its own, frees such blocks, and receives the framed answer of a
// generation-2 command.
#pragma once

#include "vdtcl/VsResult.h"

namespace vscore {

class CCmdDevAccess;

// A copied answer. data holds length + 4 bytes (the last 4 are zero) and is
// owned by whoever keeps the record; copies of the record are shallow.
struct _SCANCMD_RESPONSE_INFO {
    int length = 0;
    unsigned char* data = nullptr;
};

class CScanCmdCom {
public:
    // 0 when the first count received bytes equal the expected ones.
    VSRSLT ValidateCmdResSignature(const unsigned char* received, const char* expected, int count);
    // Replaces the record's data by a copy of length bytes at data; on a
    // failure the record stays as it was.
    VSRSLT CopyCmdResDataFromRxBuff(const unsigned char* data, int length, _SCANCMD_RESPONSE_INFO& response);
    // Frees the record's data and clears the record.
    void FreeCmdResponseData(_SCANCMD_RESPONSE_INFO& response);
    // Receives the framed answer to the three command letters (result
    // byte, the letters echoed, a 4-byte length that does not count itself,
    // the data) within timeoutMs per receive and copies its data into
    // record. A non-zero result byte gives vdtcl::CommandResultByteError.
    VSRSLT RecvFramedAnswer(CCmdDevAccess& channel, const char* letters, long timeoutMs,
                            _SCANCMD_RESPONSE_INFO& record);
};

}  // namespace vscore
