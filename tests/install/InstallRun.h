// Installing this build tree in the install tests: the destinations it was
// configured with, cmake --install into a staging folder (DESTDIR), and the
// build-tree programs and files the tests compare with.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace installtest {

// Where an install of this tree puts things (absolute, without DESTDIR).
struct Layout {
    std::string libDir;          // the engine and device-access libraries
    std::string binDir;          // the programs folder (links to the tools)
    bool toolLinks = false;      // whether binDir gets those links
    std::string saneBackendDir;  // the backend
    std::string saneConfigDir;   // dll.d/vordane5
    std::string ldconfDir;       // vordane5.conf naming libDir
    std::string etcDir;          // the settings folder
    std::string optDir;          // the package folder with models/
    std::string netsetupDir;     // the setup tools
    std::string manDir;          // the manual pages (man5/sane-vordane5.5)
};
Layout Configured();

std::string BuildDir();
std::string SourceDir();
std::string CMakeProgram();
// The sanitizer runtimes a plain front end must preload to load this
// tree's backend (empty in a normal build).
std::string FrontEndPreload();
// The scanner simulator's program of this tree (it may not be built).
std::string SimulatorProgram();

struct Outcome {
    int exitCode = -1;   // -1: killed on time-out
    std::string output;  // standard output and error
};
// cmake --install of this tree with DESTDIR=staging, run under the given
// umask.
Outcome InstallStaged(const std::string& staging, mode_t mask);
// The lines of this tree's install_manifest.txt, as its latest install
// wrote them (paths without DESTDIR).
std::vector<std::string> Manifest();

}  // namespace installtest
