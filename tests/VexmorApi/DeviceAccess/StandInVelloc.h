// What the stand-in "libvelloc.so.1" of the factory tests lists, shared by
// the stand-in and the test that checks the engine's records against it.
// Its enumeration is scripted through the plug-in call log's answers:
// "velloc.result" (the code it returns), "velloc.count" (the count it
// reports; the list's size by default) and "velloc.nulllist" (1: no list).
#pragma once

#include <string>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"

namespace standin {

// Texts longer than a record field holds.
inline std::string LongText(char c) { return std::string(200, c); }

// USB devices first, as the dispatcher lists them.
inline std::vector<vscore::_ENUM_DEV_INFO> Devices()
{
    std::vector<vscore::_ENUM_DEV_INFO> devices(4);
    devices[0].nameDevice = LongText('U').c_str();
    devices[0].devif = vscore::DEVIF_USB;
    devices[0].idVendor = 0x5D4E;
    devices[0].idProduct = 0x0101;
    devices[0].nameUsbPort = LongText('P').c_str();
    devices[0].idLocation = 0x01020304;
    devices[1].nameDevice = "SIM-NET";
    devices[1].devif = vscore::DEVIF_NET;
    devices[1].bootMethod = 3;
    devices[1].nameNode = LongText('N').c_str();
    devices[1].ipAddress = "127.0.0.2";
    devices[1].macAddress = "02:00:00:00:00:02";
    devices[2].nameDevice = "OTHER-KIND";
    devices[2].devif = static_cast<vscore::devif_t>(3);
    devices[2].bootMethod = 5;
    devices[3].nameDevice = "STATIC";
    devices[3].devif = vscore::DEVIF_NET;
    devices[3].bootMethod = 7;
    devices[3].macAddress = LongText('M').c_str();
    return devices;
}

}  // namespace standin
