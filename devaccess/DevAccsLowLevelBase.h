// What both transport plug-ins keep beside their interface: the result of
// the latest operation with its system error, the device list they hand out,
// and the identifier check of their routing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"

namespace vscore {

// Used by one thread at a time, as the plug-in that derives from it.
class CDevAccsLowLevelBase : public IDevAccsLowLevel {
protected:
    // Keeps result and systemError as the latest operation's; returns result.
    uint32_t Store(uint32_t result, uint32_t systemError)
    {
        lastResult = result;
        lastSystemError = systemError;
        return result;
    }

    // Whether id carries an identifier of this kind for this transport.
    static bool IsPair(const _DEV_IDENTIFIER& id, uint32_t kind, devif_t devif)
    {
        return id.kind == kind && id.devif == devif;
    }

    // The list EnumerateDevices hands out (made by RenewDeviceList), kept
    // until the next enumeration or destruction.
    std::unique_ptr<std::vector<_ENUM_DEV_INFO>> m_deviceList;
};

}  // namespace vscore
