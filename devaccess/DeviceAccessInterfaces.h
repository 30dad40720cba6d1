// The interfaces between the engine and device access, and between the
// dispatcher and its transport plug-ins, with the records that cross them
// and the result codes of the whole layer. One header for every library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "vdtcl/TTString.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Transport of a device.
enum devif_t : uint32_t {
    DEVIF_NONE = 0,
    DEVIF_USB = 1,
    DEVIF_NET = 2,
};

// Configuration keys; only the SNMP community names exist.
enum devacs_config_t : uint32_t {
    DEVACS_CONFIG_COMMUNITYNAME = 1,
};

// Which identifier a _DEV_IDENTIFIER carries.
enum : uint32_t {
    DEVID_KIND_NAME = 0,      // name: USB device name or network host
    DEVID_KIND_VIDPID = 1,    // idVendor, idProduct
    DEVID_KIND_NUMBER = 2,    // number
    DEVID_KIND_ADDRESS = 3,   // name: host name or address text
    DEVID_KIND_LOCATION = 4,  // location (USB only)
};

// Identifier of one device, filled by the engine, read by device access.
struct _DEV_IDENTIFIER {
    uint32_t kind;
    devif_t devif;
    union {
        const char* name;  // not owned, NUL-terminated
        struct {
            uint16_t idVendor;
            uint16_t idProduct;
        };
        uint32_t number;
    };
};

// One device found by enumeration; copied by value.
struct _ENUM_DEV_INFO {
    vdtcl::TTString<char> nameDevice;
    devif_t devif = DEVIF_NONE;
    uint16_t idVendor = 0;
    uint16_t idProduct = 0;
    vdtcl::TTString<char> nameUsbPort;
    uint32_t idLocation = 0;
    uint32_t bootMethod = 0;
    vdtcl::TTString<char> nameNode;
    vdtcl::TTString<char> ipAddress;
    vdtcl::TTString<char> macAddress;
};

// For the owners of a device list: destroys the list held in owner, then
// makes a new empty one and returns it (null when no memory was left). The
// old list goes first, so a pointer handed out for it is never valid again.
inline std::vector<_ENUM_DEV_INFO>* RenewDeviceList(std::unique_ptr<std::vector<_ENUM_DEV_INFO>>& owner)
{
    owner.reset();
    owner.reset(new (std::nothrow) std::vector<_ENUM_DEV_INFO>());
    return owner.get();
}

// Data of configuration key 1; buffers owned by the caller.
struct DEVACS_COMMUNITYNAME {
    int32_t version;  // must be 1
    char* name1;      // read by Set, written by Get
    char* name2;
    size_t bufferSize;  // size of each buffer, for Get
};

// Result codes of device access.
enum : VSRSLT {
    DEVACS_OK = 0,
    DEVACS_ERR_GENERAL = 0x10500001,
    DEVACS_ERR_NOT_SUPPORTED = 0x10500002,
    DEVACS_ERR_NOT_ON_TRANSPORT = 0x10500003,
    DEVACS_ERR_ALREADY_OPEN = 0x10500014,
    DEVACS_ERR_ALREADY_CONNECTED = 0x10500015,
    DEVACS_ERR_NOT_OPEN = 0x10500016,
    DEVACS_ERR_TRY_AGAIN = 0x10500023,
    DEVACS_ERR_BAD_REPLY = 0x10500024,
    DEVACS_ERR_NO_MEMORY = 0x30500007,
    DEVACS_ERR_NO_DEVICE = 0x40500011,
    DEVACS_ERR_BUSY = 0x40500012,
    DEVACS_ERR_REFUSED = 0x40500013,
    DEVACS_ERR_TIMEOUT = 0x40500031,
    DEVACS_ERR_IO = 0x40500032,
    DEVACS_ERR_BAD_ARGUMENT = 0x70500004,
    DEVACS_ERR_BAD_VALUE = 0x70500005,
    DEVACS_ERR_NO_TRANSPORT = 0x70500006,
};

// What the engine sees of device access (the dispatcher).
class IDeviceAccess {
public:
    virtual ~IDeviceAccess() = default;
    // *list points to a vector owned by the implementation, valid until the
    // next call or destruction; count is its size.
    virtual uint32_t EnumerateScanner(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count) = 0;
    virtual uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) = 0;
    virtual uint32_t OpenScanner(const _DEV_IDENTIFIER& id) = 0;
    virtual uint32_t CloseScanner() = 0;
    virtual bool IsOpenScanner() = 0;
    // Bytes received; 0 when nothing came within the time-out; -1 on failure.
    virtual int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) = 0;
    // Bytes sent; 0 when nothing could be sent within the time-out; -1 on failure.
    virtual int SendData(const unsigned char* data, int size, long timeoutMs) = 0;
    virtual uint32_t GetConfiguration(devif_t devif, devacs_config_t key, void* data) = 0;
    virtual uint32_t SetConfiguration(devif_t devif, devacs_config_t key, void* data) = 0;

    uint32_t GetLastErrorCode() const { return lastResult_; }
    uint32_t GetDetailLastErr() const { return lastSystemError_; }

protected:
    uint32_t lastResult_ = 0;       // result of the latest operation
    uint32_t lastSystemError_ = 0;  // errno or libusb code of that failure, 0 for own refusals
};

// What a transport plug-in offers the dispatcher.
class IDevAccsLowLevel {
public:
    virtual ~IDevAccsLowLevel() = default;
    // The vector is made and kept by the plug-in.
    virtual uint32_t EnumerateDevices(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count, bool flag) = 0;
    virtual uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) = 0;
    virtual uint32_t OpenForScanEvents(const _DEV_IDENTIFIER& id) = 0;
    virtual uint32_t CloseForScanEvents() = 0;
    virtual bool IsOpenForScanEvents() = 0;
    virtual uint32_t OpenForDataTransfer(const _DEV_IDENTIFIER& id) = 0;
    virtual uint32_t CloseForDataTransfer() = 0;
    virtual bool IsOpenForDataTransfer() = 0;
    virtual int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) = 0;
    virtual int SendData(const unsigned char* data, int size, long timeoutMs) = 0;
    virtual uint32_t GetConfiguration(devacs_config_t key, void* data) = 0;
    virtual uint32_t SetConfiguration(devacs_config_t key, void* data) = 0;

    // The dispatcher reads these directly after each call.
    uint32_t lastResult = 0;
    uint32_t lastSystemError = 0;
};

}  // namespace vscore

#define VSCORE_EXPORT __attribute__((visibility("default")))

// Each library exports one factory `CreateInstance` with C linkage and no
// arguments: libvelloc.so.1 returns an IDeviceAccess, each plug-in an
// IDevAccsLowLevel. The loader owns the object and deletes it through the
// virtual destructor before unloading the library. The declarations live
// beside each library's sources; these are the types its loader looks up.
typedef vscore::IDeviceAccess* (*PFN_CreateDeviceAccess)();
typedef vscore::IDevAccsLowLevel* (*PFN_CreateDevAccsLowLevel)();
