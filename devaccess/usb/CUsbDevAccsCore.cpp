// The libusb-1.0 layer of the USB plug-in. libusb runs while this object
// holds an open handle, a device list or a device reference, and is ended
// only after all of them are given back.
#include "devaccess/usb/CUsbDevAccsCore.h"

#include <libusb.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace vscore {

namespace {

// Text of a string descriptor or empty; buffer is 256 bytes.
constexpr int kStringBufferSize = 256;

}  // namespace

IUsbDevAccsCore* IUsbDevAccsCore::CreateObject() { return new (std::nothrow) CUsbDevAccsCore(); }

CUsbDevAccsCore::CUsbDevAccsCore() = default;

// Releases the interface, closes the device, then ends libusb.
CUsbDevAccsCore::~CUsbDevAccsCore()
{
    CloseInterface();
    CloseDevice();
    TerminateLibUsb();
}

// Maps a libusb code to a result code and keeps it as the last libusb error.
uint32_t CUsbDevAccsCore::LibUsbErrorToResultCode(int code)
{
    m_lastLibUsbError = code;
    switch (code) {
    case LIBUSB_SUCCESS:
        return DEVACS_OK;
    case LIBUSB_ERROR_IO:
        return DEVACS_ERR_IO;
    case LIBUSB_ERROR_INVALID_PARAM:
        return DEVACS_ERR_BAD_ARGUMENT;
    case LIBUSB_ERROR_ACCESS:
        return DEVACS_ERR_REFUSED;
    case LIBUSB_ERROR_NO_DEVICE:
        return DEVACS_ERR_NO_DEVICE;
    case LIBUSB_ERROR_NOT_FOUND:
        return DEVACS_ERR_NO_TRANSPORT;
    case LIBUSB_ERROR_BUSY:
        return DEVACS_ERR_BUSY;
    case LIBUSB_ERROR_TIMEOUT:
        return DEVACS_ERR_TIMEOUT;
    case LIBUSB_ERROR_OVERFLOW:
        return DEVACS_ERR_BAD_VALUE;
    case LIBUSB_ERROR_PIPE:
        return DEVACS_ERR_IO;
    case LIBUSB_ERROR_INTERRUPTED:
        return DEVACS_ERR_GENERAL;
    case LIBUSB_ERROR_NO_MEM:
        return DEVACS_ERR_NO_MEMORY;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return DEVACS_ERR_NOT_SUPPORTED;
    default:
        return DEVACS_ERR_GENERAL;
    }
}

// Makes the private context when there is none; libusb stays silent.
uint32_t CUsbDevAccsCore::StartupLibUsb()
{
    if (m_context != nullptr) {
        return DEVACS_OK;
    }
    libusb_context* context = nullptr;
    int rc = libusb_init(&context);
    if (rc < 0) {
        return LibUsbErrorToResultCode(rc);
    }
    m_context = context;
    libusb_set_option(m_context, LIBUSB_OPTION_LOG_LEVEL, LIBUSB_LOG_LEVEL_NONE);
    return DEVACS_OK;
}

// Ends libusb. The caller has closed the handle; the list and the device
// reference belong to the context and are given back first.
void CUsbDevAccsCore::TerminateLibUsb()
{
    if (m_context == nullptr) {
        return;
    }
    FreeKeptDeviceList();
    ReleaseDevice();
    libusb_exit(m_context);
    m_context = nullptr;
}

void CUsbDevAccsCore::FreeKeptDeviceList()
{
    if (m_keptList != nullptr) {
        libusb_free_device_list(m_keptList, 1);
        m_keptList = nullptr;
        m_keptCount = 0;
    }
}

void CUsbDevAccsCore::ReleaseDevice()
{
    if (m_device != nullptr) {
        libusb_unref_device(m_device);
        m_device = nullptr;
    }
}

