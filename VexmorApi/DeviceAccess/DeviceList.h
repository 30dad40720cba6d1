// One device enumeration through the device access, turned into the public
// records of EnumerateDevice.
#pragma once

#include <memory>
#include <vector>

#include "VexmorApi/VexmorApiTypes.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/VsResult.h"

// Made by the engine for each EnumerateDevice and kept until the next one;
// used by one thread at a time.
class DeviceList {
public:
    // Texts of a record keep at most this many bytes before their NUL.
    static constexpr size_t kTextLimit = 127;

    struct Result {
        VSRSLT result = 0;  // the enumeration's own code, passed through
        // The records, shared with the list; null when no enumeration ran.
        std::shared_ptr<std::vector<vscore::_VS_DEVICE_INFO>> devices;
    };

    // The device access stays the caller's and must outlive the list.
    explicit DeviceList(vscore::IDeviceAccess* deviceAccess) : deviceAccess_(deviceAccess) {}
    virtual ~DeviceList() = default;

    // Runs the device access's enumeration and converts what it lists, in its
    // order (USB devices first). The records are made also when the
    // enumeration fails: as many as it lists, never more than its vector
    // holds, none for a null vector. The result's vector stays valid while
    // the caller or this list holds a share of it. May throw std::bad_alloc.
    Result Enumerate();

    // One device as a public record: zeroed, interface 1 and 2 kept (else 0),
    // address assignment 0, 3 and 7 kept (else 99), texts cut to kTextLimit
    // bytes and NUL-terminated.
    static vscore::_VS_DEVICE_INFO Convert(const vscore::_ENUM_DEV_INFO& device);

private:
    vscore::IDeviceAccess* deviceAccess_;  // not owned
    std::shared_ptr<std::vector<vscore::_VS_DEVICE_INFO>> devices_;
};
