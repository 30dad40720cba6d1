// The shared reading thread: start and refusals, preparation and scan
// command, the receive loop, cancel and finish requests, and the answers to
// the caller's thread.
#include "VexmorApi/Temp/ReadThread_base.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "VexmorApi/ImageProcessor/ImageProcessor_Normal.h"
#include "VexmorApi/Pages/DeviceImageJpeg.h"
#include "VexmorApi/Pages/DeviceImageLines.h"
#include "VexmorApi/Pages/JpegHeader.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/Timer.h"
#include "diagnostics/VdSdkScanStructsDescriptor.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/ReadThread_base";

using Lock = std::lock_guard<std::mutex>;

int ThreadNumber() { return static_cast<int>(syscall(SYS_gettid)); }

std::unique_ptr<CReadPreparation_base> MakeReadPreparation(std::shared_ptr<CScanCmd> commandFacade,
                                                           SCANCMD_GENERATION generation,
                                                           const VS_SCANNER_CAPABILITY& capability)
{
    switch (generation) {
    case SCANCMD_1ST_GENERATION:
        return std::make_unique<CReadPreparation_v1>(std::move(commandFacade), generation, capability);
    case SCANCMD_2ND_GENERATION:
        return std::make_unique<CReadPreparation_v2>(std::move(commandFacade), generation, capability);
    default:
        return nullptr;
    }
}

bool IsReceivedCancel(const SCANSTATUS& status)
{
    return vdtcl::IsCancelStatus(status.status) || status.status == SCANERR_CANCELED_BY_PC_ERROR;
}

}  // namespace

// ---------------------------------------------------------------------------
// The page store.

void CReadThread_base::Pages::Select(uint16_t pageNo, bool edge)
{
    selectedPageNo_ = pageNo;
    edgeSelected_ = edge;
}

std::shared_ptr<Page> CReadThread_base::Pages::Get() const
{
    Lock lock(mutex_);
    if (edgeSelected_) {
        return edgePage_;
    }
    auto const found = pages_.find(selectedPageNo_);
    return found != pages_.end() ? found->second : nullptr;
}

std::shared_ptr<Page> CReadThread_base::Pages::Get(uint16_t pageNo) const
{
    Lock lock(mutex_);
    auto const found = pages_.find(pageNo);
    return found != pages_.end() ? found->second : nullptr;
}

bool CReadThread_base::Pages::Exists() const
{
    Lock lock(mutex_);
    return edgeSelected_ ? edgePage_ != nullptr : pages_.count(selectedPageNo_) != 0;
}

bool CReadThread_base::Pages::Exists(uint16_t pageNo) const
{
    Lock lock(mutex_);
    return pages_.count(pageNo) != 0;
}

void CReadThread_base::Pages::Append(std::shared_ptr<Page> page)
{
    Lock lock(mutex_);
    if (edgeSelected_) {
        edgePage_ = std::move(page);
    } else {
        pages_[selectedPageNo_] = std::move(page);
    }
}

void CReadThread_base::Pages::Erase(uint16_t pageNo)
{
    Lock lock(mutex_);
    pages_.erase(pageNo);
    if (pageNo == 1) {
        edgePage_.reset();
    }
}

void CReadThread_base::Pages::Erase(const Predicate& predicate)
{
    Lock lock(mutex_);
    std::vector<uint16_t> doomed;
    for (auto const& entry : pages_) {
        if (predicate(entry.first, *entry.second)) {
            doomed.push_back(entry.first);
        }
    }
    for (uint16_t const pageNo : doomed) {
        pages_.erase(pageNo);
    }
    if (edgePage_ && predicate(1, *edgePage_)) {
        edgePage_.reset();
    }
}

void CReadThread_base::Pages::Clear()
{
    Lock lock(mutex_);
    pages_.clear();
}

bool CReadThread_base::Pages::IsFinishedReceiving(uint16_t pageNo) const
{
    Lock lock(mutex_);
    auto const found = pages_.find(pageNo);
    return found != pages_.end() && found->second->IsReceivedAllData();
}

// ---------------------------------------------------------------------------
// Construction, start and refusals.

CReadThread_base::CReadThread_base(const EngineTimings& timings)
    : m_timings(timings), m_preparationFactory(MakeReadPreparation), m_readTimeoutMs(timings.readTimeoutMs)
{
}

CReadThread_base::~CReadThread_base()
{
    CReadThread_base::End();
    if (m_imageProcessor) {
        m_imageProcessor->WaitUntilAllProcessesAreFinished();
    }
}

void CReadThread_base::SetReadPreparationFactory(ReadPreparationFactory factory)
{
    m_preparationFactory = factory ? std::move(factory) : ReadPreparationFactory(MakeReadPreparation);
}

void CReadThread_base::SetImageProcessTaskFactory(std::shared_ptr<ImageProcessTaskFactory> factory)
{
    m_taskFactory = std::move(factory);
}

