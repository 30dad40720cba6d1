// The front-end runner: a bash script, written beside the fixtures, sets up
// the namespaces and daemons, runs the program and ends what it started;
// this side forks it, bounds its time and collects what it wrote.
#include "tests/support/sane_frontend/FrontEnd.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/net/NetNamespace.h"
#include "tests/support/private_mdns/PrivateMdns.h"
#include "tests/support/sane_frontend/LeakCheck.h"
#include "vexmor_paths.h"

namespace sanetest {

namespace {

// The sanitizer's reports in the scratch folder, one per process.
const char kSanitizerLog[] = "sanitizer";
// The ranges of the modules a run unloaded (UnloadLog.cpp).
const char kUnloadLog[] = "unloaded";

// Runs as: bash frontend.sh <settings folder> <package folder> <program...>
// from the scratch folder, inside "unshare -m" (and "ip netns exec").
const char kScript[] = R"SH(set -u
set -m
etc=$1; opt=$2; shift 2
program=("$@")
fail() { echo "front end set-up: $*" >&2; exit 125; }
pids=()
cleanup() {
  [ -s ./prog.pid ] && kill -KILL "$(cat ./prog.pid)" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}
trap cleanup EXIT
trap 'exit 143' TERM
mount --make-rprivate / || fail "private mounts"
mount -t tmpfs tmpfs /etc/opt && mkdir -p "$etc" && mount --bind ./etc "$etc" || fail "settings folder"
mount -t tmpfs tmpfs /opt && mkdir -p "$opt" && mount --bind ./opt "$opt" || fail "package folder"
tmpsize=$(cat ./tmp_size 2>/dev/null)
mount -t tmpfs ${tmpsize:+-o "size=$tmpsize"} tmpfs /tmp || fail "tmp"
if [ -e ./private_network ]; then
  mount -t tmpfs tmpfs /run && mkdir -p /run/dbus /run/avahi-daemon || fail "run"
  ip link set lo up multicast on || fail "lo"
fi
if [ -s ./services ]; then
  dbus-daemon --system --nofork --nopidfile & pids+=($!)
  for i in $(seq 100); do [ -S /run/dbus/system_bus_socket ] && break; sleep 0.05; done
  avahi-daemon -f ./avahi.conf --no-chroot --no-drop-root --no-rlimits >./avahi.log 2>&1 & pids+=($!)
  for i in $(seq 200); do
    dbus-send --system --dest=org.freedesktop.Avahi --print-reply / \
      org.freedesktop.Avahi.Server.GetVersionString >/dev/null 2>&1 && break
    sleep 0.05
  done
  wanted=0
  while IFS='|' read -r name host address txt; do
    [ -n "$name" ] || continue
    eval "set -- $txt"
    avahi-publish -a -R "$host" "$address" >>./publish.log 2>&1 & pids+=($!)
    avahi-publish -s -H "$host" "$name" _scanner._tcp 54921 "$@" >>./publish.log 2>&1 & pids+=($!)
    wanted=$((wanted + 1))
  done < ./services
  for i in $(seq 100); do
    found=$(timeout 5 avahi-browse -rtp _scanner._tcp 2>/dev/null | grep -c '^=;lo;IPv4;')
    [ "$found" -ge "$wanted" ] && break
    sleep 0.1
  done
fi
# The program's environment is its own: the commands below must not load
# its preload library.
( if [ -f ./env ]; then . ./env; fi; exec "${program[@]}" ) >./prog.out 2>./prog.err &
prog=$!
echo "$prog" >./prog.pid
if [ -s ./interrupt ]; then
  file=$(sed -n 1p ./interrupt)
  text=$(sed -n 2p ./interrupt)
  until ! kill -0 "$prog" 2>/dev/null || { [ -e "$file" ] && { [ -z "$text" ] || grep -qF -- "$text" "$file"; }; }; do
    sleep 0.02
  done
  date +%s.%N >./prog.interrupted
  kill -INT "$prog" 2>/dev/null
fi
wait "$prog"
rc=$?
date +%s.%N >./prog.ended
: >./prog.pid
(cd /tmp && find . -mindepth 1 ! -name kavrun5.log) >./tmp.left
cp /tmp/kavrun5.log ./kavrun5.log 2>/dev/null
exit $rc
)SH";

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

std::string Join(const std::vector<std::string>& parts, const char* separator)
{
    std::string out;
    for (const std::string& part : parts) {
        out += (out.empty() ? "" : separator) + part;
    }
    return out;
}

// Removes what the last run left for the leak check.
void RemoveSanitizerLogs(const ScratchDir& dir)
{
    std::remove((dir / kUnloadLog).c_str());
    if (DIR* folder = opendir(dir.Path().c_str())) {
        while (const dirent* entry = readdir(folder)) {
            if (std::string(entry->d_name).rfind(std::string(kSanitizerLog) + ".", 0) == 0) {
                std::remove((dir / entry->d_name).c_str());
            }
        }
        closedir(folder);
    }
}

}  // namespace