// Closes the handle, releasing a claimed interface first, and drops what
// the handle was found with. Endpoints go with the handle.
void CUsbDevAccsCore::CloseHandle()
{
    if (m_handle == nullptr) {
        return;
    }
    if (m_claimedInterface >= 0) {
        libusb_release_interface(m_handle, m_claimedInterface);
        m_claimedInterface = -1;
    }
    libusb_close(m_handle);
    m_handle = nullptr;
    m_bulkIn = 0;
    m_bulkOut = 0;
    FreeKeptDeviceList();
    ReleaseDevice();
}

// Lists the maker's scanners, each named from its own handle. libusb ends
// afterwards unless a device is open.
uint32_t CUsbDevAccsCore::EnumerateDevices(std::vector<_ENUM_DEV_INFO>& list, unsigned& count, bool)
{
    m_lastLibUsbError = 0;
    count = 0;
    uint32_t result = StartupLibUsb();
    if (result != DEVACS_OK) {
        return result;
    }
    libusb_device** devices = nullptr;
    ssize_t found = libusb_get_device_list(m_context, &devices);
    if (found < 0) {
        result = LibUsbErrorToResultCode(static_cast<int>(found));
    }
    for (ssize_t i = 0; i < found; ++i) {
        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(devices[i], &descriptor) < 0 || descriptor.idVendor != kMakerVendorId) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        if (libusb_open(devices[i], &handle) < 0) {
            continue;
        }
        TString manufacturer;
        TString product;
        if (GetManufacturerAndDeviceName(descriptor, handle, manufacturer, product)) {
            _ENUM_DEV_INFO info;
            info.nameDevice = manufacturer;
            info.nameDevice += " ";
            info.nameDevice += product;
            info.devif = DEVIF_USB;
            info.idVendor = descriptor.idVendor;
            info.idProduct = descriptor.idProduct;
            list.push_back(info);
            ++count;
        }
        libusb_close(handle);
    }
    if (found >= 0) {
        libusb_free_device_list(devices, 1);
    }
    if (m_handle == nullptr) {
        TerminateLibUsb();
    }
    return result;
}

uint32_t CUsbDevAccsCore::ConfirmConnection(uint16_t idVendor, uint16_t idProduct)
{
    m_lastLibUsbError = 0;
    if (idVendor == 0 || idProduct == 0) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    if (m_handle != nullptr) {
        return DEVACS_ERR_ALREADY_OPEN;
    }
    return FindDeviceAndGetUsbDevice(idVendor, idProduct, nullptr) ? DEVACS_OK : DEVACS_ERR_NO_DEVICE;
}

