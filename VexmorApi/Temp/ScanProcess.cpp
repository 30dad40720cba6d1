// The scan process: initialisation, start and restart of scans, the pages
// handed out and freed, and the questions forwarded to the reading thread.
#include "VexmorApi/Temp/ScanProcess.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "VexmorApi/Bytes/make_unique_bytes.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Temp/ConvertUnit.h"
#include "VexmorApi/Temp/DeviceDataLimits.h"
#include "VexmorApi/Temp/PaperSize.h"
#include "VexmorApi/Temp/ReadThread_v1.h"
#include "VexmorApi/Temp/ReadThread_v2.h"
#include "VexmorApi/Temp/ScanParam.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/Timer.h"

namespace vscore {

namespace {

using Lock = std::lock_guard<std::mutex>;

int ThreadNumber() { return static_cast<int>(syscall(SYS_gettid)); }

// The low 32 bits of an address, as the log lines print it.
unsigned Address(const void* pointer) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)); }

uint32_t ToUint32(uint64_t value) { return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX)); }

// (width x bits + 7) / 8 without wrapping.
uint32_t PackedRowBytes(uint32_t width, uint32_t bitsPerPixel)
{
    return ToUint32((uint64_t{width} * bitsPerPixel + 7) / 8);
}

uint32_t BitsPerPixelOf(COLORTYPE type)
{
    switch (type) {
    case AUTOCOLOR:
    case COLOR24BIT:
        return 24;
    case BLACKWHITE:
    case ERRDIFFUSION:
        return 1;
    case TRUEGRAY:
    case COLOR256:
        return 8;
    default:
        return 0;
    }
}

// Dots per inch to pixels per metre, truncated.
uint32_t PixelsPerMetre(uint32_t resolution)
{
    double const perMetre = resolution * 1000.0 / 25.4;
    return perMetre >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(perMetre);
}

// A length of the request in pixels at resolution; 0 when it has none.
uint32_t LengthInPixels(uint32_t resolution, int32_t length, UNITTYPE unit)
{
    int pixels = 0;
    if (length <= 0 || !CConvertUnit::ConvertToPixles(resolution, length, unit, &pixels) || pixels < 0) {
        return 0;
    }
    return static_cast<uint32_t>(pixels);
}

uint32_t LengthInPixels(uint32_t resolution, uint32_t length, UNITTYPE unit)
{
    unsigned int pixels = 0;
    return CConvertUnit::ConvertToPixles(resolution, length, unit, &pixels) ? pixels : 0;
}

}  // namespace

CScanProcess::CScanProcess(const EngineTimings& timings) : m_timings(timings) { SetReadThreadFactory({}); }

CScanProcess::~CScanProcess()
{
    UnInitialize();
    if (m_reusingPageBlocks) {
        EndPageBlockReuse();
    }
}

void CScanProcess::SetReadThreadFactory(ReadThreadFactory factory)
{
    if (!factory) {
        EngineTimings const timings = m_timings;
        factory = [timings](SCANCMD_GENERATION generation) -> std::unique_ptr<IReadThread> {
            switch (generation) {
            case SCANCMD_1ST_GENERATION:
                return std::make_unique<CReadThread_v1>(timings);
            case SCANCMD_2ND_GENERATION:
                return std::make_unique<CReadThread_v2>(timings);
            default:
                return nullptr;
            }
        };
    }
    Lock lock(m_mutex);
    m_factory = std::move(factory);
}

// ---------------------------------------------------------------------------
// Set-up.

VSRSLT CScanProcess::Initialize(std::shared_ptr<CScanCmd> commandFacade, std::shared_ptr<CDeviceCaps> capabilityCache,
                                IDeviceAccess* deviceAccess)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "Initialize");
    trace.Enter(" pScanCmd = 0x%X, pDevCaps = 0x%X, pDevAcs = 0x%X", Address(commandFacade.get()),
                Address(capabilityCache.get()), Address(deviceAccess));
    VSRSLT ret = 0;
    Lock lock(m_mutex);
    if (m_initialized) {
        m_status.store(0);
    } else if (!commandFacade) {
        ret = SCANPROC_NO_COMMAND_FACADE;
    } else if (!capabilityCache) {
        ret = SCANPROC_NO_CAPS;
    } else if (deviceAccess == nullptr) {
        ret = SCANPROC_NO_DEVICE_ACCESS;
    } else if (!capabilityCache->IsInitialized()) {
        g_ScanDevApiLog.WriteLog(1, "Error: DeviceCaps not initialized");
        ret = SCANPROC_CAPS_NOT_INITIALIZED;
    } else {
        m_deviceAccess = deviceAccess;
        m_initialized = true;
    }
    trace.LeaveResult(ret);
    return ret;
}

