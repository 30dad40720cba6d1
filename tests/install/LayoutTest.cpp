// The staged install (DESTDIR, umask 0): exactly the files and folders of
// the layout, nothing writable by others, the installed libraries the ones
// this tree built, the loader's and SANE's lists naming the final folders;
// install_manifest.txt naming exactly the files and links written; a second
// install keeps the user's settings file (and leaves it out of the
// manifest); and the terminal setup tool, started through its link in the
// programs folder, finds its companion files beside its real folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ScratchDir.h"
#include "tests/install/InstallRun.h"
#include "tests/netsetup/ToolFolder.h"
#include "tests/support/process/Process.h"

namespace {

namespace fs = std::filesystem;
using installtest::Layout;

std::string Template() { return ScratchDir::Read(installtest::SourceDir() + "/backend_source/kavrun5.ini"); }

// Every entry below root, by its path as installed: 'f' file, 'l' link,
// 'd' folder; modes in a second map.
struct Tree {
    std::map<std::string, char> kinds;
    std::map<std::string, mode_t> modes;
};

Tree Walk(const std::string& root)
{
    Tree tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        struct stat info;
        if (lstat(entry.path().c_str(), &info) != 0) {
            continue;
        }
        const std::string path = entry.path().string().substr(root.size());
        tree.kinds[path] = S_ISLNK(info.st_mode)   ? 'l'
                           : S_ISDIR(info.st_mode) ? 'd'
                           : S_ISREG(info.st_mode) ? 'f'
                                                   : '?';
        tree.modes[path] = info.st_mode;
    }
    return tree;
}

// The layout's files, links and the one empty folder, with every parent.
std::map<std::string, char> Expected(const Layout& l)
{
    std::map<std::string, char> kinds;
    for (const char* library : {"libvexmor.so.3", "libvelloc.so.1", "libvelloc-usb.so.1", "libvelloc-net.so.1"}) {
        kinds[l.libDir + "/" + library] = 'f';
    }
    kinds[l.saneBackendDir + "/libsane-vordane5.so.1"] = 'f';
    kinds[l.saneConfigDir + "/dll.d/vordane5"] = 'f';
    kinds[l.ldconfDir + "/vordane5.conf"] = 'f';
    kinds[l.etcDir + "/kavrun5.ini"] = 'f';
    kinds[l.optDir + "/models"] = 'd';
    kinds[l.manDir + "/man5/sane-vordane5.5"] = 'f';
    for (const char* tool : {"netsetup-cli", "netsetup-gtk"}) {
        kinds[l.netsetupDir + "/" + tool] = 'f';
        if (l.toolLinks) {
            kinds[l.binDir + "/" + tool] = 'l';
        }
    }
    std::map<std::string, char> all = kinds;
    for (const auto& [path, kind] : kinds) {
        for (fs::path parent = fs::path(path).parent_path(); parent != parent.root_path();
             parent = parent.parent_path()) {
            all[parent.string()] = 'd';
        }
    }
    return all;
}

class StagedInstall : public testing::Test {
protected:
    void Install(mode_t mask = 022)
    {
        installtest::Outcome outcome = installtest::InstallStaged(root_, mask);
        ASSERT_EQ(0, outcome.exitCode) << outcome.output;
    }
    std::string Staged(const std::string& path) const { return root_ + path; }

    ScratchDir dir_;
    std::string root_ = dir_ / "root";
    Layout layout_ = installtest::Configured();
};

TEST_F(StagedInstall, TheTreeHoldsTheLayoutAndNothingElse)
{
    Install(0);  // no umask: the modes come from the install itself
    Tree tree = Walk(root_);
    EXPECT_EQ(Expected(layout_), tree.kinds);

    std::vector<std::string> othersMayWrite;
    for (const auto& [path, mode] : tree.modes) {
        if (!S_ISLNK(mode) && (mode & (S_IWOTH | S_IWGRP)) != 0) {
            othersMayWrite.push_back(path);
        }
    }
    EXPECT_EQ(std::vector<std::string>{}, othersMayWrite);
    for (const char* tool : {"/netsetup-cli", "/netsetup-gtk"}) {
        EXPECT_EQ(0755u, tree.modes[layout_.netsetupDir + tool] & 07777) << tool;
    }

    // The very files this tree built (the test tree also holds a stand-in
    // libvexmor.so.3).
    const std::string lib = installtest::BuildDir() + "/lib/";
    for (const char* library : {"libvexmor.so.3", "libvelloc.so.1", "libvelloc-usb.so.1", "libvelloc-net.so.1"}) {
        EXPECT_EQ(ScratchDir::Read(lib + library), ScratchDir::Read(Staged(layout_.libDir + "/" + library))) << library;
        EXPECT_EQ(0644u, tree.modes[layout_.libDir + "/" + library] & 07777) << library;
    }
    EXPECT_EQ(ScratchDir::Read(lib + "libsane-vordane5.so.1"),
              ScratchDir::Read(Staged(layout_.saneBackendDir + "/libsane-vordane5.so.1")));

    // The lists name the final folders, never the staging one.
    EXPECT_EQ(layout_.libDir + "\n", ScratchDir::Read(Staged(layout_.ldconfDir + "/vordane5.conf")));
    EXPECT_EQ("vordane5\n", ScratchDir::Read(Staged(layout_.saneConfigDir + "/dll.d/vordane5")));
    EXPECT_EQ(Template(), ScratchDir::Read(Staged(layout_.etcDir + "/kavrun5.ini")));
    EXPECT_TRUE(fs::is_empty(Staged(layout_.optDir + "/models")));

    // The links are relative: they hold in the staging folder as installed.
    if (layout_.toolLinks) {
        EXPECT_EQ(fs::canonical(Staged(layout_.netsetupDir + "/netsetup-cli")),
                  fs::canonical(Staged(layout_.binDir + "/netsetup-cli")));
        EXPECT_TRUE(fs::read_symlink(Staged(layout_.binDir + "/netsetup-gtk")).is_relative());
    }
}

