// Entry point of the USB plug-in library.
#include "devaccess/usb/UsbPlugin.h"

#include <new>

#include "devaccess/usb/CUsbDeviceAccess.h"

extern "C" VSCORE_EXPORT vscore::IDevAccsLowLevel* CreateInstance()
{
    return new (std::nothrow) vscore::CUsbDeviceAccess();
}
