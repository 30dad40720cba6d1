// The dispatcher of libvelloc.so.1: the engine's IDeviceAccess, forwarding
// each operation to the USB or network plug-in, which it loads by bare file
// name on first use and owns with the objects their CreateInstance made.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/CTDynLib.h"

namespace vscore {

// Made by the library's CreateInstance and owned by the loader, which deletes
// it before unloading the library. It keeps the thread rule, the last-error
// rule and the results that IDeviceAccess states: calls (and the last-error
// reads that belong to them) must not overlap, but for BreakOffWaits and
// ResumeWaits, which reach the loaded plug-ins under m_breakOffMutex.
class CDeviceAccess : public IDeviceAccess {
public:
    static constexpr const char* kUsbLibraryName = "libvelloc-usb.so.1";
    static constexpr const char* kNetLibraryName = "libvelloc-net.so.1";

    CDeviceAccess() = default;
    CDeviceAccess(const CDeviceAccess&) = delete;
    CDeviceAccess& operator=(const CDeviceAccess&) = delete;
    // Destroys the device list, then every plug-in object before its library
    // is unloaded.
    ~CDeviceAccess() override;

    // Runs the USB enumeration and, when it succeeds, the network one; *list
    // is the merged list (USB first), owned here and valid until the next
    // call or destruction; *count is always its size.
    uint32_t EnumerateScanner(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count) override;
    // Asks the plug-in the identifier routes to whether the device answers;
    // id.name is read during the call only.
    uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) override;
    // Opens the data channel through the plug-in the identifier routes to,
    // which becomes the plug-in in use.
    uint32_t OpenScanner(const _DEV_IDENTIFIER& id) override;
    // Closes the data channel of the plug-in in use and unloads that plug-in.
    // Without a plug-in in use (also on a second call) nothing is forwarded.
    uint32_t CloseScanner() override;
    bool IsOpenScanner() override;
    // Transfers on the open data channel into or from the caller's buffer,
    // which is not kept; -1 with DEVACS_ERR_NOT_OPEN when nothing is open.
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override;
    int SendData(const unsigned char* data, int size, long timeoutMs) override;
    // Forwarded to the plug-in of devif (loaded when needed); data is the
    // caller's and is not kept.
    uint32_t GetConfiguration(devif_t devif, devacs_config_t key, void* data) override;
    uint32_t SetConfiguration(devif_t devif, devacs_config_t key, void* data) override;
    // Passed to every plug-in loaded now and to those loaded until
    // ResumeWaits. Break-offs of several callers nest: the waits resume
    // once each has been taken back. Any thread.
    void BreakOffWaits() override;
    void ResumeWaits() override;

private:
    // The loaded plug-ins told to break their waits off or resume them;
    // under m_breakOffMutex.
    void TellPluginsLocked(bool brokenOff);
    // Routes an identifier to a transport (written to devif, 0 when none),
    // loads its plug-in when needed and returns it; null on failure.
    IDevAccsLowLevel* GetDevAccsLowLevelInterface(const _DEV_IDENTIFIER& id, devif_t& devif);
    IDevAccsLowLevel* GetDevAccsLowLevelInterface(devif_t devif);
    // Deletes one plug-in object and unloads its library.
    bool ReleaseDevAccsLowLevelInterface(devif_t devif);
    // Runs one plug-in's enumeration and appends its records to the list;
    // count is the number appended.
    uint32_t EnumerateDevices(devif_t devif, unsigned& count);
    void ReleaseEnumDevInfoList();

    // Destroyed in reverse order: the network holder before the USB holder.
    vdtcl::CTDynLib<IDevAccsLowLevel> m_usbLibrary;
    vdtcl::CTDynLib<IDevAccsLowLevel> m_netLibrary;
    IDevAccsLowLevel* m_inUse = nullptr;  // borrowed: plug-in of the open device
    // Borrowed from m_usbLibrary and m_netLibrary. Written only under
    // m_breakOffMutex (a plug-in is reachable from BreakOffWaits from its
    // load until just before its deletion); the calling thread reads them
    // without it.
    IDevAccsLowLevel* m_usb = nullptr;
    IDevAccsLowLevel* m_net = nullptr;
    std::mutex m_breakOffMutex;
    int m_breakOffs = 0;  // not yet taken back; guarded by m_breakOffMutex
    devif_t m_devifInUse = DEVIF_NONE;
    std::unique_ptr<std::vector<_ENUM_DEV_INFO>> m_devices;  // latest merged list
};

}  // namespace vscore
