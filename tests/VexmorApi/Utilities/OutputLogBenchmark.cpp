// Cost of log lines that are not written: a disabled log (no settings file)
// and an enabled log asked for a level above its LogLevel, from one and from
// eight threads. Without a lock or an allocation on these paths the time per
// line stays flat as threads are added; the shared mutex beside them shows
// what a lock on every line would cost.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "VexmorApi/Utilities/OutputLog.h"

namespace {

COutputLog* g_disabled = nullptr;
COutputLog* g_filtered = nullptr;
std::mutex g_shared;

void DisabledLine(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state) {
        g_disabled->WriteLog(1, "page %d line %s", ++i, "text");
    }
}
BENCHMARK(DisabledLine)->Threads(1)->Threads(8);

void FilteredLine(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state) {
        g_filtered->WriteLog(3, "page %d line %s", ++i, "text");
    }
}
BENCHMARK(FilteredLine)->Threads(1)->Threads(8);

void SharedMutexPerLine(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state) {
        std::lock_guard<std::mutex> lock(g_shared);
        benchmark::DoNotOptimize(++i);
    }
}
BENCHMARK(SharedMutexPerLine)->Threads(1)->Threads(8);

}  // namespace

int main(int argc, char** argv)
{
    std::string home = (std::filesystem::temp_directory_path() / "vexmor-bench-XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr) {
        return 1;
    }
    setenv("HOME", home.c_str(), 1);
    COutputLog disabled("Disabled");
    disabled.WriteLog(1, "set-up");
    std::ofstream(home + "/VdSetupLog.txt") << "LogLevel=1\n";
    COutputLog filtered("Filtered");
    filtered.WriteLog(1, "set-up");
    g_disabled = &disabled;
    g_filtered = &filtered;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(home);
    return 0;
}
