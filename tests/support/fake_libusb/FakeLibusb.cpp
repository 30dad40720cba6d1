// The stand-in libusb: the libusb entry points over scripted devices, and
// the scripting and inspection functions of FakeLibusb.h. Objects handed out
// are never reused while the program runs, so a stale pointer is always
// recognised as given back.
#include "tests/support/fake_libusb/FakeLibusb.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>

struct libusb_context {
    bool alive = true;
    int initCount = 1;                      // libusb_init calls on the default context
    std::map<int, libusb_device*> devices;  // live device objects by scripted device
};

struct libusb_device {
    libusb_context* context = nullptr;
    int device = 0;
    int refs = 0;
    bool alive = true;
};

struct libusb_device_handle {
    libusb_device* dev = nullptr;
    std::set<int> claimed;
    bool alive = true;
};

namespace fakeusb {

namespace {

struct DeviceScript {
    DeviceSpec spec;
    bool plugged = true;
    std::deque<Reply> bulkIn;
    std::vector<uint8_t> bulkOut;
    std::map<std::pair<uint8_t, uint8_t>, std::deque<Reply>> control;
    ControlHandler controlHandler;
    BulkOutHandler bulkOutHandler;
    BulkInHandler bulkInHandler;
    bool bulkInWaits = false;  // SetBulkInWaits
};

struct Fault {
    Call call;
    int status;
    int device;
    unsigned skip;
    unsigned times;  // 0: every call
};

struct DeviceList {
    libusb_context* context = nullptr;
    std::unique_ptr<libusb_device*[]> devices;
    ssize_t count = 0;
    bool alive = true;
};

// A configuration descriptor and the arrays it points into.
struct ConfigBlock {
    libusb_config_descriptor config{};
    std::vector<libusb_interface> interfaces;
    std::vector<std::vector<libusb_interface_descriptor>> settings;
    std::vector<std::vector<std::vector<libusb_endpoint_descriptor>>> endpoints;
    bool alive = true;
};

struct State {
    std::recursive_mutex mutex;
    std::map<int, DeviceScript> devices;  // guarded by mutex, like every field
    int nextDevice = 1;
    std::vector<Fault> faults;
    std::vector<LogEntry> log;
    bool strict = true;
    libusb_context* defaultContext = nullptr;
    // Everything ever handed out, kept until the program ends.
    std::unordered_map<const void*, std::unique_ptr<libusb_context>> contexts;
    std::unordered_map<const void*, std::unique_ptr<libusb_device>> deviceObjects;
    std::unordered_map<const void*, std::unique_ptr<libusb_device_handle>> handles;
    std::unordered_map<const void*, std::unique_ptr<DeviceList>> lists;
    std::unordered_map<const void*, std::unique_ptr<ConfigBlock>> configs;
};

// Never destroyed: libraries may still call in while the program ends.
State& S()
{
    static State* state = new State();
    return *state;
}

using Lock = std::lock_guard<std::recursive_mutex>;

[[noreturn]] void Misuse(Call call, const char* format, ...) __attribute__((format(printf, 2, 3)));

[[noreturn]] void Misuse(Call call, const char* format, ...)
{
    std::fprintf(stderr, "fake libusb: misuse in %s: ", CallName(call));
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

libusb_context* CheckContext(Call call, libusb_context* context)
{
    if (context == nullptr) {
        context = S().defaultContext;
        if (context == nullptr) {
            Misuse(call, "the default context is not initialised");
        }
    }
    auto it = S().contexts.find(context);
    if (it == S().contexts.end()) {
        Misuse(call, "context %p was never made", static_cast<void*>(context));
    }
    if (!context->alive) {
        Misuse(call, "context %p was used after libusb_exit", static_cast<void*>(context));
    }
    return context;
}

libusb_device* CheckDevice(Call call, libusb_device* dev)
{
    if (S().deviceObjects.find(dev) == S().deviceObjects.end()) {
        Misuse(call, "device %p was never handed out", static_cast<void*>(dev));
    }
    if (!dev->alive || !dev->context->alive) {
        Misuse(call, "device %p was used after its last reference or libusb_exit", static_cast<void*>(dev));
    }
    return dev;
}

libusb_device_handle* CheckHandle(Call call, libusb_device_handle* handle)
{
    if (S().handles.find(handle) == S().handles.end()) {
        Misuse(call, "handle %p was never opened", static_cast<void*>(handle));
    }
    if (!handle->alive) {
        Misuse(call, "handle %p was used after libusb_close", static_cast<void*>(handle));
    }
    if (!handle->dev->context->alive) {
        Misuse(call, "handle %p was used after libusb_exit", static_cast<void*>(handle));
    }
    return handle;
}

DeviceScript* Script(int device)
{
    auto it = S().devices.find(device);
    return it == S().devices.end() ? nullptr : &it->second;
}

DeviceScript& ScriptOrDie(int device)
{
    DeviceScript* script = Script(device);
    if (script == nullptr) {
        std::fprintf(stderr, "fake libusb: no scripted device %d\n", device);
        std::abort();
    }
    return *script;
}

bool Plugged(int device)
{
    DeviceScript* script = Script(device);
    return script != nullptr && script->plugged;
}

// The status of an injected failure for this call, 0 when none.
int InjectedFault(Call call, int device)
{
    auto& faults = S().faults;
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (it->call != call || (it->device != 0 && it->device != device)) {
            continue;
        }
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        int status = it->status;
        if (it->times == 1) {
            faults.erase(it);
        } else if (it->times > 1) {
            --it->times;
        }
        return status;
    }
    return 0;
}

LogEntry NewEntry(Call call)
{
    LogEntry entry;
    entry.call = call;
    return entry;
}

int Record(LogEntry entry)
{
    S().log.push_back(entry);
    return entry.result;
}

// The log entry of a call on a device, with an injected fault applied.
LogEntry BeginOnDevice(Call call, libusb_device* dev)
{
    CheckDevice(call, dev);
    LogEntry entry = NewEntry(call);
    entry.device = dev->device;
    entry.result = InjectedFault(call, dev->device);
    return entry;
}

// The same for a call on a handle; an unplugged device answers NO_DEVICE.
LogEntry BeginOnHandle(Call call, libusb_device_handle* handle)
{
    CheckHandle(call, handle);
    LogEntry entry = NewEntry(call);
    entry.device = handle->dev->device;
    entry.result = InjectedFault(call, entry.device);
    if (entry.result == 0 && !Plugged(entry.device)) {
        entry.result = LIBUSB_ERROR_NO_DEVICE;
    }
    return entry;
}

void Unref(Call call, libusb_device* dev)
{
    if (dev->refs <= 0) {
        Misuse(call, "device %p has no reference left", static_cast<void*>(dev));
    }
    if (--dev->refs == 0) {
        dev->alive = false;
        dev->context->devices.erase(dev->device);
    }
}

libusb_device* DeviceObject(libusb_context* context, int device)
{
    auto it = context->devices.find(device);
    if (it != context->devices.end()) {
        return it->second;
    }
    auto object = std::make_unique<libusb_device>();
    object->context = context;
    object->device = device;
    libusb_device* dev = object.get();
    S().deviceObjects.emplace(dev, std::move(object));
    context->devices[device] = dev;
    return dev;
}

// True when the endpoint belongs to an interface the handle has claimed.
bool EndpointClaimed(const libusb_device_handle* handle, uint8_t endpoint)
{
    const DeviceScript* script = Script(handle->dev->device);
    if (script == nullptr) {
        return true;
    }
    for (int number : handle->claimed) {
        if (number < 0 || static_cast<size_t>(number) >= script->spec.interfaces.size()) {
            continue;
        }
        for (const AltSetting& setting : script->spec.interfaces[static_cast<size_t>(number)].altSettings) {
            for (const Endpoint& ep : setting.endpoints) {
                if (ep.address == endpoint) {
                    return true;
                }
            }
        }
    }
    return false;
}

std::unique_ptr<ConfigBlock> BuildConfig(const DeviceSpec& spec)
{
    auto block = std::make_unique<ConfigBlock>();
    const size_t count = spec.interfaces.size();
    block->interfaces.resize(count);
    block->settings.resize(count);
    block->endpoints.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const Interface& itf = spec.interfaces[i];
        block->settings[i].resize(itf.altSettings.size());
        block->endpoints[i].resize(itf.altSettings.size());
        for (size_t a = 0; a < itf.altSettings.size(); ++a) {
            const AltSetting& setting = itf.altSettings[a];
            auto& eps = block->endpoints[i][a];
            for (const Endpoint& ep : setting.endpoints) {
                libusb_endpoint_descriptor d{};
                d.bLength = LIBUSB_DT_ENDPOINT_SIZE;
                d.bDescriptorType = LIBUSB_DT_ENDPOINT;
                d.bEndpointAddress = ep.address;
                d.bmAttributes = ep.attributes;
                d.wMaxPacketSize = ep.maxPacketSize;
                eps.push_back(d);
            }
            libusb_interface_descriptor& d = block->settings[i][a];
            d = libusb_interface_descriptor{};
            d.bLength = LIBUSB_DT_INTERFACE_SIZE;
            d.bDescriptorType = LIBUSB_DT_INTERFACE;
            d.bInterfaceNumber = static_cast<uint8_t>(i);
            d.bAlternateSetting = static_cast<uint8_t>(a);
            d.bNumEndpoints = static_cast<uint8_t>(eps.size());
            d.bInterfaceClass = setting.interfaceClass;
            d.endpoint = eps.empty() ? nullptr : eps.data();
        }
        block->interfaces[i].altsetting = block->settings[i].empty() ? nullptr : block->settings[i].data();
        block->interfaces[i].num_altsetting = static_cast<int>(block->settings[i].size());
    }
    libusb_config_descriptor& c = block->config;
    c.bLength = LIBUSB_DT_CONFIG_SIZE;
    c.bDescriptorType = LIBUSB_DT_CONFIG;
    c.bNumInterfaces = static_cast<uint8_t>(count);
    c.bConfigurationValue = 1;
    c.MaxPower = 50;
    c.interface = block->interfaces.empty() ? nullptr : block->interfaces.data();
    return block;
}

int CopyReply(const std::vector<uint8_t>& bytes, uint8_t* data, int length)
{
    int n = static_cast<int>(std::min<size_t>(bytes.size(), static_cast<size_t>(std::max(length, 0))));
    if (n > 0) {
        std::memcpy(data, bytes.data(), static_cast<size_t>(n));
    }
    return n;
}

// Plugs in the devices of the file FAKE_LIBUSB_DEVICES names, once per
// process; mutex held.
void LoadDevicesOnce()
{
    static bool loaded = false;
    if (loaded) {
        return;
    }
    loaded = true;
    const char* path = std::getenv(kDevicesVariable);
    if (path == nullptr || path[0] == '\0') {
        return;
    }
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        std::fprintf(stderr, "fake libusb: cannot read %s\n", path);
        std::abort();
    }
    char text[1024];
    int number = 0;
    while (std::fgets(text, sizeof text, file) != nullptr) {
        ++number;
        std::string line(text);
        if (line.empty() || line[0] == '#' || line == "\n") {
            continue;
        }
        DeviceSpec spec;
        if (!ParseDeviceLine(line, &spec)) {
            std::fprintf(stderr, "fake libusb: %s:%d: not a device line\n", path, number);
            std::abort();
        }
        S().devices[S().nextDevice++].spec = spec;
    }
    std::fclose(file);
}

}  // namespace

