// The SANE device list built from discovery, and the device handles: opening
// (selection, connection check, capability read, options), closing, and the
// one engine that serves every handle.
#pragma once

#include <sane/sane.h>

#include "backend_source/My_Scanner.h"

// sane_init's device list: discovery, a SANE device per table entry named by
// the settings key name_type, then the engine binding. INVAL (nothing kept)
// when the engine cannot be bound or initialised. Front end's thread.
SANE_Status initializeTDevice();
// sane_exit's part: frees every device node and unbinds the engine.
void freeTDevice();
// sane_get_devices: a null-terminated array of the devices, owned by the
// backend until the next call or sane_exit. NO_MEM when it cannot be made.
SANE_Status device_get_devices(const SANE_Device*** list);

// sane_open: the handle of the device whose SANE name is name, handed out
// only on success. INVAL for an empty or unknown name and every failure of
// selection, connection check or capability read; NO_MEM; DEVICE_BUSY while
// a scan job runs (selecting a device would take the engine from it).
SANE_Status device_open(SANE_String_Const name, SANE_Handle* handle);
// sane_close: ends the handle's job, then frees the handle.
void device_close(My_Scanner* s);
// Closes every handle still open (sane_exit).
void device_close_all();
// Whether handle is a handle of this backend that is open.
bool device_is_open(SANE_Handle handle);

// Selects the handle's device in the engine unless the engine serves it
// already (sane_start). INVAL when the engine refuses it.
SANE_Status device_select_for_scan(My_Scanner* s);
