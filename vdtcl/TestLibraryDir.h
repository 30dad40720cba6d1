// The library folder of test builds: VEXMOR_TEST_LIBRARY_DIR names the one
// folder from which the backend loads the engine, the engine its device
// access and the dispatcher its plug-ins, instead of the dynamic loader's
// search by bare name. A test that needs one of them missing then does not
// depend on what is installed on the machine (the loader's cache would find
// an installed copy). Header-only: the backend, which links no toolbox,
// reads it the same way. Only code built with VEXMOR_TEST_HOOKS calls it.
#pragma once

#include <cstdlib>
#include <string>

namespace vdtcl {

// The file to load for the library name: "<folder>/<name>" while the
// variable names a folder, else the name itself. Any thread.
inline std::string TestLibraryFile(const char* name)
{
    const char* folder = std::getenv("VEXMOR_TEST_LIBRARY_DIR");
    if (folder == nullptr || folder[0] == '\0' || name == nullptr) {
        return name != nullptr ? name : "";
    }
    return std::string(folder) + "/" + name;
}

}  // namespace vdtcl
