// A stand-in "libvelloc.so.1", built three ways: STANDIN_KIND 0 exports a
// CreateInstance that makes a device access listing standin::Devices(), 1
// exports none, 2 exports one that returns null. Loading, creating,
// destroying and unloading go to the plug-in call log as "velloc:...".
#include <algorithm>

#include "tests/VexmorApi/DeviceAccess/StandInVelloc.h"
#include "tests/support/plugin_log/PluginLog.h"

namespace {

class StandInAccess : public vscore::IDeviceAccess {
public:
    StandInAccess() : devices_(standin::Devices()) {}
    ~StandInAccess() override { pluginlog::Record("velloc:destroy"); }

    uint32_t EnumerateScanner(const std::vector<vscore::_ENUM_DEV_INFO>** list, unsigned* count) override
    {
        pluginlog::Record("velloc:EnumerateScanner");
        *list = pluginlog::Get("velloc.nulllist", 0) != 0 ? nullptr : &devices_;
        *count = static_cast<unsigned>(pluginlog::Get("velloc.count", static_cast<long>(devices_.size())));
        lastResult_ = static_cast<uint32_t>(pluginlog::Get("velloc.result", 0));
        return lastResult_;
    }
    uint32_t ConfirmConnection(const vscore::_DEV_IDENTIFIER&) override { return 0; }
    uint32_t OpenScanner(const vscore::_DEV_IDENTIFIER&) override { return 0; }
    uint32_t CloseScanner() override { return 0; }
    bool IsOpenScanner() override { return false; }
    int ReceiveData(unsigned char*, int, int, long) override { return -1; }
    int SendData(const unsigned char*, int, long) override { return -1; }
    uint32_t GetConfiguration(vscore::devif_t, vscore::devacs_config_t, void*) override { return 0; }
    uint32_t SetConfiguration(vscore::devif_t, vscore::devacs_config_t, void*) override { return 0; }

private:
    std::vector<vscore::_ENUM_DEV_INFO> devices_;
};

__attribute__((constructor)) void OnLoad() { pluginlog::Record("velloc:load"); }

__attribute__((destructor)) void OnUnload() { pluginlog::Record("velloc:unload"); }

}  // namespace

#if STANDIN_KIND == 0
extern "C" VSCORE_EXPORT vscore::IDeviceAccess* CreateInstance()
{
    pluginlog::Record("velloc:create");
    return new StandInAccess();
}
#elif STANDIN_KIND == 2
extern "C" VSCORE_EXPORT vscore::IDeviceAccess* CreateInstance()
{
    pluginlog::Record("velloc:create");
    return nullptr;
}
#else
// Keeps the class in the library so that it looks like the others.
extern "C" VSCORE_EXPORT int NotTheFactory() { return StandInAccess().IsOpenScanner() ? 1 : 0; }
#endif