void CScanProcess::UnInitialize()
{
    g_ScanDevApiLog.WriteLog(2, "UnInitialize");
    Lock lock(m_mutex);
    m_deviceAccess = nullptr;
    m_initialized = false;
    m_xferPageNo = 0;
    for (auto& entry : m_barcodeMap) {
        for (BARCODE_INFO& barcode : entry.second) {
            delete[] barcode.data;
        }
    }
    m_barcodeMap.clear();
}

bool CScanProcess::IsInitialized() const
{
    Lock lock(m_mutex);
    return m_initialized;
}

bool CScanProcess::IsIdle() const
{
    Lock lock(m_mutex);
    return m_status.load() == 0 && m_imageDataMap.empty();
}

// ---------------------------------------------------------------------------
// Starting a scan.

VSRSLT CScanProcess::StartScan(VS_SCANNER_PARAMETERS parameters, VS_SCANNER_CAPABILITY capability,
                               std::shared_ptr<CScanCmd> commandFacade, bool)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "StartScan");
    trace.Enter();
    // One start at a time; nothing the reading threads need is held here.
    std::lock_guard<std::mutex> start(m_startMutex);
    VSRSLT ret = SCANPROC_START_REFUSED;
    IDeviceAccess* deviceAccess = nullptr;
    bool ready = false;
    {
        Lock lock(m_mutex);
        ready = m_initialized && m_status.load() < 1;
        deviceAccess = m_deviceAccess;
    }
    uint64_t pageBytes = 0;
    if (ready && !commandFacade) {
        ret = SCANPROC_NOT_SCANNING;
    } else if (ready &&
               (pageBytes = LargestPageImageBytes(parameters, capability)) > DeviceDataLimits::kMaxContainerBytes) {
        g_ScanDevApiLog.WriteLog(1, "Error: A page of %llu bytes is more than the engine can hold",
                                 static_cast<unsigned long long>(pageBytes));
        ret = SCANPROC_PAGE_TOO_LARGE;
    } else if (ready) {
        {
            // The counters of a running scan stay until a new one starts.
            Lock lock(m_mutex);
            m_xferPageNo = 0;
            m_lastBitsPerPixel = 0;
            m_scanParameters = parameters;
        }
        std::unique_ptr<IReadThread> thread = CreateScanReadClassInstances(capability.cmdGeneration);
        if (!thread) {
            ret = SCANPROC_UNKNOWN_GENERATION;
        } else {
            // Started before it is installed: until then no other thread
            // can reach it. A refusal thrown here leaves no reading thread.
            ret = thread->Start(parameters, commandFacade, deviceAccess, capability);
            Lock lock(m_mutex);
            m_readThread = std::move(thread);
            if (ret == 0) {
                m_status.store(1);
                if (!m_reusingPageBlocks) {
                    BeginPageBlockReuse();
                    m_reusingPageBlocks = true;
                }
            }
        }
    }
    trace.LeaveResult(ret);
    return ret;
}

std::unique_ptr<IReadThread> CScanProcess::CreateScanReadClassInstances(SCANCMD_GENERATION generation)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "CreateScanReadClassInstances");
    trace.Enter(" Command Generaion = %d", static_cast<int>(generation));
    ReadThreadPtr old;
    ReadThreadFactory factory;
    bool reused = false;
    {
        Lock lock(m_mutex);
        old = std::move(m_readThread);
        m_readThread.reset();
        // Reads and polls of the old scan that are under way see from now
        // on that their scan is gone.
        ++m_scan;
        factory = m_factory;
        reused = std::exchange(m_reusingPageBlocks, false);
    }
    if (old) {
        // The cancel first, then the join: the device ends its scan (or the
        // acknowledgement time-out does) before the next one begins. The
        // last holder destroys it, which waits for its page processes.
        old->End();
        old.reset();
    }
    if (reused) {
        EndPageBlockReuse();
    }
    std::unique_ptr<IReadThread> thread = factory(generation);
    trace.Leave();
    return thread;
}

