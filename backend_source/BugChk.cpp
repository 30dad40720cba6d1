// Checking allocator: guarded blocks, counters, the live-block table and the
// leak report. A guarded block is an 8-byte guard word, the 8-byte size, the
// caller's bytes and a second guard word right after them (unaligned).
#include "backend_source/BugChk.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "backend_source/DebugLog.h"
#include "backend_source/IniFile.h"

namespace {

constexpr char kSource[] = "bugchk";
constexpr uint64_t kGuard = 0x53545244;  // the bytes "DRTS" in memory order
constexpr size_t kHeader = 16;           // guard word and size
constexpr size_t kOverhead = 24;         // header and rear guard
constexpr size_t kMaxRecords = 512;
constexpr size_t kSourceChars = 30;
constexpr int kMaxLevel = 2;

struct Record {
    void* block;
    char source[kSourceChars + 2];
    int line;
};

std::atomic<int> g_level{0};
std::atomic<int> g_requested{0};
std::atomic<int> g_mallocs{0};
std::atomic<int> g_frees{0};
std::mutex g_tableMutex;
Record g_table[kMaxRecords];  // guarded by g_tableMutex
size_t g_records = 0;         // guarded by g_tableMutex

[[noreturn]] void Die() { std::abort(); }

int LevelFromVariable(const char* name)
{
    const char* variable = std::getenv(name);
    if (variable != nullptr && variable[0] >= '0' && variable[0] <= '2' && variable[1] == '\0') {
        return variable[0] - '0';
    }
    return 0;
}

void Remember(void* block, int line, const char* source)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (g_records >= kMaxRecords) {
        return;
    }
    Record& record = g_table[g_records++];
    record.block = block;
    std::snprintf(record.source, sizeof record.source, "%.30s", source != nullptr ? source : "");
    record.line = line;
}

void Forget(void* block, int line, const char* source)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    for (size_t i = 0; i < g_records; ++i) {
        if (g_table[i].block == block) {
            writelog(kSource, __LINE__, 3, "FREE %lx @%s(%d) \n",
                     static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)), source, line);
            std::memmove(&g_table[i], &g_table[i + 1], (g_records - i - 1) * sizeof(Record));
            --g_records;
            return;
        }
    }
}

// One guarded (level 1, 2) or plain (level 0) zeroed block of size bytes;
// overflow counts as a failed allocation. failure is the message of a failed
// guarded allocation.
void* Allocate(size_t size, bool overflow, int line, const char* source, const char* text)
{
    int level = g_level.load();
    g_mallocs.fetch_add(1);
    if (level == 0) {
        void* block = overflow ? nullptr : std::calloc(1, size == 0 ? 1 : size);
        if (block == nullptr) {
            g_mallocs.fetch_sub(1);
        }
        return block;
    }
    unsigned char* raw = nullptr;
    if (!overflow && size <= SIZE_MAX - kOverhead) {
        raw = static_cast<unsigned char*>(std::calloc(1, size + kOverhead));
    }
    if (raw == nullptr) {
        if (text != nullptr) {
            std::fprintf(stderr, "bugchk_strdup(string=%s), can't allocate@%s(%d)\n", text, source, line);
        } else {
            std::fprintf(stderr, "bugchk_malloc(size=%zu), can't allocate@%s(%d)\n", size, source, line);
        }
        std::fflush(stderr);
        Die();
    }
    uint64_t sizeWord = size;
    std::memcpy(raw, &kGuard, sizeof kGuard);
    std::memcpy(raw + 8, &sizeWord, sizeof sizeWord);
    std::memcpy(raw + kHeader + size, &kGuard, sizeof kGuard);
    void* block = raw + kHeader;
    if (level == kMaxLevel) {
        Remember(block, line, source);
    }
    writelog(kSource, __LINE__, 3, "MALLOC ptr=%lx   @%s(%d)\n",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)), source, line);
    return block;
}

}  // namespace

void bugchk_start() { bugchk_start_at(VORDANE5_INI_PATH); }

