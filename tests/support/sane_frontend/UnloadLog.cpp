// Preloaded into a front end of the AddressSanitizer build, for the leak
// check at its exit, when the backend, the engine and the libraries they
// brought are gone. Each dlclose() that unloads modules
// - appends their address ranges to the file $SANE_FRONTEND_UNLOAD_LOG, one
//   line a range ("<pid> <start> <end> <load address> <path>", hex): the
//   runtime names no module for a frame there, the runner does;
// - keeps the ranges reserved, so no module loaded later takes an address
//   the runner would read as an unloaded one;
// - keeps a copy of the writable segments of each one that is not the
//   project's: what a system library still pointed to when it went stays
//   reachable, as it would had it stayed loaded to the exit. The project's
//   libraries get no such copy: what their globals held when they were
//   unloaded is lost for good.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/sane_frontend/LeakCheck.h"

namespace {

struct Module {
    uintptr_t base;
    std::string path;
    std::vector<std::pair<uintptr_t, uintptr_t>> ranges;    // page-aligned [start, end)
    std::vector<std::pair<uintptr_t, uintptr_t>> writable;  // [start, end), from an 8-byte boundary
    std::vector<std::vector<uintptr_t>> copies;
};

int Collect(dl_phdr_info* info, size_t, void* data)
{
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    Module module{info->dlpi_addr, info->dlpi_name != nullptr ? info->dlpi_name : "", {}, {}, {}};
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_LOAD) {
            continue;
        }
        const uintptr_t start = info->dlpi_addr + header.p_vaddr;
        module.ranges.emplace_back(start & ~(page - 1), (start + header.p_memsz + page - 1) & ~(page - 1));
        if ((header.p_flags & PF_W) != 0) {
            module.writable.emplace_back(start & ~uintptr_t{7}, start + header.p_memsz);
        }
    }
    static_cast<std::vector<Module>*>(data)->push_back(std::move(module));
    return 0;
}

std::vector<Module> Loaded()
{
    std::vector<Module> modules;
    dl_iterate_phdr(Collect, &modules);
    return modules;
}

bool Same(const Module& a, const Module& b) { return a.base == b.base && a.path == b.path; }

// Word by word, unchecked: an instrumented module's globals lie between
// poisoned red zones.
__attribute__((no_sanitize("address"))) std::vector<uintptr_t> Copy(uintptr_t start, uintptr_t end)
{
    std::vector<uintptr_t> words((end - start + sizeof(uintptr_t) - 1) / sizeof(uintptr_t));
    const volatile uintptr_t* from = reinterpret_cast<const volatile uintptr_t*>(start);
    for (size_t i = 0; i < words.size(); ++i) {
        words[i] = from[i];
    }
    return words;
}

// A module's destructors may close other modules: recursive.
std::recursive_mutex mutex;
// The modules loaded with the program, which no dlclose() unloads.
std::vector<Module>* const initial = new std::vector<Module>(Loaded());
// Never freed: the leak checker reads it after every destructor has run.
std::vector<std::vector<uintptr_t>>* const kept = new std::vector<std::vector<uintptr_t>>;

}  // namespace

extern "C" __attribute__((visibility("default"))) int dlclose(void* handle)
{
    static const auto real = reinterpret_cast<int (*)(void*)>(dlsym(RTLD_NEXT, "dlclose"));
    const char* log = std::getenv("SANE_FRONTEND_UNLOAD_LOG");
    if (log == nullptr || *log == '\0') {
        return real(handle);
    }
    std::lock_guard<std::recursive_mutex> lock(mutex);
    std::vector<Module> before;
    for (Module& module : Loaded()) {
        bool stays = module.path.empty();
        for (const Module& loaded : *initial) {
            stays = stays || Same(loaded, module);
        }
        if (stays) {
            continue;
        }
        if (!sanetest::leakcheck::ProjectModule(module.path)) {
            for (const auto& [start, end] : module.writable) {
                module.copies.push_back(Copy(start, end));
            }
        }
        before.push_back(std::move(module));
    }
    const int result = real(handle);
    const std::vector<Module> after = Loaded();
    std::string lines;
    for (Module& module : before) {
        bool stays = false;
        for (const Module& still : after) {
            stays = stays || Same(still, module);
        }
        if (stays) {
            continue;
        }
        for (const auto& [start, end] : module.ranges) {
            mmap(reinterpret_cast<void*>(start), end - start, PROT_NONE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE, -1, 0);
            char line[128];
            std::snprintf(line, sizeof line, "%d %" PRIxPTR " %" PRIxPTR " %" PRIxPTR " ", static_cast<int>(getpid()),
                          start, end, module.base);
            lines += line + module.path + "\n";
        }
        for (std::vector<uintptr_t>& copy : module.copies) {
            kept->push_back(std::move(copy));
        }
    }
    if (!lines.empty()) {
        const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            (void)!write(fd, lines.data(), lines.size());
            close(fd);
        }
    }
    return result;
}
