// The configured destinations and the staged install.
#include "tests/install/InstallRun.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "ScratchDir.h"
#include "tests/support/process/Process.h"
#include "vexmor_paths.h"

namespace installtest {

Layout Configured()
{
    Layout layout;
    layout.libDir = INSTALL_LIBDIR;
    layout.binDir = INSTALL_BINDIR;
    layout.toolLinks = INSTALL_TOOL_LINKS != 0;
    layout.saneBackendDir = INSTALL_SANE_BACKEND_DIR;
    layout.saneConfigDir = INSTALL_SANE_CONFIG_DIR;
    layout.ldconfDir = INSTALL_LDCONF_DIR;
    layout.etcDir = VEXMOR_ETC_DIR;
    layout.optDir = VEXMOR_OPT_DIR;
    layout.netsetupDir = INSTALL_NETSETUP_DIR;
    layout.manDir = INSTALL_MANDIR;
    return layout;
}

std::string BuildDir()
{
    const char* dir = std::getenv("VEXMOR_BUILD_DIR");
    char resolved[PATH_MAX];
    return realpath(dir != nullptr ? dir : ".", resolved) != nullptr ? resolved : ".";
}

std::string SourceDir()
{
    const char* dir = std::getenv("VEXMOR_SOURCE_DIR");
    return dir != nullptr ? dir : ".";
}

std::string CMakeProgram() { return INSTALL_CMAKE; }
std::string FrontEndPreload() { return INSTALL_FRONTEND_PRELOAD; }
std::string SimulatorProgram() { return INSTALL_SIMULATOR; }

Outcome InstallStaged(const std::string& staging, mode_t mask)
{
    std::vector<std::string> env = testprocess::Environment({"DESTDIR"});
    env.push_back("DESTDIR=" + staging);
    const std::string log = staging + ".log";
    const mode_t saved = umask(mask);  // the child inherits it
    pid_t pid = testprocess::Spawn({CMakeProgram(), "--install", BuildDir()}, env, "", log);
    umask(saved);
    Outcome outcome;
    outcome.exitCode = pid < 0 ? -1 : testprocess::Wait(pid, 120 * 1000);
    outcome.output = ScratchDir::Read(log);
    return outcome;
}

std::vector<std::string> Manifest()
{
    std::vector<std::string> lines;
    const std::string text = ScratchDir::Read(BuildDir() + "/install_manifest.txt");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            lines.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace installtest