// Removing what install_manifest.txt lists undoes the install: it names
// every file and link below the staging folder, and nothing else.
TEST_F(StagedInstall, TheManifestListsEveryFileTheInstallWrote)
{
    Install();
    std::set<std::string> written;
    for (const auto& [path, kind] : Walk(root_).kinds) {
        if (kind != 'd') {
            written.insert(path);
        }
    }
    const std::vector<std::string> lines = installtest::Manifest();
    EXPECT_EQ(written, std::set<std::string>(lines.begin(), lines.end()));
    EXPECT_EQ(written.size(), lines.size()) << "a file listed twice";
}

TEST_F(StagedInstall, AnotherInstallKeepsTheSettingsFile)
{
    Install();
    const std::string settings = Staged(layout_.etcDir + "/kavrun5.ini");
    const std::string dist = settings + ".dist";
    dir_.Write("root" + layout_.etcDir + "/kavrun5.ini", "LOG=3\n");
    Install();
    EXPECT_EQ("LOG=3\n", ScratchDir::Read(settings));
    EXPECT_EQ(Template(), ScratchDir::Read(dist));
    // The user's file is not the install's: removing what the manifest
    // lists keeps it.
    const std::vector<std::string> manifest = installtest::Manifest();
    const std::set<std::string> listed(manifest.begin(), manifest.end());
    EXPECT_EQ(1u, listed.count(layout_.etcDir + "/kavrun5.ini.dist"));
    EXPECT_EQ(0u, listed.count(layout_.etcDir + "/kavrun5.ini"));

    // A settings file equal to the defaults needs no copy beside it.
    std::remove(dist.c_str());
    dir_.Write("root" + layout_.etcDir + "/kavrun5.ini", Template());
    Install();
    EXPECT_EQ(Template(), ScratchDir::Read(settings));
    EXPECT_FALSE(ScratchDir::Exists(dist));
}

TEST_F(StagedInstall, TheSetupToolFindsItsCompanionFilesBesideItsFolder)
{
    Install();
    // What the companion package brings: its program, the tools' model list
    // and the registration file, beside the installed tools.
    const std::string tools = Staged(layout_.netsetupDir);
    const std::string standIns = installtest::SourceDir() + "/tests/netsetup/stand-ins/";
    fs::create_directory(dir_ / "bin");
    for (const auto& [from, to] : {std::pair{standIns + "tolmexconfig", tools + "/tolmexconfig"},
                                   std::pair{standIns + "sudo", dir_ / "bin/sudo"}}) {
        fs::copy_file(from, to);
        fs::permissions(to, fs::perms(0755));
    }
    dir_.Write("root" + layout_.netsetupDir + "/tolmexmodels.ini", "[Support Model]\nXY-100\n");
    dir_.Write("root" + layout_.netsetupDir + "/tolmexnetdevice.cfg",
               "DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.5 \n"
               "DEVICE=lab , XY-100 , NET , IP-ADDRESS=192.0.2.6 \n");

    std::vector<std::string> env = testprocess::Environment({"PATH", "DBUS_SYSTEM_BUS_ADDRESS", "LSAN_OPTIONS"});
    env.push_back("PATH=" + (dir_ / "bin") + ":/usr/bin:/bin");
    env.push_back("DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (dir_ / "no-bus"));  // no mDNS daemon answers
    env.push_back("LSAN_OPTIONS=suppressions=" + installtest::SourceDir() + "/tests/netsetup/lsan.supp");
    const std::string program = Staged((layout_.toolLinks ? layout_.binDir : layout_.netsetupDir) + "/netsetup-cli");
    const std::string input = dir_.Write("choice", "r1\n");
    netsetuptest::ToolRun run = netsetuptest::RunProgram({program}, &env, input, dir_.Path(), 30);
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(
        "  0: * XY-100       [      192.0.2.5]  office\n"
        "  1: * XY-100       [      192.0.2.6]  lab\n"
        "   ->",
        run.out);
    EXPECT_EQ("sudo\n" + tools + "/tolmexconfig\n-r\nlab\n", ScratchDir::Read(dir_ / "bin/sudo.log"));
    EXPECT_EQ("DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.5 \n",
              ScratchDir::Read(tools + "/tolmexnetdevice.cfg"));
}

}  // namespace
