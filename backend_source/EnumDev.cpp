// The discovery table, USB enumeration through libusb and the registration
// file of network scanners.
#include "backend_source/EnumDev.h"

#include <libusb.h>
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "backend_source/DebugLog.h"
#include "backend_source/DriverPaths.h"
#include "backend_source/IniFile.h"

namespace {

constexpr char kSource[] = "enumdev";
constexpr int kIndent = 3;
constexpr uint16_t kVendorId = 0x5D4E;
// Product IDs up to this one are not scanners of this driver.
constexpr uint16_t kLowestProductId = 0x397;
constexpr int kUsbStringBytes = 1024;
constexpr size_t kTextChars = 63;
// Registration lines are read up to 276 characters; widening three commas
// to " , " adds six.
constexpr size_t kRegistrationLineChars = 276;
constexpr size_t kWideLineSize = kRegistrationLineChars + 6 + 1;
constexpr size_t kAddressChars = 32;
constexpr char kManufacturer[] = "Vordane";

struct AvailableScannerList {
    int count;
    AvailableScanner entries[kMaxAvailableScanners];
};

AvailableScannerList g_table;  // front end's thread only

void CopyText(char* out, const char* text) { std::snprintf(out, kTextChars + 1, "%.63s", text != nullptr ? text : ""); }

// Drops a leading double quote and everything from the next one on.
void StripQuotes(char* text)
{
    if (text[0] != '"') {
        return;
    }
    std::memmove(text, text + 1, std::strlen(text));
    text[std::strcspn(text, "\"")] = '\0';
}

// Reads the line with the format; all four texts empty first.
int Scan(const char* line, const char* key, bool withFlag, RegistrationEntry* out, char* address)
{
    char format[128];
    std::snprintf(format, sizeof format, "DEVICE=%%283s , %%283s , %%283s , %s=%%283s %s", key,
                  withFlag ? ", FLAG=%283s" : "");
    out->name[0] = out->model[0] = out->third[0] = address[0] = '\0';
    char flag[284];
    return std::sscanf(line, format, out->name, out->model, out->third, address, flag);
}

void ReadUsbString(libusb_device_handle* handle, uint8_t index, char* out, bool* ok)
{
    unsigned char text[kUsbStringBytes + 1] = {};
    int length = index != 0 ? libusb_get_string_descriptor_ascii(handle, index, text, kUsbStringBytes) : -1;
    *ok = length >= 0;
    if (length < 0) {
        length = 0;
    }
    text[length] = '\0';
    std::memcpy(out, text, static_cast<size_t>(length) + 1);
}

}  // namespace

void clear_available_scanners() { std::memset(&g_table, 0, sizeof g_table); }

int get_available_scanner_num() { return g_table.count; }

const AvailableScanner* select_available_scanner(int i)
{
    return i >= 0 && i < g_table.count ? &g_table.entries[i] : nullptr;
}

int set_registored_scanner_name(int i, const char* name)
{
    if (i < 0 || i >= g_table.count || name == nullptr || std::strlen(name) >= kRegisteredNameSize) {
        return -1;
    }
    std::memcpy(g_table.entries[i].registeredName, name, std::strlen(name) + 1);
    return 0;
}

const char* get_registored_scanner_name(int i)
{
    return i >= 0 && i < g_table.count ? g_table.entries[i].registeredName : nullptr;
}

UsbAddress usb_address_of(const AvailableScanner& entry)
{
    UsbAddress address;
    std::memcpy(&address, entry.address, sizeof address);
    return address;
}