uint32_t CUsbDevAccsCore::ConfirmConnection(const char* name)
{
    m_lastLibUsbError = 0;
    if (name == nullptr || *name == '\0') {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    if (m_handle != nullptr) {
        return DEVACS_ERR_ALREADY_OPEN;
    }
    return FindDeviceAndGetUsbDevice(0, 0, name) ? DEVACS_OK : DEVACS_ERR_NO_DEVICE;
}

uint32_t CUsbDevAccsCore::ConfirmConnection(unsigned)
{
    m_lastLibUsbError = 0;
    return DEVACS_ERR_NOT_SUPPORTED;
}

uint32_t CUsbDevAccsCore::OpenDevice(uint16_t idVendor, uint16_t idProduct)
{
    m_lastLibUsbError = 0;
    if (idVendor == 0 || idProduct == 0) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    return OpenUsbDevice(idVendor, idProduct, nullptr);
}

uint32_t CUsbDevAccsCore::OpenDevice(const char* name, bool flag)
{
    m_lastLibUsbError = 0;
    if (name == nullptr || *name == '\0' || flag) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    return OpenUsbDevice(0, 0, name);
}

uint32_t CUsbDevAccsCore::OpenDevice(unsigned)
{
    m_lastLibUsbError = 0;
    return DEVACS_ERR_NOT_SUPPORTED;
}

// Closes the open device (releasing its interface first) and drops the
// device list of the search that found it.
uint32_t CUsbDevAccsCore::CloseDevice()
{
    m_lastLibUsbError = 0;
    if (m_handle == nullptr) {
        return DEVACS_ERR_NOT_OPEN;
    }
    CloseHandle();
    return DEVACS_OK;
}

bool CUsbDevAccsCore::IsOpenDevice() { return m_handle != nullptr; }

uint32_t CUsbDevAccsCore::SetupInterfaceNo(uint8_t interfaceNo)
{
    m_lastLibUsbError = 0;
    m_interfaceNo = interfaceNo;
    return DEVACS_OK;
}

uint32_t CUsbDevAccsCore::OpenInterface(uint16_t idVendor, uint16_t idProduct)
{
    m_lastLibUsbError = 0;
    if (m_handle == nullptr && (idVendor == 0 || idProduct == 0)) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    return OpenUsbInterface(idVendor, idProduct, nullptr);
}

uint32_t CUsbDevAccsCore::OpenInterface(const char* name, bool flag)
{
    m_lastLibUsbError = 0;
    if (m_handle == nullptr && (name == nullptr || *name == '\0' || flag)) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    return OpenUsbInterface(0, 0, name);
}

uint32_t CUsbDevAccsCore::OpenInterface(unsigned)
{
    m_lastLibUsbError = 0;
    return DEVACS_ERR_NOT_SUPPORTED;
}

// Releases the claimed interface. When libusb refuses, the endpoints stay
// and the interface counts as open.
uint32_t CUsbDevAccsCore::CloseInterface()
{
    m_lastLibUsbError = 0;
    if (!IsOpenInterface()) {
        return DEVACS_ERR_NOT_OPEN;
    }
    if (m_claimedInterface >= 0) {
        int rc = libusb_release_interface(m_handle, m_claimedInterface);
        if (rc < 0) {
            return LibUsbErrorToResultCode(rc);
        }
        m_claimedInterface = -1;
    }
    m_bulkIn = 0;
    m_bulkOut = 0;
    return DEVACS_OK;
}

bool CUsbDevAccsCore::IsOpenInterface() { return m_bulkIn != 0 && m_bulkOut != 0; }

// A libusb time-out counts as success: whatever arrived is in got.
uint32_t CUsbDevAccsCore::ReadDataOnBulkIn(uint8_t* buffer, int bufferSize, int size, int& got, unsigned timeoutMs)
{
    m_lastLibUsbError = 0;
    got = 0;
    if (buffer == nullptr || size < 1 || size > bufferSize) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    if (!IsOpenInterface()) {
        return DEVACS_ERR_NOT_OPEN;
    }
    // libusb waits for ever on a time-out of 0.
    unsigned timeout = std::clamp(timeoutMs, 1u, kBulkInTimeoutMs);
    int transferred = 0;
    int rc = libusb_bulk_transfer(m_handle, m_bulkIn, buffer, size, &transferred, timeout);
    if (rc != LIBUSB_SUCCESS && rc != LIBUSB_ERROR_TIMEOUT) {
        return LibUsbErrorToResultCode(rc);
    }
    got = std::clamp(transferred, 0, size);
    return DEVACS_OK;
}

// A time-out is a failure here, like any other libusb error.
uint32_t CUsbDevAccsCore::WriteDataOnBulkOut(const uint8_t* data, int size, int& put)
{
    m_lastLibUsbError = 0;
    put = 0;
    if (data == nullptr || size < 1) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    if (!IsOpenInterface()) {
        return DEVACS_ERR_NOT_OPEN;
    }
    int transferred = 0;
    // libusb does not write to the buffer of an OUT transfer.
    int rc =
        libusb_bulk_transfer(m_handle, m_bulkOut, const_cast<uint8_t*>(data), size, &transferred, kBulkOutTimeoutMs);
    if (rc < 0) {
        return LibUsbErrorToResultCode(rc);
    }
    put = std::clamp(transferred, 0, size);
    return DEVACS_OK;
}

// One control transfer on the open device; a reply of 0 bytes leaves
// transferred as it was.
uint32_t CUsbDevAccsCore::DeviceRequest(_DEVREQ_SETUPDATA& setup)
{
    m_lastLibUsbError = 0;
    if (!IsOpenInterface()) {
        return DEVACS_ERR_NOT_OPEN;
    }
    if (setup.data == nullptr && setup.wLength != 0) {
        return DEVACS_ERR_BAD_ARGUMENT;
    }
    int rc = libusb_control_transfer(m_handle, setup.bmRequestType, setup.bRequest, setup.wValue, setup.wIndex,
                                     setup.data, setup.wLength, kControlTimeoutMs);
    if (rc < 0) {
        return LibUsbErrorToResultCode(rc);
    }
    if (rc > 0) {
        setup.transferred = std::min<uint32_t>(static_cast<uint32_t>(rc), setup.wLength);
    }
    return DEVACS_OK;
}

uint32_t CUsbDevAccsCore::DeviceIoControl(_DEVCTRL_DATA&)
{
    m_lastLibUsbError = 0;
    return DEVACS_ERR_NOT_SUPPORTED;
}

// Names from the string descriptors; when either is missing, both come
// from the MFG: and MDL: keys of the device ID instead.
bool CUsbDevAccsCore::GetManufacturerAndDeviceName(const libusb_device_descriptor& descriptor,
                                                   libusb_device_handle* handle, TString& manufacturer,
                                                   TString& product)
{
    if (handle == nullptr) {
        return false;
    }
    unsigned char buffer[kStringBufferSize];
    std::memset(buffer, 0, sizeof buffer);
    int rc = libusb_get_string_descriptor_ascii(handle, descriptor.iManufacturer, buffer, kStringBufferSize - 1);
    if (rc > 0) {
        manufacturer = TString(reinterpret_cast<const char*>(buffer), std::min(rc, kStringBufferSize - 1));
    }
    std::memset(buffer, 0, sizeof buffer);
    rc = libusb_get_string_descriptor_ascii(handle, descriptor.iProduct, buffer, kStringBufferSize - 1);
    if (rc > 0) {
        product = TString(reinterpret_cast<const char*>(buffer), std::min(rc, kStringBufferSize - 1));
    }
    if (!manufacturer.IsEmpty() && !product.IsEmpty()) {
        return true;
    }
    return GetManufacturerAndDeviceNameFromIEEE1284ID(handle, manufacturer, product);
}

bool CUsbDevAccsCore::GetManufacturerAndDeviceNameFromIEEE1284ID(libusb_device_handle* handle, TString& manufacturer,
                                                                 TString& product)
{
    TString id = GetIEEE1284DeviceIdString(handle);
    manufacturer = GetManufacturerFromIEEE1284ID(id);
    product = GetDeviceNameFromIEEE1284ID(id);
    return !manufacturer.IsEmpty() && !product.IsEmpty();
}

CUsbDevAccsCore::TString CUsbDevAccsCore::GetManufacturerFromIEEE1284ID(const TString& id)
{
    return ExtractIdStringFromIEEE1284ID(id, "MFG:");
}

CUsbDevAccsCore::TString CUsbDevAccsCore::GetDeviceNameFromIEEE1284ID(const TString& id)
{
    return ExtractIdStringFromIEEE1284ID(id, "MDL:");
}

// Asks the device for its IEEE 1284 device ID; empty when it does not answer.
CUsbDevAccsCore::TString CUsbDevAccsCore::GetIEEE1284DeviceIdString(libusb_device_handle* handle)
{
    uint8_t reply[kDeviceIdLength + 1];
    std::memset(reply, 0, sizeof reply);
    int rc = libusb_control_transfer(handle, kDeviceIdRequestType, kDeviceIdRequest, 0, 0, reply, kDeviceIdLength,
                                     kControlTimeoutMs);
    if (rc < 1) {
        return TString();
    }
    return ParseIEEE1284DeviceId(reply, std::min<size_t>(static_cast<size_t>(rc), kDeviceIdLength));
}

CUsbDevAccsCore::TString CUsbDevAccsCore::ParseIEEE1284DeviceId(const uint8_t* reply, size_t received)
{
    if (reply == nullptr || received < 2) {
        return TString();
    }
    size_t length = (static_cast<size_t>(reply[0]) << 8) | reply[1];
    if (length < 2) {
        return TString();
    }
    size_t textLength = std::min(length - 2, received - 2);
    return TString(reinterpret_cast<const char*>(reply + 2), textLength);
}

CUsbDevAccsCore::TString CUsbDevAccsCore::ExtractIdStringFromIEEE1284ID(const TString& id, const char* key)
{
    if (id.IsEmpty() || key == nullptr || *key == '\0') {
        return TString();
    }
    size_t at = id.FindNoCase(key);
    if (at == TString::npos) {
        return TString();
    }
    size_t colon = id.Find(':', at);
    if (colon == TString::npos) {
        return TString();
    }
    const char* text = id.C_str();
    size_t length = id.Length();
    size_t start = colon + 1;
    size_t end = start;
    bool quoted = false;
    for (; end < length; ++end) {
        if (text[end] == '"') {
            quoted = !quoted;
        } else if (text[end] == ';' && !quoted) {
            break;
        }
    }
    return TString(text + start, end - start);
}

// Finds a device by vendor and product ID (idVendor not 0) or by name, in
// a fresh device list unless a device is open, and keeps a reference to it.
bool CUsbDevAccsCore::FindDeviceAndGetUsbDevice(uint16_t idVendor, uint16_t idProduct, const char* name)
{
    if (idVendor == 0 && (name == nullptr || *name == '\0')) {
        return false;
    }
    if (StartupLibUsb() != DEVACS_OK) {
        return false;
    }
    if (m_keptList == nullptr || m_handle == nullptr) {
        FreeKeptDeviceList();
        libusb_device** devices = nullptr;
        ssize_t found = libusb_get_device_list(m_context, &devices);
        if (found < 0) {
            LibUsbErrorToResultCode(static_cast<int>(found));
            return false;
        }
        if (found == 0) {
            libusb_free_device_list(devices, 1);
            return false;
        }
        m_keptList = devices;
        m_keptCount = found;
    }
    libusb_device* match = nullptr;
    for (ptrdiff_t i = 0; i < m_keptCount && match == nullptr; ++i) {
        libusb_device* device = m_keptList[i];
        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(device, &descriptor) < 0) {
            continue;
        }
        if (idVendor != 0) {
            if (descriptor.idVendor == idVendor && descriptor.idProduct == idProduct) {
                match = device;
            }
            continue;
        }
        libusb_device_handle* handle = nullptr;
        if (libusb_open(device, &handle) < 0) {
            continue;
        }
        TString manufacturer;
        TString product;
        GetManufacturerAndDeviceName(descriptor, handle, manufacturer, product);
        TString fullName = manufacturer;
        fullName += " ";
        fullName += product;
        if (product.CompareNoCase(name) == 0 || fullName.CompareNoCase(name) == 0) {
            match = device;
        }
        libusb_close(handle);
    }
    if (match == nullptr) {
        return false;
    }
    libusb_ref_device(match);
    ReleaseDevice();
    m_device = match;
    return true;
}

