// Measures how fast sane_read hands out a 600-dpi A4 colour page (4960 x
// 7016 pixels, 104 MB) through the SANE entry points, against the fake engine
// in the same process, with the front end's usual 32 KiB buffer; then copies
// a block of the same size in the same chunks with memcpy. Prints both rates
// and their ratio (the goal is at least 0.5). The driver's files are written
// to a scratch folder.
#include <sane/sane.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "backend_source/DriverPaths.h"
#include "backend_source/My_Scanner.h"
#include "tests/support/fake_engine/FakeEngine.h"

extern "C" {
SANE_Status sane_vordane5_init(SANE_Int*, SANE_Auth_Callback);
void sane_vordane5_exit(void);
SANE_Status sane_vordane5_open(SANE_String_Const, SANE_Handle*);
void sane_vordane5_close(SANE_Handle);
SANE_Status sane_vordane5_control_option(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*);
SANE_Status sane_vordane5_start(SANE_Handle);
SANE_Status sane_vordane5_read(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*);
void sane_vordane5_cancel(SANE_Handle);
}

namespace {

constexpr uint32_t kWidth = 4960;
constexpr uint32_t kHeight = 7016;

void Usage(FILE* out)
{
    std::fprintf(out,
                 "usage: bench_sane_read [--buffer BYTES] [--pages N]\n"
                 "  Reads N (default 3) 600-dpi A4 colour pages through sane_read with a buffer of\n"
                 "  BYTES (default 32K; K and M allowed) and copies as many bytes with memcpy in the\n"
                 "  same chunks; prints MB/s of both and their ratio (best page against best copy).\n");
}

size_t Size(const char* text)
{
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end != nullptr && (*end == 'K' || *end == 'k')) {
        value *= 1024;
    } else if (end != nullptr && (*end == 'M' || *end == 'm')) {
        value *= 1024 * 1024;
    }
    return value > 0 ? static_cast<size_t>(value) : 0;
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv)
{
    size_t buffer = 32 * 1024;
    int pages = 3;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--buffer" && i + 1 < argc) {
            buffer = Size(argv[++i]);
        } else if (arg == "--pages" && i + 1 < argc) {
            pages = std::atoi(argv[++i]);
        } else {
            Usage(stderr);
            return 2;
        }
    }
    if (buffer == 0 || buffer > (1u << 30) || pages < 1) {
        Usage(stderr);
        return 2;
    }

    char folder[] = "/tmp/bench-sane-read-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folder;
    mkdir((dir + "/etc").c_str(), 0755);
    mkdir((dir + "/opt").c_str(), 0755);
    mkdir((dir + "/opt/models").c_str(), 0755);
    Write(dir + "/opt/models/models.ini", "[Support Model]\n0x0400,1,2,XY-100\n");
    Write(dir + "/etc/tolmexnetdevice.cfg", "DEVICE=bench , XY-100 , 1 , IP-ADDRESS=127.0.0.2\n");
    std::string script =
        "cap deviceCategory 2\ncap resolutionList 600\ncap colorType.color24bit true\n"
        "cap paperSourceSpec.supportPaperSource.flatbed true\ncap supportDocSizeMax.unit 1\n"
        "cap supportDocSizeMax.flatbed.x 21590\ncap supportDocSizeMax.flatbed.y 29700\n";
    for (int p = 0; p < pages; ++p) {
        script += "page " + std::to_string(kWidth) + " " + std::to_string(kHeight) + " 24 gradient\n";
    }
    Write(dir + "/engine.script", script);
    setenv(fakeengine::kScriptVariable, (dir + "/engine.script").c_str(), 1);
    driver_paths_set((dir + "/etc").c_str(), (dir + "/opt").c_str(), (dir + "/kavrun5.log").c_str());

    int status = 0;
    SANE_Handle h = nullptr;
    const uint64_t pageBytes = static_cast<uint64_t>(kWidth) * kHeight * 3;
    std::vector<SANE_Byte> out(buffer);
    double bestRead = 0;
    if (sane_vordane5_init(nullptr, nullptr) != SANE_STATUS_GOOD || sane_vordane5_open("net1;dev0", &h) != 0) {
        std::fprintf(stderr, "bench_sane_read: the backend did not open its device\n");
        status = 1;
    } else {
        SANE_Word dpi = 600;
        sane_vordane5_control_option(h, optResolution, SANE_ACTION_SET_VALUE, &dpi, nullptr);
        for (int p = 0; p < pages && status == 0; ++p) {
            if (sane_vordane5_start(h) != SANE_STATUS_GOOD) {
                std::fprintf(stderr, "bench_sane_read: sane_start failed on page %d\n", p + 1);
                status = 1;
                break;
            }
            uint64_t total = 0;
            SANE_Int length = 0;
            auto start = std::chrono::steady_clock::now();
            SANE_Status s;
            while ((s = sane_vordane5_read(h, out.data(), static_cast<SANE_Int>(buffer), &length)) ==
                   SANE_STATUS_GOOD) {
                total += static_cast<uint64_t>(length);
            }
            double seconds = Seconds(std::chrono::steady_clock::now() - start);
            if (s != SANE_STATUS_EOF || total != pageBytes) {
                std::fprintf(stderr, "bench_sane_read: page %d gave %llu bytes\n", p + 1,
                             static_cast<unsigned long long>(total));
                status = 1;
            }
            double rate = total / seconds / 1e6;
            std::printf("page %d: sane_read %llu bytes in %.1f ms, %.0f MB/s\n", p + 1,
                        static_cast<unsigned long long>(total), seconds * 1e3, rate);
            bestRead = std::max(bestRead, rate);
        }
        sane_vordane5_cancel(h);
        sane_vordane5_close(h);
    }
    sane_vordane5_exit();
    driver_paths_set(nullptr, nullptr, nullptr);
    std::string remove = "rm -rf '" + dir + "'";
    if (std::system(remove.c_str()) != 0) {
        std::fprintf(stderr, "bench_sane_read: could not remove %s\n", dir.c_str());
    }
    if (status != 0) {
        return status;
    }

    std::vector<unsigned char> page(pageBytes);
    for (uint64_t i = 0; i < pageBytes; ++i) {
        page[i] = static_cast<unsigned char>(i * 7);
    }
    double bestCopy = 0;
    for (int p = 0; p < pages; ++p) {
        auto start = std::chrono::steady_clock::now();
        for (uint64_t at = 0; at < pageBytes; at += buffer) {
            std::memcpy(out.data(), page.data() + at, std::min<uint64_t>(buffer, pageBytes - at));
            asm volatile("" : : "r"(out.data()) : "memory");
        }
        double seconds = Seconds(std::chrono::steady_clock::now() - start);
        double rate = pageBytes / seconds / 1e6;
        std::printf("copy %d: memcpy %llu bytes in %.1f ms, %.0f MB/s\n", p + 1,
                    static_cast<unsigned long long>(pageBytes), seconds * 1e3, rate);
        bestCopy = std::max(bestCopy, rate);
    }
    std::printf("sane_read %.0f MB/s, memcpy %.0f MB/s, ratio %.2f (goal >= 0.5), buffer %zu bytes\n", bestRead,
                bestCopy, bestRead / bestCopy, buffer);
    return 0;
}