void bugchk_start_at(const char* iniPath)
{
    int level = get_inifile_int_at(iniPath, "MEMCHK", 0);
    if (level < 0 || level > kMaxLevel) {
        level = 0;
    }
    if (level == 0) {
        level = LevelFromVariable("kavrun5_memchk");
    }
    if (level == 0) {
        level = g_requested.load();
    }
    int live = g_mallocs.load() - g_frees.load();
    if (live == 0) {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        g_level.store(level);
        g_mallocs.store(0);
        g_frees.store(0);
        g_records = 0;
    } else if (level != g_level.load()) {
        writelog(kSource, __LINE__, 3, "bugchk_start keeps MEMCHK=%d: %d blocks live\n", g_level.load(), live);
    }
    writelog(kSource, __LINE__, 3, "bugchk_start MEMCHK=%d\n", g_level.load());
}

void bugchk_request_level(int level) { g_requested.store(level >= 0 && level <= kMaxLevel ? level : 0); }

void* bugchk_malloc(size_t size, int line, const char* source) { return Allocate(size, false, line, source, nullptr); }

void* bugchk_calloc(size_t count, size_t size, int line, const char* source)
{
    bool overflow = size != 0 && count > SIZE_MAX / size;
    return Allocate(overflow ? SIZE_MAX : count * size, overflow, line, source, nullptr);
}

char* bugchk_strdup(const char* text, int line, const char* source)
{
    if (text == nullptr) {
        return nullptr;
    }
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(Allocate(length + 1, false, line, source, text));
    if (copy != nullptr) {
        std::memcpy(copy, text, length + 1);
    }
    return copy;
}

void bugchk_free(void* block, int line, const char* source)
{
    if (block == nullptr) {
        return;
    }
    int level = g_level.load();
    g_frees.fetch_add(1);
    if (level == 0) {
        std::free(block);
        return;
    }
    if (reinterpret_cast<uintptr_t>(block) < 100) {
        std::fprintf(stderr, "bugchk_free(ptr=%p)@%s(%d)\n", block, source, line);
        std::fflush(stderr);
        Die();
    }
    unsigned char* raw = static_cast<unsigned char*>(block) - kHeader;
    uint64_t front = 0;
    std::memcpy(&front, raw, sizeof front);
    if (front != kGuard) {
        std::fprintf(stderr, "bugchk_free(ptr=%p), invalid begin-mark=0x%lx@%s(%d)\n", block,
                     static_cast<unsigned long>(front), source, line);
        std::fflush(stderr);
        Die();
    }
    uint64_t size = 0;
    uint64_t rear = 0;
    std::memcpy(&size, raw + 8, sizeof size);
    std::memcpy(&rear, raw + kHeader + size, sizeof rear);
    if (rear != kGuard) {
        std::fprintf(stderr, "bugchk_free(ptr=%p), invalid end-mark=0x%lx,size=%d@%s(%d)\n", block,
                     static_cast<unsigned long>(rear), static_cast<int>(size), source, line);
        std::fflush(stderr);
        Die();
    }
    if (level == kMaxLevel) {
        Forget(block, line, source);
    }
    std::free(raw);
}

void bugchk_end()
{
    int level = g_level.load();
    if (level == 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_tableMutex);
    int mallocs = g_mallocs.load();
    int frees = g_frees.load();
    if (mallocs != frees) {
        std::fprintf(stderr, "!! Memory leak malloc=%d free=%d remain=%d\n", mallocs, frees,
                     static_cast<int>(g_records));
    }
    if (level == kMaxLevel) {
        for (size_t i = 0; i < g_records; ++i) {
            std::fprintf(stderr, "bugchk_malloc  memory leak@%s(%d) %lx\n", g_table[i].source, g_table[i].line,
                         static_cast<unsigned long>(reinterpret_cast<uintptr_t>(g_table[i].block)));
        }
    }
    std::fflush(stderr);
}

BugChkStats bugchk_stats()
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    return BugChkStats{g_level.load(), g_mallocs.load(), g_frees.load(), static_cast<int>(g_records)};
}