int add_available_scanner_to_list(const char* modelKey, const char* displayModel, const char* manufacturer,
                                  const char* product, int kind, const void* address, int maximum)
{
    if (kind == kNetScanner) {
        const char* text = static_cast<const char*>(address);
        for (int i = 0; i < g_table.count; ++i) {
            const AvailableScanner& entry = g_table.entries[i];
            if (entry.kind == kNetScanner &&
                strncmp(reinterpret_cast<const char*>(entry.address), text, sizeof entry.address) == 0) {
                writelog(kSource, __LINE__, kIndent, "address %.31s is listed already\n", text);
                return -1;
            }
        }
    }
    if (maximum > kMaxAvailableScanners) {
        maximum = kMaxAvailableScanners;
    }
    if (g_table.count >= maximum) {
        return 0;
    }
    AvailableScanner& entry = g_table.entries[g_table.count];
    std::memset(&entry, 0, sizeof entry);
    CopyText(entry.modelKey, modelKey);
    CopyText(entry.displayModel, displayModel);
    CopyText(entry.manufacturer, manufacturer);
    CopyText(entry.product, product);
    std::memcpy(entry.address, address, sizeof entry.address);
    if (kind == kNetScanner) {
        entry.address[sizeof entry.address - 1] = '\0';
    }
    entry.kind = kind;
    writelog(kSource, __LINE__, kIndent, "add_available_scanner_to_list %d: %s %s %s\n", g_table.count, entry.modelKey,
             entry.displayModel, entry.manufacturer);
    return ++g_table.count;
}

void usb_model_of(const char* product, char* model, size_t size)
{
    std::snprintf(model, size, "%s", product);
    for (char* p = model; *p != '\0'; ++p) {
        if (strncasecmp(p, " series", 7) == 0) {
            *p = '\0';
            break;
        }
    }
}

void model_key_of(const char* model, char* key, size_t size)
{
    std::snprintf(key, size, "%s", model);
    for (char* p = key; *p != '\0'; ++p) {
        if (*p == ' ') {
            *p = '_';
        }
    }
}

bool parse_registration_line(const char* line, RegistrationEntry* out)
{
    std::memset(out, 0, sizeof *out);
    char wide[kWideLineSize] = {};
    size_t w = 0;
    int commas = 0;
    for (size_t i = 0; i < kRegistrationLineChars && line[i] != '\0'; ++i) {
        if (line[i] == ',' && commas < 3) {
            ++commas;
            std::memcpy(wide + w, " , ", 3);
            w += 3;
        } else {
            wide[w++] = line[i];
        }
    }
    wide[w] = '\0';
    if (wide[0] == '\0' || wide[0] == '\n' || wide[0] == '\r' || wide[0] == '#' || wide[0] == '[') {
        return false;
    }
    if (std::strchr(wide, '=') == nullptr || std::strncmp(wide, "DEVICE=", 7) != 0) {
        return false;
    }
    const char* key = nullptr;
    if (std::strstr(wide, "IP-ADDRESS=") != nullptr) {
        key = "IP-ADDRESS";
    } else if (std::strstr(wide, "NODENAME=") != nullptr) {
        key = "NODENAME";
    } else {
        return false;
    }
    char address[284];
    Scan(wide, key, false, out, address);
    if (out->name[0] == '\0' || out->model[0] == '\0' || out->third[0] == '\0' || address[0] == '\0') {
        Scan(wide, key, true, out, address);
    }
    std::snprintf(out->address, sizeof out->address, "%.32s", address);
    StripQuotes(out->name);
    StripQuotes(out->model);
    StripQuotes(out->address);
    return out->name[0] != '\0';
}

