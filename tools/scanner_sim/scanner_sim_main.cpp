// scanner-sim: the scanner simulator on the command line (see ScannerSim.h
// and --help). It listens until SIGTERM or SIGINT, then prints its counters
// and exits with 1 when the host committed protocol violations.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tools/scanner_sim/ScannerSim.h"

namespace {

const char kUsage[] =
    "usage: scanner-sim [options]\n"
    "  --addr A            listen on A (127.0.0.x; default: the first free of 127.0.0.2..254)\n"
    "  --port P            TCP port (54921; 0: any free one)\n"
    "  --profile NAME      gen2-adf (default), gen2-adf-detect, gen1-adf or gen1-fb-adf\n"
    "  --profile-file F    profile items, one \"KEY = VALUE\" a line\n"
    "  --set KEY=VALUE     one profile item: model, node, mac, resolutions, command-version,\n"
    "                      empty-status, flatbed, sheet, panel-resolution, panel-color,\n"
    "                      panel-duplex, sheet-ms, jpeg-block, jpeg-quality, qdi.ITEM, gkp.ITEM, q.FIELD\n"
    "  --sheets N          put N default sheets in the feeder\n"
    "  --sheet SPEC        put one sheet in: SIZE[:blank|:blank=front|:blank=back][:skew=DEG]\n"
    "                      [:fault=F[@line=L|@back-line=L]]; SIZE: A3 A4 A5 A6 B5 LETTER LEGAL CARD or\n"
    "                      WxH in mm; DEG: -45..45, clockwise\n"
    "  --duplex            the panel scans both sides\n"
    "  --duplex-order O    sequential (default), interleaved or back-first\n"
    "  --fault SPEC        NAME[=VALUE][@TRIGGER]; TRIGGER: connect=N, cmd=NAME[:N], bytes=N,\n"
    "                      page=P[,line=L]\n"
    "  --time-scale S      multiply every delay by S (1)\n"
    "  --dump-dir D        write every page as sent to D as PNM\n"
    "  --transcript F      write the transcript (JSON lines) to F\n"
    "  --seed N            seed of random chunking (default from the clock; printed)\n"
    "  --snmp-port P       answer SNMP on UDP port P (161; 0: not at all)\n"
    "  --help              this text and the faults\n";

int Usage(const char* problem)
{
    if (problem != nullptr) {
        std::fprintf(stderr, "scanner-sim: %s\n", problem);
    }
    std::fputs(kUsage, stderr);
    return 2;
}

bool Number(const char* text, uint64_t max, uint64_t& value)
{
    if (text == nullptr || *text < '0' || *text > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long long const n = std::strtoull(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || n > max) {
        return false;
    }
    value = n;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    scanner_sim::Simulator::Options options;
    options.seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007u;
    std::string address;
    uint64_t port = scanner_sim::Simulator::kDataPort;
    uint64_t snmpPort = 161;
    uint64_t sheets = 0;
    std::vector<std::string> sheetSpecs;
    std::vector<std::string> faults;
    for (int i = 1; i < argc; ++i) {
        std::string const option = argv[i];
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            std::printf("faults:\n");
            for (const scanner_sim::FaultInfo& f : scanner_sim::FaultCatalog()) {
                std::printf("  %-22s %s%s%s  %s\n", f.name, f.greeting ? "G" : "-", f.answer ? "A" : "-",
                            f.stream ? "S" : "-", f.help);
            }
            std::printf("  (G: at connect, A: on an answer, at connect=N or cmd=NAME[:N], S: in a scan's stream)\n");
            return 0;
        }
        if (option == "--duplex") {
            options.panelDuplex = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage(("missing value for " + option).c_str());
        }
        const char* value = argv[++i];
        if (option == "--addr") {
            address = value;
        } else if (option == "--port") {
            if (!Number(value, 65535, port)) {
                return Usage("bad --port");
            }
        } else if (option == "--profile") {
            options.profile = value;
        } else if (option == "--profile-file") {
            options.profileFile = value;
        } else if (option == "--set") {
            std::string const item = value;
            size_t const equals = item.find('=');
            if (equals == std::string::npos) {
                return Usage("--set takes KEY=VALUE");
            }
            options.settings.emplace_back(item.substr(0, equals), item.substr(equals + 1));
        } else if (option == "--sheets") {
            if (!Number(value, 100000, sheets)) {
                return Usage("bad --sheets");
            }
        } else if (option == "--sheet") {
            sheetSpecs.push_back(value);
        } else if (option == "--duplex-order") {
            std::string const order = value;
            if (order == "sequential") {
                options.duplexOrder = scanner_sim::DuplexOrder::kSequential;
            } else if (order == "interleaved") {
                options.duplexOrder = scanner_sim::DuplexOrder::kInterleaved;
            } else if (order == "back-first") {
                options.duplexOrder = scanner_sim::DuplexOrder::kBackFirst;
            } else {
                return Usage("bad --duplex-order");
            }
        } else if (option == "--fault") {
            faults.push_back(value);
        } else if (option == "--time-scale") {
            char* end = nullptr;
            options.timeScale = std::strtod(value, &end);
            if (*end != '\0' || !(options.timeScale >= 0) || options.timeScale > 1000) {
                return Usage("bad --time-scale");
            }
        } else if (option == "--dump-dir") {
            options.dumpDir = value;
        } else if (option == "--transcript") {
            options.transcriptPath = value;
        } else if (option == "--seed") {
            if (!Number(value, UINT64_MAX, options.seed)) {
                return Usage("bad --seed");
            }
        } else if (option == "--snmp-port") {
            if (!Number(value, 65535, snmpPort)) {
                return Usage("bad --snmp-port");
            }
        } else {
            return Usage(("unknown option " + option).c_str());
        }
    }

    // The fronts' threads inherit the mask, so the signals reach sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<scanner_sim::Simulator> sim;
    std::string error;
    try {
        sim = std::make_unique<scanner_sim::Simulator>(options);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "scanner-sim: %s\n", e.what());
        return 3;
    }
    std::vector<scanner_sim::Sheet> load;
    for (const std::string& spec : sheetSpecs) {
        scanner_sim::Sheet sheet;
        if (!scanner_sim::Sheet::Parse(spec, sheet, error)) {
            std::fprintf(stderr, "scanner-sim: %s\n", error.c_str());
            return 3;
        }
        load.push_back(sheet);
    }
    sim->LoadSheets(static_cast<size_t>(sheets));
    sim->LoadSheets(load);
    for (const std::string& spec : faults) {
        if (!sim->Inject(spec, error)) {
            std::fprintf(stderr, "scanner-sim: %s\n", error.c_str());
            return 3;
        }
    }
    if (!sim->ListenTcp(address, static_cast<uint16_t>(port), error)) {
        std::fprintf(stderr, "scanner-sim: %s\n", error.c_str());
        return 3;
    }
    if (snmpPort != 0 && !sim->ServeSnmp(static_cast<uint16_t>(snmpPort), error)) {
        std::fprintf(stderr, "scanner-sim: no SNMP: %s\n", error.c_str());
    }
    std::printf("seed %llu\n", static_cast<unsigned long long>(options.seed));
    std::printf("listening on %s:%u\n", sim->Address().c_str(), static_cast<unsigned>(sim->Port()));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim->Stop();
    scanner_sim::Counters const c = sim->Counters();
    std::fprintf(stderr,
                 "scanner-sim: %llu connections, %llu commands, %llu bytes in, %llu bytes out, %llu pages, "
                 "%llu faults fired, %llu violations\n",
                 static_cast<unsigned long long>(c.connections), static_cast<unsigned long long>(c.commands),
                 static_cast<unsigned long long>(c.bytesIn), static_cast<unsigned long long>(c.bytesOut),
                 static_cast<unsigned long long>(c.pagesFinished), static_cast<unsigned long long>(c.faultsFired),
                 static_cast<unsigned long long>(c.violations));
    return c.violations > 0 ? 1 : 0;
}