const char* CallName(Call call)
{
    switch (call) {
    case Call::Init:
        return "libusb_init";
    case Call::Exit:
        return "libusb_exit";
    case Call::SetOption:
        return "libusb_set_option";
    case Call::GetDeviceList:
        return "libusb_get_device_list";
    case Call::FreeDeviceList:
        return "libusb_free_device_list";
    case Call::RefDevice:
        return "libusb_ref_device";
    case Call::UnrefDevice:
        return "libusb_unref_device";
    case Call::GetDeviceDescriptor:
        return "libusb_get_device_descriptor";
    case Call::GetConfigDescriptor:
        return "libusb_get_config_descriptor";
    case Call::FreeConfigDescriptor:
        return "libusb_free_config_descriptor";
    case Call::Open:
        return "libusb_open";
    case Call::Close:
        return "libusb_close";
    case Call::GetStringDescriptorAscii:
        return "libusb_get_string_descriptor_ascii";
    case Call::ClaimInterface:
        return "libusb_claim_interface";
    case Call::ReleaseInterface:
        return "libusb_release_interface";
    case Call::BulkTransfer:
        return "libusb_bulk_transfer";
    case Call::ControlTransfer:
        return "libusb_control_transfer";
    case Call::GetBusNumber:
        return "libusb_get_bus_number";
    case Call::GetPortNumber:
        return "libusb_get_port_number";
    }
    return "?";
}

