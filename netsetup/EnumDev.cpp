// The tools' device table and its two sources: the registration file, read
// with the backend's reader, and an mDNS browse with the backend's browsing.
#include "netsetup/EnumDev.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "backend_source/AvahiClientCore.h"
#include "backend_source/DebugLog.h"
#include "backend_source/ModelEnum.h"
#include "backend_source/RegistrationFile.h"
#include "backend_source/Timings.h"

namespace netsetup {

namespace {

constexpr char kSource[] = "enumdev";
constexpr char kManufacturer[] = "Vordane";
constexpr char kServiceType[] = "_scanner._tcp";
// The tools' browse logs with indent 0 and notes services listed twice.
constexpr AvahiLogStyle kToolAvahiLog = {0, true};
constexpr size_t kPrefixes = 2;
constexpr size_t kNames = 8;

struct NetDeviceTable {
    int count;
    NetDevice entries[kMaxNetDevices];
};

NetDeviceTable g_table;  // main thread only

// The maker's blacklisted families and models are product data not at hand;
// these stand in for them and match no model name in use.
const char* const kBuiltInPrefixes[kPrefixes] = {"QZT-", "QZU-"};
const char* const kBuiltInNames[kNames] = {"QZS-0001", "QZS-0002", "QZS-0003", "QZS-0004",
                                           "QZS-0005", "QZS-0006", "QZS-0007", "QZS-0008"};
const char* g_blacklist[kPrefixes + kNames] = {
    kBuiltInPrefixes[0], kBuiltInPrefixes[1], kBuiltInNames[0], kBuiltInNames[1], kBuiltInNames[2],
    kBuiltInNames[3],    kBuiltInNames[4],    kBuiltInNames[5], kBuiltInNames[6], kBuiltInNames[7]};

template <size_t N>
void CopyField(char (&field)[N], const char* text)
{
    size_t length = text != nullptr ? strnlen(text, N - 1) : 0;
    if (length > 0) {
        std::memcpy(field, text, length);
    }
    field[length] = '\0';
}

}  // namespace

int get_net_device_num() { return g_table.count; }

NetDevice* get_net_device(int i) { return i >= 0 && i < g_table.count ? &g_table.entries[i] : nullptr; }

int set_registered_name(int i, const char* name)
{
    NetDevice* device = get_net_device(i);
    if (device == nullptr || name == nullptr || std::strlen(name) >= sizeof device->registeredName) {
        return -1;
    }
    CopyField(device->registeredName, name);
    return 0;
}

const char* get_registered_name(int i)
{
    const NetDevice* device = get_net_device(i);
    return device != nullptr ? device->registeredName : nullptr;
}

void clear_net_devices() { std::memset(&g_table, 0, sizeof g_table); }

int add_net_device(const char* name, const char* model, const char* address, int state, int maximum)
{
    char text[sizeof NetDevice::address];
    CopyField(text, address);
    for (int i = 0; i < g_table.count; ++i) {
        if (std::strcmp(g_table.entries[i].address, text) == 0) {
            writelog(kSource, __LINE__, 0, "address %s is listed already\n", text);
            return -1;
        }
    }
    if (maximum > kMaxNetDevices) {
        maximum = kMaxNetDevices;
    }
    if (g_table.count >= maximum) {
        return 0;
    }
    NetDevice& entry = g_table.entries[g_table.count];
    std::memset(&entry, 0, sizeof entry);
    CopyField(entry.name, name);
    for (char* p = entry.name; *p != '\0'; ++p) {
        if (*p == ' ') {
            *p = '_';
        }
    }
    CopyField(entry.model, model);
    CopyField(entry.manufacturer, kManufacturer);
    std::memcpy(entry.address, text, sizeof text);
    entry.kind = 1;
    entry.state = state;
    entry.action = kNoAction;
    writelog(kSource, __LINE__, 0, "add %d: %s %s %s state %d\n", g_table.count, entry.name, entry.model, entry.address,
             state);
    return ++g_table.count;
}

int is_supported_scanner(const char* model, const ModelNameList& names)
{
    if (model == nullptr) {
        return kNotSupported;
    }
    const char* text = support_rule_text(model);
    bool realName = false;
    for (size_t i = 0; i < names.Count(); ++i) {
        const std::string& name = names.Name(i);
        if (name == "*") {
            continue;
        }
        realName = true;
        if (names_listed_model(text, name.c_str(), name.size())) {
            return kSupported;
        }
    }
    return realName && !is_in_blacklist(model) ? kPossiblySupported : kNotSupported;
}

bool is_in_blacklist(const char* model) { return begins_with_any(model, g_blacklist, kPrefixes + kNames); }

void set_blacklist(const char* const* prefixes, const char* const* names)
{
    for (size_t i = 0; i < kPrefixes; ++i) {
        g_blacklist[i] = prefixes != nullptr ? prefixes[i] : kBuiltInPrefixes[i];
    }
    for (size_t i = 0; i < kNames; ++i) {
        g_blacklist[kPrefixes + i] = names != nullptr ? names[i] : kBuiltInNames[i];
    }
}

void mdns_model_of(const char* listed, char* model, size_t size)
{
    char text[sizeof NetDevice::model];
    CopyField(text, listed);
    const char* start = strncasecmp(text, "Vordane ", 8) == 0 ? text + 8 : text;
    std::snprintf(model, size, "%s", start);
    for (const char* cut : {" series", " "}) {
        if (char* at = std::strstr(model, cut)) {
            *at = '\0';
        }
    }
}

void enum_my_net_scanner_from_ini(const ModelNameList& names, const char* path)
{
    bool read = read_registration_file(path, [&names](RegistrationEntry& entry) {
        char display[sizeof NetDevice::model];
        int rule = is_supported_scanner(entry.model, names);
        if (rule == kSupported) {
            CopyField(display, entry.model);
        } else if (rule == kPossiblySupported) {
            std::snprintf(display, sizeof display, "*%.62s", entry.model);
        } else {
            entry.name[0] = display[0] = '\0';
        }
        add_net_device(entry.name, display, entry.address, kRegistered, kMaxNetDevices);
    });
    if (!read) {
        writelog(kSource, __LINE__, 0, "oops:inifile(%s) error:", path);
    }
}

void enum_my_net_scanner_from_mdns(const ModelNameList& names, int count)
{
    AvahiDeviceList* list = get_avahi_device_list(kServiceType, backend_timings().browseBoundMs, kToolAvahiLog);
    if (list == nullptr) {
        return;
    }
    int added = 0;
    for (int i = 0; i < list->num && added < count; ++i) {
        const AvahiDevice& device = list->entries[i];
        char model[sizeof NetDevice::model];
        mdns_model_of(device.model, model, sizeof model);
        switch (is_supported_scanner(model, names)) {
        case kSupported:
            writelog(kSource, __LINE__, 0, "is_supported_scanner      Support      : %s\n", model);
            if (add_net_device(device.name, model, device.address, kFoundByMdns, kMaxNetDevices) > 0) {
                ++added;
            }
            break;
        case kPossiblySupported:
            writelog(kSource, __LINE__, 0, "is_supported_scanner      Maybe suport : %s\n", model);
            break;
        default:
            writelog(kSource, __LINE__, 0, "is_supported_scanner      Reject       : %s\n", model);
            break;
        }
    }
    free_avahi_device_list(list);
}

void enumerate_network_scanners(int maximum)
{
    clear_net_devices();
    ModelNameList names;
    read_support_model_files(names);
    const CompanionFiles& files = companion_files();
    enum_my_net_scanner_from_ini(names, files.registration);
    int registered = get_net_device_num();
    if (registered < maximum) {
        enum_my_net_scanner_from_mdns(names, maximum - registered);
    }
}

}  // namespace netsetup
