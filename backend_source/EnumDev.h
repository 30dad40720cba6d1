// The discovery table of the backend: the scanners found at sane_init on
// USB (devices of the maker listed by the model files), in the registration
// file and by mDNS, in that order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend_source/ModelEnum.h"
#include "backend_source/RegistrationFile.h"

constexpr int kMaxAvailableScanners = 16;
// At most this many mDNS devices join the table.
constexpr int kMaxMdnsScanners = 8;
// A registered SANE name holds the longest name the device list forms
// ("usb%02d:%s" with a 63-character model key).
constexpr size_t kRegisteredNameSize = 72;

enum ScannerKind { kUsbScanner = 0, kNetScanner = 1 };

// The address block of a USB device.
struct UsbAddress {
    uint16_t idVendor;
    uint16_t idProduct;
    int32_t bus, port;
    int32_t bus2, port2;  // bus and port again
};

struct AvailableScanner {
    char modelKey[64];      // model with blanks as '_'; network: registered or service name
    char displayModel[64];  // model, '*' first when only possibly supported
    char manufacturer[128];
    char registeredName[kRegisteredNameSize];  // the SANE name (Device.cpp)
    char product[64];                          // USB product text
    unsigned char address[32];                 // network: the address text, terminated; USB: a UsbAddress
    int kind;                                  // ScannerKind
};

// Builds the table (Other from the settings file, libusb, the model files,
// the registration file, mDNS when Browse is set). Front end's thread.
void initialize_available_scanners();
// Empties the table.
void clear_available_scanners();

int get_available_scanner_num();
// Entry i, null outside the table.
const AvailableScanner* select_available_scanner(int i);
// Stores the SANE name of entry i: 0, or -1 when i is outside the table or
// the name does not fit.
int set_registored_scanner_name(int i, const char* name);
const char* get_registored_scanner_name(int i);
// The USB address of a USB entry.
UsbAddress usb_address_of(const AvailableScanner& entry);

// Adds an entry (texts cut at 63 characters, product may be null, address
// holds 32 bytes). A network entry whose address text is listed already
// gives -1; a table holding maximum entries gives 0; else the new count.
int add_available_scanner_to_list(const char* modelKey, const char* displayModel, const char* manufacturer,
                                  const char* product, int kind, const void* address, int maximum);

// The model text as the support rule sees it: a USB product text cut at
// " series" (any case).
void usb_model_of(const char* product, char* model, size_t size);
// The model key of a model: blanks turned into '_'.
void model_key_of(const char* model, char* key, size_t size);

// USB enumeration, registration file and mDNS, each adding to the table.
// other is the settings key Other.
void enum_my_usb_scanner(const SupportDevicesList* models, int other);
void enum_my_net_scanner_from_ini(const SupportDevicesList* models, int other, const char* path);
void enum_my_net_scanner_from_mdns(const SupportDevicesList* models, int other);
