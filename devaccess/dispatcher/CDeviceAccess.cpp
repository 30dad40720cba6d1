// The dispatcher: routing of identifiers to the transport plug-ins, their
// loading and unloading, and the merged device list.
#include "devaccess/dispatcher/CDeviceAccess.h"

#include <initializer_list>
#include <new>

#include "devaccess/dispatcher/VellocEntry.h"
#include "vdtcl/TestLibraryDir.h"

namespace vscore {

CDeviceAccess::~CDeviceAccess()
{
    ReleaseEnumDevInfoList();
    ReleaseDevAccsLowLevelInterface(DEVIF_USB);
    ReleaseDevAccsLowLevelInterface(DEVIF_NET);
    {
        std::lock_guard<std::mutex> lock(m_breakOffMutex);
        m_net = nullptr;
        m_usb = nullptr;
    }
    m_netLibrary.ReleaseInterface();
    m_usbLibrary.ReleaseInterface();
}

uint32_t CDeviceAccess::EnumerateScanner(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count)
{
    if (count != nullptr)
        *count = 0;
    lastSystemError_ = 0;
    if (list == nullptr || count == nullptr) {
        lastResult_ = DEVACS_ERR_BAD_ARGUMENT;
        return lastResult_;
    }
    *list = nullptr;
    RenewDeviceList(m_devices);
    unsigned found = 0;
    uint32_t result = EnumerateDevices(DEVIF_USB, found);
    if (result == DEVACS_OK)
        result = EnumerateDevices(DEVIF_NET, found);
    if (m_devices != nullptr) {
        *list = m_devices.get();
        *count = static_cast<unsigned>(m_devices->size());
    }
    lastResult_ = result;
    return result;
}

uint32_t CDeviceAccess::ConfirmConnection(const _DEV_IDENTIFIER& id)
{
    devif_t devif = DEVIF_NONE;
    IDevAccsLowLevel* plugin = GetDevAccsLowLevelInterface(id, devif);
    if (plugin == nullptr) {
        lastResult_ = DEVACS_ERR_GENERAL;
        lastSystemError_ = 0;
        return lastResult_;
    }
    lastResult_ = plugin->ConfirmConnection(id);
    lastSystemError_ = plugin->lastSystemError;
    return lastResult_;
}

uint32_t CDeviceAccess::OpenScanner(const _DEV_IDENTIFIER& id)
{
    m_inUse = GetDevAccsLowLevelInterface(id, m_devifInUse);
    if (m_inUse == nullptr) {
        lastResult_ = DEVACS_ERR_GENERAL;
        lastSystemError_ = 0;
        return lastResult_;
    }
    lastResult_ = m_inUse->OpenForDataTransfer(id);
    lastSystemError_ = m_inUse->lastSystemError;
    return lastResult_;
}

uint32_t CDeviceAccess::CloseScanner()
{
    if (m_inUse == nullptr) {
        lastResult_ = DEVACS_ERR_GENERAL;
        lastSystemError_ = 0;
        return lastResult_;
    }
    uint32_t result = m_inUse->CloseForDataTransfer();
    lastSystemError_ = m_inUse->lastSystemError;
    ReleaseDevAccsLowLevelInterface(m_devifInUse);
    m_devifInUse = DEVIF_NONE;
    lastResult_ = result;
    return result;
}

bool CDeviceAccess::IsOpenScanner() { return m_inUse != nullptr && m_inUse->IsOpenForDataTransfer(); }

int CDeviceAccess::ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs)
{
    if (!IsOpenScanner()) {
        lastResult_ = DEVACS_ERR_NOT_OPEN;
        lastSystemError_ = 0;
        return -1;
    }
    int got = m_inUse->ReceiveData(buffer, bufferSize, readSize, timeoutMs);
    lastResult_ = got < 1 ? m_inUse->lastResult : 0;
    lastSystemError_ = got < 1 ? m_inUse->lastSystemError : 0;
    return got;
}

int CDeviceAccess::SendData(const unsigned char* data, int size, long timeoutMs)
{
    if (!IsOpenScanner()) {
        lastResult_ = DEVACS_ERR_NOT_OPEN;
        lastSystemError_ = 0;
        return -1;
    }
    int sent = m_inUse->SendData(data, size, timeoutMs);
    lastResult_ = sent < 1 ? m_inUse->lastResult : 0;
    lastSystemError_ = sent < 1 ? m_inUse->lastSystemError : 0;
    return sent;
}

uint32_t CDeviceAccess::GetConfiguration(devif_t devif, devacs_config_t key, void* data)
{
    lastResult_ = DEVACS_ERR_GENERAL;
    IDevAccsLowLevel* plugin = GetDevAccsLowLevelInterface(devif);
    if (plugin == nullptr)
        return lastResult_;
    lastResult_ = plugin->GetConfiguration(key, data);
    return lastResult_;
}

uint32_t CDeviceAccess::SetConfiguration(devif_t devif, devacs_config_t key, void* data)
{
    lastResult_ = DEVACS_ERR_GENERAL;
    IDevAccsLowLevel* plugin = GetDevAccsLowLevelInterface(devif);
    if (plugin == nullptr)
        return lastResult_;
    lastResult_ = plugin->SetConfiguration(key, data);
    return lastResult_;
}

// The engine's calls given up and a reading thread's preparation may each
// break the waits off: the first tells the plug-ins, the last one taken
// back tells them again.
void CDeviceAccess::BreakOffWaits()
{
    std::lock_guard<std::mutex> lock(m_breakOffMutex);
    if (m_breakOffs++ == 0) {
        TellPluginsLocked(true);
    }
}

