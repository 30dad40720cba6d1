// The scans of the engine: chooses and owns the reading thread of each
// scan, asks it for the pages in reading order, turns every finished bitmap
// into the public page record and keeps the record and its pixels until the
// caller frees the page.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>

#include "VexmorApi/Bytes/Bytes.h"
#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/DeviceCaps.h"
#include "VexmorApi/Temp/IReadThread.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Utilities/EngineTimings.h"
#include "VexmorApi/VexmorApiTypes.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/VsResult.h"

namespace vscore {

struct BARCODE_OUTPUT;

// Result codes of the scan process.
enum : VSRSLT {
    // Not initialised, or a scan already running.
    SCANPROC_START_REFUSED = 0x10100001,
    SCANPROC_CAPS_NOT_INITIALIZED = 0x10100008,
    // No scan running (or no command facade for a new one, or no reading
    // thread to ask).
    SCANPROC_NOT_SCANNING = 0x1010000D,
    // A protocol generation without a reading thread.
    SCANPROC_UNKNOWN_GENERATION = 0x1010000E,
    SCANPROC_NO_CAPS = 0x30100007,
    // One page of the request is an image larger than a byte container
    // holds (4 GiB): refused before anything is sent to the device.
    SCANPROC_PAGE_TOO_LARGE = 0x30100014,
    SCANPROC_NO_DEVICE_ACCESS = 0x70100003,
    SCANPROC_NO_COMMAND_FACADE = 0x70100004,
    SCANPROC_NULL_ARGUMENT = 0x7010000A,
};

// One bar code found on a page; owns its data block (array delete). Nothing
// fills them yet: the scan process only releases them.
struct BARCODE_INFO {
    BARCODE_TYPE type;
    uint8_t* data;
    uint32_t length;
};

// Threads: the engine object calls every operation from the thread that
// drives the engine interface, and during a scan ReadImageData,
// FreeImageData and GetReadStatus from the backend's reader thread while
// AbortScan, FinishWaitingDocument or a new Initialize and StartScan may
// come from another. Every operation may therefore be called from any
// thread at the same time as the others. One mutex (m_mutex) guards the
// page maps, the page counters, the scan parameters, the device access and
// the reading-thread pointer; it is never held while a reading thread is
// asked anything (its status query sleeps) or joined. Each operation works
// on the reading thread it found when it began, which stays alive for it
// even when a new scan replaces it meanwhile; a page of a replaced scan is
// never delivered.
//
// Ownership: the command facade and the capability cache are only checked;
// the device access is lent by the engine object and must outlive this
// object, whose reading thread closes the scanner when it ends.
class CScanProcess {
public:
    // Makes the reading thread for a protocol generation; null for a
    // generation without one. The seam of the tests and of the engine
    // object's replay mode; by default CReadThread_v1 or _v2 with this
    // object's timings.
    using ReadThreadFactory = std::function<std::unique_ptr<IReadThread>(SCANCMD_GENERATION generation)>;

    explicit CScanProcess(const EngineTimings& timings = EngineTimings());
    // UnInitialize, then the members go: the reading thread first (asked to
    // cancel, joined, its page processes waited for), then the pages.
    ~CScanProcess();
    CScanProcess(const CScanProcess&) = delete;
    CScanProcess& operator=(const CScanProcess&) = delete;

    // Before the first StartScan. An empty factory restores the default.
    void SetReadThreadFactory(ReadThreadFactory factory);

    // Before every scan. Already initialised: marks the process ready
    // (m_status 0) and returns 0 without looking at the arguments; the
    // running reading thread is ended by the next StartScan. Otherwise
    // checks the facade (SCANPROC_NO_COMMAND_FACADE), the capability cache
    // (SCANPROC_NO_CAPS), the device access (SCANPROC_NO_DEVICE_ACCESS) and
    // that the cache is initialised (SCANPROC_CAPS_NOT_INITIALIZED), and
    // keeps the device access.
    VSRSLT Initialize(std::shared_ptr<CScanCmd> commandFacade, std::shared_ptr<CDeviceCaps> capabilityCache,
                      IDeviceAccess* deviceAccess);
    // Forgets the device access, the page counter and the bar codes; pages
    // and the reading thread stay.
    void UnInitialize();
    bool IsInitialized() const;
    // No scan is running (none started, or ended by EndReadThread) and every
    // page handed out has been freed, so the caller holds nothing of this
    // process. Any thread.
    bool IsIdle() const;

    // Starts a scan of the capability's protocol generation. Refused
    // (SCANPROC_START_REFUSED, the running scan untouched) unless
    // initialised and ready; SCANPROC_NOT_SCANNING without a facade;
    // SCANPROC_UNKNOWN_GENERATION; SCANPROC_PAGE_TOO_LARGE, with nothing
    // sent and the running scan untouched, when a page of the request would
    // be larger than the engine can hold (LargestPageImageBytes beyond
    // 4 GiB). An earlier reading thread is ended
    // (cancelled and joined) and destroyed first, then the new one started;
    // its refusal code is returned, and an exception it throws for a
    // feature the engine does not offer passes through, the process staying
    // ready. Page numbers start again at 1. isStiAccess is not used. Blocks
    // until the earlier thread has ended.
    VSRSLT StartScan(VS_SCANNER_PARAMETERS parameters, VS_SCANNER_CAPABILITY capability,
                     std::shared_ptr<CScanCmd> commandFacade, bool isStiAccess);