// Opens the device a search finds; the interface count comes from its
// configuration 0 (0 when that cannot be read).
uint32_t CUsbDevAccsCore::OpenUsbDevice(uint16_t idVendor, uint16_t idProduct, const char* name)
{
    if (m_handle != nullptr) {
        return DEVACS_ERR_ALREADY_OPEN;
    }
    if (!FindDeviceAndGetUsbDevice(idVendor, idProduct, name)) {
        return DEVACS_ERR_NO_DEVICE;
    }
    m_lastLibUsbError = 0;
    libusb_config_descriptor* config = nullptr;
    m_interfaceCount = 0;
    if (libusb_get_config_descriptor(m_device, 0, &config) == LIBUSB_SUCCESS && config != nullptr) {
        m_interfaceCount = config->bNumInterfaces;
        libusb_free_config_descriptor(config);
    }
    libusb_device_handle* handle = nullptr;
    int rc = libusb_open(m_device, &handle);
    if (rc < 0) {
        return LibUsbErrorToResultCode(rc);
    }
    m_handle = handle;
    return DEVACS_OK;
}

// Claims the interface of the open device (opening it first when needed)
// and finds its bulk pipes. A failure leaves no claim, and no handle when
// this call opened the device.
uint32_t CUsbDevAccsCore::OpenUsbInterface(uint16_t idVendor, uint16_t idProduct, const char* name)
{
    if (IsOpenInterface()) {
        return DEVACS_ERR_ALREADY_OPEN;
    }
    bool openedHere = false;
    if (m_handle == nullptr) {
        uint32_t result = OpenUsbDevice(idVendor, idProduct, name);
        if (result != DEVACS_OK) {
            return result;
        }
        openedHere = true;
    }
    if (m_interfaceCount == 1) {
        m_interfaceNo = 0;
    }
    uint8_t interfaceNo = m_interfaceNo;
    uint32_t result = DEVACS_OK;
    int rc = libusb_claim_interface(m_handle, interfaceNo);
    if (rc < 0) {
        result = LibUsbErrorToResultCode(rc);
    } else {
        m_claimedInterface = interfaceNo;
        result = GetBlukPipesInformations(interfaceNo);
        if (result != DEVACS_OK) {
            libusb_release_interface(m_handle, interfaceNo);
            m_claimedInterface = -1;
        }
    }
    if (result != DEVACS_OK && openedHere) {
        CloseHandle();
    }
    return result;
}

