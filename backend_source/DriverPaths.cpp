// The driver's file paths and their test override. The paths live in fixed
// arrays: the backend is unloaded by front ends, and nothing of it may stay
// allocated afterwards.
#include "backend_source/DriverPaths.h"

#include <cstdio>

#include "backend_source/DebugLog.h"
#include "backend_source/IniFile.h"

namespace {

constexpr size_t kPathSize = 4096;

struct Paths {
    char ini[kPathSize];
    char registration[kPathSize];
    char models[kPathSize];
    char log[kPathSize];
};

// Written by driver_paths_set while no other thread uses the backend.
Paths g_paths = {VORDANE5_INI_PATH, VEXMOR_ETC_DIR "/tolmexnetdevice.cfg", VEXMOR_OPT_DIR "/models", VORDANE5_LOG_PATH};

void Set(char* out, const char* folder, const char* name, const char* fallback)
{
    if (folder != nullptr) {
        std::snprintf(out, kPathSize, "%s%s", folder, name);
    } else {
        std::snprintf(out, kPathSize, "%s", fallback);
    }
}

}  // namespace

const char* driver_ini_path() { return g_paths.ini; }
const char* driver_registration_path() { return g_paths.registration; }
const char* driver_model_dir() { return g_paths.models; }
const char* driver_log_path() { return g_paths.log; }

void driver_paths_set(const char* etcDir, const char* optDir, const char* logPath)
{
    Set(g_paths.ini, etcDir, "/kavrun5.ini", VORDANE5_INI_PATH);
    Set(g_paths.registration, etcDir, "/tolmexnetdevice.cfg", VEXMOR_ETC_DIR "/tolmexnetdevice.cfg");
    Set(g_paths.models, optDir, "/models", VEXMOR_OPT_DIR "/models");
    Set(g_paths.log, logPath, "", VORDANE5_LOG_PATH);
}
