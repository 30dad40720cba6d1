// For tests of code that loads plug-ins: a log of calls and a table of
// scripted answers shared by the test program and the test plug-ins it
// loads (one instance per process, thread-safe), and a look at which files
// are mapped.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#define PLUGINLOG_EXPORT __attribute__((visibility("default")))

namespace pluginlog {

// Appends one line, for example "usb:OpenForDataTransfer kind=1 devif=1".
PLUGINLOG_EXPORT void Record(const std::string& line);
// The lines recorded since the last Take or Reset; the log is emptied.
PLUGINLOG_EXPORT std::vector<std::string> Take();

// Scripted answers by key, for example "usb.ReceiveData" -> -1.
PLUGINLOG_EXPORT void Set(const std::string& key, long value);
PLUGINLOG_EXPORT long Get(const std::string& key, long fallback);

// Empties the log and forgets every scripted answer.
PLUGINLOG_EXPORT void Reset();

// Whether a file of that name is mapped into this process.
inline bool IsMapped(const std::string& file)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    std::string suffix = "/" + file;
    while (std::getline(maps, line)) {
        if (line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            return true;
    }
    return false;
}

}  // namespace pluginlog
