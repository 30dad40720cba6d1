// Streams a long scan-data stream from a scripted scanner through the
// dispatcher libvelloc.so.1 and the network plug-in in the engine's read
// pattern (reads of at most 256 KiB, 100 ms time-out) and prints the
// throughput and the CPU time of the reading process. The scanner runs in
// a child process so that its work is not counted.
//   net-throughput [--bytes N] [--read-size N] [--timeout-ms N] [--lib-dir DIR] [--verify]
// N may end in K or M (binary units).
#include <dlfcn.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "tools/scripted_peer/ScriptedPeer.h"
#include "vdtcl/CTDynLib.h"

namespace {

constexpr int kNoProgressLimitMs = 10000;
const unsigned char kScanCommand[] = {0x1B, 'X', '\n', 0x80};

// A positive byte count (see scriptedpeer::ParseByteCount).
bool ParseSize(const char* text, unsigned long long& value)
{
    uint64_t n = 0;
    if (!scriptedpeer::ParseByteCount(text, n) || n == 0) {
        return false;
    }
    value = n;
    return true;
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// The scanner: a greeting, then the stream once the scan command is in.
[[noreturn]] void RunScanner(unsigned long long bytes, int reportFd)
{
    scriptedpeer::ScriptedPeer peer;
    std::string error;
    std::string line;
    const bool listening = peer.Listen(error);
    if (listening) {
        peer.AddConnection(scriptedpeer::Script()
                               .Send("+OK \r\n")
                               .Receive(sizeof kScanCommand, 30000)
                               .Stream(bytes, 256 * 1024)
                               .ReceiveUntilClosed(60000));
        peer.Start();
        line = peer.Address() + "\n";
    } else {
        line = "error " + error + "\n";
    }
    // Without a listener there is no script to wait for.
    if (write(reportFd, line.data(), line.size()) < 0 || !listening) {
        _exit(1);
    }
    close(reportFd);
    while (!peer.WaitDone(1000)) {
    }
    peer.Stop();
    _exit(0);
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: net-throughput [--bytes N] [--read-size N] [--timeout-ms N] [--lib-dir DIR] [--verify]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned long long bytes = 256ull << 20;
    unsigned long long readSize = 256 * 1024;
    unsigned long long timeoutMs = 100;
    std::string libDir = VELLOC_LIB_DIR;
    bool verify = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (std::strcmp(argv[i], "--verify") == 0) {
            verify = true;
        } else if (!more) {
            return Usage();
        } else if (std::strcmp(argv[i], "--bytes") == 0) {
            if (!ParseSize(argv[++i], bytes))
                return Usage();
        } else if (std::strcmp(argv[i], "--read-size") == 0) {
            if (!ParseSize(argv[++i], readSize) || readSize > (1u << 30))
                return Usage();
        } else if (std::strcmp(argv[i], "--timeout-ms") == 0) {
            if (!ParseSize(argv[++i], timeoutMs))
                return Usage();
        } else if (std::strcmp(argv[i], "--lib-dir") == 0) {
            libDir = argv[++i];
        } else {
            return Usage();
        }
    }

    int report[2];
    if (pipe(report) != 0) {
        std::perror("pipe");
        return 1;
    }
    pid_t scanner = fork();
    if (scanner < 0) {
        std::perror("fork");
        return 1;
    }
    if (scanner == 0) {
        close(report[0]);
        RunScanner(bytes, report[1]);
    }
    close(report[1]);
    char text[128] = {};
    ssize_t got = read(report[0], text, sizeof text - 1);
    close(report[0]);
    std::string address(text, got > 0 ? static_cast<size_t>(got) : 0);
    if (address.empty() || address.compare(0, 6, "error ") == 0 || address.back() != '\n') {
        std::fprintf(stderr, "net-throughput: scanner did not start: %s\n", address.c_str());
        kill(scanner, SIGTERM);
        waitpid(scanner, nullptr, 0);
        return 1;
    }
    address.pop_back();

    // The dispatcher loads the plug-in by its bare name; loaded here first,
    // the plug-in of libDir is the one it finds.
    const std::string pluginPath = libDir + "/libvelloc-net.so.1";
    void* plugin = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    int status = 1;
    {
        vdtcl::CTDynLib<vscore::IDeviceAccess> dispatcher;
        vscore::IDeviceAccess* access =
            plugin != nullptr ? dispatcher.GetInterface((libDir + "/libvelloc.so.1").c_str()) : nullptr;
        vscore::_DEV_IDENTIFIER id{};
        id.kind = vscore::DEVID_KIND_ADDRESS;
        id.devif = vscore::DEVIF_NET;
        id.name = address.c_str();
        if (access == nullptr) {
            std::fprintf(stderr, "net-throughput: cannot load the libraries in %s: %s\n", libDir.c_str(), dlerror());
        } else if (access->OpenScanner(id) != 0) {
            std::fprintf(stderr, "net-throughput: open %s failed: 0x%08X\n", address.c_str(),
                         access->GetLastErrorCode());
        } else if (access->SendData(kScanCommand, sizeof kScanCommand, 0) != sizeof kScanCommand) {
            std::fprintf(stderr, "net-throughput: sending the command failed: 0x%08X\n", access->GetLastErrorCode());
        } else {
            std::vector<unsigned char> buffer(static_cast<size_t>(readSize));
            std::vector<unsigned char> expected(verify ? buffer.size() : 0);
            unsigned long long total = 0;
            unsigned long long reads = 0;
            unsigned long long timeouts = 0;
            bool intact = true;
            rusage before{};
            getrusage(RUSAGE_SELF, &before);
            using Clock = std::chrono::steady_clock;
            const Clock::time_point start = Clock::now();
            Clock::time_point lastData = start;
            while (total < bytes) {
                int n = access->ReceiveData(buffer.data(), static_cast<int>(buffer.size()),
                                            static_cast<int>(buffer.size()), static_cast<long>(timeoutMs));
                if (n < 0) {
                    break;
                }
                if (n == 0) {
                    ++timeouts;
                    if (Clock::now() - lastData > std::chrono::milliseconds(kNoProgressLimitMs)) {
                        break;
                    }
                    continue;
                }
                if (verify) {
                    scriptedpeer::FillPattern(total, expected.data(), static_cast<size_t>(n));
                    intact = intact && std::memcmp(expected.data(), buffer.data(), static_cast<size_t>(n)) == 0;
                }
                total += static_cast<unsigned long long>(n);
                ++reads;
                lastData = Clock::now();
            }
            const double wall = std::chrono::duration<double>(Clock::now() - start).count();
            rusage after{};
            getrusage(RUSAGE_SELF, &after);
            const double user = Seconds(after.ru_utime) - Seconds(before.ru_utime);
            const double system = Seconds(after.ru_stime) - Seconds(before.ru_stime);
            std::printf(
                "received %llu of %llu bytes in %llu reads (%llu time-outs) of at most %llu bytes, "
                "time-out %llu ms\n",
                total, bytes, reads, timeouts, readSize, timeoutMs);
            std::printf("wall %.3f s, %.1f MB/s; CPU %.3f s (user %.3f s, system %.3f s)%s\n", wall,
                        wall > 0 ? static_cast<double>(total) / 1e6 / wall : 0.0, user + system, user, system,
                        verify ? (intact ? "; data verified" : "; DATA DIFFERS") : "");
            status = total == bytes && intact ? 0 : 1;
            if (total != bytes) {
                std::fprintf(stderr, "net-throughput: stream ended early: 0x%08X\n", access->GetLastErrorCode());
            }
            access->CloseScanner();
        }
    }
    if (plugin != nullptr) {
        dlclose(plugin);
    }
    int childStatus = 0;
    kill(scanner, SIGTERM);
    waitpid(scanner, &childStatus, 0);
    return status;
}