// The bulk pipes are the first two endpoints of the first alternate setting
// of the interface: the one with bit 7 set is IN, the other must be an OUT
// endpoint other than endpoint 0.
uint32_t CUsbDevAccsCore::GetBlukPipesInformations(uint8_t interfaceNo)
{
    libusb_config_descriptor* config = nullptr;
    int rc = libusb_get_config_descriptor(m_device, 0, &config);
    if (rc < 0) {
        return LibUsbErrorToResultCode(rc);
    }
    if (config == nullptr) {
        return DEVACS_ERR_GENERAL;
    }
    uint32_t result = DEVACS_ERR_GENERAL;
    if (interfaceNo < config->bNumInterfaces && config->interface != nullptr) {
        const libusb_interface& usbInterface = config->interface[interfaceNo];
        if (usbInterface.num_altsetting >= 1 && usbInterface.altsetting != nullptr) {
            const libusb_interface_descriptor& setting = usbInterface.altsetting[0];
            if (setting.bNumEndpoints >= 2 && setting.endpoint != nullptr) {
                uint8_t first = setting.endpoint[0].bEndpointAddress;
                uint8_t second = setting.endpoint[1].bEndpointAddress;
                uint8_t in = 0;
                uint8_t out = 0;
                if (first & LIBUSB_ENDPOINT_IN) {
                    in = first;
                    out = second;
                } else if (second & LIBUSB_ENDPOINT_IN) {
                    in = second;
                    out = first;
                }
                if (in != 0 && out != 0 && (out & LIBUSB_ENDPOINT_IN) == 0) {
                    m_bulkIn = in;
                    m_bulkOut = out;
                    result = DEVACS_OK;
                }
            }
        }
    }
    libusb_free_config_descriptor(config);
    return result;
}

}  // namespace vscore
