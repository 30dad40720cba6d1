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
class IVexmorApi {
public:
    // Runs UnInitialize first.
    virtual ~IVexmorApi() = default;

    // bundleIdentifier may be null and is only logged.
    virtual VSRSLT Initialize(const char* bundleIdentifier, bool isStiAccess) = 0;
    virtual void UnInitialize() = 0;
    virtual VSRSLT GetCommunityName(VS_SNMP_COMMUNITYNAME* names) = 0;
    virtual VSRSLT SetCommunityName(VS_SNMP_COMMUNITYNAME names) = 0;
    // The array stays the engine's, valid until the next call or destruction.
    virtual VSRSLT EnumerateDevice(_VS_DEVICE_INFO** devices, unsigned* count) = 0;
    // Only stores the selection; nothing is opened.
    virtual VSRSLT SelectDevice(_VS_SELECT_DEVICE_INFO& selection) = 0;
    virtual VSRSLT GetSelectedDevInfo(_VS_SELECT_DEVICE_INFO* selection) = 0;
    virtual bool CheckConnection() = 0;
    // Generation 1 writes a whole tagVS_SCANNER_CAPABILITY_VER1 into record.
    virtual VSRSLT QueryDeviceCapabilities(unsigned apiGeneration, void* record) = 0;
    virtual VSRSLT GetIccProfile(void** data, int* size) = 0;
    // record must hold the 164 bytes of a PushScanKeyInfo.
    virtual VSRSLT GetPushScanParameter(unsigned apiGeneration, void* record) = 0;
    virtual AdfState QueryAdfState() = 0;
    virtual AdfState QueryAdfState(unsigned bindTime) = 0;
    virtual VSRSLT StartScanning(VS_SCANNER_PARAMETERS* parameters) = 0;
    // The pixels stay the engine's until FreeImageData(*pageNumber).
    virtual VSRSLT ReadImageData(tagVS_SCAN_IMAGEDATA* image, int* pageNumber) = 0;
    virtual bool AbortScanning() = 0;
    virtual bool FinishAutoContinuousScan() = 0;
    virtual void FreeImageData(int pageNumber) = 0;
    virtual SCANAPISTATUS GetScanStatus() = 0;
    virtual unsigned short GetRemainingWaitTime() = 0;
    virtual VSRSLT GetBarcodeResult(BARCODE_OUTPUT* result, unsigned short pageNumber) = 0;
    virtual VSRSLT GetPatchcodeResult(PATCHCODE_TYPE* result, unsigned short pageNumber) = 0;
    virtual int GetCurrentReceivedLines(int pageNumber) = 0;
    virtual ScanBitmapImageInfo GetScanBitmapImageInfo() = 0;
};

}  // namespace vscore

// The engine library's export CreateInstance (C linkage, no arguments): a new
// engine object owned by the caller.
typedef vscore::IVexmorApi* (*PFN_CreateVexmorApi)();
