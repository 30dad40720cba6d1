// A stand-in for libusb-1.0 (file and soname "libusb-1.0.so.0"), found before
// the real one through LD_LIBRARY_PATH. It implements the libusb calls the
// device-access code makes, over scripted devices, and offers the functions
// below to script them and to inspect what was called. Misuse (a handle,
// device, list or descriptor used after it was given back or its context
// ended, a double close or free) aborts the program with a message.
//
// All functions may be called from any thread; one recursive lock guards the
// fake. Handlers run under that lock and may call the scripting functions.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fakeusb {

// The libusb calls the fake implements.
enum class Call {
    Init,
    Exit,
    SetOption,
    GetDeviceList,
    FreeDeviceList,
    RefDevice,
    UnrefDevice,
    GetDeviceDescriptor,
    GetConfigDescriptor,
    FreeConfigDescriptor,
    Open,
    Close,
    GetStringDescriptorAscii,
    ClaimInterface,
    ReleaseInterface,
    BulkTransfer,
    ControlTransfer,
    GetBusNumber,
    GetPortNumber,
};

// The libusb function name of a call, for messages.
const char* CallName(Call call);

struct Endpoint {
    uint8_t address = 0;
    uint8_t attributes = LIBUSB_TRANSFER_TYPE_BULK;
    uint16_t maxPacketSize = 512;
};

struct AltSetting {
    uint8_t interfaceClass = 0xFF;
    std::vector<Endpoint> endpoints;
};

struct Interface {
    std::vector<AltSetting> altSettings;  // may be empty
};

// One scripted device. String descriptor indices 0 mean "no string"; an
// index missing from strings makes the string request stall.
struct DeviceSpec {
    uint16_t idVendor = 0;
    uint16_t idProduct = 0;
    uint8_t iManufacturer = 0;
    uint8_t iProduct = 0;
    uint8_t iSerialNumber = 0;
    std::map<uint8_t, std::string> strings;
    std::vector<Interface> interfaces;  // configuration 0, numbered from 0
    // Answer to the IEEE 1284 device ID request (type 0xA1, request 0);
    // empty makes that request stall.
    std::vector<uint8_t> deviceIdReply;
    // Where the device is plugged in (libusb_get_bus_number and
    // libusb_get_port_number).
    uint8_t busNumber = 1;
    uint8_t portNumber = 1;
};

// An interface with one alternate setting holding two bulk endpoints in
// the given order.
Interface BulkInterface(uint8_t firstAddress, uint8_t secondAddress);
// A device with manufacturer and product strings at indices 1 and 2 (index
// 0 for an empty text) and one interface with bulk endpoints 0x81 and 0x02.
DeviceSpec Device(uint16_t idVendor, uint16_t idProduct, const std::string& manufacturer, const std::string& product);
// A device ID reply: the big-endian length (counting its own two bytes)
// followed by the text.
std::vector<uint8_t> DeviceIdReply(const std::string& id);

// Plugs a device in; the result names it in the other functions (from 1).
int AddDevice(const DeviceSpec& spec);
// Programs a test starts (a SANE front end) get their devices from a file:
// the variable FAKE_LIBUSB_DEVICES names it, and the first libusb_init of
// the process plugs in one Device() per line
//   <idVendor> <idProduct> <bus> <port> <manufacturer>|<product>
// (numbers decimal or hex with 0x; '#' starts a comment line). A line it
// cannot read ends the program with a message.
constexpr char kDevicesVariable[] = "FAKE_LIBUSB_DEVICES";
// The devices of one such line; false when it cannot be read. No I/O.
bool ParseDeviceLine(const std::string& line, DeviceSpec* spec);
// Unplugs a device: new lists leave it out, calls on its handles fail with
// LIBUSB_ERROR_NO_DEVICE.
void Unplug(int device);
// Forgets devices, scripted replies, faults and the call log, and turns the
// strict checks on. Objects handed out stay as they are (see LiveObjects).
void Reset();

