// Generation-1 commands: the one-letter command texts (D, S, I, E, X with
// parameters; K, P, R fixed) and the executor that sends each through the
// command channel, reads its status or answer and keeps a copy of the
// K, I, P and E answers.
#pragma once

#include <cstdint>
#include <string>

#include "VexmorApi/Temp/CheckDocumentResult.h"
#include "VexmorApi/Temp/ScanCmdCom.h"
#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "vdtcl/TTString.h"
#include "vdtcl/VsResult.h"

namespace vscore {

class CCmdDevAccess;

// Builds the frames of the generation-1 commands with parameters: ESC, the
// letter, LF, the parameter lines (each ending in LF) and 0x80. A null
// parameter record gives an empty text. Not thread-safe (one number buffer).
class CCmdString_v1 {
public:
    // The parameter lines, by key.
    enum Line { R, M, C, J, B, N, A, D, S, P, E, G, L };

    std::string MakeDcmdString(SCANCMD_PAPERSOURCE_TYPE source);
    std::string MakeScmdString(SCANCMD_PAPERSOURCE_TYPE source);
    std::string MakeIcmdString(const _SCANCMD_SCANPARAM* param);
    std::string MakeEcmdString(const _SCANCMD_SCANPARAM* param);
    std::string MakeXcmdString(const _SCANCMD_SCANPARAM* param);

private:
    std::string MakeSourceCommand(const char* name, const char* letter, SCANCMD_PAPERSOURCE_TYPE source);
    std::string MakeParamCommand(const char* name, const char* letter, const _SCANCMD_SCANPARAM* param,
                                 const Line* lines, size_t count);
    void AppendLine(std::string& text, Line line, const _SCANCMD_SCANPARAM& param);
    const char* Number(int64_t value);

    vdtcl::TTString<char> number_;
};

// Sends generation-1 commands over a CCmdDevAccess lent by the command
// facade. Answers handed out are shallow copies of the records kept here;
// they stay valid until the next command of the same kind or
// FreeResCmdData. One command at a time.
class CScanCmdCore_v1 {
public:
    explicit CScanCmdCore_v1(CCmdDevAccess* cmdDevAccess);
    ~CScanCmdCore_v1();
    CScanCmdCore_v1(CScanCmdCore_v1 const&) = delete;
    CScanCmdCore_v1& operator=(CScanCmdCore_v1 const&) = delete;

    // D: whether a document lies on the source.
    VSRSLT ExeDcmd(SCANCMD_PAPERSOURCE_TYPE source, CheckDocumentResult& result);
    // S: selects the paper source.
    VSRSLT ExeScmd(SCANCMD_PAPERSOURCE_TYPE source);
    // K: the settings chosen on the device panel.
    VSRSLT ExeKcmd(_SCANCMD_RESPONSE_INFO* out);
    // I: the parameters the device will apply to param.
    VSRSLT ExeIcmd(_SCANCMD_RESPONSE_INFO* out, const _SCANCMD_SCANPARAM* param);
    // P: the colour palette.
    VSRSLT ExePcmd(_SCANCMD_RESPONSE_INFO* out);
    // E: the document size detected on the source of param.
    VSRSLT ExeEcmd(_SCANCMD_RESPONSE_INFO* out, const _SCANCMD_SCANPARAM* param);
    // X: starts the scan; the page data that follows is read elsewhere.
    VSRSLT ExeXcmd(const _SCANCMD_SCANPARAM* param);
    // R: aborts the scan.
    VSRSLT ExeRcmd();
    // Frees every kept answer.
    void FreeResCmdData();

    // The document-check outcome of a D status byte.
    static CheckDocumentResult ToCheckDocumentResult(uint8_t status);

    // Time-outs of the answers, in ms.
    static constexpr long kStatusTimeoutMs = 5000;
    static constexpr long kAnswerTimeoutMs = 5000;
    static constexpr long kDocumentSizeTimeoutMs = 60000;

private:
    // Sends frame and reads a one-byte status.
    VSRSLT SendAndReceiveStatus(const std::string& frame, uint8_t& status);
    // Sends frame, reads a framed answer and copies its data into record.
    // resultBytes 0: the answer has no result byte (P).
    VSRSLT SendAndReceiveAnswer(const std::string& frame, int resultBytes, uint8_t successCode,
                                _SCANCMD_RESPONSE_INFO& record, long timeoutMs);
    // The steps shared by K, I, P and E.
    VSRSLT ExeAnswerCmd(const char* name, _SCANCMD_RESPONSE_INFO* out, _SCANCMD_RESPONSE_INFO& record,
                        const std::string& frame, int resultBytes, uint8_t successCode, long timeoutMs);
    bool HasCmdDevAccess() const;

    _SCANCMD_RESPONSE_INFO kAnswer_;
    _SCANCMD_RESPONSE_INFO iAnswer_;
    _SCANCMD_RESPONSE_INFO pAnswer_;
    _SCANCMD_RESPONSE_INFO eAnswer_;
    CCmdDevAccess* cmdDevAccess_;  // lent; never freed here
    CCmdString_v1 cmdString_;
};

}  // namespace vscore
