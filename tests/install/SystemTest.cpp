// The real install (root): in a private mount namespace whose /etc, /opt and
// /usr are overlays with their upper layers on a tmpfs, cmake --install of
// this tree, then the system's own loader cache and scanimage, with neither
// LD_LIBRARY_PATH nor SANE_CONFIG_DIR set, find the installed libraries,
// backend and settings file. Listing a scanner needs the engine object: that
// case runs once libvexmor.so.3 exports CreateInstance, against the scanner
// simulator on 127.0.0.x. man finds the manual page. Removing what
// install_manifest.txt lists, then ldconfig, leaves neither a loader entry
// nor a backend SANE's dll backend would look for. Nothing of the machine's
// own tree changes. In the sanitizer build scanimage -L runs under the
// front ends' leak check (tests/support/sane_frontend/LeakCheck.h).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ScratchDir.h"
#include "tests/install/InstallRun.h"
#include "tests/netsetup/ToolFolder.h"
#include "tests/support/process/Process.h"
#include "tests/support/sane_frontend/LeakCheck.h"

namespace {

using installtest::Layout;

// Runs as: unshare -m bash system.sh <scratch folder>, with vars.sh there.
// Exit 125: the namespace could not be set up.
const char kScript[] = R"SH(set -u
cd "$1" || exit 125
. ./vars.sh
fail() { echo "set-up: $*" >&2; exit 125; }
sim=
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; fi
}
trap cleanup EXIT
trap 'exit 143' TERM INT
here=$(pwd)
mount --make-rprivate / || fail "private mounts"
mkdir -p upper && mount -t tmpfs tmpfs upper || fail "tmpfs"
for d in /etc /opt /usr; do
  n=${d#/}
  mkdir -p "upper/$n/data" "upper/$n/work"
  mount -t overlay overlay -o "lowerdir=$d,upperdir=$here/upper/$n/data,workdir=$here/upper/$n/work" "$d" ||
    fail "overlay on $d"
done
unset LD_LIBRARY_PATH SANE_CONFIG_DIR LD_PRELOAD
timeout 120 "$CMAKE" --install "$BUILD" >install.log 2>&1
echo $? >install.rc
ldconfig -p >ldconfig.txt
# With LOG=1 the backend logs to standard error: it read this file.
sed -i 's/^LOG=0$/LOG=1/' "$ETC/kavrun5.ini"
if [ "$MODE" = simulator ]; then
  "$SIM" --port 54921 --snmp-port 0 --set model=XY-100 --sheets 1 >sim.out 2>sim.err &
  sim=$!
  for i in $(seq 200); do grep -q '^listening on ' sim.out && break; sleep 0.05; done
  addr=$(sed -n 's/^listening on \([0-9.]*\):.*/\1/p' sim.out)
  [ -n "$addr" ] || fail "the simulator did not start: $(cat sim.err)"
  printf 'DEVICE=office , XY-100 , 1 , IP-ADDRESS=%s\n' "$addr" >"$ETC/tolmexnetdevice.cfg"
  printf '[Support Model]\n0x0400,1,2,"XY-100"\n' >"$OPT/models/test.ini"
fi
if [ -n "$PRELOAD" ]; then
  export LD_PRELOAD="$PRELOAD" ASAN_OPTIONS="$ASAN" SANE_FRONTEND_UNLOAD_LOG="$here/unloaded"
fi
SANE_DEBUG_DLL=4 timeout 60 scanimage -L >scanimage.out 2>scanimage.err
echo $? >scanimage.rc
unset LD_PRELOAD
command -v man >/dev/null && man -w sane-vordane5 >man.txt 2>&1
# The usual way to undo a CMake install.
xargs rm -f <"$BUILD/install_manifest.txt"
ldconfig
ldconfig -p >ldconfig-after.txt
SANE_DEBUG_DLL=4 timeout 60 scanimage -L >/dev/null 2>scanimage-after.err
exit 0
)SH";