Interface BulkInterface(uint8_t firstAddress, uint8_t secondAddress)
{
    Interface itf;
    AltSetting setting;
    setting.endpoints = {Endpoint{firstAddress}, Endpoint{secondAddress}};
    itf.altSettings.push_back(setting);
    return itf;
}

DeviceSpec Device(uint16_t idVendor, uint16_t idProduct, const std::string& manufacturer, const std::string& product)
{
    DeviceSpec spec;
    spec.idVendor = idVendor;
    spec.idProduct = idProduct;
    if (!manufacturer.empty()) {
        spec.iManufacturer = 1;
        spec.strings[1] = manufacturer;
    }
    if (!product.empty()) {
        spec.iProduct = 2;
        spec.strings[2] = product;
    }
    spec.interfaces.push_back(BulkInterface(0x81, 0x02));
    return spec;
}

std::vector<uint8_t> DeviceIdReply(const std::string& id)
{
    size_t length = id.size() + 2;
    std::vector<uint8_t> reply(length);
    reply[0] = static_cast<uint8_t>(length >> 8);
    reply[1] = static_cast<uint8_t>(length);
    std::copy(id.begin(), id.end(), reply.begin() + 2);
    return reply;
}

bool ParseDeviceLine(const std::string& line, DeviceSpec* spec)
{
    size_t bar = line.find('|');
    if (bar == std::string::npos) {
        return false;
    }
    std::string numbers = line.substr(0, bar);
    unsigned long values[4];
    const char* p = numbers.c_str();
    for (unsigned long& value : values) {
        char* end = nullptr;
        value = std::strtoul(p, &end, 0);
        if (end == p) {
            return false;
        }
        p = end;
    }
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    if (values[0] > 0xFFFF || values[1] > 0xFFFF || values[2] > 0xFF || values[3] > 0xFF) {
        return false;
    }
    std::string product = line.substr(bar + 1);
    while (!product.empty() && (product.back() == '\n' || product.back() == '\r')) {
        product.pop_back();
    }
    std::string manufacturer(p);
    while (!manufacturer.empty() && (manufacturer.back() == ' ' || manufacturer.back() == '\t')) {
        manufacturer.pop_back();
    }
    *spec = Device(static_cast<uint16_t>(values[0]), static_cast<uint16_t>(values[1]), manufacturer, product);
    spec->busNumber = static_cast<uint8_t>(values[2]);
    spec->portNumber = static_cast<uint8_t>(values[3]);
    return true;
}

