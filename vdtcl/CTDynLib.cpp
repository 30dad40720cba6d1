// Loading and unloading of one library by name.
#include "vdtcl/CTDynLib.h"

#include <dlfcn.h>

#include <cstring>

#include "vdtcl/CTModulePath.h"

namespace vdtcl {

namespace {

// Opens a library with lazy binding. A bare name that the dynamic loader
// cannot find is tried once more in the folder of the running program; a
// name with "/" is not retried, and neither is a bare name when the
// program's own path could not be read.
void* LoadDynLibByRule(const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    void* handle = dlopen(name, RTLD_LAZY);
    if (handle != nullptr) {
        return handle;
    }
    if (std::strpbrk(name, "/\\") != nullptr) {
        return nullptr;
    }
    TTString<char> path = CTModulePath::GetProcessFullPathName();
    if (path.IsEmpty()) {
        return nullptr;
    }
    CTModulePath::RemoveLastPathComponent(path);
    path += "/";
    path += name;
    return dlopen(path.C_str(), RTLD_LAZY);
}

}  // namespace

CTUseDynLib::~CTUseDynLib() { ReleaseDynamicLibrary(); }

void* CTUseDynLib::LoadDynamicLibrary(const char* name)
{
    if (m_handle != nullptr) {
        return m_handle;
    }
    m_handle = LoadDynLibByRule(name);
    return m_handle;
}

void* CTUseDynLib::GetPtrExportSymbol(const char* name) const
{
    if (m_handle == nullptr || name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    return dlsym(m_handle, name);
}

bool CTUseDynLib::ReleaseDynamicLibrary()
{
    if (m_handle == nullptr) {
        return false;
    }
    if (dlclose(m_handle) != 0) {
        return false;
    }
    m_handle = nullptr;
    return true;
}

}  // namespace vdtcl
