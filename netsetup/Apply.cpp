// The apply step: registration names, the companion's command lines and
// running them through posix_spawnp, so no text of a device reaches a shell.
#include "netsetup/Apply.h"

#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "backend_source/DebugLog.h"
#include "netsetup/EnumDev.h"
#include "netsetup/IniFile.h"

extern char** environ;

namespace netsetup {

namespace {

constexpr char kSource[] = "apply";
constexpr size_t kNameChars = 127;
constexpr size_t kMakerChars = 8;  // "Vordane_"

bool Allowed(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '[' || c == ']' ||
           c == '-' || c == '_';
}

std::string Join(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& arg : args) {
        if (!text.empty()) {
            text += ' ';
        }
        text += arg;
    }
    return text;
}

bool ContainsMaker(const std::string& name)
{
    for (size_t i = 0; i + kMakerChars <= name.size(); ++i) {
        if (strncasecmp(name.c_str() + i, "Vordane_", kMakerChars) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

void clean_device_name(const char* name, char* out, size_t size)
{
    if (size == 0) {
        return;
    }
    std::string text;
    for (size_t i = 0; i < kNameChars && name[i] != '\0'; ++i) {
        if (Allowed(name[i])) {
            text += name[i];
        }
    }
    if (ContainsMaker(text)) {
        text.erase(0, kMakerChars);
    }
    size_t found = text.find("_series");
    size_t after = found + 7;
    if (found == std::string::npos) {
        found = text.find('_');
        after = found + 1;
    }
    if (found != std::string::npos) {
        size_t open = text.find('[', after);
        if (open != std::string::npos) {
            size_t close = text.find(']', open + 1);
            std::string inner =
                text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
            text = text.substr(0, found) + "_" + inner;
        } else {
            text.erase(found);
        }
    }
    std::snprintf(out, size, "%s", text.c_str());
}

std::vector<std::string> add_command(const char* program, const char* cleanedName, const char* model,
                                     const char* address)
{
    return {"sudo",
            program,
            "-a",
            std::string("name=") + cleanedName,
            std::string("model=") + model,
            std::string("ip=") + address};
}

std::vector<std::string> remove_command(const char* program, const char* name) { return {"sudo", program, "-r", name}; }

bool run_command(const std::vector<std::string>& args)
{
    if (args.empty()) {
        return false;
    }
    std::string text = Join(args);
    writelog(kSource, __LINE__, 0, "%s\n", text.c_str());
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int error = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(error));
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            std::fprintf(stderr, "lost %s: %s\n", text.c_str(), std::strerror(errno));
            return false;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return true;
    }
    if (WIFEXITED(status)) {
        std::fprintf(stderr, "failed with exit status %d: %s\n", WEXITSTATUS(status), text.c_str());
    } else {
        std::fprintf(stderr, "ended by signal %d: %s\n", WIFSIGNALED(status) ? WTERMSIG(status) : 0, text.c_str());
    }
    return false;
}

bool apply_changes()
{
    const char* program = companion_files().program;
    bool ok = true;
    for (int i = 0; i < get_net_device_num(); ++i) {
        const NetDevice& device = *get_net_device(i);
        bool remove = device.action == kRemove && device.state != kFoundByMdns;
        bool add = device.action == kAdd && device.state != kRegistered;
        if (!remove && !add) {
            continue;
        }
        if (program[0] == '\0') {
            std::fprintf(stderr, "no companion program (tolmexconfig) beside this program: nothing changed\n");
            return false;
        }
        char name[sizeof device.name];
        if (add) {
            clean_device_name(device.name, name, sizeof name);
        } else {
            std::snprintf(name, sizeof name, "%s", device.name);
        }
        if (name[0] == '\0') {
            std::fprintf(stderr, "device %d at %s has no name: not %s\n", i, device.address,
                         add ? "registered" : "removed");
            ok = false;
            continue;
        }
        ok = run_command(add ? add_command(program, name, device.model, device.address)
                             : remove_command(program, name)) &&
             ok;
    }
    return ok;
}

}  // namespace netsetup