FrontEnd::FrontEnd() : engineDirs_{SANE_FRONTEND_FAKE_ENGINE_DIR}
{
    for (const char* folder : {"etc", "opt", "opt/models", "sane", "backend"}) {
        mkdir((dir_ / folder).c_str(), 0755);
    }
    // The backend is reached through a folder of its own: the build's lib
    // folder also holds the real engine, which only EngineDirs may bring in.
    if (symlink(BackendLibrary().c_str(), (dir_ / "backend/libsane-vordane5.so.1").c_str()) != 0) {
        std::perror("symlink to the backend");
    }
    dir_.Write("sane/dll.conf", "vordane5\n");
    dir_.Write("avahi.conf", mdnstest::AvahiDaemonConf("vexmor-test"));
    Engine("");
}

bool FrontEnd::Available(std::string* why)
{
    if (geteuid() != 0) {
        *why = "needs root for its namespaces";
        return false;
    }
    if (std::string(VEXMOR_ETC_DIR).rfind("/etc/opt/", 0) != 0 || std::string(VEXMOR_OPT_DIR).rfind("/opt/", 0) != 0) {
        *why = "the driver's folders are configured outside /etc/opt and /opt";
        return false;
    }
    if (BuildDir().rfind("/tmp/", 0) == 0) {
        *why = "the build tree lies under /tmp, which the front end's namespace replaces with a fresh tmpfs";
        return false;
    }
    for (const char* tool : {"/usr/bin/unshare", "/usr/bin/scanimage", "/usr/sbin/ip"}) {
        if (!Executable(tool)) {
            *why = std::string("missing ") + tool;
            return false;
        }
    }
    return true;
}

void FrontEnd::Settings(const std::string& text) { dir_.Write("etc/kavrun5.ini", text); }
void FrontEnd::Registered(const std::string& text) { dir_.Write("etc/tolmexnetdevice.cfg", text); }
void FrontEnd::Models(const std::string& text) { dir_.Write("opt/models/models.ini", text); }
void FrontEnd::Engine(const std::string& script) { dir_.Write("engine.script", script); }
void FrontEnd::UsbDevices(const std::string& lines) { dir_.Write("usb.devices", lines); }
void FrontEnd::EngineDirs(const std::vector<std::string>& dirs) { engineDirs_ = dirs; }
void FrontEnd::Env(const std::string& name, const std::string& value) { env_.emplace_back(name, value); }
void FrontEnd::Services(const std::vector<Service>& services) { services_ = services; }
void FrontEnd::InterruptWhenExists(const std::string& file, const std::string& text)
{
    interruptFile_ = file;
    interruptText_ = text;
}

std::string FrontEnd::BuildDir()
{
    const char* dir = std::getenv("VEXMOR_BUILD_DIR");
    char resolved[PATH_MAX];
    return realpath(dir != nullptr ? dir : ".", resolved) != nullptr ? resolved : ".";
}

std::string FrontEnd::BackendLibrary() { return BuildDir() + "/lib/libsane-vordane5.so.1"; }

std::string FrontEnd::ProbeProgram() { return SANE_FRONTEND_PROBE; }

