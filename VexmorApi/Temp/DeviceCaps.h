// The capability cache: asks the device once (Q, and QDI for generation 2)
// through the command facade, lets the answer parsers and the capability
// table file build the record, applies the fixed per-platform corrections,
// keeps the result and hands out copies.
#pragma once

#include <memory>
#include <string>

#include "VexmorApi/ScannerCapability.h"
#include "vdtcl/VsResult.h"

namespace vscore {

class CScanCmd;
struct _SCANCMD_DEVICECAP_INFO;

// The capability table's file name; the engine passes it as the path
// unless it was given another one.
constexpr char kCapabilityTableFileName[] = "DeviceCapability.ccf";

// Result codes of the capability cache.
enum : VSRSLT {
    CAPSERR_NOT_INITIALIZED = 0x10300001,  // no Initialize with a facade yet
    CAPSERR_NO_CAPABILITY = 0x1030000A,    // the device's answer is empty or incomplete
    CAPSERR_BAD_ARGUMENT = 0x70300002,     // null output record
};

// Shared by the engine object and the scan process. No lock of its own:
// it is used from the thread that runs the engine interface.
class CDeviceCaps {
public:
    CDeviceCaps() = default;
    // Drops the cached record.
    virtual ~CDeviceCaps();
    CDeviceCaps(CDeviceCaps const&) = delete;
    CDeviceCaps& operator=(CDeviceCaps const&) = delete;

    // Keeps the facade when not initialized yet; a second call changes
    // nothing. A null facade leaves the object not initialized and gives
    // CAPSERR_NOT_INITIALIZED.
    VSRSLT Initialize(std::shared_ptr<CScanCmd> scanCmd);
    // The same, and (only when not initialized yet) the capability table's
    // path and the model name looked up in it.
    VSRSLT Initialize(std::shared_ptr<CScanCmd> scanCmd, const std::string& capabilityTablePath,
                      const std::string& modelName);
    // Drops the cached record, the path and the model name; the next
    // GetDeviceCapability after a new Initialize asks the device again.
    VSRSLT UnInitialize();
    bool IsInitialized() const;

    // The cached record, else the one the device describes (queried,
    // parsed, overridden by the table file, corrected and cached). Nothing
    // is cached after a failure.
    VSRSLT GetDeviceCapability(VS_SCANNER_CAPABILITY* out);

    // The fixed corrections: long-paper lengths without long-paper support,
    // then the correction of the record's platform (command version).
    void FixDeviceCapability(VS_SCANNER_CAPABILITY& capability) const;
    void FixDeviceCapabilityForTARN(VS_SCANNER_CAPABILITY& capability) const;
    void FixDeviceCapabilityForKELP2(VS_SCANNER_CAPABILITY& capability) const;
    void FixDeviceCapabilityForFERN4(VS_SCANNER_CAPABILITY& capability) const;
    void FixDeviceCapabilityForRUSH(VS_SCANNER_CAPABILITY& capability) const;
    void FixDeviceCapabilityForSEDGE2(VS_SCANNER_CAPABILITY& capability) const;

    // The one model of command version 267 that keeps the power sources it
    // reports.
    static constexpr char kSedge2ModelKeepingPowerSource[] = "SCN-7P";

private:
    // Parses a successful query answer into record, with the table file's
    // overrides; false when the answer cannot make a record.
    bool BuildCapability(_SCANCMD_DEVICECAP_INFO& info, VS_SCANNER_CAPABILITY& record) const;

    std::unique_ptr<VS_SCANNER_CAPABILITY> capability_;  // absent until the first successful query
    bool initialized_ = false;
    std::shared_ptr<CScanCmd> scanCmd_;
    std::string capabilityTablePath_;
    std::string modelName_;
};

}  // namespace vscore