int AddDevice(const DeviceSpec& spec)
{
    Lock lock(S().mutex);
    int device = S().nextDevice++;
    S().devices[device].spec = spec;
    return device;
}

void Unplug(int device)
{
    Lock lock(S().mutex);
    ScriptOrDie(device).plugged = false;
}

void Reset()
{
    Lock lock(S().mutex);
    S().devices.clear();
    S().faults.clear();
    S().log.clear();
    S().strict = true;
}

void QueueControlReply(int device, uint8_t bmRequestType, uint8_t bRequest, Reply reply)
{
    Lock lock(S().mutex);
    ScriptOrDie(device).control[{bmRequestType, bRequest}].push_back(std::move(reply));
}

void QueueBulkIn(int device, std::vector<uint8_t> data, int status)
{
    Lock lock(S().mutex);
    ScriptOrDie(device).bulkIn.push_back(Reply{std::move(data), status});
}

std::vector<uint8_t> TakeBulkOut(int device)
{
    Lock lock(S().mutex);
    std::vector<uint8_t> bytes;
    bytes.swap(ScriptOrDie(device).bulkOut);
    return bytes;
}

void SetControlHandler(int device, ControlHandler handler)
{
    Lock lock(S().mutex);
    ScriptOrDie(device).controlHandler = std::move(handler);
}

void SetBulkOutHandler(int device, BulkOutHandler handler)
{
    Lock lock(S().mutex);
    ScriptOrDie(device).bulkOutHandler = std::move(handler);
}

void SetBulkInHandler(int device, BulkInHandler handler)
{
    Lock lock(S().mutex);
    ScriptOrDie(device).bulkInHandler = std::move(handler);
}

void SetBulkInWaits(int device, bool waits)
{
    Lock lock(S().mutex);
    ScriptOrDie(device).bulkInWaits = waits;
}

void FailCall(Call call, int status, int device, unsigned skip, unsigned times)
{
    Lock lock(S().mutex);
    S().faults.push_back(Fault{call, status, device, skip, times});
}

std::vector<LogEntry> CallLog()
{
    Lock lock(S().mutex);
    return S().log;
}

std::vector<LogEntry> CallLog(Call call)
{
    Lock lock(S().mutex);
    std::vector<LogEntry> entries;
    std::copy_if(S().log.begin(), S().log.end(), std::back_inserter(entries),
                 [call](const LogEntry& e) { return e.call == call; });
    return entries;
}

void ClearCallLog()
{
    Lock lock(S().mutex);
    S().log.clear();
}

Live LiveObjects()
{
    Lock lock(S().mutex);
    Live live;
    for (auto& [key, context] : S().contexts) {
        live.contexts += context->alive ? 1 : 0;
    }
    for (auto& [key, list] : S().lists) {
        live.deviceLists += list->alive ? 1 : 0;
    }
    for (auto& [key, dev] : S().deviceObjects) {
        live.devices += (dev->alive && dev->context->alive) ? 1 : 0;
    }
    for (auto& [key, block] : S().configs) {
        live.configDescriptors += block->alive ? 1 : 0;
    }
    for (auto& [key, handle] : S().handles) {
        if (handle->alive) {
            ++live.handles;
            live.claimedInterfaces += static_cast<int>(handle->claimed.size());
        }
    }
    return live;
}

void SetStrict(bool strict)
{
    Lock lock(S().mutex);
    S().strict = strict;
}

}  // namespace fakeusb

