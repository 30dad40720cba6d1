// Streams a long scan-data stream from a stand-in scanner through the
// dispatcher libvelloc.so.1 and the network plug-in in the engine's read
// pattern (reads of at most 256 KiB, 100 ms time-out), and the same stream
// through a plain blocking recv loop on the same scanner as a baseline. It
// prints the throughput and CPU time of each and the ratio of the two. The
// scanner runs in a child process so that its work is not counted; it fills
// one buffer with the test pattern once and sends it over and over, so the
// reader, not the sender, sets the pace.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "tools/scripted_peer/ScriptedPeer.h"
#include "vdtcl/CTDynLib.h"

namespace {

constexpr unsigned short kScannerPort = 54921;
constexpr int kNoProgressLimitMs = 10000;
constexpr int kScannerWaitMs = 30000;
constexpr size_t kSendBufferSize = 1 << 20;
const char kGreeting[] = "+OK \r\n";
const unsigned char kScanCommand[] = {0x1B, 'X', '\n', 0x80};

const char kUsage[] =
    "usage: net-throughput [--bytes N] [--read-size N] [--timeout-ms N] [--rounds N]\n"
    "                      [--mode both|plugin|baseline] [--cpus R,S|none] [--lib-dir DIR] [--verify]\n"
    "  --bytes N        bytes streamed per measurement (default 512M)\n"
    "  --read-size N    largest read (default 256K, at most 1G)\n"
    "  --timeout-ms N   time-out of each plug-in read (default 100)\n"
    "  --rounds N       measurements of each mode, taken in turn; the best counts (default 15)\n"
    "  --mode M         plugin: through the dispatcher; baseline: a plain recv\n"
    "                   loop on the same scanner; both (default) also prints the ratio\n"
    "  --cpus R,S       run the reader on CPU R and the scanner on CPU S (default: the\n"
    "                   two highest-numbered CPUs allowed); none leaves them unpinned\n"
    "  --lib-dir DIR    where libvelloc.so.1 and libvelloc-net.so.1 are\n"
    "  --verify         compare every byte with the test pattern\n"
    "N may end in K, M or G (binary units).\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

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

// The scanner's send buffer: the test pattern from offset 0 on, made once.
const std::vector<unsigned char>& Pattern()
{
    static const std::vector<unsigned char> pattern = [] {
        std::vector<unsigned char> p(kSendBufferSize);
        scriptedpeer::FillPattern(0, p.data(), p.size());
        return p;
    }();
    return pattern;
}

// Keeps the calling process on one CPU, so that every round of both modes
// runs with the reader and the scanner on the same two CPUs.
void PinTo(int cpu)
{
    if (cpu < 0) {
        return;
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    if (sched_setaffinity(0, sizeof set, &set) != 0) {
        std::perror("net-throughput: sched_setaffinity");
    }
}

// The two highest-numbered CPUs this process may use (none when only one).
void DefaultCpus(int& reader, int& scanner)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    reader = scanner = -1;
    if (sched_getaffinity(0, sizeof set, &set) != 0) {
        return;
    }
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0 && scanner < 0; --cpu) {
        if (CPU_ISSET(cpu, &set)) {
            (reader < 0 ? reader : scanner) = cpu;
        }
    }
    if (scanner < 0) {
        reader = -1;
    }
}

