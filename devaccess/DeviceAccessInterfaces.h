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

// Result codes of device access. Where errno values (network) or libusb
// errors (USB) are named, the plug-in maps them to that code and keeps the
// system code as the last system error.
enum : VSRSLT {
    // Success.
    DEVACS_OK = 0,
    // Nothing closer fits: plug-in or its object missing, nothing in use to close, unmapped system code, bad greeting.
    DEVACS_ERR_GENERAL = 0x10500001,
    // A variant this transport does not serve: number identifiers on USB, keys other than 1, libusb NOT_SUPPORTED.
    DEVACS_ERR_NOT_SUPPORTED = 0x10500002,
    // The request has no meaning on this transport: scan events and name identifiers on the network, USB settings.
    DEVACS_ERR_NOT_ON_TRANSPORT = 0x10500003,
    // The device, its interface or the data channel is open already (USB: also a confirmation while open).
    DEVACS_ERR_ALREADY_OPEN = 0x10500014,
    // The socket is connected already (EISCONN).
    DEVACS_ERR_ALREADY_CONNECTED = 0x10500015,
    // No open data channel for a transfer or a close, or the scanner closed the connection (EPIPE, ENOTCONN).
    DEVACS_ERR_NOT_OPEN = 0x10500016,
    // Nothing pending for a receive that may not wait (EAGAIN).
    DEVACS_ERR_TRY_AGAIN = 0x10500023,
    // The scanner's reply to a data-channel request (USB) is too short or names another request.
    DEVACS_ERR_BAD_REPLY = 0x10500024,
    // Out of memory, also for a device list (ENOMEM, ENOSPC, ENOBUFS, libusb NO_MEM).
    DEVACS_ERR_NO_MEMORY = 0x30500007,
    // No such device, or no answer to the presence check (ENETUNREACH, libusb NO_DEVICE).
    DEVACS_ERR_NO_DEVICE = 0x40500011,
    // Busy after the one retry (EPERM, EADDRINUSE, EADDRNOTAVAIL, EALREADY, EINPROGRESS, libusb BUSY).
    DEVACS_ERR_BUSY = 0x40500012,
    // The scanner refuses the data channel (ECONNREFUSED, EACCES, libusb ACCESS).
    DEVACS_ERR_REFUSED = 0x40500013,
    // Nothing, or not all, moved within the time-out (ETIMEDOUT, libusb TIMEOUT).
    DEVACS_ERR_TIMEOUT = 0x40500031,
    // Transfer failed, or discovery found no local address or could not broadcast (EMSGSIZE, libusb IO, PIPE).
    DEVACS_ERR_IO = 0x40500032,
    // Null or empty argument, identifier the plug-in does not take, EINVAL on a transfer, libusb INVALID_PARAM.
    DEVACS_ERR_BAD_ARGUMENT = 0x70500004,
    // Record version not 1, community names empty (EBADF, EINVAL, ENOTTY, ENOTSOCK, EDESTADDRREQ, libusb OVERFLOW).
    DEVACS_ERR_BAD_VALUE = 0x70500005,
    // Identifier kind or devif with no transport (EPROTOTYPE, EPROTONOSUPPORT, EOPNOTSUPP, EAFNOSUPPORT, NOT_FOUND).
    DEVACS_ERR_NO_TRANSPORT = 0x70500006,
};

