// The libusb-1.0 layer of the USB plug-in: finds the maker's scanners, names
// them from their string descriptors or their IEEE 1284 device ID, opens one,
// claims its interface, finds its bulk pipes and maps libusb errors to result
// codes. It owns its libusb context, device list, device reference and handle.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devaccess/usb/IUsbDevAccsCore.h"
#include "vdtcl/TTString.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_device_descriptor;

namespace vscore {

// Made by IUsbDevAccsCore::CreateObject and owned by the USB plug-in's data
// channel, which calls it from one thread at a time (the dispatcher's caller
// serialises the calls). Every operation returns a result code and keeps the
// libusb code of a failure for GetLastLibUsbError; names and lists it fills
// are the caller's.
class CUsbDevAccsCore : public IUsbDevAccsCore {
public:
    using TString = vdtcl::TTString<char>;

    static constexpr uint16_t kMakerVendorId = 0x5D4E;
    static constexpr unsigned kBulkInTimeoutMs = 17500;
    static constexpr unsigned kBulkOutTimeoutMs = 500;
    static constexpr unsigned kControlTimeoutMs = 500;
    // The IEEE 1284 device ID request: class, interface, device to host.
    static constexpr uint8_t kDeviceIdRequestType = 0xA1;
    static constexpr uint8_t kDeviceIdRequest = 0;
    static constexpr uint16_t kDeviceIdLength = 259;

    CUsbDevAccsCore();
    ~CUsbDevAccsCore() override;
    CUsbDevAccsCore(const CUsbDevAccsCore&) = delete;
    CUsbDevAccsCore& operator=(const CUsbDevAccsCore&) = delete;

    // Appends a record for each of the maker's scanners to the caller's list.
    uint32_t EnumerateDevices(std::vector<_ENUM_DEV_INFO>& list, unsigned& count, bool flag) override;
    uint32_t ConfirmConnection(uint16_t idVendor, uint16_t idProduct) override;
    uint32_t ConfirmConnection(const char* name) override;
    uint32_t ConfirmConnection(unsigned number) override;
    uint32_t OpenDevice(uint16_t idVendor, uint16_t idProduct) override;
    uint32_t OpenDevice(const char* name, bool flag) override;
    uint32_t OpenDevice(unsigned number) override;
    uint32_t CloseDevice() override;
    bool IsOpenDevice() override;
    uint32_t SetupInterfaceNo(uint8_t interfaceNo) override;
    uint32_t OpenInterface(uint16_t idVendor, uint16_t idProduct) override;
    uint32_t OpenInterface(const char* name, bool flag) override;
    uint32_t OpenInterface(unsigned number) override;
    uint32_t CloseInterface() override;
    bool IsOpenInterface() override;
    // Single bulk transfers on the claimed interface into or from the
    // caller's buffer, which is not kept.
    uint32_t ReadDataOnBulkIn(uint8_t* buffer, int bufferSize, int size, int& got, unsigned timeoutMs) override;
    uint32_t WriteDataOnBulkOut(const uint8_t* data, int size, int& put) override;
    uint32_t DeviceRequest(_DEVREQ_SETUPDATA& setup) override;
    uint32_t DeviceIoControl(_DEVCTRL_DATA& data) override;

    // The ID text of a device ID reply of `received` bytes: the first two
    // bytes are the big-endian length, counting themselves. Replies shorter
    // than 2 bytes or lengths below 2 give an empty ID; the text never runs
    // past the bytes received. No I/O, so it can be fed any byte array.
    static TString ParseIEEE1284DeviceId(const uint8_t* reply, size_t received);
    // The value of key (for example "MDL:") in an ID: from behind the first
    // ":" at or after the key (found without regard to case) up to the next
    // ";" outside double quotes or the end; empty when the key is missing.
    static TString ExtractIdStringFromIEEE1284ID(const TString& id, const char* key);

private:
    uint32_t LibUsbErrorToResultCode(int code);
    uint32_t StartupLibUsb();
    void TerminateLibUsb();
    void FreeKeptDeviceList();
    void ReleaseDevice();
    void CloseHandle();
    bool GetManufacturerAndDeviceName(const libusb_device_descriptor& descriptor, libusb_device_handle* handle,
                                      TString& manufacturer, TString& product);
    bool GetManufacturerAndDeviceNameFromIEEE1284ID(libusb_device_handle* handle, TString& manufacturer,
                                                    TString& product);
    static TString GetManufacturerFromIEEE1284ID(const TString& id);
    static TString GetDeviceNameFromIEEE1284ID(const TString& id);
    TString GetIEEE1284DeviceIdString(libusb_device_handle* handle);
    bool FindDeviceAndGetUsbDevice(uint16_t idVendor, uint16_t idProduct, const char* name);
    uint32_t OpenUsbDevice(uint16_t idVendor, uint16_t idProduct, const char* name);
    uint32_t OpenUsbInterface(uint16_t idVendor, uint16_t idProduct, const char* name);
    uint32_t GetBlukPipesInformations(uint8_t interfaceNo);

    libusb_context* m_context = nullptr;
    libusb_device** m_keptList = nullptr;  // freed (with its references) before libusb ends
    ptrdiff_t m_keptCount = 0;
    libusb_device* m_device = nullptr;  // referenced while held
    libusb_device_handle* m_handle = nullptr;
    uint8_t m_interfaceCount = 0;
    uint8_t m_interfaceNo = 1;
    int m_claimedInterface = -1;  // the interface number claimed, -1 when none
    uint8_t m_bulkIn = 0;
    uint8_t m_bulkOut = 0;
};

}  // namespace vscore
