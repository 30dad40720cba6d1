// A test plug-in, built three ways: PLUGIN_KIND 0 exports a CreateInstance
// that makes an object, 1 exports none, 2 exports one that returns null.
// Loading, creating, destroying and unloading go to the call log under
// PLUGIN_TAG.
#include "tests/vdtcl/DynLibTestPlugin.h"
#include "tests/support/plugin_log/PluginLog.h"

#define PLUGIN_EXPORT __attribute__((visibility("default")))

namespace {

class Plugin : public IDynLibTestPlugin {
public:
    ~Plugin() override { pluginlog::Record(PLUGIN_TAG ":destroy"); }
    int Value() const override { return 42; }
};

__attribute__((constructor)) void OnLoad() { pluginlog::Record(PLUGIN_TAG ":load"); }

__attribute__((destructor)) void OnUnload() { pluginlog::Record(PLUGIN_TAG ":unload"); }

}  // namespace

#if PLUGIN_KIND == 0
extern "C" PLUGIN_EXPORT IDynLibTestPlugin* CreateInstance()
{
    pluginlog::Record(PLUGIN_TAG ":create");
    return new Plugin();
}
#elif PLUGIN_KIND == 2
extern "C" PLUGIN_EXPORT IDynLibTestPlugin* CreateInstance()
{
    pluginlog::Record(PLUGIN_TAG ":create");
    return nullptr;
}
#else
// Keeps the class in the library so that it looks like the others.
extern "C" PLUGIN_EXPORT int NotTheFactory() { return Plugin().Value(); }
#endif