using fakeusb::Call;
using fakeusb::LogEntry;
using fakeusb::S;

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** ctx)
{
    fakeusb::Lock lock(S().mutex);
    fakeusb::LoadDevicesOnce();
    LogEntry entry = fakeusb::NewEntry(Call::Init);
    entry.result = fakeusb::InjectedFault(Call::Init, 0);
    if (entry.result != 0) {
        return fakeusb::Record(entry);
    }
    if (ctx == nullptr && S().defaultContext != nullptr) {
        ++S().defaultContext->initCount;
        return fakeusb::Record(entry);
    }
    auto context = std::make_unique<libusb_context>();
    libusb_context* made = context.get();
    S().contexts.emplace(made, std::move(context));
    if (ctx == nullptr) {
        S().defaultContext = made;
    } else {
        *ctx = made;
    }
    return fakeusb::Record(entry);
}

void LIBUSB_CALL libusb_exit(libusb_context* ctx)
{
    fakeusb::Lock lock(S().mutex);
    libusb_context* context = fakeusb::CheckContext(Call::Exit, ctx);
    fakeusb::Record(fakeusb::NewEntry(Call::Exit));
    if (context == S().defaultContext && --context->initCount > 0) {
        return;
    }
    if (S().strict) {
        for (auto& [key, handle] : S().handles) {
            if (handle->alive && handle->dev->context == context) {
                fakeusb::Misuse(Call::Exit, "handle %p is still open", static_cast<void*>(handle.get()));
            }
        }
        for (auto& [key, list] : S().lists) {
            if (list->alive && list->context == context) {
                fakeusb::Misuse(Call::Exit, "a device list is still held");
            }
        }
        if (!context->devices.empty()) {
            fakeusb::Misuse(Call::Exit, "%zu device(s) still referenced", context->devices.size());
        }
    }
    context->alive = false;
    if (context == S().defaultContext) {
        S().defaultContext = nullptr;
    }
}

int LIBUSB_CALL libusb_set_option(libusb_context* ctx, enum libusb_option option, ...)
{
    fakeusb::Lock lock(S().mutex);
    if (ctx != nullptr || S().defaultContext != nullptr) {
        fakeusb::CheckContext(Call::SetOption, ctx);
    }
    LogEntry entry = fakeusb::NewEntry(Call::SetOption);
    entry.index = option;
    if (option == LIBUSB_OPTION_LOG_LEVEL) {
        // libusb's own prototype puts an enum before the "..."; clang warns
        // about that, but the enum is int-sized and passed as an int.
        va_list args;
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
        va_start(args, option);
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
        entry.value = va_arg(args, int);
        va_end(args);
    }
    entry.result = fakeusb::InjectedFault(Call::SetOption, 0);
    return fakeusb::Record(entry);
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context* ctx, libusb_device*** list)
{
    fakeusb::Lock lock(S().mutex);
    libusb_context* context = fakeusb::CheckContext(Call::GetDeviceList, ctx);
    if (list == nullptr) {
        fakeusb::Misuse(Call::GetDeviceList, "null list pointer");
    }
    LogEntry entry = fakeusb::NewEntry(Call::GetDeviceList);
    entry.result = fakeusb::InjectedFault(Call::GetDeviceList, 0);
    if (entry.result != 0) {
        return fakeusb::Record(entry);
    }
    std::vector<libusb_device*> devices;
    for (auto& [device, script] : S().devices) {
        if (script.plugged) {
            libusb_device* dev = fakeusb::DeviceObject(context, device);
            ++dev->refs;
            devices.push_back(dev);
        }
    }
    auto record = std::make_unique<fakeusb::DeviceList>();
    record->context = context;
    record->count = static_cast<ssize_t>(devices.size());
    record->devices.reset(new libusb_device*[devices.size() + 1]);
    std::copy(devices.begin(), devices.end(), record->devices.get());
    record->devices[devices.size()] = nullptr;
    *list = record->devices.get();
    S().lists.emplace(record->devices.get(), std::move(record));
    entry.result = static_cast<int>(devices.size());
    return fakeusb::Record(entry);
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unref_devices)
{
    fakeusb::Lock lock(S().mutex);
    if (list == nullptr) {
        return;
    }
    auto it = S().lists.find(list);
    if (it == S().lists.end()) {
        fakeusb::Misuse(Call::FreeDeviceList, "list %p was never handed out", static_cast<void*>(list));
    }
    fakeusb::DeviceList& record = *it->second;
    if (!record.alive) {
        fakeusb::Misuse(Call::FreeDeviceList, "list %p was freed twice", static_cast<void*>(list));
    }
    if (!record.context->alive) {
        fakeusb::Misuse(Call::FreeDeviceList, "list %p was freed after libusb_exit", static_cast<void*>(list));
    }
    LogEntry entry = fakeusb::NewEntry(Call::FreeDeviceList);
    entry.value = unref_devices;
    fakeusb::Record(entry);
    if (unref_devices) {
        for (ssize_t i = 0; i < record.count; ++i) {
            fakeusb::Unref(Call::FreeDeviceList, fakeusb::CheckDevice(Call::FreeDeviceList, record.devices[i]));
        }
    }
    record.alive = false;
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* dev)
{
    fakeusb::Lock lock(S().mutex);
    fakeusb::CheckDevice(Call::RefDevice, dev);
    LogEntry entry = fakeusb::NewEntry(Call::RefDevice);
    entry.device = dev->device;
    fakeusb::Record(entry);
    ++dev->refs;
    return dev;
}

