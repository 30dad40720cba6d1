// Network scanners announced by mDNS joining the discovery table.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "backend_source/AvahiClientCore.h"
#include "backend_source/DebugLog.h"
#include "backend_source/DriverPaths.h"
#include "backend_source/EnumDev.h"
#include "backend_source/IniFile.h"
#include "backend_source/Timings.h"

namespace {

constexpr char kSource[] = "avahi";
constexpr int kIndent = 3;
constexpr char kServiceType[] = "_scanner._tcp";
constexpr size_t kKeyChars = 31;

// The model of a listed service: at most 31 characters, without a leading
// maker name ("VORDANE " or "Vordane_", any case), cut at " series", at
// "_series" and at the first blank.
void ModelOf(const char* listed, char* model, size_t size)
{
    char text[kKeyChars + 1];
    std::snprintf(text, sizeof text, "%.31s", listed);
    const char* start = text;
    if (strncasecmp(start, "VORDANE ", 8) == 0 || strncasecmp(start, "Vordane_", 8) == 0) {
        start += 8;
    }
    std::snprintf(model, size, "%s", start);
    for (const char* cut : {" series", "_series", " "}) {
        if (char* at = std::strstr(model, cut)) {
            *at = '\0';
        }
    }
}

}  // namespace

void enum_my_net_scanner_from_mdns(const SupportDevicesList* models, int other)
{
    if (get_inifile_int_at(driver_ini_path(), "Browse", 0) == 0) {
        return;
    }
    AvahiDeviceList* list = get_avahi_device_list(kServiceType, backend_timings().browseBoundMs);
    writelog(kSource, __LINE__, kIndent, "  avahi_device_list = %lx \n",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(list)));
    if (list == nullptr) {
        return;
    }
    int added = 0;
    for (int i = 0; i < list->num && added < kMaxMdnsScanners; ++i) {
        const AvahiDevice& device = list->entries[i];
        char key[kKeyChars + 1];
        std::snprintf(key, sizeof key, "%.31s", device.name);
        char model[kKeyChars + 1];
        ModelOf(device.model, model, sizeof model);
        int rule = is_supported_scanner(model, models, -1);
        if (rule != kSupported && !(rule == kPossiblySupported && other != 0)) {
            writelog(kSource, __LINE__, kIndent, "mDNS service %s (%s) is not supported\n", key, model);
            continue;
        }
        unsigned char address[32] = {};
        size_t length = strnlen(device.address, sizeof device.address);
        if (length >= sizeof address) {
            continue;  // an address that does not fit is never cut
        }
        std::memcpy(address, device.address, length);
        if (add_available_scanner_to_list(key, model, "Vordane", nullptr, kNetScanner, address, kMaxAvailableScanners) >
            0) {
            ++added;
        }
    }
    free_avahi_device_list(list);
}
