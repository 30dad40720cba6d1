// Generation-1 command texts and their executor. D and S are answered by
// one status byte; K, I and E by a result byte, a 2-byte length and text;
// P by a 2-byte length and the palette; X and R get no answer here.
#include "VexmorApi/Temp/ScanCmdExe_v1.h"

#include <iterator>

#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

const std::string kKcmdFrame(
    "\x1B"
    "K\n\x80",
    4);
const std::string kPcmdFrame(
    "\x1B"
    "P\n\x80",
    4);
const std::string kRcmdFrame(
    "\x1B"
    "R\n\x80",
    4);

constexpr uint8_t kStatusOk = 0x80;
constexpr uint8_t kKSuccess = 0x30;  // "0"
constexpr uint8_t kSuccess = 0x00;

const CCmdString_v1::Line kIcmdLines[] = {CCmdString_v1::R, CCmdString_v1::M, CCmdString_v1::D, CCmdString_v1::S};
const CCmdString_v1::Line kEcmdLines[] = {CCmdString_v1::R, CCmdString_v1::M};
const CCmdString_v1::Line kXcmdLines[] = {CCmdString_v1::R, CCmdString_v1::M, CCmdString_v1::C, CCmdString_v1::J,
                                          CCmdString_v1::B, CCmdString_v1::N, CCmdString_v1::A, CCmdString_v1::D,
                                          CCmdString_v1::S, CCmdString_v1::P, CCmdString_v1::E, CCmdString_v1::G,
                                          CCmdString_v1::L};

const char* SourceWord(SCANCMD_PAPERSOURCE_TYPE source)
{
    switch (source) {
    case SCANCMD_PAPERSOURCE_ADF:
        return "ADF";
    case SCANCMD_PAPERSOURCE_FB:
        return "FB";
    default:
        return "AUTO";
    }
}

std::string Frame(const char* letter, const std::string& lines)
{
    std::string frame("\x1B");
    frame += letter;
    frame += '\n';
    frame += lines;
    frame += '\x80';
    return frame;
}

}  // namespace

// ---------------------------------------------------------------------------
// Command texts.

std::string CCmdString_v1::MakeDcmdString(SCANCMD_PAPERSOURCE_TYPE source)
{
    return MakeSourceCommand("MakeDcmdString", "D", source);
}

std::string CCmdString_v1::MakeScmdString(SCANCMD_PAPERSOURCE_TYPE source)
{
    return MakeSourceCommand("MakeScmdString", "S", source);
}

std::string CCmdString_v1::MakeIcmdString(const _SCANCMD_SCANPARAM* param)
{
    return MakeParamCommand("MakeIcmdString", "I", param, kIcmdLines, std::size(kIcmdLines));
}

std::string CCmdString_v1::MakeEcmdString(const _SCANCMD_SCANPARAM* param)
{
    return MakeParamCommand("MakeEcmdString", "E", param, kEcmdLines, std::size(kEcmdLines));
}

std::string CCmdString_v1::MakeXcmdString(const _SCANCMD_SCANPARAM* param)
{
    return MakeParamCommand("MakeXcmdString", "X", param, kXcmdLines, std::size(kXcmdLines));
}

std::string CCmdString_v1::MakeSourceCommand(const char* name, const char* letter, SCANCMD_PAPERSOURCE_TYPE source)
{
    TraceScope trace(g_ScanDevApiLog, 2, name);
    std::string const frame = Frame(letter, std::string(SourceWord(source)) + "\n");
    g_ScanDevApiLog.WriteLog(1, "%s Command:\r\n%s", letter, frame.c_str());
    return frame;
}

std::string CCmdString_v1::MakeParamCommand(const char* name, const char* letter, const _SCANCMD_SCANPARAM* param,
                                            const Line* lines, size_t count)
{
    TraceScope trace(g_ScanDevApiLog, 2, name);
    std::string frame;
    if (param != nullptr) {
        std::string text;
        for (size_t i = 0; i < count; ++i) {
            AppendLine(text, lines[i], *param);
        }
        frame = Frame(letter, text);
    }
    g_ScanDevApiLog.WriteLog(1, "%s Command:\r\n%s", letter, frame.c_str());
    return frame;
}

