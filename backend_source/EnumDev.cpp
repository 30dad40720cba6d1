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
constexpr char kManufacturer[] = "Vordane";

struct AvailableScannerList {
    int count;
    AvailableScanner entries[kMaxAvailableScanners];
};

AvailableScannerList g_table;  // front end's thread only

void CopyText(char* out, const char* text) { std::snprintf(out, kTextChars + 1, "%.63s", text != nullptr ? text : ""); }

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
    bool read = read_registration_file(path, [models, other](RegistrationEntry& entry) {
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
    });
    if (!read) {
        writelog(kSource, __LINE__, kIndent, "oops:inifile(%s) error:", path);
    }
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
