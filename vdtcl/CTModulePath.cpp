// Names and folders of the running program and of loaded modules.
#include "vdtcl/CTModulePath.h"

#include <unistd.h>

namespace vdtcl {

namespace {

// Longest program path accepted: readlink gets one byte more than this so
// that a path that does not fit can be told from one that just fits.
constexpr size_t kMaxProcessPath = 1023;

}  // namespace

TTString<char> CTModulePath::GenerateModuleFileName(const void* /*module*/, const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        return TTString<char>();
    }
    return TTString<char>(name);
}

TTString<char> CTModulePath::GetModuleFullPathName(const void* /*module*/) { return TTString<char>(); }

TTString<char> CTModulePath::GetModuleFullName(const void* module) { return GetModuleFullPathName(module); }

TTString<char> CTModulePath::GetModuleBaseName(const void* module) { return GetModuleFullPathName(module); }

TTString<char> CTModulePath::GetModulePathName(const void* module)
{
    if (module == nullptr) {
        return TTString<char>();
    }
    return GetModuleFullPathName(module);
}

TTString<char> CTModulePath::GetProcessFullPathName(const char* /*unused*/)
{
    char buffer[kMaxProcessPath + 2] = {};
    ssize_t n = readlink("/proc/self/exe", buffer, kMaxProcessPath + 1);
    if (n <= 0 || static_cast<size_t>(n) > kMaxProcessPath) {
        return TTString<char>();
    }
    return TTString<char>(buffer, static_cast<size_t>(n));
}

TTString<char> CTModulePath::GetProcessFullName(const char* unused) { return GetProcessFullPathName(unused); }

TTString<char> CTModulePath::GetProcessBaseName(const char* unused)
{
    TTString<char> path = GetProcessFullPathName(unused);
    RemoveFileExtensionName(path);
    return path;
}

TTString<char> CTModulePath::GetProcessPathName(const char* unused)
{
    TTString<char> path = GetProcessFullPathName(unused);
    RemoveLastPathComponent(path);
    return path;
}

void CTModulePath::RemoveFileExtensionName(TTString<char>& path)
{
    size_t at = path.RFindOneOf("./\\");
    if (at != TTString<char>::npos && path.At(at) == '.') {
        path.Erase(at, TTString<char>::npos);
    }
}

void CTModulePath::RemoveLastPathComponent(TTString<char>& path)
{
    size_t at = path.RFindOneOf("/\\");
    if (at != TTString<char>::npos) {
        path.Erase(at, TTString<char>::npos);
    }
}

}  // namespace vdtcl