uint8_t CReadThread_base::PagesInFlight(const VS_SCANNER_PARAMETERS& parameters, unsigned processorCount)
{
    PAPERTYPE const paper = parameters.scanAreaInfo.papertype;
    bool const colour = parameters.colortype == AUTOCOLOR || parameters.colortype == COLOR24BIT;
    uint32_t const resolution = parameters.resolutionX;
    unsigned count = 4;
    if (paper == LONGPAPER_NARROW || paper == LONGPAPER_WIDE) {
        count = 1;
    } else if (resolution >= 1200 || (resolution >= 600 && colour)) {
        count = 1;
    } else if (resolution >= 600 || (resolution >= 400 && colour)) {
        count = 2;
    }
    unsigned const cap = processorCount > 2 ? processorCount - 2 : (processorCount != 0 ? 1 : 0);
    if (cap != 0 && cap < count) {
        count = cap;
    }
    return static_cast<uint8_t>(count);
}

VSRSLT CReadThread_base::Start(VS_SCANNER_PARAMETERS parameters, std::shared_ptr<CScanCmd> commandFacade,
                               IDeviceAccess* deviceAccess, VS_SCANNER_CAPABILITY capability)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "Start");
    trace.Enter();
    VSRSLT ret = 0;
    if (!commandFacade) {
        ret = READTHREAD_NO_COMMAND_FACADE;
    } else if (deviceAccess == nullptr) {
        ret = READTHREAD_NO_DEVICE_ACCESS;
    } else if (IsStarted()) {
        ret = READTHREAD_ALREADY_STARTED;
    } else {
        CReadPreparation_base::ChangeLongPaperIfNeeded(parameters.scanAreaInfo, parameters.resolutionX);
        m_userParameters = parameters;
        m_capability = capability;
        ret = CreateForRead(commandFacade, deviceAccess, capability.cmdGeneration);
    }
    if (ret == 0) {
        unsigned const processors = std::thread::hardware_concurrency();
        g_ScanDevApiLog.WriteLog(2, "Hardware Concurrency: %d", static_cast<int>(processors));
        CreateImageProcessor(processors);
        // A request of the previous scan must not reach this one, and a
        // request made right after Start must not be lost: the state is
        // cleared here, before the thread runs, not by the thread.
        {
            Lock lock(m_abortMutex);
            m_abortSentTime.reset();
            m_abortSent = false;
            m_abortRequest.reset();
            m_preparing = true;
            m_waitsBrokenOff = false;
            m_cancelledWhilePreparing = false;
        }
        m_readTimeoutMs.store(m_timings.readTimeoutMs);
        m_restartTries.store(false);
        m_loopRunning.store(false);
        m_loopEnded.store(false);
        m_unreadable.store(false);
        m_pagesDropped.store(false);
        m_paperSource.store(SOURCEAUTO);
        if (!CThread_Base::Start()) {
            g_ScanDevApiLog.WriteLog(1, "Error: Start thread failed");
            EndPreparing();
            ret = READTHREAD_START_FAILED;
        }
    }
    trace.LeaveResult(ret);
    return ret;
}

VSRSLT CReadThread_base::CreateForRead(std::shared_ptr<CScanCmd> commandFacade, IDeviceAccess* deviceAccess,
                                       SCANCMD_GENERATION generation)
{
    OperationTrace const trace(g_ScanDevApiLog, 2, "CreateForRead");
    trace.Enter(" Command Generaion = %d", static_cast<int>(generation));
    bool created = false;
    if (deviceAccess != nullptr) {
        m_deviceAccess = deviceAccess;
        if (commandFacade) {
            m_readPreparation = m_preparationFactory(commandFacade, generation, m_capability);
            m_scanError = std::make_shared<CScanError>();
            m_waitingDocumentStatus = std::make_shared<WaitingDocumentStatus>();
            m_scanError->Reset();
            created = m_readPreparation != nullptr;
        }
    }
    trace.Leave();
    return created ? VSRSLT{0} : VSRSLT{READTHREAD_NO_PREPARATION};
}

uint16_t CReadThread_base::AddedPageCount() const
{
    return static_cast<uint16_t>(m_imageProcessor->GetAddedPageCount());
}

bool CReadThread_base::DropCompletePagesAfterPcError()
{
    g_ReadLog.WriteLog(1, "Lap Time [%d]: %d msec", ThreadNumber(),
                       static_cast<int>(Singleton<Timer>::GetInstance()->GetLapTime()));
    // After an error on this side, or once the application cancelled: the
    // pages completed from now on would only be dropped at the scan's end.
    if (!m_scanError->IsPcErr() && !IsCancelRequested()) {
        return false;
    }
    uint16_t const added = AddedPageCount();
    m_pages.Erase([added](uint16_t pageNo, const Page& page) { return pageNo > added && page.IsReceivedAllData(); });
    return true;
}

void CReadThread_base::CreateImageProcessor(unsigned processorCount)
{
    static char const kFunc[] = "CreateImageProcessor";
    tagVS_ADVANCEDSCAN const& advanced = m_userParameters.enhanced;
    if (advanced.autocrop) {
        VEXMOR_THROW(kOrigin, kFunc, Exception::InvalidArgument, "auto crop function is unsupported.");
    }
    if (advanced.plasticCard.execute || advanced.imageMerge != MERGE_NONE) {
        VEXMOR_THROW(kOrigin, kFunc, Exception::InvalidArgument, "2in1 function is unsupported.");
    }
    if (advanced.imageDivide != DIVIDE_NONE) {
        VEXMOR_THROW(kOrigin, kFunc, Exception::InvalidArgument, "1to2 function is unsupported.");
    }
    if (advanced.combineImages.execute) {
        VEXMOR_THROW(kOrigin, kFunc, Exception::InvalidArgument, "Nin1 function is unsupported.");
    }
    uint8_t const pagesInFlight = m_timings.pagesInFlight != 0 ? static_cast<uint8_t>(m_timings.pagesInFlight)
                                                               : PagesInFlight(m_userParameters, processorCount);
    m_imageProcessor = std::make_unique<ImageProcessor_Normal>(pagesInFlight, m_taskFactory);
}

