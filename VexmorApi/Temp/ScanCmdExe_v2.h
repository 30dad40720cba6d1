// The generation-2 command executor: builds or picks each command's frame,
// sends it through the command channel, receives and checks the answer, and
// keeps a copy of each GKP, SSP, GCT, GCP and GDS answer until the next
// command of the same kind.
#pragma once

#include "VexmorApi/Temp/CheckDocumentResult.h"
#include "VexmorApi/Temp/ScanCmdCom.h"
#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "VexmorApi/Temp/ScanCmdText_v2.h"
#include "vdtcl/VsResult.h"

namespace vscore {

class CCmdDevAccess;

// Sends generation-2 commands over a CCmdDevAccess lent by the command
// facade. Answers handed out are shallow copies of the records kept here;
// they stay valid until the next command of the same kind, FreeResCmdData
// or destruction. One command at a time.
class CScanCmdCore_v2 {
public:
    explicit CScanCmdCore_v2(CCmdDevAccess* cmdDevAccess);
    ~CScanCmdCore_v2();
    CScanCmdCore_v2(CScanCmdCore_v2 const&) = delete;
    CScanCmdCore_v2& operator=(CScanCmdCore_v2 const&) = delete;

    // CKD: whether a document lies on the source. A device refusal is no
    // failure here: the result is 0 and outcome carries the device's answer.
    VSRSLT ExeCKDcmd(SCANCMD_PAPERSOURCE_TYPE source, bool useBindTime, unsigned int bindTime,
                     CheckDocumentResult& outcome);
    // GKP: the scan settings chosen on the device panel.
    VSRSLT ExeGKPcmd(_SCANCMD_RESPONSE_INFO* out);
    // SSP: sends the scan parameters; the answer holds those the device applies.
    VSRSLT ExeSSPcmd(_SCANCMD_RESPONSE_INFO* out, const _SCANCMD_SCANPARAM* param, bool readAhead);
    // GCT: the colour table.
    VSRSLT ExeGCTcmd(_SCANCMD_RESPONSE_INFO* out);
    // GCP: the colour profile.
    VSRSLT ExeGCPcmd(_SCANCMD_RESPONSE_INFO* out);
    // GDS: the document size the device detected.
    VSRSLT ExeGDScmd(_SCANCMD_RESPONSE_INFO* out);
    // XSC: starts the scan; the data blocks that follow are read elsewhere.
    VSRSLT ExeXSCcmd(const _SCANCMD_SCANPARAM* param, bool readAhead);
    // ABT: aborts the scan; no answer is read.
    VSRSLT ExeABTcmd(SCANCMD_EJECTION_TYPE ejection, bool finishAutoContinuousScan);
    // Frees every kept answer.
    void FreeResCmdData();

    // The document-check outcome of a CKD answer.
    static CheckDocumentResult ToCheckDocumentResult(unsigned char result, unsigned char status);

    // How long each answer is waited for, in ms.
    static constexpr long kCheckDocumentTimeoutMs = 35000;
    static constexpr long kScanParamTimeoutMs = 35000;
    static constexpr long kAnswerTimeoutMs = 5000;
    static constexpr long kDocumentSizeTimeoutMs = 60000;

private:
    // The steps shared by GKP, SSP, GCT, GCP and GDS: check the arguments,
    // free the kept answer, send frame, receive the answer to the command
    // letters into record, hand record out. name is the operation's trace.
    VSRSLT ExeAnswerCmd(const char* name, const char* letters, _SCANCMD_RESPONSE_INFO* out,
                        _SCANCMD_RESPONSE_INFO& record, const std::string& frame, long timeoutMs);
    // Sends frame; CMDERR_EMPTY_COMMAND when no text could be made.
    VSRSLT SendFrame(const std::string& frame);
    bool HasCmdDevAccess() const;

    _SCANCMD_RESPONSE_INFO gkpAnswer_;
    _SCANCMD_RESPONSE_INFO sspAnswer_;
    _SCANCMD_RESPONSE_INFO gctAnswer_;
    _SCANCMD_RESPONSE_INFO gcpAnswer_;
    _SCANCMD_RESPONSE_INFO gdsAnswer_;
    CCmdDevAccess* cmdDevAccess_;  // lent; never freed here
    CCmdString_v2 cmdString_;
};

}  // namespace vscore