void enum_my_usb_scanner(const SupportDevicesList* models, int other)
{
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        writelog(kSource, __LINE__, kIndent, "libusb_init failed\n");
        return;
    }
    libusb_set_option(context, LIBUSB_OPTION_LOG_LEVEL, 0);
    libusb_device** list = nullptr;
    ssize_t count = libusb_get_device_list(context, &list);
    for (ssize_t i = 0; i < count && list[i] != nullptr; ++i) {
        libusb_device* device = list[i];
        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.idVendor != kVendorId ||
            descriptor.idProduct <= kLowestProductId) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        int result = libusb_open(device, &handle);
        if (result != 0) {
            writelog(kSource, __LINE__, kIndent, "libusb_open error %d\n", result);
            break;
        }
        libusb_config_descriptor* configuration = nullptr;
        result = libusb_get_config_descriptor(device, 0, &configuration);
        if (result != 0) {
            writelog(kSource, __LINE__, kIndent, "libusb_get_config_descriptor error %d\n", result);
            libusb_close(handle);
            break;
        }
        libusb_free_config_descriptor(configuration);

        char manufacturer[kUsbStringBytes + 1];
        char product[kUsbStringBytes + 1];
        char model[kUsbStringBytes + 1] = "";
        bool ok = false;
        ReadUsbString(handle, descriptor.iManufacturer, manufacturer, &ok);
        ReadUsbString(handle, descriptor.iProduct, product, &ok);
        if (ok) {
            usb_model_of(product, model, sizeof model);
        } else {
            manufacturer[0] = product[0] = '\0';
        }
        UsbAddress address = {};
        address.idVendor = descriptor.idVendor;
        address.idProduct = descriptor.idProduct;
        address.bus = address.bus2 = libusb_get_bus_number(device);
        address.port = address.port2 = libusb_get_port_number(device);
        int rule = is_supported_scanner(model, models, descriptor.idProduct);
        writelog(kSource, __LINE__, kIndent, "USB %04x:%04x bus %d port %d [%s] support %d\n", descriptor.idVendor,
                 descriptor.idProduct, address.bus, address.port, product, rule);
        char display[kUsbStringBytes + 2];
        std::snprintf(display, sizeof display, "%s%s", rule == kPossiblySupported ? "*" : "", model);
        if (rule == kSupported || (rule == kPossiblySupported && other == 1)) {
            char key[kTextChars + 1];
            model_key_of(model, key, sizeof key);
            unsigned char block[32] = {};
            std::memcpy(block, &address, sizeof address);
            add_available_scanner_to_list(key, display, manufacturer, product, kUsbScanner, block,
                                          kMaxAvailableScanners);
        }
        libusb_close(handle);
    }
    if (count >= 0) {
        libusb_free_device_list(list, 1);
    }
    libusb_exit(context);
}

void enum_my_net_scanner_from_ini(const SupportDevicesList* models, int other, const char* path)
{
    FILE* file = std::fopen(path, "re");
    if (file == nullptr) {
        writelog(kSource, __LINE__, kIndent, "oops:inifile(%s) error:", path);
        return;
    }
    char line[kRegistrationLineChars + 2];
    while (std::fgets(line, static_cast<int>(kRegistrationLineChars + 1), file) != nullptr) {
        size_t length = std::strlen(line);
        if (length == kRegistrationLineChars && line[length - 1] != '\n') {
            int c;
            while ((c = std::fgetc(file)) != EOF && c != '\n') {
            }
        }
        RegistrationEntry entry;
        if (!parse_registration_line(line, &entry)) {
            continue;
        }
        int rule = is_supported_scanner(entry.model, models, -1);
        char display[sizeof entry.model + 1];
        std::snprintf(display, sizeof display, "%s", entry.model);
        if (rule == kPossiblySupported && other == 1) {
            std::snprintf(display, sizeof display, "*%s", entry.model);
        } else if (rule != kSupported) {
            entry.name[0] = entry.model[0] = display[0] = '\0';
        }
        unsigned char block[32] = {};
        std::memcpy(block, entry.address, std::strlen(entry.address));
        add_available_scanner_to_list(entry.name, display, kManufacturer, nullptr, kNetScanner, block,
                                      kMaxAvailableScanners);
    }
    std::fclose(file);
}

void initialize_available_scanners()
{
    int other = get_inifile_int_at(driver_ini_path(), "Other", 0);
    clear_available_scanners();
    SupportDevicesList* models = read_model_files(driver_model_dir());
    if (models == nullptr) {
        error_detect(kSource, __LINE__);
        return;
    }
    enum_my_usb_scanner(models, other);
    enum_my_net_scanner_from_ini(models, other, driver_registration_path());
    enum_my_net_scanner_from_mdns(models, other);
    free_support_devices_list(models);
}
