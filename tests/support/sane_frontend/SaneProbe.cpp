// sane_probe <backend library> <action>...: loads a SANE backend with
// dlopen() and calls its prefixed entry points as the actions say, printing
// one line per action ("<action> <status name> ... ms=<took> at=<ms since
// the probe began>"). Exit 0 when every action ran, 2 when the library or
// an entry point is missing. Actions:
//   init, devices, open:<name>, close, exit, start, cancel,
//   use:<n>                    the actions after it go to the n-th handle
//                              opened (from 0), which stays open
//   cancelwhen:<file>:<text>   from now on a second thread watches the file
//                              and calls sane_cancel once it holds the text
//                              ("cancelwhen fired at=<ms>"); it stops
//                              watching at close, exit or the probe's end
//   read:<buffer bytes>        reads until a status other than GOOD: prints
//                              it, the byte count and an FNV-1a hash
//   readonce:<buffer bytes>    one sane_read
//   option:<n>                 the descriptor's name and the value as a word
//   get:<n> set:<n>:<word> auto:<n>   sane_control_option's status
//   params, io:<0|1>, selectfd, sleep:<ms>
#include <dlfcn.h>
#include <sane/sane.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Backend {
    SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback);
    void (*exit)();
    SANE_Status (*get_devices)(const SANE_Device***, SANE_Bool);
    SANE_Status (*open)(SANE_String_Const, SANE_Handle*);
    void (*close)(SANE_Handle);
    const SANE_Option_Descriptor* (*get_option_descriptor)(SANE_Handle, SANE_Int);
    SANE_Status (*control_option)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*);
    SANE_Status (*get_parameters)(SANE_Handle, SANE_Parameters*);
    SANE_Status (*start)(SANE_Handle);
    SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*);
    void (*cancel)(SANE_Handle);
    SANE_Status (*set_io_mode)(SANE_Handle, SANE_Bool);
    SANE_Status (*get_select_fd)(SANE_Handle, SANE_Int*);
};

const char* Name(SANE_Status status)
{
    static const char* const kNames[] = {"GOOD",       "UNSUPPORTED", "CANCELLED", "DEVICE_BUSY",
                                         "INVAL",      "EOF",         "JAMMED",    "NO_DOCS",
                                         "COVER_OPEN", "IO_ERROR",    "NO_MEM",    "ACCESS_DENIED"};
    return status >= 0 && status < 12 ? kNames[status] : "?";
}

template <class F>
bool Bind(void* library, const char* name, F* function)
{
    *function = reinterpret_cast<F>(dlsym(library, (std::string("sane_vordane5_") + name).c_str()));
    if (*function == nullptr) {
        std::printf("missing sane_vordane5_%s\n", name);
        return false;
    }
    return true;
}

long long MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

bool FileHolds(const std::string& path, const std::string& text)
{
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    return content.str().find(text) != std::string::npos;
}