bool Under(const std::string& path, const std::string& folder) { return path.rfind(folder + "/", 0) == 0; }

// Whether this tree's engine exports its factory yet.
bool EngineHasFactory()
{
    const std::string command = "nm -D --defined-only '" + installtest::BuildDir() + "/lib/libvexmor.so.3' 2>/dev/null";
    std::string symbols;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            symbols.append(buffer, got);
        }
        pclose(pipe);
    }
    return symbols.find(" T CreateInstance\n") != std::string::npos;
}

struct Listing {
    int installStatus = -1;
    std::string installLog;
    std::string loaderCache;  // ldconfig -p
    int scanimageStatus = -1;
    std::string out;
    std::string err;
    std::string manPage;           // man -w sane-vordane5 (empty without man)
    std::string loaderCacheAfter;  // ldconfig -p after the uninstall
    std::string errAfter;          // scanimage -L's dll messages after it
};

class SystemInstall : public testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for its mount namespace";
        }
        for (const char* tool : {"/usr/bin/unshare", "/usr/bin/scanimage", "/sbin/ldconfig"}) {
            if (access(tool, X_OK) != 0) {
                GTEST_SKIP() << "missing " << tool;
            }
        }
        for (const std::string& path : {layout_.libDir, layout_.binDir, layout_.saneBackendDir, layout_.saneConfigDir,
                                        layout_.ldconfDir, layout_.etcDir, layout_.optDir, layout_.netsetupDir}) {
            if (!Under(path, "/etc") && !Under(path, "/opt") && !Under(path, "/usr")) {
                GTEST_SKIP() << path << " lies outside /etc, /opt and /usr, which this test overlays";
            }
        }
    }

    // Installs and runs scanimage -L in the namespace; "simulator" also
    // registers a simulated scanner first.
    Listing InstallAndList(const std::string& mode)
    {
        std::string vars;
        for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
                 {"CMAKE", installtest::CMakeProgram()},
                 {"BUILD", installtest::BuildDir()},
                 {"ETC", layout_.etcDir},
                 {"OPT", layout_.optDir},
                 {"SIM", installtest::SimulatorProgram()},
                 {"PRELOAD", installtest::FrontEndPreload()},
                 {"ASAN", sanetest::LeakCheckAsanOptions(dir_ / "sanitizer")},
                 {"MODE", mode}}) {
            vars += name + "=" + netsetuptest::Quote(value) + "\n";
        }
        dir_.Write("vars.sh", vars);
        const std::string script = dir_.Write("system.sh", kScript);
        pid_t pid = testprocess::Spawn({"unshare", "-m", "bash", script, dir_.Path()}, testprocess::Environment(), "",
                                       dir_ / "setup.log");
        Listing run;
        int status = pid < 0 ? -1 : testprocess::Wait(pid, 170 * 1000);
        const std::string setup = ScratchDir::Read(dir_ / "setup.log");
        if (status == 125) {
            ADD_FAILURE() << "namespace set-up failed: " << setup;
            return run;
        }
        EXPECT_EQ(0, status) << setup;
        run.installStatus = std::atoi(ScratchDir::Read(dir_ / "install.rc").c_str());
        run.installLog = ScratchDir::Read(dir_ / "install.log");
        run.loaderCache = ScratchDir::Read(dir_ / "ldconfig.txt");
        const std::string rc = ScratchDir::Read(dir_ / "scanimage.rc");
        run.scanimageStatus = rc.empty() ? -1 : std::atoi(rc.c_str());
        run.out = ScratchDir::Read(dir_ / "scanimage.out");
        run.err = ScratchDir::Read(dir_ / "scanimage.err");
        run.manPage = ScratchDir::Read(dir_ / "man.txt");
        run.loaderCacheAfter = ScratchDir::Read(dir_ / "ldconfig-after.txt");
        run.errAfter = ScratchDir::Read(dir_ / "scanimage-after.err");
        // The installed files are gone: the frames are read from the build's.
        const std::string findings = sanetest::LeakCheckFindings(dir_.Path(), "sanitizer", dir_ / "unloaded",
                                                                 {installtest::BuildDir() + "/lib"});
        if (!findings.empty()) {
            ADD_FAILURE() << "scanimage -L: the sanitizer reported a fault of the project\n" << findings;
            run.err += findings;
        }
        return run;
    }

    ScratchDir dir_;
    Layout layout_ = installtest::Configured();
};