void LIBUSB_CALL libusb_unref_device(libusb_device* dev)
{
    fakeusb::Lock lock(S().mutex);
    if (dev == nullptr) {
        return;
    }
    fakeusb::CheckDevice(Call::UnrefDevice, dev);
    LogEntry entry = fakeusb::NewEntry(Call::UnrefDevice);
    entry.device = dev->device;
    fakeusb::Record(entry);
    fakeusb::Unref(Call::UnrefDevice, dev);
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev, struct libusb_device_descriptor* desc)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnDevice(Call::GetDeviceDescriptor, dev);
    const fakeusb::DeviceScript* script = fakeusb::Script(dev->device);
    if (entry.result == 0 && script == nullptr) {
        entry.result = LIBUSB_ERROR_NO_DEVICE;
    }
    if (entry.result == 0) {
        const fakeusb::DeviceSpec& spec = script->spec;
        *desc = libusb_device_descriptor{};
        desc->bLength = LIBUSB_DT_DEVICE_SIZE;
        desc->bDescriptorType = LIBUSB_DT_DEVICE;
        desc->bcdUSB = 0x0200;
        desc->bMaxPacketSize0 = 64;
        desc->idVendor = spec.idVendor;
        desc->idProduct = spec.idProduct;
        desc->iManufacturer = spec.iManufacturer;
        desc->iProduct = spec.iProduct;
        desc->iSerialNumber = spec.iSerialNumber;
        desc->bNumConfigurations = 1;
    }
    return fakeusb::Record(entry);
}

int LIBUSB_CALL libusb_get_config_descriptor(libusb_device* dev, uint8_t config_index,
                                             struct libusb_config_descriptor** config)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnDevice(Call::GetConfigDescriptor, dev);
    entry.index = config_index;
    const fakeusb::DeviceScript* script = fakeusb::Script(dev->device);
    if (entry.result == 0 && (script == nullptr || config_index != 0)) {
        entry.result = LIBUSB_ERROR_NOT_FOUND;
    }
    if (entry.result == 0) {
        auto block = fakeusb::BuildConfig(script->spec);
        *config = &block->config;
        S().configs.emplace(&block->config, std::move(block));
    }
    return fakeusb::Record(entry);
}

void LIBUSB_CALL libusb_free_config_descriptor(struct libusb_config_descriptor* config)
{
    fakeusb::Lock lock(S().mutex);
    if (config == nullptr) {
        return;
    }
    auto it = S().configs.find(config);
    if (it == S().configs.end()) {
        fakeusb::Misuse(Call::FreeConfigDescriptor, "descriptor %p was never handed out", static_cast<void*>(config));
    }
    fakeusb::ConfigBlock& block = *it->second;
    if (!block.alive) {
        fakeusb::Misuse(Call::FreeConfigDescriptor, "descriptor %p was freed twice", static_cast<void*>(config));
    }
    fakeusb::Record(fakeusb::NewEntry(Call::FreeConfigDescriptor));
    // The arrays go at once, so a read through a freed descriptor shows up
    // under the address sanitizer.
    block.alive = false;
    block.config.interface = nullptr;
    std::vector<libusb_interface>().swap(block.interfaces);
    std::vector<std::vector<libusb_interface_descriptor>>().swap(block.settings);
    std::vector<std::vector<std::vector<libusb_endpoint_descriptor>>>().swap(block.endpoints);
}

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** dev_handle)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnDevice(Call::Open, dev);
    if (entry.result == 0 && !fakeusb::Plugged(dev->device)) {
        entry.result = LIBUSB_ERROR_NO_DEVICE;
    }
    if (entry.result == 0) {
        auto handle = std::make_unique<libusb_device_handle>();
        handle->dev = dev;
        ++dev->refs;
        *dev_handle = handle.get();
        S().handles.emplace(handle.get(), std::move(handle));
    }
    return fakeusb::Record(entry);
}