void CCmdString_v1::AppendLine(std::string& text, Line line, const _SCANCMD_SCANPARAM& p)
{
    switch (line) {
    case R:
        text += "R=";
        text += Number(p.resolution.x);
        text += ',';
        text += Number(p.resolution.y);
        break;
    case M:
        text += "M=";
        switch (p.colorType) {
        case SCANCMD_COLOR_TEXT:
            text += "TEXT";
            break;
        case SCANCMD_COLOR_ERRDIF:
            text += "ERRDIF";
            break;
        case SCANCMD_COLOR_GRAY256:
            text += "GRAY256";
            break;
        case SCANCMD_COLOR_C256:
            text += "C256";
            break;
        default:
            text += "CGRAY";
            break;
        }
        break;
    case C:
        text += "C=";
        text += p.compression == SCANCMD_COMPRESSION_RLENGTH ? "RLENGTH"
                : p.compression == SCANCMD_COMPRESSION_JPEG  ? "JPEG"
                                                             : "NONE";
        break;
    case J:
        text += "J=";
        text += p.compression == SCANCMD_COMPRESSION_JPEG && p.jpegRate == 0 ? "MIN" : "MID";
        break;
    case B:
        text += "B=";
        text += Number(int64_t{p.brightness} + 50);
        break;
    case N:
        text += "N=";
        text += Number(int64_t{p.contrast} + 50);
        break;
    case A:
        // The corners of the area, whatever its type; the sums are 32-bit.
        text += "A=";
        text += Number(p.scanArea.x);
        text += ',';
        text += Number(p.scanArea.y);
        text += ',';
        text += Number(static_cast<uint32_t>(p.scanArea.x + p.scanArea.width));
        text += ',';
        text += Number(static_cast<uint32_t>(p.scanArea.y + p.scanArea.height));
        break;
    case D:
        text += p.duplexScan.duplex ? "D=DUP" : "D=SIN";
        break;
    case S:
        text += "S=";
        if (p.autoDeskew) {
            text += "SKEW_ADJUST";
        } else if (p.scanArea.type == SCANCMD_SCAN_AREA_CORNER) {
            text += "CORNER_SCAN";
        } else if (p.scanArea.type == SCANCMD_SCAN_AREA_ATDSKW) {
            text += "AUTO_SIZE_SCAN";
        } else if (p.specialScanType == SCANCMD_SPECIAL_SCAN_EDGEPRE) {
            text += "EDGE_SCAN";
        } else if (p.specialScanType == SCANCMD_SPECIAL_SCAN_ORIGINAL) {
            text += "ORIGINAL_SCAN";
        } else {
            text += "NORMAL_SCAN";
        }
        break;
    case P:
        text += p.scanPage == 1 ? "P=1" : "P=0";
        break;
    case E:
        text += "E=";
        text += Number((p.doubleFeedDetection.on ? 1 : 0) + (p.landscapeMode ? 2 : 0));
        break;
    case G:
        text += p.groundColorRemoval.on ? "G=1" : "G=0";
        break;
    case L:
        text += "L=";
        text += Number(p.groundColorRemoval.level);
        break;
    }
    text += '\n';
}

const char* CCmdString_v1::Number(int64_t value)
{
    number_.Format("%lld", static_cast<long long>(value));
    return number_.C_str();
}

// ---------------------------------------------------------------------------
// Executor.

CScanCmdCore_v1::CScanCmdCore_v1(CCmdDevAccess* cmdDevAccess) : cmdDevAccess_(cmdDevAccess) {}

CScanCmdCore_v1::~CScanCmdCore_v1() { FreeResCmdData(); }

VSRSLT CScanCmdCore_v1::ExeDcmd(SCANCMD_PAPERSOURCE_TYPE source, CheckDocumentResult& result)
{
    static char const kFunc[] = "ExeDcmd";
    result = CHECKDOCUMENT_FAILED;
    VSRSLT ret = CMDERR_NO_DEVICE_ACCESS;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, kFunc, ret);
    if (HasCmdDevAccess()) {
        uint8_t status = 0;
        ret = SendAndReceiveStatus(cmdString_.MakeDcmdString(source), status);
        if (ret == 0) {
            result = ToCheckDocumentResult(status);
        }
    }
    return ret;
}

VSRSLT CScanCmdCore_v1::ExeScmd(SCANCMD_PAPERSOURCE_TYPE source)
{
    static char const kFunc[] = "ExeScmd";
    VSRSLT ret = CMDERR_NO_DEVICE_ACCESS;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, kFunc, ret);
    if (HasCmdDevAccess()) {
        uint8_t status = 0;
        ret = SendAndReceiveStatus(cmdString_.MakeScmdString(source), status);
        if (ret == 0 && status != kStatusOk) {
            ret = vdtcl::CommandResultByteError(status);
        }
    }
    return ret;
}

VSRSLT CScanCmdCore_v1::ExeKcmd(_SCANCMD_RESPONSE_INFO* out)
{
    return ExeAnswerCmd("ExeKcmd", out, kAnswer_, kKcmdFrame, 1, kKSuccess, kAnswerTimeoutMs);
}

VSRSLT CScanCmdCore_v1::ExeIcmd(_SCANCMD_RESPONSE_INFO* out, const _SCANCMD_SCANPARAM* param)
{
    std::string const frame = param != nullptr ? cmdString_.MakeIcmdString(param) : std::string();
    return ExeAnswerCmd("ExeIcmd", param != nullptr ? out : nullptr, iAnswer_, frame, 1, kSuccess, kAnswerTimeoutMs);
}

VSRSLT CScanCmdCore_v1::ExePcmd(_SCANCMD_RESPONSE_INFO* out)
{
    return ExeAnswerCmd("ExePcmd", out, pAnswer_, kPcmdFrame, 0, kSuccess, kAnswerTimeoutMs);
}

