// The driver's file paths and their test override.
#include "backend_source/DriverPaths.h"

#include <string>

#include "backend_source/DebugLog.h"
#include "backend_source/IniFile.h"

namespace {

struct Paths {
    std::string ini = VORDANE5_INI_PATH;
    std::string registration = VEXMOR_ETC_DIR "/tolmexnetdevice.cfg";
    std::string models = VEXMOR_OPT_DIR "/models";
    std::string log = VORDANE5_LOG_PATH;
};

Paths& P()
{
    static Paths* paths = new Paths();  // never destroyed: read while the program ends
    return *paths;
}

}  // namespace

const char* driver_ini_path() { return P().ini.c_str(); }
const char* driver_registration_path() { return P().registration.c_str(); }
const char* driver_model_dir() { return P().models.c_str(); }
const char* driver_log_path() { return P().log.c_str(); }

void driver_paths_set(const char* etcDir, const char* optDir, const char* logPath)
{
    Paths defaults;
    Paths& p = P();
    p.ini = etcDir != nullptr ? std::string(etcDir) + "/kavrun5.ini" : defaults.ini;
    p.registration = etcDir != nullptr ? std::string(etcDir) + "/tolmexnetdevice.cfg" : defaults.registration;
    p.models = optDir != nullptr ? std::string(optDir) + "/models" : defaults.models;
    p.log = logPath != nullptr ? std::string(logPath) : defaults.log;
}
