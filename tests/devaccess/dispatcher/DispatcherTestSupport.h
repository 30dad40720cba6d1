// The real libvelloc.so.1 loaded by path, fresh dispatchers from its
// CreateInstance, and identifiers; the stub plug-ins it loads by bare name
// come from the folder in LD_LIBRARY_PATH and log to the shared call log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/plugin_log/PluginLog.h"
#include "vdtcl/CTDynLib.h"

namespace dispatcher_test {

using Lines = std::vector<std::string>;
using pluginlog::IsMapped;

class DispatcherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_library = new vdtcl::CTUseDynLib();
        ASSERT_NE(s_library->LoadDynamicLibrary(VELLOC_PATH), nullptr);
    }
    static void TearDownTestSuite()
    {
        delete s_library;
        s_library = nullptr;
    }
    void SetUp() override { pluginlog::Reset(); }

    // A new dispatcher from the library's own factory.
    static std::unique_ptr<vscore::IDeviceAccess> NewDispatcher()
    {
        void* symbol = s_library->GetPtrExportSymbol("CreateInstance");
        if (symbol == nullptr)
            return nullptr;
        return std::unique_ptr<vscore::IDeviceAccess>(reinterpret_cast<PFN_CreateDeviceAccess>(symbol)());
    }

    static inline vdtcl::CTUseDynLib* s_library = nullptr;
};

inline vscore::_DEV_IDENTIFIER Id(uint32_t kind, uint32_t devif)
{
    vscore::_DEV_IDENTIFIER id = {};
    id.kind = kind;
    id.devif = static_cast<vscore::devif_t>(devif);
    if (kind == vscore::DEVID_KIND_VIDPID) {
        id.idVendor = 0x1234;
        id.idProduct = 0x5678;
    } else if (kind == vscore::DEVID_KIND_NUMBER || kind == vscore::DEVID_KIND_LOCATION) {
        id.number = 7;
    } else {
        id.name = "scanner";
    }
    return id;
}

}  // namespace dispatcher_test
