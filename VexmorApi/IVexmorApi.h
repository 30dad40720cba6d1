// The engine interface: the one object the engine library hands out, through
// its exported CreateInstance, to the SANE backend. The backend is built
// separately, so the order of the virtual operations below is part of the
// contract and must not change.
#pragma once

#include "VexmorApi/VexmorApiTypes.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Never filled by the engine; its layout is not part of the contract.
struct BARCODE_OUTPUT;

// Calling order the engine expects: Initialize; SelectDevice; CheckConnection
// and QueryDeviceCapabilities; optionally GetPushScanParameter and
// QueryAdfState; StartScanning; GetScanStatus polls with ReadImageData and
// FreeImageData until ALLEND; UnInitialize. AbortScanning and
// FinishAutoContinuousScan may come from another thread during a scan.
// Records passed in are copied and stay the caller's.
//
// Threads: every operation may be called from any thread, also while
// another one runs (the backend drives the object from its main thread and,
// during a scan, polls, reads and frees pages from its reader thread).
// Nothing is called back. Only the destructor needs every other call to
// have ended.
//
// The device serves one command at a time: SelectDevice, CheckConnection,
// QueryDeviceCapabilities, GetPushScanParameter, QueryAdfState and
// StartScanning first end a scan whose reading thread still runs (one the
// caller gave up without reading it to its end): it is cancelled and
// joined, which blocks until the device acknowledges the cancel or the
// engine gives up on it (10 s), and the pages it held are dropped.
//
// Result codes: 0 is success. No exception leaves an operation: an
// allocation failure gives APIERR_OUT_OF_MEMORY, an engine exception the
// code of its type (Exception::GetVSRSLT), any other exception
// APIERR_UNKNOWN_EXCEPTION (the APIERR_* codes are declared with the
// engine object, Vexmor.h); an operation without a code answers false,
// STANDBY, 0 or nothing instead. Codes of the layers below pass through
// unchanged: the capability cache's CAPSERR_*, the command layer's CMDERR_*,
// a command the device refused (0x1024NNNN with its result byte), the
// device access's DEVACS_*, the scan process's SCANPROC_*, the read
// preparation's READPREP_* and the reading thread's READTHREAD_*.
class IVexmorApi {
public:
    // Runs UnInitialize first. No other call may be under way or follow;
    // the object goes before its library is unloaded.
    virtual ~IVexmorApi() = default;

