// The generation-independent answer front: picks the parser of a command
// generation, hands it a copied device answer and returns the engine record
// it makes. Made on the stack for one parse; owns its two parsers only.
#pragma once

#include <memory>

#include "VexmorApi/Temp/IParseCmdRes.h"
#include "VexmorApi/Temp/ParseCmdRes_v1.h"
#include "VexmorApi/Temp/ParseCmdRes_v2.h"
#include "VexmorApi/Temp/ScanCmdCom.h"
#include "VexmorApi/Temp/ScanCmdQuery.h"

namespace vscore {

class CScanCmdRes {
public:
    // The parser of a generation; null for any generation but 1 and 2. The
    // parser stays this object's.
    IParseCmdRes* GetParseCmdRes(SCANCMD_GENERATION generation);
    // The generation of a query answer, 0 without one.
    int GetProtocolVersion(_SCANCMD_DEVICECAP_INFO* info);

    // Every operation below starts from an all-zero result and returns it
    // unchanged when no parser applies or the answer cannot be used; the
    // answers are only read.

    // The capability record of a query answer; cmdGeneration is always the
    // answer's generation (0 without an answer).
    VS_SCANNER_CAPABILITY ParseDeviceInfoData(_SCANCMD_DEVICECAP_INFO* info,
                                              std::unique_ptr<ExternalCapability> overrides);
    // The push-scan settings, by the capability's generation.
    PushScanKeyInfo ParseDeviceKeyInfoData(_SCANCMD_RESPONSE_INFO* info, const VS_SCANNER_CAPABILITY& capability);
    COLORPALETTEINFO ParseColorPaletteData(unsigned char* data, long length, const VS_SCANNER_CAPABILITY& capability);
    ACTUALSCANPARAM ParseActualParameterData(_SCANCMD_RESPONSE_INFO* info, const VS_SCANNER_CAPABILITY& capability);
    _GCPCMDRESPONSE ParsePDFaColorProfileData(unsigned char* data, long length,
                                              const VS_SCANNER_CAPABILITY& capability);
    // The detected paper, by the generation caps reports (any type with
    // GetCmdGeneration() const). A generation-1 device reports no source,
    // type or orientation: the source is the one actual names, the type the
    // device maximum. The unit is not used.
    template <class Caps>
    DETECTEDPAPERINFO ParsePaperSizeDetectedData(_SCANCMD_RESPONSE_INFO* info, ACTUALSCANPARAM actual,
                                                 UNITTYPE /*unit*/, const Caps& caps)
    {
        return ParsePaperSizeDetected(info, actual, caps.GetCmdGeneration());
    }

    // A business card 90 x 60 becomes 60 x 90 on a document scanner whose
    // feeder takes cards upright.
    static void ChangeBusinessCardTypeIfNeeded(const VS_SCANNER_CAPABILITY& capability, SKEYINFO_PAPERTYPE& paperType);

    // Whether the answer of the latest Parse... call was complete: for
    // generation 2 it ended with the end record, for generation 1 it had
    // data. False when no parser applied. A caller that caches records uses
    // this to refuse an incomplete answer instead of keeping zeros.
    bool IsAnswerComplete() const { return lastComplete_; }

private:
    DETECTEDPAPERINFO ParsePaperSizeDetected(_SCANCMD_RESPONSE_INFO* info, const ACTUALSCANPARAM& actual,
                                             SCANCMD_GENERATION generation);

    CParseCmdRes_v1 parser1_;
    CParseCmdRes_v2 parser2_;
    bool lastComplete_ = false;
};

}  // namespace vscore