bool CReadThread_base::End()
{
    // Joining a loop that still waits for data would wait for its whole
    // read time-out; the cancel makes the device end the scan (or the
    // acknowledgement time-out end it) first.
    if (IsStarted() && !m_loopEnded.load()) {
        SetPCCancelFlag();
    }
    // The pages of a cancelled scan are dropped below: they are not
    // processed on while the loop is joined.
    if (IsCancelRequested() && m_imageProcessor) {
        m_imageProcessor->CancelAllProcesses();
    }
    bool const ended = CThread_Base::End();
    // The watch ends with the preparation, which has ended now.
    std::thread watch;
    {
        Lock lock(m_abortMutex);
        watch = std::move(m_preparationWatch);
    }
    if (watch.joinable()) {
        watch.join();
    }
    if (IsCancelRequested()) {
        DropHeldPages();
    }
    return ended;
}

// ---------------------------------------------------------------------------
// The reading thread.

void CReadThread_base::ThreadProc()
{
    OperationTrace const trace(g_ReadLog, 2, "ThreadProc");
    trace.Enter();
    g_ReadLog.WriteLog(1, "Read thread start. Timer Start [%d]", ThreadNumber());
    Timer* const timer = Singleton<Timer>::GetInstance();
    timer->Start();
    // Nothing may escape the thread: a failure anywhere becomes the scan's
    // status for the page being received, and the scanner is closed below.
    try {
        VSRSLT const prepared = PrepareDevice();
        m_paperSource.store(m_readPreparation ? m_readPreparation->GetPaperSource() : SOURCEAUTO);
        if (prepared != 0) {
            // A step whose waits were broken off failed for the cancel.
            if (IsPreparationBrokenOff()) {
                CancelBeforeTheScan();
            } else {
                SetErrorToFirstPage(prepared);
            }
        } else {
            ScanAndReceive();
        }
    } catch (Exception const& e) {
        g_ReadLog.WriteLog(1, "Exception is occured in %d page's Reading.", NextPageNo());
        g_ReadLog.WriteLog(1, "%s", e.what());
        Terminate(e.GetVSRSLT(), NextPageNo());
    } catch (std::exception const& e) {
        g_ReadLog.WriteLog(1, "Exception is occured in %d page's Reading.", NextPageNo());
        g_ReadLog.WriteLog(1, "%s", e.what());
        Terminate(READTHREAD_UNKNOWN_EXCEPTION, NextPageNo());
    } catch (...) {
        g_ReadLog.WriteLog(1, "Unknown exception is occured in %d page's Reading.", NextPageNo());
        Terminate(READTHREAD_UNKNOWN_EXCEPTION, NextPageNo());
    }
    m_loopRunning.store(false);
    g_ReadLog.WriteLog(1, "Close Device Access");
    CloseScanner();
    EndPreparing();
    unsigned const elapsed = timer->Stop();
    g_ReadLog.WriteLog(1, "Read thread end. Timer Stop [%d]: %d msec", ThreadNumber(), static_cast<int>(elapsed));
    trace.Leave();
    m_loopEnded.store(true);
}

VSRSLT CReadThread_base::PrepareDevice()
{
    if (!m_readPreparation) {
        return READPREP_NO_COMMAND_OBJECT;
    }
    VSRSLT ret = 0;
    {
        Lock io(m_ioMutex);
        ret = m_readPreparation->SetScanParamToDev(m_userParameters);
    }
    if (ret == 0) {
        Lock io(m_ioMutex);
        ret = m_readPreparation->SendColorProfileCmd(m_userParameters);
    }
    if (ret == 0) {
        Lock io(m_ioMutex);
        ret = m_readPreparation->DecideScanArea(m_userParameters);
    }
    if (ret == 0) {
        Lock io(m_ioMutex);
        m_readPreparation->ReverseDuplxBindingDirectionIfNeeds(m_userParameters.duplextype);
    }
    return ret;
}

void CReadThread_base::SetErrorToFirstPage(VSRSLT code)
{
    if (CScanError::IsDeviceErr(code)) {
        m_scanError->SetErrWithDevice(code, CScanError::ToDeviceErrCode(code), 1);
    } else {
        m_scanError->SetErr(code, 1);
    }
}

