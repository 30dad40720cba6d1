// The backend's binding of the scan engine: loads "libvexmor.so.3" at run
// time, keeps the one engine object of the process and forwards every engine
// operation the backend uses. All other backend code calls only these.
#pragma once

#include "VexmorApi/IVexmorApi.h"

// The engine library's file name, found through the loader's search path.
#define VORDANE5_ENGINE_LIBRARY "libvexmor.so.3"

// Result of a binding that failed and of every call while no engine is bound.
constexpr VSRSLT kVsNoEngine = 0x70210002;

// The loaded engine library and its engine object; both null while unbound.
// Written only by vssdkwrapper_Initialize and vssdkwrapper_UnInitialize
// (sane_init and sane_exit), read by every thread that calls a wrapper.
extern void* dlhandle;
extern vscore::IVexmorApi* pp;

// Binds the engine (an earlier binding is released first) and returns the
// engine's Initialize result. A library that cannot be loaded or lacks
// CreateInstance writes the loader's text and a line end to standard error
// and gives 0x70210002 (a library without the factory stays loaded until
// unbinding). Front-end thread only.
VSRSLT vssdkwrapper_Initialize(const char* bundleIdentifier, bool isStiAccess);
// Calls UnInitialize, deletes the engine object, unloads the library and
// clears both globals; returns the unload result (0 when nothing was bound).
// Front-end thread only, with no other thread inside a wrapper.
int vssdkwrapper_UnInitialize();

// Each forwards to the engine operation of the same name and returns its
// result unchanged; unbound, the engine is not called and a VSRSLT wrapper
// gives 0x70210002, a bool wrapper false, GetScanStatus ALLEND. Records
// passed in stay the caller's. Any thread while bound.
VSRSLT vssdkwrapper_EnumerateDevice(vscore::_VS_DEVICE_INFO** devices, unsigned* count);
void vssdkwrapper_ReleaseDeviceList();  // does nothing
VSRSLT vssdkwrapper_SelectDevice(vscore::_VS_SELECT_DEVICE_INFO* selection);
VSRSLT vssdkwrapper_GetSelectedDevInfo(vscore::_VS_SELECT_DEVICE_INFO* selection);
bool vssdkwrapper_CheckConnection();
VSRSLT vssdkwrapper_QueryDeviceCapabilities(unsigned version, void* record);
VSRSLT vssdkwrapper_GetIccProfile(void** data, int* size);
VSRSLT vssdkwrapper_GetPushScanParameter(unsigned version, void* record);
// True exactly when the engine reports a document in the feeder (2).
bool vssdkwrapper_IsAdfInserted();
VSRSLT vssdkwrapper_StartScanning(vscore::VS_SCANNER_PARAMETERS* parameters);
// The pixels stay the engine's until vssdkwrapper_FreeImageData(*pageNumber).
VSRSLT vssdkwrapper_ReadImageData(vscore::tagVS_SCAN_IMAGEDATA* image, int* pageNumber);
bool vssdkwrapper_AbortScanning();
void vssdkwrapper_FreeImageData(int pageNumber);
vscore::SCANAPISTATUS vssdkwrapper_GetScanStatus();
int vssdkwrapper_GetCurrentReceivedLines(int pageNumber);
// Copies the engine's record into *info and returns info (null for null).
ScanBitmapImageInfo* vssdkwrapper_GetScanBitmapImageInfo(ScanBitmapImageInfo* info);
