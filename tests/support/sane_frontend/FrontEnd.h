// A SANE front end run the way a user runs one, for end-to-end tests (root
// only): the program (scanimage, python3 or the probe below) starts in a
// private mount namespace where the test's fixtures are bound over the
// driver's fixed folders and /tmp is a fresh tmpfs, with SANE_CONFIG_DIR at
// a dll.conf naming "vordane5" and LD_LIBRARY_PATH at the backend, the
// engine (the fake one unless told otherwise) and the fake libusb. With
// mDNS services it also runs in a network namespace of its own (lo up with
// multicast, tmpfs on /run) beside a private dbus-daemon, avahi-daemon
// (allow-interfaces=lo) and one avahi-publish per record; all are ended by
// their PIDs when the program ends. Nothing is installed on the machine.
// In the AddressSanitizer build the program runs with the sanitizer
// runtimes preloaded and its leaks checked at its exit: a leak through the
// project's libraries, or any other report of the runtime, fails the test
// that ran it (LeakCheck.h).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ScratchDir.h"

namespace nettest {
class NetNamespace;
}

namespace sanetest {

// One service announced on lo: the name, a host name and its IPv4 address
// (published as an address record), and the TXT strings.
struct Service {
    std::string name;
    std::string host;
    std::string address;
    std::vector<std::string> txt;
};

struct Result {
    int exitCode = -1;  // the program's exit status; 128 + n after signal n
    bool timedOut = false;
    // When the program was sent SIGINT (0 when it was not) and when it
    // ended, in seconds of the real-time clock.
    double interruptedAt = 0;
    double endedAt = 0;
    std::string out;
    std::string err;
};

class FrontEnd {
public:
    // ASAN_OPTIONS for a program that checks for leaks at its exit (why
    // without the __tls_get_addr interceptor: scripts/test). Every run of
    // the sanitizer build does so already; ASAN_OPTIONS given by Env add to
    // the runner's.
    static constexpr const char* kLeakCheckAsanOptions = "detect_leaks=1:intercept_tls_get_addr=0";

    FrontEnd();
    FrontEnd(const FrontEnd&) = delete;
    FrontEnd& operator=(const FrontEnd&) = delete;

    // Whether this machine can run it; why says what is missing.
    static bool Available(std::string* why);

    // The fixtures, in the scratch folder the program runs in: the settings
    // file, the registration file, a model file, the fake engine's script
    // and the fake libusb's devices (FakeLibusb.h).
    void Settings(const std::string& text);
    void Registered(const std::string& text);
    void Models(const std::string& text);
    void Engine(const std::string& script);
    void UsbDevices(const std::string& lines);
    // The folders searched for "libvexmor.so.3" (the fake engine's by
    // default; an empty list leaves the engine out, also when one is
    // installed, in a backend built with VEXMOR_TEST_HOOKS).
    void EngineDirs(const std::vector<std::string>& dirs);
    void Env(const std::string& name, const std::string& value);
    // A library the program loads first (after the sanitizer runtimes of a
    // sanitizer build), as LD_PRELOAD.
    void Preload(const std::string& library) { preload_ = library; }
    void Services(const std::vector<Service>& services);
    // The network and /run of the program's own, without daemons (no
    // services announce; no system bus answers).
    void PrivateNetwork() { privateNetwork_ = true; }
    // Runs the program in a namespace the test made (and keeps), where it
    // may have started its own peers; as PrivateNetwork otherwise.
    void UseNetwork(nettest::NetNamespace* ns) { network_ = ns; }
    // The size of the program's /tmp (tmpfs "size=", e.g. "64m"); the
    // tmpfs default when empty.
    void TmpSize(const std::string& size) { tmpSize_ = size; }
    // Sends SIGINT to the program once this file (in the scratch folder)
    // exists and, when text is given, holds it.
    void InterruptWhenExists(const std::string& file, const std::string& text = "");

    // Runs argv (paths relative to the scratch folder work; the program's
    // working folder is it) and waits at most timeoutSeconds.
    Result Run(const std::vector<std::string>& argv, int timeoutSeconds = 60);

    const ScratchDir& Dir() const { return dir_; }
    // The fake engine's ledger file of the last run.
    std::string Ledger() const { return ScratchDir::Read(dir_ / "ledger"); }
    // The backend's debug log of the last run (modes 3 and 4).
    std::string DebugLog() const { return ScratchDir::Read(dir_ / "kavrun5.log"); }
    // What the last run left in its /tmp once the program had ended (but
    // the backend's debug log), one path a line.
    std::string TmpLeft() const { return ScratchDir::Read(dir_ / "tmp.left"); }

    // Build-tree paths.
    static std::string BuildDir();
    static std::string BackendLibrary();  // .../lib/libsane-vordane5.so.1
    static std::string ProbeProgram();    // the sane_probe program

private:
    std::string Script(const std::vector<std::string>& argv) const;

    ScratchDir dir_;
    std::vector<std::string> engineDirs_;
    std::vector<std::pair<std::string, std::string>> env_;
    std::vector<Service> services_;
    bool privateNetwork_ = false;
    std::string interruptFile_;
    std::string interruptText_;
    std::string preload_;
    std::string tmpSize_;
    nettest::NetNamespace* network_ = nullptr;  // not owned
};

// Counts the ledger lines of an operation ("FreeImageData page=3 known").
int CountLines(const std::string& text, const std::string& needle);

}  // namespace sanetest