void CReadThread_base::ScanAndReceive()
{
    // From the scan command on, the device is told to stop by the abort
    // command; a preparation cancelled before it ends the scan here, and
    // the device feeds nothing.
    if (EndPreparing()) {
        CancelBeforeTheScan();
        return;
    }
    VSRSLT ret = 0;
    {
        Lock io(m_ioMutex);
        ret = m_readPreparation->SendToExecuteScanCommand(m_userParameters, m_deviceParameters);
    }
    m_paperSource.store(m_readPreparation->GetPaperSource());
    g_ReadLog.WriteLog(2, "User Scan Parameter = %s",
                       VdSdkScanStructsDescriptor::GetDescription(m_userParameters).c_str());
    g_ReadLog.WriteLog(2, "Device Scan Parameter = %s",
                       VdSdkScanStructsDescriptor::GetDescription(m_deviceParameters).c_str());
    if (ret != 0) {
        m_scanError->SetErr(ret, 1);
        return;
    }
    std::unique_ptr<uint8_t[]> const buffer(new uint8_t[kReceiveBufferSize]);
    uint32_t carried = 0;
    m_loopRunning.store(true);
    for (;;) {
        VSRSLT const received = ReceiveData(buffer.get(), carried);
        if (received != 0) {
            m_scanError->SetStatus(received);
            break;
        }
        if (ShouldFinishReceiving()) {
            break;
        }
        vdtcl::CTTime::Sleep_ms(0);
    }
    m_loopRunning.store(false);
    g_ReadLog.WriteLog(1, "Read Thread loop end");
}

VSRSLT CReadThread_base::ReceiveData(uint8_t* buffer, uint32_t& carried)
{
    if (!IsDeviceReadableCondition()) {
        if (ShouldFinishReceiving()) {
            return 0;
        }
        // Closed without any end of the scan: waiting for data would spin.
        g_ReadLog.WriteLog(1, "Error: Scanner is not readable.");
        m_scanError->SetStatus(READTHREAD_NOT_READABLE);
        return READTHREAD_NOT_READABLE;
    }
    int count = 0;
    VSRSLT code = 0;
    uint32_t detail = 0;
    bool triesRanOut = false;
    for (int64_t tries = 0;; ++tries) {
        if (AbortScanningIfNeeded()) {
            SetReadTimeout(m_timings.shortReadTimeoutMs);
            m_restartTries.store(false);
            tries = 0;
        } else if (m_restartTries.exchange(false)) {
            tries = 0;
        }
        // The limit follows the read time-out, which the device's timer
        // events and the abort change while the loop waits.
        if (tries >= m_readTimeoutMs.load() / std::max<long>(m_timings.receiveTryMs, 1)) {
            triesRanOut = true;
            break;
        }
        uint32_t const room = kReceiveBufferSize - carried;
        {
            Lock io(m_ioMutex);
            count = m_deviceAccess->ReceiveData(buffer + carried, static_cast<int>(room),
                                                static_cast<int>(std::min(room, kMaxReadSize)), m_timings.receiveTryMs);
            code = m_deviceAccess->GetLastErrorCode();
            detail = m_deviceAccess->GetDetailLastErr();
        }
        if (count != 0) {
            break;
        }
        vdtcl::CTTime::Sleep_ms(0);
    }
    if (count > 0) {
        static unsigned char const kCommand[] = "XSC";
        g_ReadLog.WriteDump(buffer + carried, count, "DumpRawData", kCommand, 3);
    }

    // An abort the device never answered ends the scan as cancelled, also
    // when the tries ran out first; decided before anything else is
    // recorded, so the caller never sees the time-out in between.
    if (TakeAbortAckTimeout(triesRanOut)) {
        m_scanError->SetCanceled(CANCELTYPE_TIMEOUT);
        CloseScanner();
        g_ReadLog.WriteLog(1, "Error: Abort Time out occured");
        return triesRanOut ? VSRSLT{DEVACS_ERR_TIMEOUT} : 0;
    }
    if (triesRanOut) {
        g_ReadLog.WriteLog(1, "Error: Receive Time out occured");
        m_scanError->SetStatus(DEVACS_ERR_TIMEOUT);
        return DEVACS_ERR_TIMEOUT;
    }
    if (count < 0) {
        g_ReadLog.WriteLog(1, "Error: Error occurred during receive data. ret = 0x%X(0x%X)", code, detail);
        // A failed read without a code is still a failed read.
        code = code != 0 ? (code & 0xFFFFFF) | 0x40000000 : VSRSLT{DEVACS_ERR_IO};
        m_scanError->SetStatus(code);
        return code;
    }
    g_ReadLog.WriteLog(3, "%d bytes data received", count);
    WriteRecvDataInBuffer(buffer, static_cast<uint32_t>(count), carried);
    return 0;
}

void CReadThread_base::WriteRecvDataInBuffer(uint8_t* buffer, uint32_t count, uint32_t& carried)
{
    uint32_t length = carried + count;
    carried = 0;
    for (;;) {
        uint8_t* restBytes = nullptr;
        uint32_t restLength = 0;
        bool const threw = !DispatchGuarded(buffer, length, &restBytes, &restLength);
        std::unique_ptr<uint8_t[]> const rest(restBytes);
        if (!rest || restLength == 0) {
            return;
        }
        if (restLength >= kReceiveBufferSize || restLength > length) {
            // A unit as long as the whole buffer can never be completed.
            SetUnreadableData();
            return;
        }
        std::memmove(buffer, rest.get(), restLength);
        carried = restLength;
        // After a failing unit the units behind it are dispatched at once,
        // as they would have been had the failure not come: the outcome does
        // not depend on where the device's data were cut into reads. (A
        // dispatcher that consumed nothing is not asked again.)
        if (!threw || restLength == length) {
            return;
        }
        length = restLength;
        carried = 0;
    }
}