// ---------------------------------------------------------------------------
// Pages.

VSRSLT CScanProcess::ReadImageData(tagVS_SCAN_IMAGEDATA* record, int& pageNo)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "ReadImageData");
    VSRSLT ret = 0;
    ReadThreadPtr thread;
    uint64_t scan = 0;
    uint16_t page = 0;
    {
        Lock lock(m_mutex);
        trace.Enter(" pScanBmpData = 0x%X, pPageNo = 0x%d, m_xferPageNo = %d", Address(record),
                    static_cast<int>(Address(&pageNo)), m_xferPageNo);
        if (record == nullptr) {
            ret = SCANPROC_NULL_ARGUMENT;
        } else if (m_status.load() != 1 || !m_readThread) {
            ret = SCANPROC_NOT_SCANNING;
        } else {
            page = ++m_xferPageNo;
            thread = m_readThread;
            scan = m_scan;
        }
    }
    if (thread) {
        pageNo = page;
        ret = ReadImageFromReadThread(thread, scan, record, page);
        g_ScanDevApiLog.WriteLog(2, "Set Page No %d", page);
    }
    trace.LeaveResult(ret);
    return ret;
}

VSRSLT CScanProcess::ReadImageFromReadThread(const ReadThreadPtr& thread, uint64_t scan, tagVS_SCAN_IMAGEDATA* record,
                                             uint16_t pageNo)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "ReadImageFromReadThread");
    trace.Enter(" m_status = %d", static_cast<int>(m_status.load()));
    VSRSLT ret = 0;
    // A new scan started while this page was fetched: it is not the page
    // the caller now expects, and that scan's thread has been ended.
    bool stale = false;
    ScannedImageData data = thread->GetScanData(pageNo, true);
    if (data.image) {
        g_ScanDevApiLog.WriteLog(2, "pageNo = %d, pImgData = 0x%X, terminated = %d", pageNo, Address(data.image.get()),
                                 data.terminated ? 1 : 0);
        g_ScanDevApiLog.WriteImage(data.image, "DumpFinalData", pageNo);
        data.image->RemovePaddingFor4BytesAlignmentIfPadded();
        std::unique_ptr<Bytes> pixels;
        std::unique_ptr<tagVS_SCAN_IMAGEDATA> filed = CreateVsImageData(*data.image, pixels);
        filed->isMaxLengthCut = data.terminated;
        filed->paperSource = static_cast<PAPERSOURCESELECT>(data.paperSource);
        {
            Lock lock(m_mutex);
            stale = scan != m_scan;
            if (!stale) {
                *record = *filed;
                m_lastBitsPerPixel = static_cast<uint8_t>(filed->bitsPerPixel);
                // A page of the same number still held comes out here and
                // is destroyed (perhaps its temporary file removed) after
                // the mutex is released.
                std::swap(m_pixelDataMap[pageNo], pixels);
                std::swap(m_imageDataMap[pageNo], filed);
            }
        }
        if (!stale) {
            g_ScanDevApiLog.WriteLog(2, "pScanBmpData = 0x%X", Address(record));
        }
    } else if (data.blank) {
        g_ScanDevApiLog.WriteLog(2, "pageNo = %d, Image is Blank", pageNo);
        auto blank = std::make_unique<tagVS_SCAN_IMAGEDATA>();
        std::memset(static_cast<void*>(blank.get()), 0, sizeof(*blank));
        blank->isBlankPage = true;
        std::unique_ptr<Bytes> held;  // destroyed after the mutex is released
        Lock lock(m_mutex);
        stale = scan != m_scan;
        if (!stale) {
            record->isBlankPage = true;
            auto const found = m_pixelDataMap.find(pageNo);
            if (found != m_pixelDataMap.end()) {
                held = std::move(found->second);
                m_pixelDataMap.erase(found);
            }
            std::swap(m_imageDataMap[pageNo], blank);
        }
    } else {
        ret = thread->GetVSRSLTCode();
        g_ScanDevApiLog.WriteLog(1, "Error: Error Code = %d", static_cast<int>(ret));
        Lock lock(m_mutex);
        stale = scan != m_scan;
        if (ret == 0 && !stale && m_xferPageNo == pageNo) {
            // Asked before the page was ready: the next read asks again.
            --m_xferPageNo;
        }
    }
    if (stale) {
        ret = SCANPROC_NOT_SCANNING;
    } else if (ret != 0) {
        EndReadThread(thread, scan);
    }
    trace.LeaveResult(ret);
    return ret;
}

