// The libusb layer of the USB plug-in as the data channel sees it: device
// search and naming, opening the device, claiming its interface, and single
// bulk and control transfers with their result codes.
#pragma once

#include <cstdint>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"

namespace vscore {

class IUsbDevAccsCore {
public:
    // One control request. data is the caller's buffer of wLength bytes;
    // transferred is set on success.
    struct _DEVREQ_SETUPDATA {
        uint8_t bmRequestType;
        uint8_t bRequest;
        uint16_t wValue;
        uint16_t wIndex;
        uint16_t wLength;
        uint8_t* data;
        uint32_t transferred;
    };
    // Argument of DeviceIoControl, which refuses every call.
    struct _DEVCTRL_DATA;

    // A new libusb layer owned by the caller; null when out of memory.
    static IUsbDevAccsCore* CreateObject();

    // Releases the interface, closes the device and ends libusb.
    virtual ~IUsbDevAccsCore() = default;

    // Appends the maker's scanners to list; count is the number appended.
    virtual uint32_t EnumerateDevices(std::vector<_ENUM_DEV_INFO>& list, unsigned& count, bool flag) = 0;
    virtual uint32_t ConfirmConnection(uint16_t idVendor, uint16_t idProduct) = 0;
    virtual uint32_t ConfirmConnection(const char* name) = 0;
    virtual uint32_t ConfirmConnection(unsigned number) = 0;
    virtual uint32_t OpenDevice(uint16_t idVendor, uint16_t idProduct) = 0;
    virtual uint32_t OpenDevice(const char* name, bool flag) = 0;
    virtual uint32_t OpenDevice(unsigned number) = 0;
    virtual uint32_t CloseDevice() = 0;
    virtual bool IsOpenDevice() = 0;
    virtual uint32_t SetupInterfaceNo(uint8_t interfaceNo) = 0;
    virtual uint32_t OpenInterface(uint16_t idVendor, uint16_t idProduct) = 0;
    virtual uint32_t OpenInterface(const char* name, bool flag) = 0;
    virtual uint32_t OpenInterface(unsigned number) = 0;
    virtual uint32_t CloseInterface() = 0;
    virtual bool IsOpenInterface() = 0;
    // One bulk IN transfer of at most size bytes that waits at most
    // timeoutMs (1 to 17500 ms); got is the byte count, possibly 0.
    virtual uint32_t ReadDataOnBulkIn(uint8_t* buffer, int bufferSize, int size, int& got, unsigned timeoutMs) = 0;
    // One bulk OUT transfer; put is the byte count sent.
    virtual uint32_t WriteDataOnBulkOut(const uint8_t* data, int size, int& put) = 0;
    virtual uint32_t DeviceRequest(_DEVREQ_SETUPDATA& setup) = 0;
    virtual uint32_t DeviceIoControl(_DEVCTRL_DATA& data) = 0;

    // The libusb code of the latest operation's failure (0 when the failure
    // was the layer's own or there was none).
    int32_t GetLastLibUsbError() const { return m_lastLibUsbError; }

protected:
    int32_t m_lastLibUsbError = 0;
};

}  // namespace vscore
