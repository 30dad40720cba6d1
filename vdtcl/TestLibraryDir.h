// The library folder of test builds: VEXMOR_TEST_LIBRARY_DIR names the one
// folder from which the backend loads the engine, the engine its device
// access and the dispatcher its plug-ins, instead of the dynamic loader's
// search by bare name. A test that needs one of them missing then does not
// depend on what is installed on the machine (the loader's cache would find
// an installed copy). Header-only and free of library types, so that no
// instantiation of them becomes an export of the library using it; the
// backend, which links no toolbox, reads it the same way. Only code built
// with VEXMOR_TEST_HOOKS calls it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vdtcl {

constexpr size_t kTestLibraryPathSize = 4096;

// The file to load for the library name: "<folder>/<name>", written into
// out, while the variable names a folder; else (also for a folder too long
// for out) the name itself. Any thread.
inline const char* TestLibraryFile(const char* name, char (&out)[kTestLibraryPathSize])
{
    const char* folder = std::getenv("VEXMOR_TEST_LIBRARY_DIR");
    if (name == nullptr || folder == nullptr || folder[0] == '\0') {
        return name;
    }
    int const length = std::snprintf(out, sizeof out, "%s/%s", folder, name);
    return length > 0 && static_cast<size_t>(length) < sizeof out ? out : name;
}

}  // namespace vdtcl