bool WaitFor(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    int n = 0;
    do {
        n = poll(&entry, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

// Listens on the scanner port of the first free 127.0.0.x, starting at a
// place chosen by the process id so that parallel runs keep apart.
int ListenOnLoopback(std::string& address)
{
    for (int i = 0; i < 253; ++i) {
        address = "127.0.0." + std::to_string(2 + (getpid() + i) % 253);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(kScannerPort);
        inet_pton(AF_INET, address.c_str(), &where.sin_addr);
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 && listen(fd, 4) == 0) {
            return fd;
        }
        close(fd);
    }
    return -1;
}

bool SendAll(int fd, const unsigned char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The scanner, for each connection: the greeting, the scan command, the
// stream, then it waits for the reader to close. Runs until killed.
[[noreturn]] void RunScanner(int listenFd, unsigned long long bytes)
{
    const std::vector<unsigned char>& pattern = Pattern();
    for (;;) {
        if (!WaitFor(listenFd, POLLIN, kScannerWaitMs * 4)) {
            _exit(1);  // nobody came: the reader is gone
        }
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        unsigned char command[sizeof kScanCommand];
        size_t got = 0;
        bool ok = SendAll(fd, reinterpret_cast<const unsigned char*>(kGreeting), sizeof kGreeting - 1);
        while (ok && got < sizeof command && WaitFor(fd, POLLIN, kScannerWaitMs)) {
            ssize_t n = recv(fd, command + got, sizeof command - got, 0);
            ok = n > 0;
            got += ok ? static_cast<size_t>(n) : 0;
        }
        for (unsigned long long left = bytes; ok && got == sizeof command && left > 0;) {
            size_t n = static_cast<size_t>(std::min<unsigned long long>(left, pattern.size()));
            ok = SendAll(fd, pattern.data(), n);
            left -= n;
        }
        while (ok && WaitFor(fd, POLLIN, kScannerWaitMs) && recv(fd, command, sizeof command, 0) > 0) {
        }
        close(fd);
    }
}

// What one measurement saw.
struct Figures {
    unsigned long long total = 0;
    unsigned long long reads = 0;
    unsigned long long timeouts = 0;
    double wall = 0;
    double user = 0;
    double system = 0;
    bool intact = true;
    bool ok = false;

    double MBs() const { return wall > 0 ? static_cast<double>(total) / 1e6 / wall : 0.0; }
};

// Times a read loop: next(buffer) returns a count, 0 for a read that
// brought nothing, -1 to stop. With verify, each byte is compared with the
// scanner's buffer, which repeats every kSendBufferSize bytes.
template <class Next>
Figures Measure(unsigned long long bytes, size_t readSize, bool verify, Next next)
{
    const std::vector<unsigned char>& pattern = Pattern();
    std::vector<unsigned char> buffer(readSize);
    Figures f;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastData = start;
    while (f.total < bytes) {
        int n = next(buffer.data(), static_cast<int>(buffer.size()));
        if (n < 0) {
            break;
        }
        if (n == 0) {
            ++f.timeouts;
            if (Clock::now() - lastData > std::chrono::milliseconds(kNoProgressLimitMs)) {
                break;
            }
            continue;
        }
        for (size_t i = 0; verify && i < static_cast<size_t>(n);) {
            size_t const at = static_cast<size_t>((f.total + i) % kSendBufferSize);
            size_t const run = std::min(static_cast<size_t>(n) - i, kSendBufferSize - at);
            f.intact = f.intact && std::memcmp(pattern.data() + at, buffer.data() + i, run) == 0;
            i += run;
        }
        f.total += static_cast<unsigned long long>(n);
        ++f.reads;
        lastData = Clock::now();
    }
    f.wall = std::chrono::duration<double>(Clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    f.user = Seconds(after.ru_utime) - Seconds(before.ru_utime);
    f.system = Seconds(after.ru_stime) - Seconds(before.ru_stime);
    f.ok = f.total == bytes && f.intact;
    return f;
}

// The baseline: a blocking socket, the greeting read, the command sent,
// then recv until the stream is in.
Figures MeasurePlain(const std::string& address, unsigned long long bytes, size_t readSize, bool verify)
{
    Figures failed;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(kScannerPort);
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        std::perror("net-throughput: baseline connect");
        if (fd >= 0) {
            close(fd);
        }
        return failed;
    }
    std::string greeting;
    char c = 0;
    while (greeting.find("\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1) {
        greeting += c;
    }
    if (greeting != kGreeting || !SendAll(fd, kScanCommand, sizeof kScanCommand)) {
        std::fprintf(stderr, "net-throughput: baseline: no greeting from the scanner\n");
        close(fd);
        return failed;
    }
    Figures f = Measure(bytes, readSize, verify, [fd](unsigned char* buffer, int size) {
        ssize_t n = recv(fd, buffer, static_cast<size_t>(size), 0);
        return n > 0 ? static_cast<int>(n) : -1;
    });
    close(fd);
    return f;
}

// Through the dispatcher and the plug-in, as the engine reads.
Figures MeasurePlugin(vscore::IDeviceAccess& access, const std::string& address, unsigned long long bytes,
                      size_t readSize, long timeoutMs, bool verify)
{
    Figures failed;
    vscore::_DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_ADDRESS;
    id.devif = vscore::DEVIF_NET;
    id.name = address.c_str();
    if (access.OpenScanner(id) != 0) {
        std::fprintf(stderr, "net-throughput: open %s failed: 0x%08X\n", address.c_str(), access.GetLastErrorCode());
        return failed;
    }
    if (access.SendData(kScanCommand, sizeof kScanCommand, 0) != sizeof kScanCommand) {
        std::fprintf(stderr, "net-throughput: sending the command failed: 0x%08X\n", access.GetLastErrorCode());
        access.CloseScanner();
        return failed;
    }
    Figures f = Measure(bytes, readSize, verify, [&access, timeoutMs](unsigned char* buffer, int size) {
        return access.ReceiveData(buffer, size, size, timeoutMs);
    });
    if (f.total != bytes) {
        std::fprintf(stderr, "net-throughput: stream ended early: 0x%08X\n", access.GetLastErrorCode());
    }
    access.CloseScanner();
    return f;
}

void Print(const char* mode, const Figures& f, unsigned long long bytes, bool verify)
{
    std::printf(
        "%-8s received %llu of %llu bytes in %llu reads (%llu time-outs); wall %.3f s, %.1f MB/s; "
        "CPU %.3f s (user %.3f s, system %.3f s)%s\n",
        mode, f.total, bytes, f.reads, f.timeouts, f.wall, f.MBs(), f.user + f.system, f.user, f.system,
        verify ? (f.intact ? "; data verified" : "; DATA DIFFERS") : "");
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned long long bytes = 512ull << 20;
    unsigned long long readSize = 256 * 1024;
    unsigned long long timeoutMs = 100;
    unsigned long long rounds = 15;
    std::string mode = "both";
    std::string cpus;
    int readerCpu = -1;
    int scannerCpu = -1;
    std::string libDir = VELLOC_LIB_DIR;
    bool verify = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--verify") == 0) {
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
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            if (!ParseSize(argv[++i], rounds) || rounds > 1000)
                return Usage();
        } else if (std::strcmp(argv[i], "--mode") == 0) {
            mode = argv[++i];
            if (mode != "both" && mode != "plugin" && mode != "baseline")
                return Usage();
        } else if (std::strcmp(argv[i], "--cpus") == 0) {
            cpus = argv[++i];
        } else if (std::strcmp(argv[i], "--lib-dir") == 0) {
            libDir = argv[++i];
        } else {
            return Usage();
        }
    }
    if (cpus == "none") {
        readerCpu = scannerCpu = -1;
    } else if (!cpus.empty() && std::sscanf(cpus.c_str(), "%d,%d", &readerCpu, &scannerCpu) != 2) {
        return Usage();
    } else if (cpus.empty()) {
        DefaultCpus(readerCpu, scannerCpu);
    }
    const bool plugin = mode != "baseline";
    const bool baseline = mode != "plugin";

    std::string address;
    int listenFd = ListenOnLoopback(address);
    if (listenFd < 0) {
        std::fprintf(stderr, "net-throughput: cannot listen on 127.0.0.x:%u\n", kScannerPort);
        return 1;
    }
    pid_t scanner = fork();
    if (scanner < 0) {
        std::perror("fork");
        return 1;
    }
    if (scanner == 0) {
        PinTo(scannerCpu);
        RunScanner(listenFd, bytes);
    }
    close(listenFd);
    PinTo(readerCpu);

    // The dispatcher loads the plug-in by its bare name; loaded here first,
    // the plug-in of libDir is the one it finds.
    const std::string pluginPath = libDir + "/libvelloc-net.so.1";
    void* pluginLibrary = plugin ? dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
    int status = 1;
    {
        vdtcl::CTDynLib<vscore::IDeviceAccess> dispatcher;
        vscore::IDeviceAccess* access =
            pluginLibrary != nullptr ? dispatcher.GetInterface((libDir + "/libvelloc.so.1").c_str()) : nullptr;
        if (plugin && access == nullptr) {
            std::fprintf(stderr, "net-throughput: cannot load the libraries in %s: %s\n", libDir.c_str(), dlerror());
        } else {
            Figures bestPlugin;
            Figures bestPlain;
            bool ok = true;
            for (unsigned long long round = 0; round < rounds && ok; ++round) {
                if (baseline) {
                    Figures f = MeasurePlain(address, bytes, static_cast<size_t>(readSize), verify);
                    ok = f.ok;
                    bestPlain = !ok || f.MBs() > bestPlain.MBs() ? f : bestPlain;
                }
                if (plugin && ok) {
                    Figures f = MeasurePlugin(*access, address, bytes, static_cast<size_t>(readSize),
                                              static_cast<long>(timeoutMs), verify);
                    ok = f.ok;
                    bestPlugin = !ok || f.MBs() > bestPlugin.MBs() ? f : bestPlugin;
                }
            }
            std::printf("best of %llu rounds of %llu bytes, reads of at most %llu bytes, plug-in time-out %llu ms\n",
                        rounds, bytes, readSize, timeoutMs);
            if (baseline) {
                Print("baseline", bestPlain, bytes, verify);
            }
            if (plugin) {
                Print("plug-in", bestPlugin, bytes, verify);
            }
            if (ok && plugin && baseline && bestPlain.MBs() > 0) {
                std::printf("plug-in / baseline: %.3f (goal at least 0.95)\n", bestPlugin.MBs() / bestPlain.MBs());
            }
            status = ok ? 0 : 1;
        }
    }
    if (pluginLibrary != nullptr) {
        dlclose(pluginLibrary);
    }
    kill(scanner, SIGTERM);
    waitpid(scanner, nullptr, 0);
    return status;
}
