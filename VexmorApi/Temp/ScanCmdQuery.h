// The two queries every device understands: Q, whose answer tells the
// command generation, and QDI, the generation-2 device description. The
// executor keeps a copy of each answer and hands out shallow copies.
#pragma once

#include <cstdint>

#include "VexmorApi/ScannerCapability.h"
#include "vdtcl/VsResult.h"

namespace vscore {

class CCmdDevAccess;

// A copied query answer. data holds length + 4 bytes and stays owned by
// the CScanCmdCoreQuery that made it.
struct _SCANCMD_DEVICECAP_INFO {
    SCANCMD_GENERATION generation = SCANCMD_GENERATION_UNKNOWN;
    int16_t commandVersion = 0;
    int length = 0;
    unsigned char* data = nullptr;
};

class CScanCmdCoreQuery {
public:
    // The command channel is lent by the facade and never freed here.
    explicit CScanCmdCoreQuery(CCmdDevAccess* cmdDevAccess);
    ~CScanCmdCoreQuery();
    CScanCmdCoreQuery(CScanCmdCoreQuery const&) = delete;
    CScanCmdCoreQuery& operator=(CScanCmdCoreQuery const&) = delete;

    // Sends Q and keeps its answer; out receives the kept record (empty
    // after a failure). The generation is 2 for a first data byte 0x10-0x7F,
    // else 1; the command version is that byte with its sign.
    VSRSLT ExeQcmd(_SCANCMD_DEVICECAP_INFO* out);
    // Sends QDI and keeps its answer; out receives the kept record. The
    // command version is the value of the answer's record 0x0001.
    VSRSLT ExeQDIcmd(_SCANCMD_DEVICECAP_INFO* out);
    // The QDI answer when one is kept, else the Q answer (maybe empty).
    _SCANCMD_DEVICECAP_INFO GetDeviceCapInfo() const;
    void FreeQcmdResponseData();
    void FreeQDIcmdResponseData();

    // The 16-bit value of the last record 0x0001 among the tag-length-value
    // records of a QDI answer; 0 when there is none.
    static uint16_t FindQdiCommandVersion(const unsigned char* data, int length);

private:
    CCmdDevAccess* cmdDevAccess_;
    _SCANCMD_DEVICECAP_INFO qAnswer_;    // owned data
    _SCANCMD_DEVICECAP_INFO qdiAnswer_;  // owned data
};

}  // namespace vscore
