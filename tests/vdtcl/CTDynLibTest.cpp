// Library loading with the small plug-ins of DynLibTestPlugin.cpp: one
// object per holder, nothing left mapped after a failed load, the object
// deleted before its library goes, and the second try beside the program.
#include "vdtcl/CTDynLib.h"
#include "vdtcl/CTModulePath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "tests/support/plugin_log/PluginLog.h"
#include "tests/vdtcl/DynLibTestPlugin.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using vdtcl::CTModulePath;
using Holder = vdtcl::CTDynLib<IDynLibTestPlugin>;

const char* const kGood = "libdynlib_good.so";

std::string PluginPath(const std::string& file) { return std::string(DYNLIB_PLUGIN_DIR) + "/" + file; }

class DynLibTest : public ::testing::Test {
protected:
    void SetUp() override { pluginlog::Reset(); }
};

TEST_F(DynLibTest, SecondGetInterfaceReturnsTheObjectCreatedOnce)
{
    Holder holder;
    IDynLibTestPlugin* first = holder.GetInterface(PluginPath(kGood).c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Value(), 42);
    EXPECT_EQ(holder.GetInterface(PluginPath(kGood).c_str()), first);
    EXPECT_EQ(holder.GetInterface("libsome-other-name.so"), first);
    EXPECT_EQ(pluginlog::Take(), (Lines{"good:load", "good:create"}));

    EXPECT_TRUE(holder.ReleaseInterface());
    EXPECT_EQ(pluginlog::Take(), (Lines{"good:destroy", "good:unload"}));
    EXPECT_FALSE(pluginlog::IsMapped(kGood));

    EXPECT_FALSE(holder.ReleaseInterface());
    EXPECT_TRUE(pluginlog::Take().empty());
}