// One scripted outcome: bytes delivered and the libusb status returned.
struct Reply {
    std::vector<uint8_t> data;
    int status = LIBUSB_SUCCESS;
};

// The next control transfer of this type and request to the device gets
// this reply (at most wLength bytes of it); replies are used in order.
void QueueControlReply(int device, uint8_t bmRequestType, uint8_t bRequest, Reply reply);
// Bulk IN data in order: a transfer takes up to its length from the first
// entry, and returns the entry's status when it takes the entry's last
// byte. With nothing queued a transfer times out at once with 0 bytes.
void QueueBulkIn(int device, std::vector<uint8_t> data, int status = LIBUSB_SUCCESS);
// Bytes the device accepted on bulk OUT since the last call.
std::vector<uint8_t> TakeBulkOut(int device);

struct ControlSetup {
    uint8_t bmRequestType;
    uint8_t bRequest;
    uint16_t wValue;
    uint16_t wIndex;
    uint16_t wLength;
};
// Answers control transfers that no queued reply matches: returns the
// byte count written to data (at most wLength) or a libusb error.
using ControlHandler = std::function<int(int device, const ControlSetup& setup, uint8_t* data)>;
void SetControlHandler(int device, ControlHandler handler);
// Sees every accepted bulk OUT transfer (after it was captured).
using BulkOutHandler = std::function<void(int device, uint8_t endpoint, const uint8_t* data, int length)>;
void SetBulkOutHandler(int device, BulkOutHandler handler);
// Answers a bulk IN transfer when nothing is queued: writes at most length
// bytes to data and returns the count (0: the transfer times out with no
// bytes) or a libusb error. An empty handler takes it away again.
using BulkInHandler = std::function<int(int device, uint8_t endpoint, uint8_t* data, int length)>;
void SetBulkInHandler(int device, BulkInHandler handler);
// With waits on, a bulk IN transfer of the device that times out with no
// bytes (nothing queued and no handler, a handler that answered 0, or an
// injected time-out) keeps its caller for its whole time-out first, as a
// silent device does; the fake's lock is free meanwhile. Off (the
// default), it times out at once.
void SetBulkInWaits(int device, bool waits);

// Makes a call fail with status: after `skip` matching calls, the next
// `times` ones (0: every one). device 0 matches any device and calls that
// concern none. Failing transfers move no bytes.
void FailCall(Call call, int status, int device = 0, unsigned skip = 0, unsigned times = 1);

// One call as it was made.
struct LogEntry {
    Call call = Call::Init;
    int device = 0;        // scripted device concerned, 0 for none
    int result = 0;        // returned value (count or libusb status)
    unsigned timeout = 0;  // transfers
    uint8_t endpoint = 0;  // bulk transfers
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    int length = 0;             // requested transfer or buffer length
    int transferred = 0;        // bytes moved
    int index = 0;              // interface, string, configuration or option
    int value = 0;              // option value; unref flag of FreeDeviceList
    std::vector<uint8_t> data;  // bytes sent (bulk OUT, control OUT)
};
std::vector<LogEntry> CallLog();
std::vector<LogEntry> CallLog(Call call);
void ClearCallLog();

// Objects handed out and not given back yet.
struct Live {
    int contexts = 0;
    int deviceLists = 0;
    int devices = 0;  // device objects with references
    int configDescriptors = 0;
    int handles = 0;
    int claimedInterfaces = 0;
    bool operator==(const Live& o) const
    {
        return contexts == o.contexts && deviceLists == o.deviceLists && devices == o.devices &&
               configDescriptors == o.configDescriptors && handles == o.handles &&
               claimedInterfaces == o.claimedInterfaces;
    }
};
Live LiveObjects();

// Strict mode (the default) also aborts when libusb_exit leaves a handle,
// a device list or a device reference of its context behind, when a handle
// of a plugged device is closed with an interface still claimed, and when a
// bulk transfer uses an endpoint of no claimed interface.
void SetStrict(bool strict);

}  // namespace fakeusb
