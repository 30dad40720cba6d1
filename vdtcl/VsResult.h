// The 32-bit result code of every engine and device-access operation, and
// the helpers that read its three fields.
#pragma once

#include <cstdint>

typedef uint32_t VSRSLT;

namespace vdtcl {

constexpr VSRSLT kVsSuccess = 0;
// The request to cancel: a status, not a failure of a layer.
constexpr VSRSLT kVsRequestToCancel = 0x01000010;

// Kind of failure (bits 28-31): 1 state/sequence/unsupported, 2 missing
// resource, 3 memory, 4 communication, 5 device error, 7 bad argument,
// 0xA file operation, 0xC undefined.
constexpr uint32_t VsResultKind(VSRSLT code) { return code >> 28; }

// Reporting layer (bits 16-27), for example 0x050 for device access.
constexpr uint32_t VsResultLayer(VSRSLT code) { return (code >> 16) & 0xFFF; }

// Case within the layer (bits 0-15).
constexpr uint32_t VsResultCase(VSRSLT code) { return code & 0xFFFF; }

constexpr VSRSLT MakeVsResult(uint32_t kind, uint32_t layer, uint32_t caseNo)
{
    return ((kind & 0xF) << 28) | ((layer & 0xFFF) << 16) | (caseNo & 0xFFFF);
}

// Codes whose bits 20-23 are 5 come from device access and mean the
// connection to the scanner failed.
constexpr bool IsConnectionError(VSRSLT code) { return ((code >> 20) & 0xF) == 5; }

// Cancel statuses 0x010000NN.
constexpr bool IsCancelStatus(VSRSLT code) { return (code >> 24) == 0x01; }

// A non-zero result byte of a command response.
constexpr VSRSLT CommandResultByteError(uint8_t resultByte) { return 0x10240000u + resultByte; }

// An error code reported by the device itself (0xFF when unknown).
constexpr VSRSLT DeviceError(uint8_t deviceCode) { return 0x50000000u | deviceCode; }

}  // namespace vdtcl