    // Takes the next page in reading order and sets pageNo to its number
    // (1, 2, ... per scan; a failed read consumes its number). A delivered
    // page fills *record; its pixels stay this object's until FreeImageData
    // of the number, or the end of this object. A blank page sets only
    // isBlankPage in *record. A page neither delivered nor blank ends the
    // scan with the scan's code, unless the scan has no failure: then the
    // result is 0, *record is untouched and the number is given back (the
    // next read asks for the same page). SCANPROC_NULL_ARGUMENT for a null
    // record, SCANPROC_NOT_SCANNING while no scan runs or when a new scan
    // replaced this one meanwhile.
    VSRSLT ReadImageData(tagVS_SCAN_IMAGEDATA* record, int& pageNo);
    // Releases the page's record, pixels and bar codes; an unknown number
    // changes nothing.
    void FreeImageData(uint16_t pageNo);

    // The status of the next page to be read (STANDBY without a reading
    // thread). Sleeps the reading thread's poll time.
    SCANAPISTATUS GetReadStatus();
    // Ends (joins) the reading thread, which stays readable, and makes the
    // process ready. The engine object calls it at ALLEND. Blocks until the
    // receive loop has ended.
    void EndReadThread();
    // Before the device is used for anything but the scan: a scan whose
    // reading thread has not been joined yet was given up by the caller (a
    // page time-out of its own, a front end that went on after a fault); it
    // is asked to cancel and joined, as EndReadThread does, so that its
    // reading thread and the new command never use the device at once.
    // Blocks at most until the device acknowledges the cancel or the
    // acknowledgement time-out ends the scan. Nothing without such a scan.
    void EndUnjoinedScan();
    // The application's cancel or finish request; false without a reading
    // thread.
    bool AbortScan();
    bool FinishWaitingDocument();
    // Seconds the device still waits for a document; 0 without a reading
    // thread.
    uint16_t GetRemainingWaitTime();
    // The scan's colour profile for the depth of the page last delivered
    // (0 before any). The bytes stay the reading thread's: valid until the
    // next StartScan or this object's end.
    // SCANPROC_NULL_ARGUMENT, SCANPROC_NOT_SCANNING without a reading thread.
    VSRSLT GetIccProfile(void** data, int* size);
    // The bitmap the latest scan request asks for (all zero but the bits
    // per pixel of colour type 0 before any request).
    ScanBitmapImageInfo GetScanBitmapImageInfo();

    // Nothing counts lines, bar codes or patch codes: 0, nothing written.
    int GetCurrentReceivedLines(uint16_t pageNo);
    VSRSLT GetBarcodeResult(BARCODE_OUTPUT* result, uint16_t pageNo);
    VSRSLT GetPatchcodeResult(PATCHCODE_TYPE* result, uint16_t pageNo);

    // Polls GetReadStatus until it equals status (untilEqual) or differs
    // from it, or until a status no poll changes any more (STANDBY, ALLEND);
    // returns the last status. Blocks the caller.
    SCANAPISTATUS WaitForXferStatus(SCANAPISTATUS status, bool untilEqual);
    // The parameters' selected area in pixels at their resolutions.
    static SCANAREA ConvertScanAreaToPixel(const VS_SCANNER_PARAMETERS& parameters);

private:
    using ReadThreadPtr = std::shared_ptr<IReadThread>;

    // The reading thread of the current scan and that scan's number.
    ReadThreadPtr CurrentReadThread(uint64_t* scan = nullptr) const;
    // Ends and destroys the current reading thread, then makes one for the
    // generation (not yet installed).
    std::unique_ptr<IReadThread> CreateScanReadClassInstances(SCANCMD_GENERATION generation);
    VSRSLT ReadImageFromReadThread(const ReadThreadPtr& thread, uint64_t scan, tagVS_SCAN_IMAGEDATA* record,
                                   uint16_t pageNo);
    // The record of a delivered image, whose pixels move out of the image
    // into pixels (the record points into them). No lock.
    static std::unique_ptr<tagVS_SCAN_IMAGEDATA> CreateVsImageData(BitmapImage& image, std::unique_ptr<Bytes>& pixels);
    // Ends the thread; the process becomes ready when that scan is still
    // the current one.
    void EndReadThread(const ReadThreadPtr& thread, uint64_t scan);
    // Under m_mutex.
    void ReleaseBarcodes(uint16_t pageNo);

    bool m_initialized = false;  // guarded by m_mutex
    std::atomic<int32_t> m_status{0};
    VS_SCANNER_PARAMETERS m_scanParameters{};                                  // guarded by m_mutex
    std::map<uint16_t, std::unique_ptr<tagVS_SCAN_IMAGEDATA>> m_imageDataMap;  // guarded by m_mutex
    std::map<uint16_t, std::unique_ptr<Bytes>> m_pixelDataMap;                 // guarded by m_mutex
    uint16_t m_xferPageNo = 0;                                                 // guarded by m_mutex
    uint8_t m_lastBitsPerPixel = 0;                                            // guarded by m_mutex
    std::map<uint16_t, std::list<BARCODE_INFO>> m_barcodeMap;                  // guarded by m_mutex
    std::map<uint16_t, PATCHCODE_TYPE> m_patchcodeMap;                         // guarded by m_mutex
    IDeviceAccess* m_deviceAccess = nullptr;                                   // guarded by m_mutex; lent
    EngineTimings const m_timings;
    ReadThreadFactory m_factory;
    // Counts the scans started, so that a read begun before a new scan
    // started knows its page is stale. Guarded by m_mutex.
    uint64_t m_scan = 0;
    // A started scan reuses freed page blocks (BeginPageBlockReuse) until it
    // ends, a new scan replaces it or this object goes. Guarded by m_mutex.
    bool m_reusingPageBlocks = false;
    mutable std::mutex m_mutex;
    // Held through StartScan alone, so that two starts never interleave.
    std::mutex m_startMutex;
    // Last, so that it ends before the pages go. Guarded by m_mutex.
    ReadThreadPtr m_readThread;
};

}  // namespace vscore