void CDeviceAccess::ResumeWaits()
{
    std::lock_guard<std::mutex> lock(m_breakOffMutex);
    if (m_breakOffs > 0 && --m_breakOffs == 0) {
        TellPluginsLocked(false);
    }
}

void CDeviceAccess::TellPluginsLocked(bool brokenOff)
{
    for (IDevAccsLowLevel* plugin : {m_usb, m_net}) {
        if (plugin == nullptr)
            continue;
        if (brokenOff)
            plugin->BreakOffWaits();
        else
            plugin->ResumeWaits();
    }
}

// Kind 0 goes by the interface, kinds 1, 2 and 4 to USB, kind 3 to the
// network; anything else routes nowhere (0x70500006). A failed load leaves
// the last result as it was.
IDevAccsLowLevel* CDeviceAccess::GetDevAccsLowLevelInterface(const _DEV_IDENTIFIER& id, devif_t& devif)
{
    devif = DEVIF_NONE;
    lastSystemError_ = 0;
    switch (id.kind) {
    case DEVID_KIND_NAME:
        if (id.devif == DEVIF_USB || id.devif == DEVIF_NET)
            devif = id.devif;
        break;
    case DEVID_KIND_VIDPID:
    case DEVID_KIND_NUMBER:
    case DEVID_KIND_LOCATION:
        devif = DEVIF_USB;
        break;
    case DEVID_KIND_ADDRESS:
        devif = DEVIF_NET;
        break;
    default:
        break;
    }
    if (devif == DEVIF_NONE) {
        lastResult_ = DEVACS_ERR_NO_TRANSPORT;
        return nullptr;
    }
    IDevAccsLowLevel*& plugin = devif == DEVIF_USB ? m_usb : m_net;
    if (plugin == nullptr) {
        vdtcl::CTDynLib<IDevAccsLowLevel>& holder = devif == DEVIF_USB ? m_usbLibrary : m_netLibrary;
        const char* name = devif == DEVIF_USB ? kUsbLibraryName : kNetLibraryName;
#ifdef VEXMOR_TEST_HOOKS
        char path[vdtcl::kTestLibraryPathSize];
        IDevAccsLowLevel* const loaded = holder.GetInterface(vdtcl::TestLibraryFile(name, path));
#else
        IDevAccsLowLevel* const loaded = holder.GetInterface(name);
#endif
        // A plug-in loaded for a job already given up must not wait either.
        std::lock_guard<std::mutex> lock(m_breakOffMutex);
        plugin = loaded;
        if (plugin != nullptr && m_breakOffs > 0) {
            plugin->BreakOffWaits();
        }
    }
    return plugin;
}

IDevAccsLowLevel* CDeviceAccess::GetDevAccsLowLevelInterface(devif_t devif)
{
    _DEV_IDENTIFIER id = {};
    id.kind = DEVID_KIND_NAME;
    id.devif = devif;
    devif_t routed = DEVIF_NONE;
    return GetDevAccsLowLevelInterface(id, routed);
}

// Unloads one plug-in while a device is in use. When that plug-in was the
// one in use, nothing is in use any more: a later close must not reach the
// other transport.
bool CDeviceAccess::ReleaseDevAccsLowLevelInterface(devif_t devif)
{
    if (m_inUse == nullptr || (devif != DEVIF_USB && devif != DEVIF_NET))
        return false;
    IDevAccsLowLevel*& plugin = devif == DEVIF_USB ? m_usb : m_net;
    if (plugin == nullptr)
        return false;
    if (m_inUse == plugin)
        m_inUse = nullptr;
    {
        // Out of the reach of BreakOffWaits before it is deleted.
        std::lock_guard<std::mutex> lock(m_breakOffMutex);
        plugin = nullptr;
    }
    vdtcl::CTDynLib<IDevAccsLowLevel>& holder = devif == DEVIF_USB ? m_usbLibrary : m_netLibrary;
    return holder.ReleaseInterface();
}

uint32_t CDeviceAccess::EnumerateDevices(devif_t devif, unsigned& count)
{
    count = 0;
    lastResult_ = DEVACS_ERR_GENERAL;
    lastSystemError_ = 0;
    if (m_devices == nullptr)
        return lastResult_;
    IDevAccsLowLevel* plugin = GetDevAccsLowLevelInterface(devif);
    if (plugin == nullptr)
        return lastResult_;
    const std::vector<_ENUM_DEV_INFO>* found = nullptr;
    unsigned foundCount = 0;
    lastResult_ = plugin->EnumerateDevices(&found, &foundCount, false);
    lastSystemError_ = plugin->lastSystemError;
    if (lastResult_ != DEVACS_OK || found == nullptr)
        return lastResult_;
    // The plug-in's own count is not trusted: its list is what is copied.
    try {
        m_devices->insert(m_devices->end(), found->begin(), found->end());
    } catch (const std::bad_alloc&) {
        lastResult_ = DEVACS_ERR_NO_MEMORY;
        return lastResult_;
    }
    count = static_cast<unsigned>(found->size());
    return lastResult_;
}

void CDeviceAccess::ReleaseEnumDevInfoList() { m_devices.reset(); }

}  // namespace vscore

extern "C" VSCORE_EXPORT vscore::IDeviceAccess* CreateInstance() { return new (std::nothrow) vscore::CDeviceAccess(); }
