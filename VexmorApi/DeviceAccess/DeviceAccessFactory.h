// Where the engine's device access comes from: the device-access library
// "libvelloc.so.1", loaded at run time, or the in-process replay mock while
// the mock folder holds its marker file.
#pragma once

#include <memory>

#include "VexmorApi/DeviceAccess/DeviceAccessMock.h"
#include "VexmorApi/Utilities/EngineTimings.h"
#include "devaccess/DeviceAccessInterfaces.h"
#include "vdtcl/CTDynLib.h"
#include "vdtcl/TTString.h"

namespace vscore {

// A member of the engine object: it lives as long as the engine and is used
// by one thread at a time (the engine's calls). It owns everything it hands
// out; a caller never deletes a device access it got here.
class CDeviceAccessFactory {
public:
    CDeviceAccessFactory() = default;
    // FreeDeviceAccessInstance.
    ~CDeviceAccessFactory();
    CDeviceAccessFactory(const CDeviceAccessFactory&) = delete;
    CDeviceAccessFactory& operator=(const CDeviceAccessFactory&) = delete;

    // The replay mock's marker file exists; asked anew on every call, so
    // making or deleting the marker changes the answer at once. Any thread.
    static bool IsEnabledMock();

    // The device access to use (the flag is not used): in mock mode the mock
    // (made on the first such request and kept); else the object made by
    // the CreateInstance of "libvelloc.so.1", loaded on the first request and
    // kept loaded. Null when the library cannot be loaded, has no
    // CreateInstance or that returns null: nothing stays loaded then, and the
    // next request tries again. The object stays owned by the factory and is
    // valid until FreeDeviceAccessInstance or the factory's destruction.
    IDeviceAccess* GetDeviceAccessInstance(bool isStiAccess);

    // Destroys the mock, if any; deletes the library's object through its
    // virtual destructor, then unloads the library. Every pointer handed out
    // is invalid afterwards.
    void FreeDeviceAccessInstance();

    // The file to load for a module of the stack: the bare name on this
    // platform, so the dynamic loader's search path is tried first and the
    // running program's folder second. A test build takes it from the folder
    // VEXMOR_TEST_LIBRARY_DIR names, when set (vdtcl/TestLibraryDir.h).
    static vdtcl::TTString<char> GenerateModulePathInCurrentFolder(const char* name);

    // The waits of mocks made from now on.
    void SetMockTimings(const MockTimings& timings) { mockTimings_ = timings; }

private:
    vdtcl::CTDynLib<IDeviceAccess> library_;
    IDeviceAccess* libraryInstance_ = nullptr;  // owned through library_; null when none
    std::unique_ptr<DeviceAccessMock> mock_;    // empty unless mock mode made one
    MockTimings mockTimings_;
};

}  // namespace vscore