Result FrontEnd::Run(const std::vector<std::string>& argv, int timeoutSeconds)
{
    std::vector<std::string> libraryPath = engineDirs_;
    libraryPath.push_back("./backend");  // relative: /tmp is a fresh tmpfs inside
    libraryPath.push_back(SANE_FRONTEND_FAKE_LIBUSB_DIR);
    std::string env = "export SANE_CONFIG_DIR=./sane\n";
    env += "export LD_LIBRARY_PATH=" + ShellQuote(Join(libraryPath, ":")) + "\n";
    if (engineDirs_.empty()) {
        // The backend of a test build takes the engine from this empty
        // folder alone: the loader's own search would find an installed one.
        mkdir((dir_ / "no-engine").c_str(), 0755);
        env += "export VEXMOR_TEST_LIBRARY_DIR=" + ShellQuote(dir_ / "no-engine") + "\n";
    }
    env += "export VEXMOR_FAKE_ENGINE_SCRIPT=./engine.script VEXMOR_FAKE_ENGINE_LEDGER=./ledger\n";
    env += "export FAKE_LIBUSB_DEVICES=./usb.devices\n";
    const bool sanitized = std::string(SANE_FRONTEND_PRELOAD).size() > 0;
    std::vector<std::string> preload;
    if (sanitized) {
        preload.push_back(SANE_FRONTEND_PRELOAD);
        // The reports go to the scratch folder through the script's own
        // working folder, which the program may leave.
        env += "export ASAN_OPTIONS=" + ShellQuote(LeakCheckAsanOptions("/proc/")) + "\"$$\"" +
               ShellQuote("/cwd/" + std::string(kSanitizerLog)) + "\n";
        env += "export SANE_FRONTEND_UNLOAD_LOG=/proc/\"$$\"/cwd/" + std::string(kUnloadLog) + "\n";
    }
    if (!preload_.empty()) {
        preload.push_back(preload_);
    }
    if (!preload.empty()) {
        env += "export LD_PRELOAD=" + ShellQuote(Join(preload, ":")) + "\n";
    }
    for (const auto& [name, value] : env_) {
        // A test's own sanitizer options come on top of the leak check's.
        const bool merged = sanitized && name == "ASAN_OPTIONS";
        env += "export " + name + "=" + (merged ? "\"$ASAN_OPTIONS\":" : "") + ShellQuote(value) + "\n";
    }
    dir_.Write("env", env);
    if (!ScratchDir::Exists(dir_ / "usb.devices")) {
        UsbDevices("");
    }
    std::string services;
    for (const Service& s : services_) {
        std::vector<std::string> quoted;
        for (const std::string& t : s.txt) {
            quoted.push_back(ShellQuote(t));
        }
        services += s.name + "|" + s.host + "|" + s.address + "|" + Join(quoted, " ") + "\n";
    }
    dir_.Write("services", services);
    dir_.Write("tmp_size", tmpSize_);
    dir_.Write("interrupt", interruptFile_.empty() ? "" : interruptFile_ + "\n" + interruptText_ + "\n");
    std::remove((dir_ / "private_network").c_str());
    if (privateNetwork_ || !services_.empty() || network_ != nullptr) {
        dir_.Write("private_network", "");
    }
    dir_.Write("frontend.sh", kScript);
    for (const char* stale :
         {"ledger", "kavrun5.log", "prog.out", "prog.err", "prog.pid", "prog.interrupted", "prog.ended", "tmp.left"}) {
        std::remove((dir_ / stale).c_str());
    }
    RemoveSanitizerLogs(dir_);

    nettest::NetNamespace ns;
    std::vector<std::string> command;
    if (network_ != nullptr) {
        command = {"ip", "netns", "exec", network_->Name()};
    } else if (privateNetwork_ || !services_.empty()) {
        std::string error;
        if (!ns.Create(error)) {
            Result failed;
            failed.err = "cannot make a network namespace: " + error;
            return failed;
        }
        command = {"ip", "netns", "exec", ns.Name()};
    }
    for (const char* word : {"unshare", "-m", "bash", "frontend.sh", VEXMOR_ETC_DIR, VEXMOR_OPT_DIR}) {
        command.push_back(word);
    }
    command.insert(command.end(), argv.begin(), argv.end());

    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(dir_.Path().c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> args;
        for (std::string& word : command) {
            args.push_back(word.data());
        }
        args.push_back(nullptr);
        freopen((dir_ / "setup.log").c_str(), "w", stderr);
        execvp(args[0], args.data());
        _exit(127);
    }
    Result result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            std::string program = ScratchDir::Read(dir_ / "prog.pid");
            if (!program.empty()) {
                kill(static_cast<pid_t>(std::atol(program.c_str())), SIGKILL);
            }
            kill(-pid, SIGTERM);
            std::this_thread::sleep_for(std::chrono::seconds(2));
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.interruptedAt = std::atof(ScratchDir::Read(dir_ / "prog.interrupted").c_str());
    result.endedAt = std::atof(ScratchDir::Read(dir_ / "prog.ended").c_str());
    result.out = ScratchDir::Read(dir_ / "prog.out");
    result.err = ScratchDir::Read(dir_ / "prog.err") + ScratchDir::Read(dir_ / "setup.log");
    if (sanitized) {
        // A leak or an error the test itself would not see in the exit
        // status: every test running a front end fails on it.
        const std::string findings =
            LeakCheckFindings(dir_.Path(), kSanitizerLog, dir_ / kUnloadLog, {BuildDir() + "/lib"});
        if (!findings.empty()) {
            ADD_FAILURE() << argv[0] << ": the sanitizer reported a fault of the project\n" << findings;
            result.err += findings;
        }
    }
    return result;
}

int CountLines(const std::string& text, const std::string& needle)
{
    int count = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (text.substr(start, end - start).find(needle) != std::string::npos) {
            ++count;
        }
        start = end + 1;
    }
    return count;
}

}  // namespace sanetest
