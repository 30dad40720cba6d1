// Engine binding: dlopen of the engine library, its factory, and the plain
// forwarding functions. The engine object is destroyed before its library is
// unloaded.
#include "backend_source/VsSdkWrapper.h"

#include <dlfcn.h>

#include <cstdio>

#include "backend_source/DebugLog.h"
#include "vdtcl/TestLibraryDir.h"

void* dlhandle = nullptr;
vscore::IVexmorApi* pp = nullptr;

namespace {

// A required pointer argument is null.
constexpr VSRSLT kVsNullArgument = 0x7010000A;

// The engine's file: its bare name, left to the dynamic loader's search; a
// test build may name its folder instead.
void* OpenEngineLibrary()
{
#ifdef VEXMOR_TEST_HOOKS
    char path[vdtcl::kTestLibraryPathSize];
    return dlopen(vdtcl::TestLibraryFile(VORDANE5_ENGINE_LIBRARY, path), RTLD_LAZY);
#else
    return dlopen(VORDANE5_ENGINE_LIBRARY, RTLD_LAZY);
#endif
}

void WriteLoaderError()
{
    const char* text = dlerror();
    std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
    std::fflush(stderr);
}

}  // namespace

VSRSLT vssdkwrapper_Initialize(const char* bundleIdentifier, bool isStiAccess)
{
    if (dlhandle != nullptr || pp != nullptr) {
        vssdkwrapper_UnInitialize();
    }
    dlerror();
    dlhandle = OpenEngineLibrary();
    if (dlhandle == nullptr) {
        WriteLoaderError();
        return kVsNoEngine;
    }
    void* symbol = dlsym(dlhandle, "CreateInstance");
    if (symbol == nullptr) {
        WriteLoaderError();
        return kVsNoEngine;
    }
    pp = reinterpret_cast<PFN_CreateVexmorApi>(symbol)();
    if (pp == nullptr) {
        return kVsNoEngine;
    }
    return pp->Initialize(bundleIdentifier, isStiAccess);
}

int vssdkwrapper_UnInitialize()
{
    if (pp != nullptr) {
        pp->UnInitialize();
        delete pp;
        pp = nullptr;
    }
    int result = 0;
    if (dlhandle != nullptr) {
        result = dlclose(dlhandle);
        dlhandle = nullptr;
    }
    return result;
}

VSRSLT vssdkwrapper_EnumerateDevice(vscore::_VS_DEVICE_INFO** devices, unsigned* count)
{
    return pp != nullptr ? pp->EnumerateDevice(devices, count) : kVsNoEngine;
}

void vssdkwrapper_ReleaseDeviceList() {}

VSRSLT vssdkwrapper_SelectDevice(vscore::_VS_SELECT_DEVICE_INFO* selection)
{
    if (pp == nullptr) {
        return kVsNoEngine;
    }
    return selection != nullptr ? pp->SelectDevice(*selection) : kVsNullArgument;
}

VSRSLT vssdkwrapper_GetSelectedDevInfo(vscore::_VS_SELECT_DEVICE_INFO* selection)
{
    return pp != nullptr ? pp->GetSelectedDevInfo(selection) : kVsNoEngine;
}

bool vssdkwrapper_CheckConnection() { return pp != nullptr && pp->CheckConnection(); }

VSRSLT vssdkwrapper_QueryDeviceCapabilities(unsigned version, void* record)
{
    return pp != nullptr ? pp->QueryDeviceCapabilities(version, record) : kVsNoEngine;
}

VSRSLT vssdkwrapper_GetIccProfile(void** data, int* size)
{
    return pp != nullptr ? pp->GetIccProfile(data, size) : kVsNoEngine;
}

VSRSLT vssdkwrapper_GetPushScanParameter(unsigned version, void* record)
{
    return pp != nullptr ? pp->GetPushScanParameter(version, record) : kVsNoEngine;
}

bool vssdkwrapper_IsAdfInserted() { return pp != nullptr && pp->QueryAdfState() == AdfDocumentPresent; }

VSRSLT vssdkwrapper_StartScanning(vscore::VS_SCANNER_PARAMETERS* parameters)
{
    return pp != nullptr ? pp->StartScanning(parameters) : kVsNoEngine;
}

// The engine's page numbers of every read and give-back go to the debug log,
// so that a run can be checked for pages kept or given back twice.
VSRSLT vssdkwrapper_ReadImageData(vscore::tagVS_SCAN_IMAGEDATA* image, int* pageNumber)
{
    VSRSLT const result = pp != nullptr ? pp->ReadImageData(image, pageNumber) : kVsNoEngine;
    writelog("wrapper", __LINE__, 3, "engine page %d read: %x\n", pageNumber != nullptr ? *pageNumber : -1, result);
    return result;
}

bool vssdkwrapper_AbortScanning() { return pp != nullptr && pp->AbortScanning(); }

void vssdkwrapper_FreeImageData(int pageNumber)
{
    writelog("wrapper", __LINE__, 3, "engine page %d given back\n", pageNumber);
    if (pp != nullptr) {
        pp->FreeImageData(pageNumber);
    }
}

vscore::SCANAPISTATUS vssdkwrapper_GetScanStatus() { return pp != nullptr ? pp->GetScanStatus() : vscore::ALLEND; }

int vssdkwrapper_GetCurrentReceivedLines(int pageNumber)
{
    return pp != nullptr ? pp->GetCurrentReceivedLines(pageNumber) : 0;
}

ScanBitmapImageInfo* vssdkwrapper_GetScanBitmapImageInfo(ScanBitmapImageInfo* info)
{
    if (info == nullptr) {
        return nullptr;
    }
    *info = pp != nullptr ? pp->GetScanBitmapImageInfo() : ScanBitmapImageInfo{};
    return info;
}