void LIBUSB_CALL libusb_close(libusb_device_handle* dev_handle)
{
    fakeusb::Lock lock(S().mutex);
    if (dev_handle == nullptr) {
        return;
    }
    fakeusb::CheckHandle(Call::Close, dev_handle);
    libusb_device* dev = dev_handle->dev;
    LogEntry entry = fakeusb::NewEntry(Call::Close);
    entry.device = dev->device;
    fakeusb::Record(entry);
    if (S().strict && !dev_handle->claimed.empty() && fakeusb::Plugged(dev->device)) {
        fakeusb::Misuse(Call::Close, "interface %d is still claimed", *dev_handle->claimed.begin());
    }
    dev_handle->claimed.clear();
    dev_handle->alive = false;
    fakeusb::Unref(Call::Close, dev);
}

int LIBUSB_CALL libusb_get_string_descriptor_ascii(libusb_device_handle* dev_handle, uint8_t desc_index,
                                                   unsigned char* data, int length)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnHandle(Call::GetStringDescriptorAscii, dev_handle);
    entry.index = desc_index;
    entry.length = length;
    if (entry.result == 0 && (desc_index == 0 || data == nullptr || length < 1)) {
        entry.result = LIBUSB_ERROR_INVALID_PARAM;
    }
    if (entry.result == 0) {
        const auto& strings = fakeusb::Script(entry.device)->spec.strings;
        auto it = strings.find(desc_index);
        if (it == strings.end()) {
            entry.result = LIBUSB_ERROR_PIPE;
        } else {
            size_t n = std::min(it->second.size(), static_cast<size_t>(length - 1));
            std::memcpy(data, it->second.data(), n);
            data[n] = 0;
            entry.result = static_cast<int>(n);
        }
    }
    return fakeusb::Record(entry);
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* dev_handle, int interface_number)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnHandle(Call::ClaimInterface, dev_handle);
    entry.index = interface_number;
    if (entry.result == 0 && (interface_number < 0 || static_cast<size_t>(interface_number) >=
                                                          fakeusb::Script(entry.device)->spec.interfaces.size())) {
        entry.result = LIBUSB_ERROR_NOT_FOUND;
    }
    if (entry.result == 0) {
        dev_handle->claimed.insert(interface_number);
    }
    return fakeusb::Record(entry);
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* dev_handle, int interface_number)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnHandle(Call::ReleaseInterface, dev_handle);
    entry.index = interface_number;
    if (entry.result == 0 && dev_handle->claimed.count(interface_number) == 0) {
        entry.result = LIBUSB_ERROR_NOT_FOUND;
    }
    if (entry.result == 0) {
        dev_handle->claimed.erase(interface_number);
    }
    return fakeusb::Record(entry);
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* dev_handle, unsigned char endpoint, unsigned char* data,
                                     int length, int* transferred, unsigned int timeout)
{
    std::unique_lock<std::recursive_mutex> lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnHandle(Call::BulkTransfer, dev_handle);
    const int device = entry.device;
    const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
    if (data == nullptr && length > 0) {
        fakeusb::Misuse(Call::BulkTransfer, "null buffer for %d bytes", length);
    }
    if (S().strict && !fakeusb::EndpointClaimed(dev_handle, endpoint)) {
        fakeusb::Misuse(Call::BulkTransfer, "endpoint 0x%02x belongs to no claimed interface", endpoint);
    }
    entry.endpoint = endpoint;
    entry.length = length;
    entry.timeout = timeout;
    if (!in && length > 0) {
        entry.data.assign(data, data + length);
    }
    int moved = 0;
    if (entry.result == 0 && length < 0) {
        entry.result = LIBUSB_ERROR_INVALID_PARAM;
    }
    if (entry.result == 0) {
        fakeusb::DeviceScript& script = *fakeusb::Script(device);
        if (in) {
            if (script.bulkIn.empty() && script.bulkInHandler) {
                fakeusb::BulkInHandler handler = script.bulkInHandler;
                const int n = handler(device, endpoint, data, length);
                moved = std::max(0, std::min(n, length));
                entry.result = n < 0 ? n : (n == 0 ? LIBUSB_ERROR_TIMEOUT : 0);
            } else if (script.bulkIn.empty()) {
                entry.result = LIBUSB_ERROR_TIMEOUT;
            } else {
                fakeusb::Reply& front = script.bulkIn.front();
                moved = fakeusb::CopyReply(front.data, data, length);
                if (static_cast<size_t>(moved) == front.data.size()) {
                    entry.result = front.status;
                    script.bulkIn.pop_front();
                } else {
                    front.data.erase(front.data.begin(), front.data.begin() + moved);
                }
            }
        } else {
            moved = length;
            script.bulkOut.insert(script.bulkOut.end(), data, data + length);
            if (script.bulkOutHandler) {
                fakeusb::BulkOutHandler handler = script.bulkOutHandler;
                handler(device, endpoint, data, length);
            }
        }
    }
    // A device with nothing to say keeps the transfer until its time-out,
    // while other threads use the fake.
    const fakeusb::DeviceScript* waiting = fakeusb::Script(device);
    if (in && entry.result == LIBUSB_ERROR_TIMEOUT && moved == 0 && timeout > 0 && waiting != nullptr &&
        waiting->bulkInWaits) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
        lock.lock();
    }
    entry.transferred = moved;
    if (transferred != nullptr) {
        *transferred = moved;
    }
    return fakeusb::Record(entry);
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle* dev_handle, uint8_t request_type, uint8_t bRequest,
                                        uint16_t wValue, uint16_t wIndex, unsigned char* data, uint16_t wLength,
                                        unsigned int timeout)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnHandle(Call::ControlTransfer, dev_handle);
    const int device = entry.device;
    const bool in = (request_type & LIBUSB_ENDPOINT_IN) != 0;
    if (data == nullptr && wLength > 0) {
        fakeusb::Misuse(Call::ControlTransfer, "null buffer for %u bytes", wLength);
    }
    entry.bmRequestType = request_type;
    entry.bRequest = bRequest;
    entry.wValue = wValue;
    entry.wIndex = wIndex;
    entry.length = wLength;
    entry.timeout = timeout;
    if (!in && wLength > 0) {
        entry.data.assign(data, data + wLength);
    }
    if (entry.result == 0) {
        fakeusb::DeviceScript& script = *fakeusb::Script(device);
        auto queued = script.control.find({request_type, bRequest});
        if (queued != script.control.end() && !queued->second.empty()) {
            fakeusb::Reply reply = std::move(queued->second.front());
            queued->second.pop_front();
            int n = in ? fakeusb::CopyReply(reply.data, data, wLength) : wLength;
            entry.result = reply.status < 0 ? reply.status : n;
        } else if (script.controlHandler) {
            fakeusb::ControlHandler handler = script.controlHandler;
            entry.result =
                handler(device, fakeusb::ControlSetup{request_type, bRequest, wValue, wIndex, wLength}, data);
        } else if (request_type == 0xA1 && bRequest == 0 && !script.spec.deviceIdReply.empty()) {
            entry.result = fakeusb::CopyReply(script.spec.deviceIdReply, data, wLength);
        } else {
            entry.result = LIBUSB_ERROR_PIPE;
        }
    }
    entry.transferred = std::max(entry.result, 0);
    return fakeusb::Record(entry);
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* dev)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnDevice(Call::GetBusNumber, dev);
    const fakeusb::DeviceScript* script = fakeusb::Script(dev->device);
    entry.result = script != nullptr ? script->spec.busNumber : 0;
    return static_cast<uint8_t>(fakeusb::Record(entry));
}