TEST_F(SystemInstall, TheLoaderAndScanimageFindTheInstalledFiles)
{
    Listing run = InstallAndList("plain");
    ASSERT_EQ(0, run.installStatus) << run.installLog;
    // The install ran ldconfig itself: the cache maps every bare name to the
    // installed folder.
    for (const char* library : {"libvexmor.so.3", "libvelloc.so.1", "libvelloc-usb.so.1", "libvelloc-net.so.1"}) {
        EXPECT_NE(std::string::npos, run.loaderCache.find(" => " + layout_.libDir + "/" + library + "\n"))
            << library << "\n"
            << run.loaderCache;
    }
    // SANE's dll backend found "vordane5" in dll.d and loaded the installed
    // file, whose sane_init read the installed settings file (LOG=1).
    EXPECT_NE(std::string::npos, run.err.find("dlopen()ing `" + layout_.saneBackendDir + "/libsane-vordane5.so.1'"))
        << run.err;
    EXPECT_NE(std::string::npos, run.err.find("vordane5 backend built")) << run.err;
    EXPECT_EQ(0, run.scanimageStatus) << run.err;
    // The backend found the engine by its bare name in the installed folder.
    if (EngineHasFactory()) {
        EXPECT_EQ(std::string::npos, run.err.find("cannot open shared object file")) << run.err;
        EXPECT_EQ(std::string::npos, run.err.find("undefined symbol")) << run.err;
    } else {
        EXPECT_NE(std::string::npos, run.err.find(layout_.libDir + "/libvexmor.so.3: undefined symbol: CreateInstance"))
            << run.err;
    }
    if (access("/usr/bin/man", X_OK) == 0 &&
        (layout_.manDir == "/usr/local/share/man" || layout_.manDir == "/usr/share/man")) {
        // man may name it through a link (/usr/local/man -> share/man).
        std::string found = run.manPage.substr(0, run.manPage.find('\n'));
        EXPECT_EQ(std::filesystem::weakly_canonical(layout_.manDir + "/man5/sane-vordane5.5"),
                  std::filesystem::weakly_canonical(found))
            << run.manPage;
    }
    // Uninstalled by the manifest: the loader knows none of the names, and
    // SANE's dll backend no longer looks for "vordane5".
    EXPECT_FALSE(run.loaderCacheAfter.empty());
    EXPECT_EQ(std::string::npos, run.loaderCacheAfter.find("vordane5")) << run.loaderCacheAfter;
    EXPECT_NE(std::string::npos, run.errAfter.find("[dll]")) << run.errAfter;
    EXPECT_EQ(std::string::npos, run.errAfter.find("vordane5")) << run.errAfter;
}

TEST_F(SystemInstall, ScanimageListsASimulatedScanner)
{
    if (!EngineHasFactory()) {
        GTEST_SKIP() << "libvexmor.so.3 of this tree exports no CreateInstance yet (nm -D): without the engine "
                        "object the installed backend cannot list a scanner";
    }
    if (access(installtest::SimulatorProgram().c_str(), X_OK) != 0) {
        GTEST_SKIP() << "the scanner simulator " << installtest::SimulatorProgram() << " is not built";
    }
    Listing run = InstallAndList("simulator");
    ASSERT_EQ(0, run.installStatus) << run.installLog;
    EXPECT_EQ(0, run.scanimageStatus) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("device `vordane5:net1;dev0' is a Vordane office XY-100"))
        << run.out << run.err;
}

}  // namespace
