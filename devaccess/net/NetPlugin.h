// The one export of libvelloc-net.so.1.
#pragma once

#include "devaccess/DeviceAccessInterfaces.h"

// A new network plug-in object with the shipped timings; the caller deletes
// it through the virtual destructor before unloading the library. Null when
// no memory was left.
extern "C" VSCORE_EXPORT vscore::IDevAccsLowLevel* CreateInstance();