TEST_F(DynLibTest, FailedGetInterfaceLeavesNothingLoaded)
{
    struct Case {
        const char* file;
        Lines log;
    };
    const Case cases[] = {
        {"libdynlib_nocreate.so", {"nocreate:load", "nocreate:unload"}},
        {"libdynlib_nullcreate.so", {"nullcreate:load", "nullcreate:create", "nullcreate:unload"}},
        {"libdynlib_missing.so", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Holder holder;
        EXPECT_EQ(holder.GetInterface(PluginPath(c.file).c_str()), nullptr);
        EXPECT_EQ(pluginlog::Take(), c.log);
        EXPECT_FALSE(pluginlog::IsMapped(c.file));
        EXPECT_FALSE(holder.ReleaseInterface());

        // The empty holder takes another library afterwards.
        ASSERT_NE(holder.GetInterface(PluginPath(kGood).c_str()), nullptr);
        EXPECT_TRUE(holder.ReleaseInterface());
        pluginlog::Take();
    }
}

TEST_F(DynLibTest, DestructorDeletesTheObjectBeforeUnloading)
{
    {
        Holder holder;
        ASSERT_NE(holder.GetInterface(PluginPath(kGood).c_str()), nullptr);
        pluginlog::Take();
    }
    EXPECT_EQ(pluginlog::Take(), (Lines{"good:destroy", "good:unload"}));
    EXPECT_FALSE(pluginlog::IsMapped(kGood));
}

TEST_F(DynLibTest, HandleStaysUntilReleasedWhateverTheName)
{
    vdtcl::CTUseDynLib library;
    EXPECT_EQ(library.LoadDynamicLibrary(""), nullptr);
    void* handle = library.LoadDynamicLibrary(PluginPath(kGood).c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(library.LoadDynLib(PluginPath("libdynlib_nocreate.so").c_str()), handle);
    EXPECT_FALSE(pluginlog::IsMapped("libdynlib_nocreate.so"));
    EXPECT_EQ(library.GetPtrExportSymbol(""), nullptr);
    EXPECT_TRUE(library.ReleaseDynamicLibrary());
    EXPECT_FALSE(library.ReleaseDynamicLibrary());
}

TEST(ModulePath, ProgramFolderAndModuleNames)
{
    fs::path self = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(std::string(CTModulePath::GetProcessPathName().C_str()), self.parent_path().string());
    int module = 0;
    EXPECT_EQ(CTModulePath::GenerateModuleFileName(&module, "libvelloc.so.1"), "libvelloc.so.1");
    EXPECT_TRUE(CTModulePath::GenerateModuleFileName(nullptr, nullptr).IsEmpty());
    EXPECT_TRUE(CTModulePath::GetModulePathName(&module).IsEmpty());
}

TEST(ModulePath, PathComponentsAreCutAtTheLastDelimiter)
{
    struct Case {
        const char* path;
        const char* withoutExtension;
        const char* withoutLastComponent;
    };
    const Case cases[] = {
        {"/opt/x/app.bin", "/opt/x/app", "/opt/x"},
        {"/usr/bin/app", "/usr/bin/app", "/usr/bin"},
        {"/opt/x.d/app", "/opt/x.d/app", "/opt/x.d"},
        {"lib.so.1", "lib.so", "lib.so.1"},
        {"dir\\file.txt", "dir\\file", "dir"},
        {"/app", "/app", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        vdtcl::TTString<char> path(c.path);
        CTModulePath::RemoveFileExtensionName(path);
        EXPECT_EQ(std::string(path.C_str()), c.withoutExtension);
        path = c.path;
        CTModulePath::RemoveLastPathComponent(path);
        EXPECT_EQ(std::string(path.C_str()), c.withoutLastComponent);
    }
}

// The second try beside the program, checked in a copy of this program run
// from a temporary folder (see DynLibChild below). Returns the child's exit
// status; marker is created by the child's test when it ran to its end.
int RunCopyOfThisProgram(const std::string& program, const std::string& test, const std::string& marker)
{
    pid_t pid = fork();
    if (pid == 0) {
        setenv("VEXMOR_CHILD_MARKER", marker.c_str(), 1);
        if (chdir("/") != 0)
            _exit(126);
        std::string filter = "--gtest_filter=" + test;
        execl(program.c_str(), program.c_str(), "--gtest_also_run_disabled_tests", filter.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = -1;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void CopyFile(const std::string& from, const std::string& to)
{
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

TEST(DynLibProgramFolder, BareNameIsTriedAgainBesideTheProgram)
{
    ScratchDir folder;
    ASSERT_FALSE(folder.Path().empty());
    std::string program = folder / "dynlib_child";
    CopyFile("/proc/self/exe", program);
    CopyFile(PluginPath(kGood), folder / kGood);
    fs::create_directory(folder / "sub");
    CopyFile(PluginPath(kGood), folder / ("sub/" + std::string(kGood)));
    std::string marker = folder / "ran";
    EXPECT_EQ(RunCopyOfThisProgram(program, "DynLibChild.DISABLED_BesideTheProgram", marker), 0);
    EXPECT_TRUE(fs::exists(marker));
}

TEST(DynLibProgramFolder, NoSecondTryWhenTheProgramPathDoesNotFit)
{
    ScratchDir folder;
    ASSERT_FALSE(folder.Path().empty());
    std::string deep = folder.Path();
    while (deep.size() <= 1100) {
        deep += "/" + std::string(200, 'd');
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    std::string program = deep + "/dynlib_child";
    CopyFile("/proc/self/exe", program);
    CopyFile(PluginPath(kGood), deep + "/" + kGood);
    std::string marker = folder / "ran";
    EXPECT_EQ(RunCopyOfThisProgram(program, "DynLibChild.DISABLED_ProgramPathTooLong", marker), 0);
    EXPECT_TRUE(fs::exists(marker));
}

void MarkChildRan()
{
    const char* marker = getenv("VEXMOR_CHILD_MARKER");
    ASSERT_NE(marker, nullptr);
    std::ofstream(marker) << "ran\n";
}

// Runs only in the copy made by BareNameIsTriedAgainBesideTheProgram: the
// plug-in lies beside the program and in its folder sub/; the working
// folder is "/".
TEST(DynLibChild, DISABLED_BesideTheProgram)
{
    Holder withSlash;
    EXPECT_EQ(withSlash.GetInterface((std::string("sub/") + kGood).c_str()), nullptr);
    Holder bare;
    IDynLibTestPlugin* plugin = bare.GetInterface(kGood);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->Value(), 42);
    MarkChildRan();
}

// Runs only in the copy made by NoSecondTryWhenTheProgramPathDoesNotFit.
TEST(DynLibChild, DISABLED_ProgramPathTooLong)
{
    EXPECT_TRUE(CTModulePath::GetProcessFullPathName().IsEmpty());
    EXPECT_TRUE(CTModulePath::GetProcessPathName().IsEmpty());
    Holder bare;
    EXPECT_EQ(bare.GetInterface(kGood), nullptr);
    MarkChildRan();
}

}  // namespace