// What the engine sees of device access: the dispatcher of libvelloc.so.1,
// which routes each call to the USB or the network plug-in (loaded by name
// on first need) and owns those plug-ins and the merged device list.
//
// Threads: no thread of its own; calls must not overlap, except
// BreakOffWaits and ResumeWaits, which any thread may make at any time.
// Any thread may call, one at a time; the last-error fields belong to the
// call before them, so a caller reads them under the same serialisation.
// (The engine's command channel makes each of its calls and the last-error
// read after it under one lock, which lets the abort go out from another
// thread between two receives of the reading thread.) Nothing is called back.
// Plug-ins are loaded and unloaded on the calling thread. Confirmation,
// open and the transfers block for their waits; the destructor needs every
// other call to have ended. An implementation may promise more than this.
//
// Last error: every operation stores its result as the last result
// (GetLastErrorCode) and the errno (network) or libusb code (USB) behind a
// failure as the last system error (GetDetailLastErr), 0 for success and
// for the layer's own refusals. Transfers return a count and leave their
// cause only there. IsOpenScanner changes neither.
class IDeviceAccess {
public:
    // Destroys the device list, then each plug-in object before unloading
    // its library. No other call may be under way or follow.
    virtual ~IDeviceAccess() = default;
    // Lists USB devices first, then, only when the USB search returned 0,
    // network devices. *list points to a vector owned by the implementation,
    // valid until the next call or destruction; the previous list goes
    // first, so its pointer is never valid again. *count is its size. The
    // result is that of the last search run (0 also when none was found):
    // DEVACS_ERR_GENERAL when a plug-in cannot be loaded, else the plug-in's
    // code, DEVACS_ERR_NO_MEMORY when the records cannot be copied; after a
    // failed network search the USB records stay listed. A null list or
    // count: DEVACS_ERR_BAD_ARGUMENT, *count 0, the previous list kept.
    virtual uint32_t EnumerateScanner(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count) = 0;
    // 0 when the device is present and answers (USB: the maker's device of
    // that name or ID is on the bus; network: the address answers the SNMP
    // presence query), DEVACS_ERR_NO_DEVICE when not. Nothing is opened;
    // id.name is read during the call only. DEVACS_ERR_GENERAL when the
    // identifier routes nowhere or its plug-in cannot be loaded; the plug-in's
    // DEVACS_ERR_BAD_ARGUMENT, _NOT_SUPPORTED or _NOT_ON_TRANSPORT for an
    // identifier it does not take; USB: DEVACS_ERR_ALREADY_OPEN while it has a
    // device open. A plug-in loaded here stays loaded.
    virtual uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) = 0;
    // 0 when the data channel is open (USB: interface claimed and the
    // scanner's open request granted; network: TCP connection to port 54921
    // with the ready greeting). The plug-in routed to becomes the one in use
    // also when the open fails, and a device open through the other transport
    // is no longer used (nor closed). On failure no channel stays open.
    // DEVACS_ERR_GENERAL when the identifier routes nowhere or its plug-in
    // cannot be loaded (nothing in use then); DEVACS_ERR_ALREADY_OPEN;
    // DEVACS_ERR_BUSY when the scanner stays refusing or busy after one retry
    // (USB 5 s later); DEVACS_ERR_BAD_REPLY; DEVACS_ERR_NO_DEVICE; the mapped
    // connect failure; network DEVACS_ERR_GENERAL for a greeting missing or
    // neither ready nor busy; the identifier codes as for ConfirmConnection.
    // A USB location identifier selects no device: the plug-in's last failure
    // comes back, else the open request goes to an interface already claimed
    // (DEVACS_ERR_NOT_OPEN when none is).
    virtual uint32_t OpenScanner(const _DEV_IDENTIFIER& id) = 0;
    // Closes the data channel of the plug-in in use, then deletes that
    // plug-in and unloads it; nothing is in use afterwards. The close's
    // result: 0, DEVACS_ERR_NOT_OPEN when its channel was not open, USB the
    // failed release or close request (a failed release outranks).
    // DEVACS_ERR_GENERAL, nothing forwarded, without a plug-in in use (before
    // an open, after a close). Settings made on that plug-in (the community
    // names) go with it. The device list stays valid.
    virtual uint32_t CloseScanner() = 0;
    // Whether the plug-in in use has its data channel open; false when none.
    virtual bool IsOpenScanner() = 0;
    // One receive of at most readSize bytes into the caller's buffer, which
    // is not kept; a null buffer or a readSize below 1 or above bufferSize is
    // DEVACS_ERR_BAD_ARGUMENT (-1). Bytes received, last result 0; 0
    // when nothing came within timeoutMs (DEVACS_ERR_TIMEOUT, network
    // DEVACS_ERR_TRY_AGAIN for timeoutMs 0, USB last result 0 for timeoutMs
    // 0); -1 on failure with its cause. -1 with DEVACS_ERR_NOT_OPEN, plug-in
    // untouched, when no channel is open; network: also when the scanner
    // closed the connection. USB retries every 10 ms until timeoutMs.
    virtual int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) = 0;
    // Sends from the caller's buffer, which is not kept. Bytes sent, last
    // result 0 (network: all size bytes or a failure, a send cut short being
    // DEVACS_ERR_TIMEOUT; USB: the bytes of one bulk transfer, possibly fewer);
    // 0 when nothing could be sent within timeoutMs; -1 on failure.
    // -1 with DEVACS_ERR_NOT_OPEN when no channel is open.
    virtual int SendData(const unsigned char* data, int size, long timeoutMs) = 0;
    // Copies the network plug-in's two community names into a
    // DEVACS_COMMUNITYNAME (key 1, data the caller's, not kept), both or
    // neither, each NUL-terminated. Loads the plug-in of devif when needed.
    // DEVACS_ERR_NO_TRANSPORT for a devif other than 1 and 2,
    // DEVACS_ERR_GENERAL when the plug-in cannot be loaded, USB
    // DEVACS_ERR_NOT_ON_TRANSPORT; network DEVACS_ERR_BAD_ARGUMENT for null
    // data or buffers or a name that does not fit bufferSize with its NUL,
    // DEVACS_ERR_NOT_SUPPORTED for another key, DEVACS_ERR_BAD_VALUE for a
    // version other than 1. The last system error becomes 0.
    virtual uint32_t GetConfiguration(devif_t devif, devacs_config_t key, void* data) = 0;
    // Replaces each non-empty name (a null buffer counts as empty); codes as
    // GetConfiguration, DEVACS_ERR_BAD_VALUE also for two empty names. The
    // names last while the network plug-in stays loaded (CloseScanner of a
    // network device unloads it, and a new one starts from its defaults).
    virtual uint32_t SetConfiguration(devif_t devif, devacs_config_t key, void* data) = 0;
    // For a caller that gave up the job it opens and asks the device for:
    // from now on every wait for the device (network: a connect, the connect
    // tries' pauses, the greeting, the busy retry's pause, a receive or send
    // that waits; USB: a receive, a send, the open request and the refused
    // open's pause) of a call under way on another thread ends at once with
    // that call's failure (DEVACS_ERR_GENERAL, system error ECANCELED), and
    // so does every wait after it, until ResumeWaits. A wait the transport
    // cannot break off runs to its end: a USB transfer under way (a bulk IN
    // wait goes in slices of at most 250 ms, a send's transfer at most
    // 500 ms), and the USB close request, which a closing scanner still
    // gets. Any thread, at any time, also while another call runs; the
    // last-error fields do not change. The dispatcher lets break-offs nest
    // (one ResumeWaits for each).
    virtual void BreakOffWaits() {}
    // Calls wait for the device again. Any thread, at any time.
    virtual void ResumeWaits() {}

    // The result of the latest operation.
    uint32_t GetLastErrorCode() const { return lastResult_; }
    // The system code behind that result: errno, libusb code, or 0.
    uint32_t GetDetailLastErr() const { return lastSystemError_; }

