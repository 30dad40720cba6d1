// What the scan process sees of a scan's reading thread: start it, follow a
// page's status, take the finished page, cancel or finish the scan, and read
// the scan's result code, waiting time and colour profile.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/Thread_Base.h"
#include "VexmorApi/VexmorApiTypes.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// The answer of GetScanData. The bitmap is the caller's.
struct ScannedImageData {
    std::unique_ptr<BitmapImage> image;  // empty for no page or a blank page
    bool blank = false;
    bool terminated = false;  // the page was cut at the device's maximum length
    int32_t paperSource = 0;  // PAPERSOURCESELECT of the scan
};

// Every operation below is called on the caller's thread (the thread that
// drives the engine interface); the reading thread runs ThreadProc. Page
// numbers are the caller's, counted from 1.
class IReadThread : public CThread_Base {
public:
    ~IReadThread() override = default;

    // The facade and the device access are lent for the scan; both must
    // outlive the reading thread. May throw TraceException for a feature
    // the engine does not offer.
    virtual VSRSLT Start(VS_SCANNER_PARAMETERS parameters, std::shared_ptr<CScanCmd> commandFacade,
                         IDeviceAccess* deviceAccess, VS_SCANNER_CAPABILITY capability) = 0;
    virtual void SetPCCancelFlag() = 0;
    virtual void SetWaitingDocumentFinishFlag() = 0;
    // Sleeps the poll time, then answers.
    virtual SCANAPISTATUS GetReadStatus(uint16_t pageNo) = 0;
    virtual ScannedImageData GetScanData(uint16_t pageNo, bool isBitmap) = 0;
    virtual uint16_t GetRemainingWaitTime() = 0;
    virtual VSRSLT GetVSRSLTCode() = 0;
    // The profile's bytes stay the reading thread's.
    virtual VSRSLT GetColorProfile(void** data, int* size, int bitsPerPixel) = 0;
};

}  // namespace vscore
