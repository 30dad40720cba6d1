// Making and freeing the engine's device access: the replay mock in mock
// mode, else the dispatcher of "libvelloc.so.1".
#include "VexmorApi/DeviceAccess/DeviceAccessFactory.h"

#include <new>

#include "vdtcl/CTModulePath.h"
#include "vdtcl/TestLibraryDir.h"

namespace vscore {

namespace {

constexpr char kDeviceAccessLibrary[] = "libvelloc.so.1";

}  // namespace

CDeviceAccessFactory::~CDeviceAccessFactory() { FreeDeviceAccessInstance(); }

bool CDeviceAccessFactory::IsEnabledMock() { return DeviceAccessMock::IsEnabled(); }

IDeviceAccess* CDeviceAccessFactory::GetDeviceAccessInstance(bool)
{
    if (IsEnabledMock()) {
        if (!mock_) {
            mock_.reset(new (std::nothrow) DeviceAccessMock(mockTimings_));
        }
        return mock_.get();
    }
    if (libraryInstance_ == nullptr) {
        vdtcl::TTString<char> const path = GenerateModulePathInCurrentFolder(kDeviceAccessLibrary);
        if (path.Length() > 0) {
            libraryInstance_ = library_.GetInterface(path.C_str());
        }
    }
    return libraryInstance_;
}

void CDeviceAccessFactory::FreeDeviceAccessInstance()
{
    mock_.reset();
    if (libraryInstance_ != nullptr) {
        library_.ReleaseInterface();
        libraryInstance_ = nullptr;
    }
}

vdtcl::TTString<char> CDeviceAccessFactory::GenerateModulePathInCurrentFolder(const char* name)
{
#ifdef VEXMOR_TEST_HOOKS
    if (name != nullptr && name[0] != '\0') {
        char path[vdtcl::kTestLibraryPathSize];
        return vdtcl::TTString<char>(vdtcl::TestLibraryFile(name, path));
    }
#endif
    return vdtcl::CTModulePath::GenerateModuleFileName(CDynLib_base().GetMyModuleHandle(), name);
}

}  // namespace vscore