uint8_t LIBUSB_CALL libusb_get_port_number(libusb_device* dev)
{
    fakeusb::Lock lock(S().mutex);
    LogEntry entry = fakeusb::BeginOnDevice(Call::GetPortNumber, dev);
    const fakeusb::DeviceScript* script = fakeusb::Script(dev->device);
    entry.result = script != nullptr ? script->spec.portNumber : 0;
    return static_cast<uint8_t>(fakeusb::Record(entry));
}

// Imported by the libsane of SANE front ends (which binds every symbol at
// load time) for its own USB backends; nothing here calls them, and they
// refuse.
int LIBUSB_CALL libusb_clear_halt(libusb_device_handle*, unsigned char) { return LIBUSB_ERROR_NOT_SUPPORTED; }
int LIBUSB_CALL libusb_get_configuration(libusb_device_handle*, int*) { return LIBUSB_ERROR_NOT_SUPPORTED; }
uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device*) { return 0; }
int LIBUSB_CALL libusb_interrupt_transfer(libusb_device_handle*, unsigned char, unsigned char*, int, int* transferred,
                                          unsigned int)
{
    if (transferred != nullptr) {
        *transferred = 0;
    }
    return LIBUSB_ERROR_NOT_SUPPORTED;
}
int LIBUSB_CALL libusb_reset_device(libusb_device_handle*) { return LIBUSB_ERROR_NOT_SUPPORTED; }
int LIBUSB_CALL libusb_set_configuration(libusb_device_handle*, int) { return LIBUSB_ERROR_NOT_SUPPORTED; }
int LIBUSB_CALL libusb_set_interface_alt_setting(libusb_device_handle*, int, int) { return LIBUSB_ERROR_NOT_SUPPORTED; }

}  // extern "C"
