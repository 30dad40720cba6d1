// The command facade: the one object through which the engine sends
// commands to the selected device. It picks the generation-1 or
// generation-2 command for each operation, opens the device on demand,
// closes it after the exchanges that end one, and keeps the device scan
// parameters and the read-ahead mark for the scan commands.
#pragma once

#include <atomic>
#include <memory>

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/CheckDocumentResult.h"
#include "VexmorApi/Temp/CmdDevAccess.h"
#include "VexmorApi/Temp/ScanCmdCom.h"
#include "VexmorApi/Temp/ScanCmdQuery.h"
#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "VexmorApi/Temp/ScanCmdText_v2.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/VsResult.h"

namespace vscore {

class CScanCmdCore_v1;
class CScanCmdCore_v2;

// Result codes of the facade (besides those of the executors).
enum : VSRSLT {
    CMDERR_OPEN_FAILED = 0x40210012,           // the device cannot be opened (or no device access)
    CMDERR_NO_GENERATION = 0x10210021,         // no command generation known yet
    CMDERR_NOT_IN_GENERATION = 0x10210022,     // the operation does not exist in this generation
    CMDERR_SCAN_PARAM_NOT_SET = 0x10210024,    // scanning asked for before the scan parameters
    CMDERR_NO_DEVICE_CAP_ANSWER = 0x10210042,  // no kept Q/QDI answer to hand out
};

// One facade per selected device, made by the engine object and shared (by
// shared_ptr) with the capability cache, the scan process and the read
// preparation. No lock: callers must not issue two commands at the same time,
// as every answer is read into the one receive buffer of the command channel;
// which thread issues a command (the engine thread or the read thread) does
// not matter. Answers handed out point into memory the facade's executors
// own; they stay valid until the next command of the same kind or the
// facade's end.
class CScanCmd {
public:
    // The device access is lent by the engine object and never freed here
    // (null makes every command fail to open). The identifier is copied; a
    // text identifier keeps pointing at the caller's text.
    CScanCmd(IDeviceAccess* deviceAccess, const _DEV_IDENTIFIER& identifier);
    // Frees every kept answer, then closes the device.
    virtual ~CScanCmd();
    CScanCmd(CScanCmd const&) = delete;
    CScanCmd& operator=(CScanCmd const&) = delete;

    // Copies the device scan parameters for the I/E/X and SSP/XSC commands;
    // null forgets them and gives CMDERR_BAD_ARGUMENT.
    VSRSLT SetScanParam(const _SCANCMD_SCANPARAM* param);
    // Stores the generation when none is known; otherwise only tells whether
    // it equals the known one.
    bool SetCommandGeneration(SCANCMD_GENERATION generation);
    // True when the device answers.
    bool GetConnectionStatus();

    // query true: opens the device, sends Q and, for generation 2, QDI, and
    // learns the generation; query false: hands out the kept answer without
    // sending. info receives a shallow copy owned by this facade, valid
    // until the next query.
    VSRSLT QueryDeviceCapability(_SCANCMD_DEVICECAP_INFO* info, bool query);
    // D / CKD. The device is closed afterwards unless a non-zero bind time
    // is used.
    VSRSLT CheckDocument(SCANCMD_PAPERSOURCE_TYPE source, bool useBindTime, unsigned int bindTime,
                         CheckDocumentResult& result);
    // S; generation 2 has none.
    VSRSLT SelectPaperSource(SCANCMD_PAPERSOURCE_TYPE source);

    // The answers below are shallow copies: the data stays the executor's
    // and is replaced by the next command of the same kind.
    // K / GKP.
    VSRSLT GetPushScanParameter(_SCANCMD_RESPONSE_INFO* out);
    // I / SSP with the stored parameters (SSP also with the read-ahead mark).
    VSRSLT QueryDeviceScanParameter(_SCANCMD_RESPONSE_INFO* out);
    // P / GCT.
    VSRSLT GetPaletteTable(_SCANCMD_RESPONSE_INFO* out);
    // GCP; generation 1 has none.
    VSRSLT GetColorProfile(_SCANCMD_RESPONSE_INFO* out);
    // E (with the stored parameters) / GDS.
    VSRSLT GetDocumentSizeOnPaperSource(_SCANCMD_RESPONSE_INFO* out);
    // X / XSC with the stored parameters; clears the read-ahead mark once
    // the device is open.
    VSRSLT ExecuteScanning();
    // R / ABT; generation 1 ignores both arguments.
    VSRSLT AbortScanning(SCANCMD_EJECTION_TYPE ejection, bool finishAutoContinuousScan);
    // Marks the next SSP/XSC as a read-ahead scan.
    void SetReadAheadScan();
    // Opens the device unless it is open already.
    bool OpenDeviceIfNecessary() { return OpenDevice() == 0; }
    // The same, with the reason of a failure: the device access's own code
    // when the device is busy, absent or refused the connection (so that a
    // caller can tell a busy device from a missing one), else
    // CMDERR_OPEN_FAILED; 0 when the device is open.
    VSRSLT OpenDevice();

private:
    // The steps shared by the commands above: null record check (when
    // needsRecord), open, then the command of the known generation.
    template <class Gen1, class Gen2>
    VSRSLT RunCommand(const char* name, bool needsRecord, const void* record, Gen1 gen1, Gen2 gen2,
                      bool* opened = nullptr);
    // Q, then QDI for a generation-2 device; the result of the exchange.
    VSRSLT QueryAndLearnGeneration(_SCANCMD_DEVICECAP_INFO* info);

    _DEV_IDENTIFIER identifier_;
    SCANCMD_GENERATION generation_ = SCANCMD_GENERATION_UNKNOWN;
    _SCANCMD_SCANPARAM scanParam_;
    bool scanParamSet_ = false;
    // Set by the engine thread before a push scan, read and cleared by the
    // scan commands, which may run on the reading thread.
    std::atomic<bool> readAhead_{false};
    IDeviceAccess* deviceAccess_;  // lent; never freed here
    std::shared_ptr<CCmdDevAccess> cmdDevAccess_;
    std::unique_ptr<CScanCmdCoreQuery> query_;
    std::unique_ptr<CScanCmdCore_v1> core1_;
    std::unique_ptr<CScanCmdCore_v2> core2_;
};

}  // namespace vscore
