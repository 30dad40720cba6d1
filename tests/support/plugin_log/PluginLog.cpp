// The shared plug-in call log and scripted answers.
#include "tests/support/plugin_log/PluginLog.h"

#include <map>
#include <mutex>

namespace pluginlog {

namespace {

std::mutex g_mutex;                    // guards g_lines and g_values
std::vector<std::string> g_lines;      // guarded by g_mutex
std::map<std::string, long> g_values;  // guarded by g_mutex

}  // namespace

void Record(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.push_back(line);
}

std::vector<std::string> Take()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<std::string> lines;
    lines.swap(g_lines);
    return lines;
}

void Set(const std::string& key, long value)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_values[key] = value;
}

long Get(const std::string& key, long fallback)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto found = g_values.find(key);
    return found != g_values.end() ? found->second : fallback;
}

void Reset()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
    g_values.clear();
}

}  // namespace pluginlog
