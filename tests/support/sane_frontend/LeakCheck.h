// The leak check of a front end in the AddressSanitizer build: the runtime
// writes its reports into files instead of onto standard error, a leak
// leaves the exit status alone, and the runner reads the reports once the
// program has ended. A run fails on a leak whose allocation stack passes
// through the project's own libraries and on any other report of the
// runtime; the leaks of the front end and of the system's libraries are not
// ours to mend. Header-only: the install tests use it without the runner.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "ScratchDir.h"

namespace sanetest {

// text as one word of a shell command line.
inline std::string ShellQuote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// ASAN_OPTIONS for a program whose reports go to <logPath>.<pid> (why
// without the __tls_get_addr interceptor: scripts/test). A leak exits 0
// (exitcode) and any other error aborts (abort_on_error), so a program's
// status stays its own. A suppression matches any frame of a stack, so one
// naming the front end would hide the project's leaks under it: the runner
// reads the module of each frame instead. Stacks are unwound the slow way:
// the fast one stops in a library built without frame pointers (libc,
// libstdc++) before reaching the project's caller. Nothing is symbolized at
// exit, which tests that time the program's end would count: the runner
// symbolizes the reports it fails on.
inline std::string LeakCheckAsanOptions(const std::string& logPath)
{
    return "detect_leaks=1:intercept_tls_get_addr=0:exitcode=0:abort_on_error=1:fast_unwind_on_malloc=0:"
           "symbolize=0:stack_trace_format='    #%n %p (%m+%o)':log_path=" +
           logPath;
}

namespace leakcheck {

// The project's libraries (the fake engine is named as the real one).
inline bool ProjectModule(const std::string& path)
{
    std::string name = path.substr(path.rfind('/') + 1);
    name = name.substr(0, name.find(".so"));
    for (const char* project : {"libsane-vordane5", "libvexmor", "libvelloc", "libvelloc-usb", "libvelloc-net"}) {
        if (name == project) {
            return true;
        }
    }
    return false;
}

// A frame line as the options above print it: "    #3 0x7f.. (<module>+0x1a2b)".
inline bool ParseFrame(const std::string& line, std::string* module, std::string* offset)
{
    const size_t hash = line.find_first_not_of(' ');
    const size_t open = line.find(" (");
    const size_t plus = line.rfind("+0x");
    if (hash == std::string::npos || line[hash] != '#' || open == std::string::npos || plus == std::string::npos ||
        plus < open || line.back() != ')') {
        return false;
    }
    *module = line.substr(open + 2, plus - open - 2);
    *offset = line.substr(plus + 1, line.size() - plus - 2);
    return true;
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Adds function and source line to each frame line, by addr2line on the
// module file (a relative one is taken from folder; one gone since, from
// the first of libraryDirs holding its name). Lines it cannot read stay.
inline void Symbolize(std::vector<std::string>* lines, const std::string& folder,
                      const std::vector<std::string>& libraryDirs)
{
    std::map<std::string, std::vector<size_t>> byModule;
    for (size_t i = 0; i < lines->size(); ++i) {
        std::string module, offset;
        if (ParseFrame((*lines)[i], &module, &offset)) {
            byModule[module].push_back(i);
        }
    }
    for (const auto& [module, indices] : byModule) {
        if (module.empty()) {
            continue;
        }
        std::string file = module[0] == '/' ? module : folder + "/" + module;
        for (size_t d = 0; d < libraryDirs.size() && access(file.c_str(), R_OK) != 0; ++d) {
            file = libraryDirs[d] + "/" + module.substr(module.rfind('/') + 1);
        }
        if (access(file.c_str(), R_OK) != 0) {
            continue;
        }
        std::string command = "addr2line -C -f -i -p -a -e " + ShellQuote(file);
        for (size_t i : indices) {
            std::string ignored, offset;
            ParseFrame((*lines)[i], &ignored, &offset);
            command += " " + offset;
        }
        std::string out;
        if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
            char buffer[4096];
            size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
                out.append(buffer, got);
            }
            pclose(pipe);
        }
        // One "0x<address>: <function> at <file:line>" per address, each
        // inlined caller after it on a line of its own.
        std::vector<std::string> symbols;
        for (const std::string& line : Lines(out)) {
            if (line.rfind("0x", 0) == 0) {
                symbols.push_back(line.substr(line.find(": ") + 2));
            } else if (!symbols.empty()) {
                symbols.back() += ";" + line;
            }
        }
        if (symbols.size() != indices.size()) {
            continue;
        }
        for (size_t k = 0; k < indices.size(); ++k) {
            std::string& line = (*lines)[indices[k]];
            const size_t open = line.find(" (");
            line = line.substr(0, open) + " in " + symbols[k] + line.substr(open);
        }
    }
}

// A range a module held until dlclose() unloaded it (UnloadLog.cpp).
struct Unloaded {
    uintptr_t start;
    uintptr_t end;
    uintptr_t base;
    std::string path;
};

// The ranges process pid's dlclose() calls unloaded, as unloadLog lists them.
inline std::vector<Unloaded> UnloadedBy(const std::string& unloadLog, long pid)
{
    std::vector<Unloaded> ranges;
    for (const std::string& line : Lines(ScratchDir::Read(unloadLog))) {
        long owner = 0;
        unsigned long long start = 0, end = 0, base = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%ld %llx %llx %llx %n", &owner, &start, &end, &base, &used) == 4 &&
            owner == pid && used > 0) {
            ranges.push_back({static_cast<uintptr_t>(start), static_cast<uintptr_t>(end), static_cast<uintptr_t>(base),
                              line.substr(static_cast<size_t>(used))});
        }
    }
    return ranges;
}