std::string After(const std::string& action, size_t colon)
{
    size_t at = action.find(':', colon);
    return at == std::string::npos ? "" : action.substr(at + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::printf("usage: sane_probe <backend library> <action>...\n");
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::printf("dlopen: %s\n", dlerror());
        return 2;
    }
    Backend b{};
    bool ok = Bind(library, "init", &b.init) && Bind(library, "exit", &b.exit) &&
              Bind(library, "get_devices", &b.get_devices) && Bind(library, "open", &b.open) &&
              Bind(library, "close", &b.close) && Bind(library, "get_option_descriptor", &b.get_option_descriptor) &&
              Bind(library, "control_option", &b.control_option) &&
              Bind(library, "get_parameters", &b.get_parameters) && Bind(library, "start", &b.start) &&
              Bind(library, "read", &b.read) && Bind(library, "cancel", &b.cancel) &&
              Bind(library, "set_io_mode", &b.set_io_mode) && Bind(library, "get_select_fd", &b.get_select_fd);
    if (!ok) {
        return 2;
    }
    SANE_Handle handle = nullptr;
    std::vector<SANE_Handle> opened;
    auto const began = std::chrono::steady_clock::now();
    std::thread watcher;
    std::atomic<bool> over{false};
    for (int i = 2; i < argc; ++i) {
        const std::string action = argv[i];
        const std::string verb = action.substr(0, action.find(':'));
        const std::string arg = After(action, 0);
        if (verb == "close" || verb == "exit") {
            // The handle must not be cancelled once it is gone.
            over.store(true);
            if (watcher.joinable()) {
                watcher.join();
            }
        }
        auto start = std::chrono::steady_clock::now();
        std::string line;
        if (verb == "init") {
            SANE_Int version = 0;
            SANE_Status s = b.init(&version, nullptr);
            line = std::string(Name(s)) + " " + std::to_string(version);
        } else if (verb == "devices") {
            const SANE_Device** list = nullptr;
            SANE_Status s = b.get_devices(&list, SANE_FALSE);
            int n = 0;
            for (; list != nullptr && list[n] != nullptr; ++n) {
                std::printf("device %s|%s|%s|%s\n", list[n]->name, list[n]->vendor, list[n]->model, list[n]->type);
            }
            line = std::string(Name(s)) + " " + std::to_string(n);
        } else if (verb == "open") {
            line = Name(b.open(arg.c_str(), &handle));
            opened.push_back(handle);
        } else if (verb == "use" && static_cast<size_t>(std::atoi(arg.c_str())) < opened.size()) {
            handle = opened[static_cast<size_t>(std::atoi(arg.c_str()))];
        } else if (verb == "close") {
            b.close(handle);
            handle = nullptr;
        } else if (verb == "exit") {
            b.exit();
        } else if (verb == "start") {
            line = Name(b.start(handle));
        } else if (verb == "cancel") {
            b.cancel(handle);
        } else if (verb == "cancelwhen" && !watcher.joinable()) {
            std::string const rest = arg;
            std::string const path = rest.substr(0, rest.find(':'));
            std::string const text = After(rest, 0);
            SANE_Handle const target = handle;
            watcher = std::thread([&b, &over, &began, target, path, text] {
                while (!over.load()) {
                    if (FileHolds(path, text)) {
                        b.cancel(target);
                        std::printf("cancelwhen fired at=%lld\n", MsSince(began));
                        std::fflush(stdout);
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            });
        } else if (verb == "read" || verb == "readonce") {
            std::vector<SANE_Byte> buffer(static_cast<size_t>(std::atoi(arg.c_str())));
            uint64_t hash = 1469598103934665603ull;
            uint64_t total = 0;
            SANE_Status s = SANE_STATUS_GOOD;
            do {
                SANE_Int length = 0;
                s = b.read(handle, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
                for (SANE_Int k = 0; s == SANE_STATUS_GOOD && k < length; ++k) {
                    hash = (hash ^ buffer[static_cast<size_t>(k)]) * 1099511628211ull;
                }
                total += s == SANE_STATUS_GOOD ? static_cast<uint64_t>(length) : 0;
            } while (s == SANE_STATUS_GOOD && verb == "read");
            char text[64];
            std::snprintf(text, sizeof text, " %llu %016llx", static_cast<unsigned long long>(total),
                          static_cast<unsigned long long>(hash));
            line = std::string(Name(s)) + text;
        } else if (verb == "option") {
            int n = std::atoi(arg.c_str());
            const SANE_Option_Descriptor* d = b.get_option_descriptor(handle, n);
            SANE_Word word = 0;
            SANE_Status s = d != nullptr && d->type != SANE_TYPE_GROUP && d->type != SANE_TYPE_STRING
                                ? b.control_option(handle, n, SANE_ACTION_GET_VALUE, &word, nullptr)
                                : SANE_STATUS_INVAL;
            line = d == nullptr ? "null"
                                : std::string(d->name != nullptr ? d->name : "(none)") + " " + Name(s) + " " +
                                      std::to_string(word);
        } else if (verb == "get" || verb == "set" || verb == "auto") {
            int n = std::atoi(arg.c_str());
            SANE_Word word = std::atoi(After(action, action.find(':') + 1).c_str());
            char text[256] = {};
            void* value = verb == "get" ? static_cast<void*>(text) : static_cast<void*>(&word);
            SANE_Action what = verb == "get"   ? SANE_ACTION_GET_VALUE
                               : verb == "set" ? SANE_ACTION_SET_VALUE
                                               : SANE_ACTION_SET_AUTO;
            SANE_Int info = -1;
            SANE_Status s = b.control_option(handle, n, what, value, &info);
            line = std::string(Name(s)) + " info=" + std::to_string(info);
        } else if (verb == "params") {
            SANE_Parameters p{};
            SANE_Status s = b.get_parameters(handle, &p);
            line = std::string(Name(s)) + " format=" + std::to_string(p.format) + " depth=" + std::to_string(p.depth) +
                   " ppl=" + std::to_string(p.pixels_per_line) + " bpl=" + std::to_string(p.bytes_per_line) +
                   " lines=" + std::to_string(p.lines);
        } else if (verb == "io") {
            line = Name(b.set_io_mode(handle, std::atoi(arg.c_str()) != 0 ? SANE_TRUE : SANE_FALSE));
        } else if (verb == "selectfd") {
            SANE_Int fd = -1;
            line = Name(b.get_select_fd(handle, &fd));
        } else if (verb == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(arg.c_str())));
        } else {
            std::printf("unknown action %s\n", action.c_str());
            return 2;
        }
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("%s %s ms=%lld at=%lld\n", action.c_str(), line.c_str(), static_cast<long long>(ms.count()),
                    MsSince(began));
        std::fflush(stdout);
    }
    over.store(true);
    if (watcher.joinable()) {
        watcher.join();
    }
    // The library stays loaded: what its stand-ins keep for the whole
    // program stays reachable for a leak check at exit.
    return 0;
}