std::unique_ptr<tagVS_SCAN_IMAGEDATA> CScanProcess::CreateVsImageData(BitmapImage& image,
                                                                      std::unique_ptr<Bytes>& pixels)
{
    ImageInfo const info = image.GetImageInfo();
    auto record = std::make_unique<tagVS_SCAN_IMAGEDATA>();
    std::memset(static_cast<void*>(record.get()), 0, sizeof(*record));
    record->bitsPerPixel = info.GetBitsPerPixel();
    // The pixels leave the image, so the record's pointer stays valid
    // after the image is gone (a file-backed block is loaded here).
    pixels = image.GetPixels();
    if (pixels) {
        record->pDataPtr = pixels->GetBytesPointer();
        record->dataSize = pixels->GetByteSize();
    }
    record->resolutionX = info.GetResolution();
    record->resolutionY = info.GetResolution();
    record->width = info.GetWidth();
    record->height = info.GetHeight();
    record->bytesPerLine = info.GetHeight() != 0 ? record->dataSize / info.GetHeight()
                                                 : PackedRowBytes(info.GetWidth(), record->bitsPerPixel);
    return record;
}

void CScanProcess::FreeImageData(uint16_t pageNo)
{
    // The page's pixels, perhaps a temporary file whose removal is file
    // I/O, are destroyed after the mutex is released.
    std::unique_ptr<Bytes> pixels;
    std::unique_ptr<tagVS_SCAN_IMAGEDATA> record;
    Lock lock(m_mutex);
    auto const held = m_pixelDataMap.find(pageNo);
    if (held != m_pixelDataMap.end()) {
        pixels = std::move(held->second);
        m_pixelDataMap.erase(held);
    }
    auto const filed = m_imageDataMap.find(pageNo);
    if (filed != m_imageDataMap.end()) {
        record = std::move(filed->second);
        m_imageDataMap.erase(filed);
    }
    ReleaseBarcodes(pageNo);
    m_patchcodeMap.erase(pageNo);
}

void CScanProcess::ReleaseBarcodes(uint16_t pageNo)
{
    auto const found = m_barcodeMap.find(pageNo);
    if (found == m_barcodeMap.end()) {
        return;
    }
    for (BARCODE_INFO& barcode : found->second) {
        delete[] barcode.data;
    }
    m_barcodeMap.erase(found);
}

// ---------------------------------------------------------------------------
// Status and requests.

CScanProcess::ReadThreadPtr CScanProcess::CurrentReadThread(uint64_t* scan) const
{
    Lock lock(m_mutex);
    if (scan != nullptr) {
        *scan = m_scan;
    }
    return m_readThread;
}

SCANAPISTATUS CScanProcess::GetReadStatus()
{
    OperationTrace const trace(g_ScanDevApiLog, 3, "GetReadStatus");
    trace.Enter();
    ReadThreadPtr thread;
    uint16_t next = 0;
    {
        Lock lock(m_mutex);
        thread = m_readThread;
        next = static_cast<uint16_t>(m_xferPageNo + 1);
    }
    SCANAPISTATUS const status = thread ? thread->GetReadStatus(next) : STANDBY;
    trace.Leave(" ret[SCANAPISTATUS] = %d", static_cast<int>(status));
    return status;
}

void CScanProcess::EndReadThread()
{
    uint64_t scan = 0;
    ReadThreadPtr const thread = CurrentReadThread(&scan);
    EndReadThread(thread, scan);
}

void CScanProcess::EndReadThread(const ReadThreadPtr& thread, uint64_t scan)
{
    if (thread) {
        thread->End();
    }
    unsigned const elapsed = Singleton<Timer>::GetInstance()->Stop();
    g_ScanDevApiLog.WriteLog(1, "End read thread. Timer Stop [%d]: %d msec", ThreadNumber(), static_cast<int>(elapsed));
    bool reused = false;
    {
        Lock lock(m_mutex);
        // A scan started meanwhile is not ended by the end of this one.
        if (scan == m_scan) {
            m_status.store(0);
            g_ScanDevApiLog.WriteLog(2, "Set m_status Ready");
            reused = std::exchange(m_reusingPageBlocks, false);
        }
    }
    // The pages still held are unmapped when freed from now on.
    if (reused) {
        EndPageBlockReuse();
    }
}