bool CReadThread_base::DispatchGuarded(uint8_t* data, uint32_t length, uint8_t** rest, uint32_t* restLength)
{
    try {
        DispatchReceivedData(data, length, rest, restLength);
        return true;
    } catch (Exception const& e) {
        uint16_t const pageNo = static_cast<uint16_t>(AddedPageCount() + 1);
        g_ReadLog.WriteLog(1, "Exception is occured in %d page's Reading.", pageNo);
        g_ReadLog.WriteLog(1, "%s", e.what());
        Terminate(e.GetVSRSLT(), pageNo);
    } catch (std::exception const& e) {
        uint16_t const pageNo = static_cast<uint16_t>(AddedPageCount() + 1);
        g_ReadLog.WriteLog(1, "Exception is occured in %d page's Reading.", pageNo);
        g_ReadLog.WriteLog(1, "%s", e.what());
        Terminate(READTHREAD_UNKNOWN_EXCEPTION, pageNo);
    } catch (...) {
        uint16_t const pageNo = static_cast<uint16_t>(AddedPageCount() + 1);
        g_ReadLog.WriteLog(1, "Unknown exception is occured in %d page's Reading.", pageNo);
        Terminate(READTHREAD_UNKNOWN_EXCEPTION, pageNo);
    }
    return false;
}

bool CReadThread_base::IsDeviceReadableCondition()
{
    Lock io(m_ioMutex);
    return IsDeviceReadableLocked();
}

bool CReadThread_base::IsDeviceReadableLocked()
{
    if (m_deviceAccess == nullptr || !m_deviceAccess->IsOpenScanner()) {
        return false;
    }
    SCANSTATUS const status = m_scanError->Get();
    return !vdtcl::IsConnectionError(status.status) && status.deviceErr == 0 && !IsReceivedCancel(status) &&
           !m_unreadable.load();
}

bool CReadThread_base::ShouldFinishReceiving() const
{
    SCANSTATUS const status = m_scanError->Get();
    return status.allPagesReceived || IsReceivedCancel(status) || status.deviceErr != 0 ||
           vdtcl::IsConnectionError(status.status) || m_unreadable.load();
}

void CReadThread_base::SetUnreadableData()
{
    g_ReadLog.WriteLog(1, "Error: Read unknown data");
    m_scanError->SetErrWithDevice(READTHREAD_UNREADABLE_DATA, 1, NextPageNo());
    m_unreadable.store(true);
}

bool CReadThread_base::FitsDevice(const char* what, uint64_t value, uint64_t limit)
{
    if (value <= limit) {
        return true;
    }
    uint16_t const pageNo = NextPageNo();
    g_ReadLog.WriteLog(1, "Error: The device's %s %llu is beyond the %llu it can send. Page No = %d", what,
                       static_cast<unsigned long long>(value), static_cast<unsigned long long>(limit), pageNo);
    m_scanError->SetErr(READTHREAD_DATA_ERROR, pageNo);
    m_unreadable.store(true);
    return false;
}

bool CReadThread_base::FitsDevice(Page& page, const DeviceDataLimits& limits)
{
    if (page.HasDeviceImageJpeg()) {
        std::unique_ptr<DeviceImageJpeg> jpeg = page.GetDeviceImageJpeg();
        unsigned char const* const stream = jpeg->GetBlockPointer();
        size_t const size = jpeg->GetBlockSize();
        bool fits = FitsDevice("image width", jpeg->GetWidth(), limits.maxWidth);
        // The frame a decoder will take, whatever its kind (baseline,
        // progressive, arithmetic ...): a decoder allocates by its size. A
        // stream with bytes but no frame a decoder could take is refused too.
        JpegFrame frame;
        if (fits && stream != nullptr && size != 0) {
            if (!JpegFrame::Find(stream, size, frame)) {
                uint16_t const pageNo = NextPageNo();
                g_ReadLog.WriteLog(1, "Error: The device's JPEG stream has no frame header. Page No = %d", pageNo);
                m_scanError->SetErr(READTHREAD_DATA_ERROR, pageNo);
                m_unreadable.store(true);
                fits = false;
            } else {
                fits = FitsDevice("JPEG width", frame.width, limits.maxWidth) &&
                       FitsDevice("JPEG height", frame.height, limits.maxHeight);
            }
        }
        page.SetImage(std::move(jpeg));
        return fits;
    }
    if (page.HasDeviceImageLines()) {
        std::unique_ptr<DeviceImageLines> lines = page.GetDeviceImageLines();
        bool const fits = FitsDevice("image width", lines->GetWidth(), limits.maxWidth) &&
                          FitsDevice("line count", lines->GetHeight(), limits.maxHeight);
        page.SetImage(std::move(lines));
        return fits;
    }
    return true;
}

void CReadThread_base::CloseScanner()
{
    Lock io(m_ioMutex);
    if (m_deviceAccess != nullptr) {
        m_deviceAccess->CloseScanner();
    }
}

