// Entry point of the network plug-in library.
#include "devaccess/net/NetPlugin.h"

#include <new>

#include "devaccess/net/CNetDeviceAccess.h"

extern "C" VSCORE_EXPORT vscore::IDevAccsLowLevel* CreateInstance()
{
    return new (std::nothrow) vscore::CNetDeviceAccess();
}