VSRSLT CScanCmdCore_v1::ExeEcmd(_SCANCMD_RESPONSE_INFO* out, const _SCANCMD_SCANPARAM* param)
{
    std::string const frame = param != nullptr ? cmdString_.MakeEcmdString(param) : std::string();
    return ExeAnswerCmd("ExeEcmd", param != nullptr ? out : nullptr, eAnswer_, frame, 1, kSuccess,
                        kDocumentSizeTimeoutMs);
}

VSRSLT CScanCmdCore_v1::ExeXcmd(const _SCANCMD_SCANPARAM* param)
{
    static char const kFunc[] = "ExeXcmd";
    VSRSLT ret = CMDERR_NO_DEVICE_ACCESS;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, kFunc, ret);
    if (HasCmdDevAccess()) {
        std::string const frame = cmdString_.MakeXcmdString(param);
        ret = frame.empty() ? CMDERR_EMPTY_COMMAND
                            : cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
    }
    return ret;
}

VSRSLT CScanCmdCore_v1::ExeRcmd()
{
    static char const kFunc[] = "ExeRcmd";
    VSRSLT ret = CMDERR_NO_DEVICE_ACCESS;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, kFunc, ret);
    if (HasCmdDevAccess()) {
        ret = cmdDevAccess_->SendCommand(kRcmdFrame.data(), static_cast<int>(kRcmdFrame.size()));
    }
    return ret;
}

void CScanCmdCore_v1::FreeResCmdData()
{
    CScanCmdCom com;
    com.FreeCmdResponseData(kAnswer_);
    com.FreeCmdResponseData(iAnswer_);
    com.FreeCmdResponseData(pAnswer_);
    com.FreeCmdResponseData(eAnswer_);
}

CheckDocumentResult CScanCmdCore_v1::ToCheckDocumentResult(uint8_t status)
{
    switch (status) {
    case 0x80:
        return CHECKDOCUMENT_PRESENT;
    case 0xD0:
        return CHECKDOCUMENT_NEITHER;
    case 0xC2:
    case 0xEE:
        return CHECKDOCUMENT_NO_DOCUMENT;
    default:
        return CHECKDOCUMENT_FAILED;
    }
}

VSRSLT CScanCmdCore_v1::ExeAnswerCmd(const char* name, _SCANCMD_RESPONSE_INFO* out, _SCANCMD_RESPONSE_INFO& record,
                                     const std::string& frame, int resultBytes, uint8_t successCode, long timeoutMs)
{
    VSRSLT ret = CMDERR_BAD_ARGUMENT;
    ResultTrace<VSRSLT> trace(g_ScanDevApiLog, 2, name, ret);
    if (!HasCmdDevAccess()) {
        ret = CMDERR_NO_DEVICE_ACCESS;
    } else if (out != nullptr) {
        CScanCmdCom().FreeCmdResponseData(record);
        ret = frame.empty() ? CMDERR_EMPTY_COMMAND
                            : SendAndReceiveAnswer(frame, resultBytes, successCode, record, timeoutMs);
        *out = record;
    }
    return ret;
}

VSRSLT CScanCmdCore_v1::SendAndReceiveStatus(const std::string& frame, uint8_t& status)
{
    VSRSLT ret = cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
    if (ret == 0) {
        unsigned char byte = 0;
        ret = cmdDevAccess_->RecvCmdResult(nullptr, &byte, kStatusTimeoutMs);
        if (ret == 0) {
            status = byte;
            g_ScanDevApiLog.WriteLog(1, "Return result from device: Status Code = 0x%02X", byte);
        }
    }
    return ret;
}

VSRSLT CScanCmdCore_v1::SendAndReceiveAnswer(const std::string& frame, int resultBytes, uint8_t successCode,
                                             _SCANCMD_RESPONSE_INFO& record, long timeoutMs)
{
    VSRSLT ret = cmdDevAccess_->SendCommand(frame.data(), static_cast<int>(frame.size()));
    if (ret != 0) {
        return ret;
    }
    CMDRESINFO info;
    info.resultBytes = resultBytes;
    info.signatureBytes = 0;
    info.lengthBytes = 2;
    info.successCode = successCode;
    ret = cmdDevAccess_->RecvCmdResponse(info, timeoutMs, false);
    if (ret == 0 && resultBytes > 0 && info.resultCode != successCode) {
        g_ScanDevApiLog.WriteLog(1, "Error: Return error result from device. Result Code = 0x%02X", info.resultCode);
        ret = vdtcl::CommandResultByteError(info.resultCode);
    }
    if (ret == 0) {
        ret = CScanCmdCom().CopyCmdResDataFromRxBuff(info.data, info.dataLength, record);
    }
    return ret;
}

bool CScanCmdCore_v1::HasCmdDevAccess() const
{
    if (cmdDevAccess_ == nullptr) {
        g_ScanDevApiLog.WriteLog(1, "Error: CCmdDevAccess instance does not exist.");
        return false;
    }
    return true;
}

}  // namespace vscore
