// The generation-2 command-text reader (Gen2ParamCore.h) over the engine's
// device scan-parameter record, for the tests that compare what the engine
// sends with what it meant to send.
#pragma once

#include <string>

#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "tests/support/gen2_param_reader/Gen2ParamCore.h"

namespace gen2_param_reader {

// ReadScanSettings into the engine's record: fields the frame does not
// carry stay as they are; codes as listed at ReadScanSettings.
bool ReadScanParam(const Gen2Frame& frame, vscore::_SCANCMD_SCANPARAM& param, std::string* error = nullptr);

}  // namespace gen2_param_reader