    // Clears the selection and makes the device access (loading the
    // device-access library on first need). bundleIdentifier may be null
    // and is only logged. 0, or APIERR_NO_DEVICE_ACCESS when the library
    // cannot be loaded or makes no object.
    virtual VSRSLT Initialize(const char* bundleIdentifier, bool isStiAccess) = 0;
    // Ends a running scan (cancel and join), waits until no other call uses
    // the engine's parts, drops them and frees the device access: every page
    // still held and every pointer handed out but the device list's becomes
    // invalid. The selection stays. Blocks until the reading thread has
    // ended.
    virtual void UnInitialize() = 0;
    // Copies the network transport's two SNMP community names into the
    // caller's *names, NUL-terminated. APIERR_NULL_ARGUMENT,
    // APIERR_NO_DEVICE_ACCESS, or the device access's DEVACS_* code.
    virtual VSRSLT GetCommunityName(VS_SNMP_COMMUNITYNAME* names) = 0;
    // Sets them, each text cut before its buffer's last byte.
    // APIERR_NO_DEVICE_ACCESS, or the device access's DEVACS_* code.
    virtual VSRSLT SetCommunityName(VS_SNMP_COMMUNITYNAME names) = 0;
    // The devices the device access finds, USB devices first. The array
    // stays the engine's, valid until the next EnumerateDevice or
    // destruction; null with *count 0 for none. APIERR_NOT_INITIALIZED,
    // APIERR_NULL_ARGUMENT, else the enumeration's own DEVACS_* code (the
    // devices it did list are handed out also then).
    virtual VSRSLT EnumerateDevice(_VS_DEVICE_INFO** devices, unsigned* count) = 0;
    // Only stores the selection (texts cut before their buffers' last
    // byte); nothing is opened. Another device while the current one is
    // idle drops the parts made for the current one. APIERR_BAD_SELECTION
    // for a selection that names no device; APIERR_NOT_PREPARED while a
    // scan runs or a page is held, nothing changed. In the replay mock's
    // mode every selection is stored.
    virtual VSRSLT SelectDevice(_VS_SELECT_DEVICE_INFO& selection) = 0;
    // Copies the stored selection (zeroed by Initialize) into the caller's
    // record. APIERR_NULL_ARGUMENT.
    virtual VSRSLT GetSelectedDevInfo(_VS_SELECT_DEVICE_INFO* selection) = 0;
    // Whether the selected device answers the device access's connection
    // check; false also without a device access or a usable selection.
    // Blocks for the check.
    virtual bool CheckConnection() = 0;
    // Asks the device once (Q, and QDI for generation 2) and caches the record;
    // later calls answer from the cache. Generation 1 writes a whole
    // tagVS_SCANNER_CAPABILITY_VER1 into record (the caller's); any other
    // generation writes nothing. Blocks while the device answers.
    // APIERR_NOT_PREPARED before Initialize, APIERR_NO_COMMAND_FACADE when the
    // selection names no device, APIERR_CAPABILITY_UNAVAILABLE for a null
    // record of generation 1, else the cache's and the command layer's codes.
    virtual VSRSLT QueryDeviceCapabilities(unsigned apiGeneration, void* record) = 0;
    // The current scan's colour profile for the depth of the page last read.
    // The bytes stay the engine's, valid until the next StartScanning,
    // SelectDevice of another device, UnInitialize or destruction. Waits for
    // the device at most one receive try. APIERR_NULL_ARGUMENT,
    // APIERR_NO_SCAN_PROCESS before GetPushScanParameter or StartScanning made
    // the scan process, SCANPROC_NOT_SCANNING before the first scan,
    // READPREP_NO_PROFILE when the device sent none,
    // READPREP_PROFILE_UNAVAILABLE for generation 1, READPREP_NO_COMMAND_OBJECT
    // when the last scan failed to start.
    virtual VSRSLT GetIccProfile(void** data, int* size) = 0;
    // The device's push-scan settings (K / GKP); record, the caller's, must
    // hold the 164 bytes of a PushScanKeyInfo. A start timing that asks for
    // read-ahead scanning makes the next scan one. Blocks while the device
    // answers. APIERR_NULL_ARGUMENT, APIERR_NOT_INITIALIZED (record zeroed),
    // APIERR_NOT_PREPARED when the parts cannot be prepared,
    // APIERR_GENERATION_MISMATCH, else the cache's and the command layer's
    // codes.
    virtual VSRSLT GetPushScanParameter(unsigned apiGeneration, void* record) = 0;
    // Whether paper lies in the feeder (D / CKD); the device is closed
    // afterwards. Blocks while the device answers. AdfNotChecked when the
    // device cannot be asked or the command fails.
    virtual AdfState QueryAdfState() = 0;
    // The same with the device's bind time (sent by generation 2); a
    // non-zero bindTime leaves the device open.
    virtual AdfState QueryAdfState(unsigned bindTime) = 0;
    // Starts a scan with *parameters: prepares the parts, ends and destroys
    // the previous scan's reading thread (blocking until it has ended) and
    // starts a new one; page numbers start again at 1. APIERR_NULL_ARGUMENT,
    // APIERR_NOT_INITIALIZED, APIERR_NOT_PREPARED, the cache's codes,
    // SCANPROC_START_REFUSED while a scan runs, SCANPROC_UNKNOWN_GENERATION,
    // the reading thread's READTHREAD_* refusals, or the engine exception's
    // code for a page function the engine does not offer.
    virtual VSRSLT StartScanning(VS_SCANNER_PARAMETERS* parameters) = 0;
    // Takes the next page in reading order into *image and sets *pageNumber (1,
    // 2, ... per scan). The pixels stay the engine's until
    // FreeImageData(*pageNumber), the page of that number of a later scan,
    // UnInitialize or destruction. A blank page sets only isBlankPage. Asked
    // before the page is ready (XFERREADY), it answers 0 with *image untouched,
    // and the next call asks for the same page. APIERR_NULL_ARGUMENT,
    // APIERR_NO_SCAN_PROCESS, SCANPROC_NOT_SCANNING while no scan runs or after
    // a newer scan replaced this one, else the scan's failure, which ends the
    // scan: a cancel (SCANERR_CANCELED_*), a device error (0x500000NN), a lost
    // connection (DEVACS_*), a page that could not be processed (its engine
    // exception's code) or a READTHREAD_* code.
    virtual VSRSLT ReadImageData(tagVS_SCAN_IMAGEDATA* image, int* pageNumber) = 0;
    // The application's cancel: recorded; the abort command goes to the
    // device from the reading thread at its next receive try, or for an
    // outside device at once from this thread when the device is free. A
    // scan still preparing the device ends without its scan command. Calls
    // under way on other threads that wait for the device (CheckConnection,
    // QueryDeviceCapabilities, GetPushScanParameter, QueryAdfState,
    // StartScanning) are given up: once the acknowledgement time-out has
    // passed, their waits are broken off and they fail.
    // From then on no page the scan holds is handed out: GetScanStatus
    // reports RECEIVING until the device has stopped (or the engine gave up
    // on its acknowledgement), then the held pages are dropped together and
    // it reports XFERREADY for the cancel's code, or ALLEND when the device
    // had sent every page before it could be stopped. Never waits for the
    // device's I/O; meant for another thread than the one reading. True, or
    // false when the scan process never had a scan.
    virtual bool AbortScanning() = 0;
    // Ends an automatic continuous scan's wait for the next document, as
    // AbortScanning does a scan.
    virtual bool FinishAutoContinuousScan() = 0;
    // Releases the page's record and pixels; an unknown number (also one
    // outside 1..65535) changes nothing.
    virtual void FreeImageData(int pageNumber) = 0;
    // The status of the next page to read: STANDBY before any scan,
    // WAITINGNEXTPAGE, RECEIVING, WAITINGDOCUMENTINSERTION, XFERREADY when
    // ReadImageData has the page (or the scan's failure) for it, ALLEND once
    // the scan is over. Sleeps 100 ms (the status poll time) on every call
    // once a scan was started, which paces the caller's polling; at ALLEND
    // it also ends (joins) the reading thread and blocks until it has ended.
    virtual SCANAPISTATUS GetScanStatus() = 0;
    // Seconds the device still waits for a document in an automatic
    // continuous scan; 0 without a scan. Never blocks.
    virtual unsigned short GetRemainingWaitTime() = 0;
    // Nothing detects bar codes or patch codes: 0, nothing written.
    virtual VSRSLT GetBarcodeResult(BARCODE_OUTPUT* result, unsigned short pageNumber) = 0;
    virtual VSRSLT GetPatchcodeResult(PATCHCODE_TYPE* result, unsigned short pageNumber) = 0;
    // Nothing counts received lines: 0.
    virtual int GetCurrentReceivedLines(int pageNumber) = 0;
    // The bitmap the latest StartScanning asks for, by value; all zero before
    // GetPushScanParameter or StartScanning made the scan process.
    virtual ScanBitmapImageInfo GetScanBitmapImageInfo() = 0;
};

}  // namespace vscore

// The engine library's export CreateInstance (C linkage, no arguments): a new
// engine object owned by the caller.
typedef vscore::IVexmorApi* (*PFN_CreateVexmorApi)();