VSRSLT CReadThread_base::Rescan()
{
    {
        Lock io(m_ioMutex);
        m_readPreparation->SetOriginalScanMode();
    }
    vdtcl::CTTime::Sleep_ms(m_timings.rescanDelayMs);
    Lock io(m_ioMutex);
    return m_readPreparation->SendToExecuteScanCommand(m_userParameters, m_deviceParameters);
}

uint16_t CReadThread_base::NextPageNo() const
{
    return static_cast<uint16_t>(m_scanError ? m_scanError->GetLastPageNo() + 1 : 1);
}

void CReadThread_base::Terminate(VSRSLT code, uint16_t pageNo)
{
    m_scanError->SetErr(code, pageNo);
    if (m_imageProcessor) {
        m_imageProcessor->CancelAllProcesses();
    }
    SetReadTimeout(m_timings.shortReadTimeoutMs);
    g_ReadLog.WriteLog(1, "Terminate scanning. VSRSLT = 0x%08X, pageNo = %d", code, pageNo);
}

void CReadThread_base::SetScanTimeOutSec(int64_t milliseconds)
{
    if (milliseconds > 0) {
        SetReadTimeout(milliseconds);
        g_ReadLog.WriteLog(3, "Set Timeout Millisec : %lld", static_cast<long long>(milliseconds));
    }
}

void CReadThread_base::SetReadTimeout(int64_t milliseconds) { m_readTimeoutMs.store(milliseconds); }

bool CReadThread_base::IsSimplex() const
{
    return m_readPreparation->GetPaperSource() == FLATBED || m_userParameters.duplextype == SIMPLEX;
}

uint8_t* CReadThread_base::SaveDataToEscapeBuffer(const uint8_t* data, uint32_t size)
{
    uint8_t* const copy = new uint8_t[size];
    std::memcpy(copy, data, size);
    return copy;
}

// ---------------------------------------------------------------------------
// Cancel and finish requests.

void CReadThread_base::SetPCCancelFlag() { RequestAbort(AbortCancel, "SetPCCancelFlag"); }

void CReadThread_base::SetWaitingDocumentFinishFlag()
{
    RequestAbort(AbortFinishAutoContinuous, "SetWaitingDocumentFinishFlag");
}

void CReadThread_base::RequestAbort(AbortType type, const char* name)
{
    OperationTrace const trace(g_ScanDevApiLog, 1, name);
    trace.Enter();
    bool sent = false;
    {
        Lock lock(m_abortMutex);
        m_abortRequest = type;
        // No abort command can reach the device before the scan command: a
        // preparation still waiting for it (a device that accepts the
        // connection but never greets, or never answers a command) gets the
        // same time as an abort's acknowledgement, then its waits end.
        if (type == AbortCancel && m_preparing && !m_cancelledWhilePreparing) {
            m_cancelledWhilePreparing = true;
            auto const deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timings.abortAckTimeoutMs);
            try {
                m_preparationWatch = std::thread(&CReadThread_base::WatchPreparation, this, deadline);
            } catch (std::system_error const&) {
                BreakOffWaitsLocked();
            }
        }
        // An outside device takes the command from the caller's thread while
        // the receive loop runs and the device is free; otherwise the
        // reading thread sends it at its next try (never during the
        // preparation, whose commands and answers must not interleave).
        if (m_capability.IsOutsideDevice() && m_loopRunning.load()) {
            std::unique_lock<std::mutex> io(m_ioMutex, std::try_to_lock);
            if (io.owns_lock() && IsDeviceReadableLocked()) {
                sent = SendAbortIfNeededLocked();
            }
        }
    }
    if (sent) {
        SetReadTimeout(m_timings.shortReadTimeoutMs);
        // The device gets the whole short time-out to answer.
        m_restartTries.store(true);
    }
    trace.Leave();
}

void CReadThread_base::WatchPreparation(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_abortMutex);
    if (!m_preparationEnded.wait_until(lock, deadline, [this] { return !m_preparing; })) {
        BreakOffWaitsLocked();
    }
}

void CReadThread_base::BreakOffWaitsLocked()
{
    g_ReadLog.WriteLog(1, "Error: The waits of the preparation are broken off");
    m_deviceAccess->BreakOffWaits();
    m_waitsBrokenOff = true;
}

bool CReadThread_base::EndPreparing()
{
    Lock lock(m_abortMutex);
    m_preparing = false;
    m_preparationEnded.notify_all();
    if (m_waitsBrokenOff) {
        m_deviceAccess->ResumeWaits();
        m_waitsBrokenOff = false;
    }
    return m_cancelledWhilePreparing;
}

bool CReadThread_base::IsPreparationBrokenOff() const
{
    Lock lock(m_abortMutex);
    return m_waitsBrokenOff;
}

void CReadThread_base::CancelBeforeTheScan()
{
    g_ReadLog.WriteLog(1, "Error: Cancelled before the scan command");
    m_scanError->SetCanceled(CANCELTYPE_TIMEOUT);
}

bool CReadThread_base::AbortScanningIfNeeded()
{
    Lock lock(m_abortMutex);
    if (!m_abortRequest || m_abortSent) {
        return false;
    }
    Lock io(m_ioMutex);
    return SendAbortIfNeededLocked();
}