void CScanProcess::EndUnjoinedScan()
{
    uint64_t scan = 0;
    ReadThreadPtr const thread = CurrentReadThread(&scan);
    if (thread && thread->IsStarted()) {
        g_ScanDevApiLog.WriteLog(1, "The scan still running ends before the device is used");
        EndReadThread(thread, scan);
    }
}

bool CScanProcess::AbortScan()
{
    ReadThreadPtr const thread = CurrentReadThread();
    if (!thread) {
        return false;
    }
    thread->SetPCCancelFlag();
    return true;
}

bool CScanProcess::FinishWaitingDocument()
{
    ReadThreadPtr const thread = CurrentReadThread();
    if (!thread) {
        return false;
    }
    thread->SetWaitingDocumentFinishFlag();
    return true;
}

uint16_t CScanProcess::GetRemainingWaitTime()
{
    ReadThreadPtr const thread = CurrentReadThread();
    return thread ? thread->GetRemainingWaitTime() : 0;
}

VSRSLT CScanProcess::GetIccProfile(void** data, int* size)
{
    if (data == nullptr || size == nullptr) {
        return SCANPROC_NULL_ARGUMENT;
    }
    ReadThreadPtr thread;
    int bitsPerPixel = 0;
    {
        Lock lock(m_mutex);
        thread = m_readThread;
        bitsPerPixel = m_lastBitsPerPixel;
    }
    return thread ? thread->GetColorProfile(data, size, bitsPerPixel) : VSRSLT{SCANPROC_NOT_SCANNING};
}

ScanBitmapImageInfo CScanProcess::GetScanBitmapImageInfo()
{
    VS_SCANNER_PARAMETERS parameters;
    {
        Lock lock(m_mutex);
        parameters = m_scanParameters;
    }
    ScanBitmapImageInfo info{};
    info.bitsPerPixel = BitsPerPixelOf(parameters.colortype);
    info.resolutionX = parameters.resolutionX;
    info.resolutionY = parameters.resolutionY;
    info.pixelsPerMeterX = PixelsPerMetre(info.resolutionX);
    info.pixelsPerMeterY = PixelsPerMetre(info.resolutionY);
    SCANAREA const& area = parameters.scanAreaInfo.selectArea;
    // The selected area counts whenever it has a width, whatever
    // areaSelected says.
    if (area.width != 0) {
        info.width = LengthInPixels(info.resolutionX, area.width, area.unit);
        info.height = LengthInPixels(info.resolutionY, area.height, area.unit);
    } else {
        AXIS const size = CPaperSize::GetScanSizeFromType(parameters.scanAreaInfo.papertype, INCH);
        info.width = LengthInPixels(info.resolutionX, size.x, INCH);
        info.height = LengthInPixels(info.resolutionY, size.y, INCH);
    }
    info.bytesPerLine = PackedRowBytes(info.width, info.bitsPerPixel);
    return info;
}

int CScanProcess::GetCurrentReceivedLines(uint16_t) { return 0; }

VSRSLT CScanProcess::GetBarcodeResult(BARCODE_OUTPUT*, uint16_t) { return 0; }

VSRSLT CScanProcess::GetPatchcodeResult(PATCHCODE_TYPE*, uint16_t) { return 0; }

SCANAPISTATUS CScanProcess::WaitForXferStatus(SCANAPISTATUS status, bool untilEqual)
{
    for (;;) {
        SCANAPISTATUS const current = GetReadStatus();
        if ((current == status) == untilEqual || current == STANDBY || current == ALLEND) {
            return current;
        }
        vdtcl::CTTime::Sleep_ms(m_timings.xferStatusPollMs);
    }
}

SCANAREA CScanProcess::ConvertScanAreaToPixel(const VS_SCANNER_PARAMETERS& parameters)
{
    return CScanParam::ConvertScanAreaValueUnit(parameters, PIXEL).scanAreaInfo.selectArea;
}

}  // namespace vscore