// A frame the runtime found in no module ("(<null>+0x0)") names the module
// unloaded from its address, if one was.
inline std::string NameUnloaded(const std::string& line, const std::vector<Unloaded>& unloaded)
{
    std::string module, offset;
    if (!ParseFrame(line, &module, &offset) || module != "<null>") {
        return line;
    }
    const size_t hash = line.find('#');
    const size_t pcAt = line.find(" 0x", hash);
    if (pcAt == std::string::npos) {
        return line;
    }
    const uintptr_t pc = static_cast<uintptr_t>(std::strtoull(line.c_str() + pcAt + 1, nullptr, 16));
    for (const Unloaded& range : unloaded) {
        if (pc >= range.start && pc < range.end) {
            char relative[32];
            std::snprintf(relative, sizeof relative, "+0x%llx)", static_cast<unsigned long long>(pc - range.base));
            return line.substr(0, line.find(" (", pcAt + 1)) + " (" + range.path + relative;
        }
    }
    return line;
}

}  // namespace leakcheck

// What the reports named <prefix>.<pid> in folder hold that fails the run,
// symbolized: each leak whose allocation stack passes through a project
// library (also one unloaded before the exit, as unloadLog lists them), and
// every report other than a leak (an ASan error, a failure of the leak
// checker itself). Empty when nothing fails.
inline std::string LeakCheckFindings(const std::string& folder, const std::string& prefix, const std::string& unloadLog,
                                     const std::vector<std::string>& libraryDirs)
{
    std::vector<std::string> failing;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return "";
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix + ".", 0) != 0) {
            continue;
        }
        const std::vector<leakcheck::Unloaded> unloaded =
            leakcheck::UnloadedBy(unloadLog, std::atol(name.c_str() + prefix.size() + 1));
        std::vector<std::string> lines = leakcheck::Lines(ScratchDir::Read(folder + "/" + name));
        for (std::string& line : lines) {
            line = leakcheck::NameUnloaded(line, unloaded);
        }
        bool otherError = false;
        std::vector<std::string> leaks;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.rfind("Direct leak of ", 0) == 0 || line.rfind("Indirect leak of ", 0) == 0) {
                std::vector<std::string> block = {line};
                bool project = false;
                std::string module, offset;
                while (i + 1 < lines.size() && leakcheck::ParseFrame(lines[i + 1], &module, &offset)) {
                    project = project || leakcheck::ProjectModule(module);
                    block.push_back(lines[++i]);
                }
                if (project) {
                    leaks.insert(leaks.end(), block.begin(), block.end());
                    leaks.push_back("");
                }
            } else if ((line.find("ERROR: ") != std::string::npos &&
                        line.find("ERROR: LeakSanitizer: detected memory leaks") == std::string::npos) ||
                       line.find("CHECK failed") != std::string::npos ||
                       line.find("has encountered a fatal error") != std::string::npos) {
                otherError = true;
            }
        }
        // A report other than a leak goes whole: its frames are the point.
        if (otherError) {
            failing.push_back("== " + name + ":");
            failing.insert(failing.end(), lines.begin(), lines.end());
        } else if (!leaks.empty()) {
            failing.push_back("== " + name + ", the leaks through the project's libraries:");
            failing.insert(failing.end(), leaks.begin(), leaks.end());
        }
    }
    closedir(dir);
    if (failing.empty()) {
        return "";
    }
    leakcheck::Symbolize(&failing, folder, libraryDirs);
    std::string text;
    for (const std::string& line : failing) {
        text += line + "\n";
    }
    return text;
}

}  // namespace sanetest