protected:
    uint32_t lastResult_ = 0;       // result of the latest operation
    uint32_t lastSystemError_ = 0;  // errno or libusb code of that failure, 0 for own refusals
};

// What a transport plug-in (libvelloc-usb.so.1, libvelloc-net.so.1) offers
// the dispatcher, which owns the object and deletes it before unloading the
// library.
//
// Threads: no thread of its own. The dispatcher calls it on its own
// caller's thread, never two calls at once, and reads the two last-error
// fields right after the call they belong to; only BreakOffWaits and
// ResumeWaits come from any thread, also during another call, never two of
// them at once.
//
// Last error: each operation stores its result in lastResult and the errno
// or libusb code behind a failure in lastSystemError (0 for success and
// own refusals), except the configuration calls, which only return theirs,
// and OpenForScanEvents for a USB location identifier, which returns the
// stored result unchanged.
class IDevAccsLowLevel {
public:
    // Closes an open data channel (USB: sends the close request first).
    virtual ~IDevAccsLowLevel() = default;
    // Makes a new list (the previous one goes first) with the maker's devices
    // on the bus (USB) or those that answered the SNMP broadcast on the first
    // up, non-loopback IPv4 interface (network). *list points to it, kept by
    // the plug-in until the next enumeration or destruction; *count is the
    // number found. DEVACS_ERR_BAD_ARGUMENT for a null list or count,
    // DEVACS_ERR_NO_MEMORY when no list can be made. flag goes to the USB
    // layer, which ignores it, as the network plug-in does.
    virtual uint32_t EnumerateDevices(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count, bool flag) = 0;
    // As IDeviceAccess::ConfirmConnection for the identifiers of this
    // transport; DEVACS_ERR_BAD_ARGUMENT for the others.
    virtual uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) = 0;
    // USB: opens the device without claiming its interface. Network:
    // DEVACS_ERR_NOT_ON_TRANSPORT (BAD_ARGUMENT for a foreign identifier), and
    // CloseForScanEvents the same, IsOpenForScanEvents false. The dispatcher
    // never calls these three.
    virtual uint32_t OpenForScanEvents(const _DEV_IDENTIFIER& id) = 0;
    virtual uint32_t CloseForScanEvents() = 0;
    virtual bool IsOpenForScanEvents() = 0;
    // As IDeviceAccess::OpenScanner for this transport.
    virtual uint32_t OpenForDataTransfer(const _DEV_IDENTIFIER& id) = 0;
    // As IDeviceAccess::CloseScanner for this transport; the object stays.
    virtual uint32_t CloseForDataTransfer() = 0;
    virtual bool IsOpenForDataTransfer() = 0;
    // As IDeviceAccess::ReceiveData and SendData, without the open check:
    // a closed channel is the transport's own failure (-1, DEVACS_ERR_NOT_OPEN
    // or the mapped ENOTCONN).
    virtual int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) = 0;
    virtual int SendData(const unsigned char* data, int size, long timeoutMs) = 0;
    // As IDeviceAccess::GetConfiguration and SetConfiguration for this
    // transport; the result is returned, not stored.
    virtual uint32_t GetConfiguration(devacs_config_t key, void* data) = 0;
    virtual uint32_t SetConfiguration(devacs_config_t key, void* data) = 0;
    // As IDeviceAccess::BreakOffWaits and ResumeWaits for this transport;
    // the default breaks nothing off.
    virtual void BreakOffWaits() {}
    virtual void ResumeWaits() {}

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