bool CReadThread_base::SendAbortIfNeededLocked()
{
    if (!m_abortRequest || m_abortSent || !m_scanError || m_scanError->IsAllPageReceived()) {
        return false;
    }
    VSRSLT sent = READPREP_NO_COMMAND_OBJECT;
    if (*m_abortRequest == AbortCancel) {
        g_ReadLog.WriteLog(1, "Abort Trigger is Cancel");
        if (m_readPreparation) {
            sent = m_readPreparation->AbortScanProcess();
        }
    } else {
        g_ReadLog.WriteLog(1, "Abort Trigger is FinishAutoContinuous");
        if (m_readPreparation) {
            sent = m_readPreparation->FinishAutoContinuousScan();
        }
    }
    if (sent != 0) {
        // The request stays pending: the next try sends it again.
        return false;
    }
    m_abortSent = true;
    m_abortSentTime = std::chrono::steady_clock::now();
    return true;
}

bool CReadThread_base::IsAbortSent() const
{
    Lock lock(m_abortMutex);
    return m_abortSent;
}

bool CReadThread_base::IsCancelRequested() const
{
    Lock lock(m_abortMutex);
    return m_abortRequest == AbortCancel;
}

bool CReadThread_base::TakeAbortAckTimeout(bool triesRanOut)
{
    Lock lock(m_abortMutex);
    if (!m_abortSentTime) {
        return false;
    }
    auto const elapsed = std::chrono::steady_clock::now() - *m_abortSentTime;
    if (!triesRanOut && elapsed <= std::chrono::milliseconds(m_timings.abortAckTimeoutMs)) {
        return false;
    }
    // Reported once.
    m_abortSentTime.reset();
    return true;
}

// ---------------------------------------------------------------------------
// The caller's questions.

SCANAPISTATUS CReadThread_base::GetReadStatus(uint16_t pageNo)
{
    g_ScanDevApiLog.WriteLog(3, "GetReadStatus pageNo:%d", pageNo);
    vdtcl::CTTime::Sleep_ms(m_timings.statusPollSleepMs);
    if (!IsStarted() || !m_scanError || !m_imageProcessor) {
        return STANDBY;
    }
    if (IsCancelRequested()) {
        return CancelledReadStatus(pageNo);
    }
    SCANSTATUS const status = m_scanError->Get();
    if (status.canceledPageNo == pageNo) {
        g_ScanDevApiLog.WriteLog(1, "cancel return XFERREADY, page:%d", pageNo);
        return XFERREADY;
    }
    // A page already with the processor is still delivered after a lost
    // connection; only the pages that never got there report the error.
    bool const withProcessor = m_imageProcessor->IsExistProcess(pageNo);
    bool const connectionError = vdtcl::IsConnectionError(status.status);
    if (connectionError && !withProcessor) {
        g_ScanDevApiLog.WriteLog(1, "connection error return XFERREADY, page:%d", pageNo);
        return XFERREADY;
    }
    if (m_imageProcessor->IsFinishedProcess(pageNo)) {
        try {
            std::shared_ptr<ImageProcessor::Result> const result = m_imageProcessor->GetResult(pageNo);
            bool const success = result && result->GetType() == ImageProcessor::Result::Success;
            g_ScanDevApiLog.WriteLog(1, "Finished return XFERREADY because of %s. (page:%d)",
                                     success ? "success" : "cancel", pageNo);
        } catch (...) {
            g_ScanDevApiLog.WriteLog(1, "Finished return XFERREADY because of fail. (page:%d)", pageNo);
        }
        return XFERREADY;
    }
    if (connectionError) {
        g_ScanDevApiLog.WriteLog(3, "Receiving return RECEIVING");
        return RECEIVING;
    }
    if (status.errPageNo == pageNo) {
        g_ScanDevApiLog.WriteLog(1, "Page receive error return XFERREADY, page:%d", pageNo);
        return XFERREADY;
    }
    if (status.allPagesReceived && m_imageProcessor->IsAllProcessesAreFinished() &&
        m_imageProcessor->GetResultCount() < pageNo) {
        // A failure not yet answered goes to this page rather than be lost.
        if (HasUnreportedFailure(status, pageNo)) {
            g_ScanDevApiLog.WriteLog(1, "Page receive error return XFERREADY, page:%d", pageNo);
            return XFERREADY;
        }
        g_ScanDevApiLog.WriteLog(1, "All Page End return ALLEND, page:%d", pageNo);
        return ALLEND;
    }
    // After a failure no further page comes once the loop has ended: the
    // failure goes to this page if it was not answered yet, else the scan
    // is over.
    if ((status.status != 0 || status.deviceErr != 0) && m_loopEnded.load() && !withProcessor) {
        if (HasUnreportedFailure(status, pageNo)) {
            g_ScanDevApiLog.WriteLog(1, "Page receive error return XFERREADY, page:%d", pageNo);
            return XFERREADY;
        }
        g_ScanDevApiLog.WriteLog(1, "All Page End return ALLEND, page:%d", pageNo);
        return ALLEND;
    }
    if (m_waitingDocumentStatus->IsWaiting() && CanTransitionToWaitingState(pageNo)) {
        g_ScanDevApiLog.WriteLog(3, "waiting document");
        return WAITINGDOCUMENTINSERTION;
    }
    if (m_pages.Exists(pageNo)) {
        g_ScanDevApiLog.WriteLog(3, "Receiving return RECEIVING");
        return RECEIVING;
    }
    g_ScanDevApiLog.WriteLog(3, "Waiting return WAITINGNEXTPAGE");
    return WAITINGNEXTPAGE;
}

