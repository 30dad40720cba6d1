// SANE debug messages: the level from SANE_DEBUG_VORDANE5 and the prefixed
// message on standard error.
#include "backend_source/sanei/DebugMessage.h"

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kNotRead = INT_MIN;
std::atomic<int> g_level{kNotRead};

int ReadLevel()
{
    const char* text = std::getenv("SANE_DEBUG_VORDANE5");
    if (text == nullptr) {
        return 0;
    }
    char* end = nullptr;
    long level = std::strtol(text, &end, 10);
    if (end == text || level < 0) {
        return 0;
    }
    return level > INT_MAX ? INT_MAX : static_cast<int>(level);
}

}  // namespace

void vordane5_debug_init() { g_level.store(ReadLevel()); }

int vordane5_debug_level()
{
    int level = g_level.load();
    if (level == kNotRead) {
        level = ReadLevel();
        g_level.store(level);
    }
    return level;
}

void vordane5_debug_message(int level, const char* format, ...)
{
    if (format == nullptr || level > vordane5_debug_level()) {
        return;
    }
    char message[1024] = "[vordane5] ";
    constexpr size_t kPrefix = sizeof("[vordane5] ") - 1;
    va_list args;
    va_start(args, format);
    std::vsnprintf(message + kPrefix, sizeof message - kPrefix, format, args);
    va_end(args);
    std::fputs(message, stderr);
    std::fflush(stderr);
}
