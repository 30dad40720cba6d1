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

// The scan process calls every operation below on the threads that drive
// the engine interface, possibly several at once (a cancel from one thread
// while another asks for a page); Start only before any other thread can
// reach the object. The reading thread runs ThreadProc. Page numbers are
// the caller's, counted from 1.
class IReadThread : public CThread_Base {
public:
    ~IReadThread() override = default;

    // Prepares and starts the scan's reading thread: 0, or the refusal
    // (READTHREAD_*). The facade and the device access are lent for the
    // scan; both must outlive the reading thread. May throw TraceException
    // for a feature the engine does not offer.
    virtual VSRSLT Start(VS_SCANNER_PARAMETERS parameters, std::shared_ptr<CScanCmd> commandFacade,
                         IDeviceAccess* deviceAccess, VS_SCANNER_CAPABILITY capability) = 0;
    // The application's cancel, and its end of an automatic continuous
    // scan's wait for a document: recorded; an outside device
    // (VS_SCANNER_CAPABILITY::IsOutsideDevice) whose receive loop runs gets
    // the command at once from the calling thread when no device I/O is
    // under way, otherwise the reading thread sends it at its next receive
    // try. Never wait for the device's I/O; any thread.
    virtual void SetPCCancelFlag() = 0;
    virtual void SetWaitingDocumentFinishFlag() = 0;
    // Sleeps the poll time, then answers. Any thread.
    virtual SCANAPISTATUS GetReadStatus(uint16_t pageNo) = 0;
    // The finished page pageNo: its bitmap passes to the caller. Neither
    // image nor blank while the page is not finished or failed. isBitmap is
    // only logged. Any thread.
    virtual ScannedImageData GetScanData(uint16_t pageNo, bool isBitmap) = 0;
    // Seconds the device still waits for a document; 0 when it waits for
    // none. Any thread.
    virtual uint16_t GetRemainingWaitTime() = 0;
    // The scan's result: 0, the status recorded, or the device's error as
    // the generation's code. Any thread.
    virtual VSRSLT GetVSRSLTCode() = 0;
    // The profile's bytes stay the reading thread's, valid until its
    // destruction. Any thread.
    virtual VSRSLT GetColorProfile(void** data, int* size, int bitsPerPixel) = 0;
};

}  // namespace vscore
