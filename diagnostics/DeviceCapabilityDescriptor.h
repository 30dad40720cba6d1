// Names of the capability record's own enumerations; the record's text dump
// (VS_SCANNER_CAPABILITY::GetDescription) is built beside them.
#pragma once

#include <string>

#include "VexmorApi/ScannerCapability.h"

namespace vscore {

// Static operations only, stateless (any thread); each returns a new
// string, and a value without a name prints "Unknown".
class DeviceCapabilityEnumDescriptor {
public:
    static std::string GetScanCmdGenerationString(SCANCMD_GENERATION value);
    static std::string GetMarginAdjustmentDirectionString(MARGINADJUSTMENTDIRECTION value);
    static std::string GetDocumentRotateString(DOCUMENTROTATE value);
    static std::string GetTapeColorString(TAPECOLOR value);
    static std::string GetDocumentOrientationString(DOCUMENTORIENTATION value);
    static std::string GetCornerInfoProtocolSystemString(CORNERINFO_PROTOCOLSYSTEM value);
    static std::string GetAutoCropTypeString(AUTOCROPTYPE value);
    static std::string GetCarrierSheetOffsetSystemString(CARRIERSHEETOFFSETSYSTEM value);
};

}  // namespace vscore
