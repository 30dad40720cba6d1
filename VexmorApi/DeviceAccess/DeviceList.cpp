// Device enumeration for the engine interface: the device access's list,
// bounded by what it really holds, converted record by record.
#include "VexmorApi/DeviceAccess/DeviceList.h"

#include <algorithm>
#include <cstring>

#include "VexmorApi/Vexmor.h"

namespace {

// Copies text into a field of size bytes: at most kTextLimit bytes, up to
// its first NUL, then a NUL.
template <size_t N>
void CopyText(char (&field)[N], const vdtcl::TTString<char>& text)
{
    static_assert(N > DeviceList::kTextLimit, "a text field holds the limit and its NUL");
    const char* source = text.C_str();
    size_t const length = strnlen(source, std::min(text.Length(), DeviceList::kTextLimit));
    std::memcpy(field, source, length);
    field[length] = '\0';
}

}  // namespace

DeviceList::Result DeviceList::Enumerate()
{
    Result result;
    if (deviceAccess_ == nullptr) {
        // Without a device access the engine is not initialised.
        result.result = vscore::APIERR_NOT_INITIALIZED;
        return result;
    }
    const std::vector<vscore::_ENUM_DEV_INFO>* list = nullptr;
    unsigned count = 0;
    result.result = deviceAccess_->EnumerateScanner(&list, &count);
    // The count is the device access's word; the vector is what it holds.
    size_t const n = list != nullptr ? std::min<size_t>(count, list->size()) : 0;
    auto devices = std::make_shared<std::vector<vscore::_VS_DEVICE_INFO>>();
    devices->reserve(n);
    for (size_t i = 0; i < n; ++i) {
        devices->push_back(Convert((*list)[i]));
    }
    devices_ = devices;
    result.devices = std::move(devices);
    return result;
}

vscore::_VS_DEVICE_INFO DeviceList::Convert(const vscore::_ENUM_DEV_INFO& device)
{
    vscore::_VS_DEVICE_INFO info;
    std::memset(&info, 0, sizeof info);
    switch (device.devif) {
    case vscore::DEVIF_USB:
        info.ifType = vscore::USB;
        break;
    case vscore::DEVIF_NET:
        info.ifType = vscore::NETWORK;
        break;
    default:
        info.ifType = static_cast<vscore::devif_type>(0);
        break;
    }
    CopyText(info.nameDevice, device.nameDevice);
    info.usb.idVender = device.idVendor;
    info.usb.idProduct = device.idProduct;
    CopyText(info.usb.nameUsbPort, device.nameUsbPort);
    info.usb.idLocation = device.idLocation;
    switch (device.bootMethod) {
    case vscore::AUTO:
    case vscore::DHCP:
    case vscore::STATIC:
        info.net.bootMethod = static_cast<vscore::bootmethod_type>(device.bootMethod);
        break;
    default:
        info.net.bootMethod = vscore::OTHER;
        break;
    }
    CopyText(info.net.nameNode, device.nameNode);
    CopyText(info.net.ipAddress, device.ipAddress);
    CopyText(info.net.macAddress, device.macAddress);
    return info;
}
