// A scanner simulator plugged into the stand-in libusb of the program that
// loads this library (LD_PRELOAD), so that a SANE front end started by a test
// finds a USB scanner. Set up from the environment when the library loads,
// stopped when it unloads:
//   SIM_USB_PRODUCT   USB product ID (hex or decimal); unset: no simulator
//   SIM_USB_PROFILE   the profile (gen2-adf by default)
//   SIM_USB_SHEETS    sheets in the feeder (0 by default)
//   SIM_USB_SHEET_SPECS  sheets as Sheet::Parse reads them, separated by ';'
//                     (instead of SIM_USB_SHEETS when not empty)
//   SIM_USB_FAULTS    faults, separated by ';' (Faults.h)
//   SIM_USB_SETTINGS  profile items KEY=VALUE, separated by ';'
//   SIM_USB_TIME_SCALE  the delays' scale (0.01 by default)
//   SIM_USB_DUMPS     folder for the pages as PNM files (none by default)
//   SIM_USB_TRANSCRIPT  file for the transcript (none by default)
// A set-up that fails ends the program with a message.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/fake_libusb/FakeLibusb.h"
#include "tools/scanner_sim/ScannerSim.h"

namespace {

std::unique_ptr<scanner_sim::Simulator>& Sim()
{
    static std::unique_ptr<scanner_sim::Simulator> sim;
    return sim;
}

std::string Variable(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

// The ';'-separated parts of a variable, empty ones left out.
std::vector<std::string> Parts(const char* name)
{
    std::vector<std::string> parts;
    std::istringstream in(Variable(name, ""));
    for (std::string part; std::getline(in, part, ';');) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

[[noreturn]] void Fail(const std::string& why)
{
    std::fprintf(stderr, "simulator preload: %s\n", why.c_str());
    std::exit(125);
}

__attribute__((constructor)) void Plug()
{
    std::string const product = Variable("SIM_USB_PRODUCT", "");
    if (product.empty()) {
        return;
    }
    try {
        scanner_sim::Simulator::Options options;
        options.profile = Variable("SIM_USB_PROFILE", "gen2-adf");
        options.timeScale = std::stod(Variable("SIM_USB_TIME_SCALE", "0.01"));
        options.dumpDir = Variable("SIM_USB_DUMPS", "");
        options.transcriptPath = Variable("SIM_USB_TRANSCRIPT", "");
        for (const std::string& item : Parts("SIM_USB_SETTINGS")) {
            size_t const equals = item.find('=');
            if (equals == std::string::npos) {
                Fail("a setting without '=': " + item);
            }
            options.settings.emplace_back(item.substr(0, equals), item.substr(equals + 1));
        }
        Sim() = std::make_unique<scanner_sim::Simulator>(options);
        std::string error;
        std::vector<scanner_sim::Sheet> sheets;
        for (const std::string& spec : Parts("SIM_USB_SHEET_SPECS")) {
            scanner_sim::Sheet sheet;
            if (!scanner_sim::Sheet::Parse(spec, sheet, error)) {
                Fail(error);
            }
            sheets.push_back(sheet);
        }
        if (sheets.empty()) {
            Sim()->LoadSheets(std::stoul(Variable("SIM_USB_SHEETS", "0")));
        } else {
            Sim()->LoadSheets(sheets);
        }
        for (const std::string& fault : Parts("SIM_USB_FAULTS")) {
            if (!Sim()->Inject(fault, error)) {
                Fail(error);
            }
        }
        fakeusb::Reset();
        if (!Sim()->AttachUsb(static_cast<uint16_t>(std::stoul(product, nullptr, 0)), error)) {
            Fail(error);
        }
    } catch (const std::exception& e) {
        Fail(e.what());
    }
}

__attribute__((destructor)) void Unplug() { Sim().reset(); }

}  // namespace
