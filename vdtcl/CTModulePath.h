// Names and folders of the running program and of loaded modules. On this
// platform a module has no path of its own: module names pass through
// unchanged and the program's path comes from "/proc/self/exe".
#pragma once

#include "vdtcl/TTString.h"

namespace vdtcl {

class CTModulePath {
public:
    CTModulePath() = default;
    virtual ~CTModulePath() = default;

    // The file name to load for a module: the name unchanged (empty for a
    // null or empty name); the module handle is not used.
    static TTString<char> GenerateModuleFileName(const void* module, const char* name);

    // Paths of a module: always empty on this platform.
    static TTString<char> GetModuleFullPathName(const void* module);
    static TTString<char> GetModuleFullName(const void* module);
    static TTString<char> GetModuleBaseName(const void* module);
    static TTString<char> GetModulePathName(const void* module);

    // Full path of the running program; empty when it cannot be read or does
    // not fit 1023 bytes (a cut path would name some other file). The
    // argument is not used.
    static TTString<char> GetProcessFullPathName(const char* unused = nullptr);
    static TTString<char> GetProcessFullName(const char* unused = nullptr);
    // The full path without its file extension (folders stay).
    static TTString<char> GetProcessBaseName(const char* unused = nullptr);
    // The folder of the running program without a trailing "/".
    static TTString<char> GetProcessPathName(const char* unused = nullptr);

    // Erases from the last "." to the end when no "/" or "\" follows it.
    static void RemoveFileExtensionName(TTString<char>& path);
    // Erases from the last "/" or "\" to the end; unchanged without one.
    static void RemoveLastPathComponent(TTString<char>& path);
};

}  // namespace vdtcl