SCANAPISTATUS CReadThread_base::CancelledReadStatus(uint16_t pageNo)
{
    // The pages the engine read ahead are not handed out one by one after a
    // cancel: they go together once the device has stopped (or the engine
    // gave up on its acknowledgement), so ending the scan costs the same
    // however far the device got ahead of the caller. Their processing
    // stops now, not only then.
    m_imageProcessor->CancelAllProcesses();
    if (!m_loopEnded.load()) {
        g_ScanDevApiLog.WriteLog(3, "Cancel requested, waiting for the scan to end");
        return RECEIVING;
    }
    DropHeldPages();
    SCANSTATUS const status = m_scanError->Get();
    if (status.status != 0 || status.deviceErr != 0) {
        g_ScanDevApiLog.WriteLog(1, "cancel return XFERREADY, page:%d", pageNo);
        return XFERREADY;
    }
    // The device had sent every page before the cancel could stop it.
    g_ScanDevApiLog.WriteLog(1, "All Page End return ALLEND, page:%d", pageNo);
    return ALLEND;
}

void CReadThread_base::DropHeldPages()
{
    if (!m_loopEnded.load() || m_pagesDropped.exchange(true)) {
        return;
    }
    if (m_imageProcessor) {
        m_imageProcessor->DropAllPages();
    }
    m_pages.Erase([](uint16_t, const Page&) { return true; });
}

bool CReadThread_base::HasUnreportedFailure(const SCANSTATUS& status, uint16_t pageNo) const
{
    if (status.status == 0 && status.deviceErr == 0) {
        return false;
    }
    uint16_t const reported = status.canceledPageNo != 0 ? status.canceledPageNo : status.errPageNo;
    return reported == 0 || reported >= pageNo;
}

ScannedImageData CReadThread_base::GetScanData(uint16_t pageNo, bool isBitmap)
{
    // An entry line alone: the answer is the caller's to log.
    OperationTrace(g_ScanDevApiLog, 2, "GetScanData").Enter(" pageNo = %d, isBitmap = %d", pageNo, isBitmap ? 1 : 0);
    ScannedImageData answer;
    answer.paperSource = m_paperSource.load();
    if (!m_scanError) {
        return answer;
    }
    std::shared_ptr<Page> const page = GetPageFromProcessor(pageNo);
    if (page) {
        if (page->IsBlankPage()) {
            answer.blank = true;
        } else {
            answer.terminated = page->IsTerminatedPage();
            answer.image = page->GetBitmapImage();
        }
    }
    return answer;
}

std::shared_ptr<Page> CReadThread_base::GetPageFromProcessor(uint16_t pageNo)
{
    if (!m_imageProcessor || !m_imageProcessor->IsFinishedProcess(pageNo)) {
        g_ScanDevApiLog.WriteLog(1, "Error: Is not finished  %d page process.", pageNo);
        return nullptr;
    }
    try {
        std::shared_ptr<ImageProcessor::Result> const result = m_imageProcessor->GetResult(pageNo);
        if (result && result->GetType() == ImageProcessor::Result::Success) {
            return result->GetPage();
        }
    } catch (Exception const& e) {
        g_ScanDevApiLog.WriteLog(1, "Exception is occured in %d page's Image Processor.", pageNo);
        g_ScanDevApiLog.WriteLog(1, "%s", e.what());
        Terminate(e.GetVSRSLT(), pageNo);
    } catch (std::exception const& e) {
        g_ScanDevApiLog.WriteLog(1, "Exception is occured in %d page's Image Processor.", pageNo);
        g_ScanDevApiLog.WriteLog(1, "%s", e.what());
        Terminate(READTHREAD_UNKNOWN_EXCEPTION, pageNo);
    } catch (...) {
        g_ScanDevApiLog.WriteLog(1, "Unknown exception is occured in %d page's Image Processor.", pageNo);
        Terminate(READTHREAD_UNKNOWN_EXCEPTION, pageNo);
    }
    return nullptr;
}

uint16_t CReadThread_base::GetRemainingWaitTime()
{
    return m_waitingDocumentStatus ? m_waitingDocumentStatus->GetRemainigTime() : 0;
}

VSRSLT CReadThread_base::GetVSRSLTCode()
{
    if (!m_scanError) {
        return 0;
    }
    SCANSTATUS const status = m_scanError->Get();
    if (IsReceivedCancel(status) || status.deviceErr == 0) {
        return status.status;
    }
    return ConvertDeviceErrorToVSRSLT(status.deviceErr);
}

VSRSLT CReadThread_base::GetColorProfile(void** data, int* size, int bitsPerPixel)
{
    Lock io(m_ioMutex);
    return m_readPreparation ? m_readPreparation->GetIccProfile(data, size, bitsPerPixel)
                             : VSRSLT{READPREP_NO_COMMAND_OBJECT};
}

}  // namespace vscore
