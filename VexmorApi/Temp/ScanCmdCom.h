// The answer side shared by every command executor: checks the echoed
// command bytes, copies an answer's data out of the receive buffer into a
// block of its own, and frees such blocks.
#pragma once

#include "vdtcl/VsResult.h"

namespace vscore {

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
};

}  // namespace vscore
