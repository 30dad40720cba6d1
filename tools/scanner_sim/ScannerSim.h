// The scanner simulator: a test tool that plays a document scanner of
// either protocol generation over TCP (127.0.0.x:54921, greeting "+OK "),
// over a device of the stand-in libusb, and over SNMP version 1, so that
// the device access, the protocol layer, the engine and the SANE backend
// can be run end to end against a device that can also misbehave on cue.
// It includes no product header and links no product library.
//
// C++ use (every member may be called from any thread):
//
//   scanner_sim::Simulator::Options options;
//   options.profile = "gen2-adf";            // or "gen2-adf-detect", "gen1-adf", "gen1-fb-adf"
//   options.settings = {{"resolutions", "100,200,400,600"}};   // profile items
//   options.timeScale = 0.1;                 // every delay x 0.1
//   options.dumpDir = dir;                   // pages as sent, as PNM files
//   scanner_sim::Simulator sim(options);     // throws std::invalid_argument
//   sim.LoadSheets(3);                       // or LoadSheets({sheet, ...})
//   sim.Inject("rst@bytes=50000", error);    // faults: see Faults.h
//   sim.ListenTcp("", 54921, error);         // "" picks a free 127.0.0.x
//   ... connect to sim.Address():sim.Port(), or
//   sim.AttachUsb(0x0101, error);            // vendor 0x5D4E on the stand-in libusb
//   sim.ServeSnmp(161, error, &lan.Device(0)); // in a test's namespace
//   sim.WaitFor([](const Counters& c) { return c.pagesFinished >= 6; }, 5000);
//   sim.Pages(); sim.Counters(); sim.Transcript();
//   sim.Stop();                              // also done by the destructor
//
// Profiles: gen2-adf answers Q with C1 00 02 10 and QDI (tag 0x0001 first,
// command version 259; "command-version = 258" makes it close after the
// query) as a document scanner with flatbed and duplex feeder, 600 dpi
// optical, black and white, gray and colour, raw, PackBits and JPEG.
// gen2-adf-detect is the same device that also detects the paper (the
// corners of its leading edge and its standard size, GDS), finds the
// sheet's size itself (AREA=AUTO), deskews (DSKW) and detects double feeds
// (DTDF). gen1-adf (a feeder-only device) and gen1-fb-adf (flatbed and
// feeder) answer Q with their 72-byte records: document-size detection
// (E: the corners of the leading edge), deskew in the feeder (SKEW_ADJUST)
// and multifeed detection (bit 0 of X's E); with "command-version = 13"
// also the device's own size detection (AUTO_SIZE_SCAN). Every profile scans at the
// resolutions of its "resolutions" list, using for a request the largest
// not above it (300 becomes 200 by default). Items: Profile::Set.
//
// Jobs: sheets (Sheet::Parse: a size, blank sides, a skew, faults at lines
// of its own pages) lie in the feeder, outlive connections and are taken one per
// scanned sheet; a duplex scan sends sheet n's front as page 2n-1 and its
// back as page 2n in the order Options::duplexOrder gives; the flatbed
// gives one page. Pages show a bar code of page number and side over 16
// bands of known levels (PageImage.h); a skewed sheet the device does not
// straighten lies turned on black in a picture the size of the box it
// covers. A double feed stops a scan only with multifeed detection on. A generation-2 scan with ATCN=ON
// that runs out of sheets sends 00 52 with the seconds left each second,
// goes on with sheets loaded meanwhile, and ends with 00 42 when the time is
// up or ABT with ATCN=OFF comes; ABT alone stops at a block boundary with
// 00 40, R with 83.
//
// Observation: Counters() (connections, commands, bytes, pages,
// violations, faults fired), Transcript() (JSON lines: each frame with its
// time, connection, keys and bytes; answers, pages, faults, violations,
// connection events) and Pages(). Frames that are malformed, of the other
// generation (Q is understood by both), over 64 KiB, or ask for impossible
// numbers (a page over 1 GiB, resolution outside 1..9600, inverted corners)
// are violations and get no answer; a scan of an empty area is a violation
// answered with a device error (XSC 85, X D0).
//
// Command line (tools/scanner_sim/scanner_sim_main.cpp, --help):
//   scanner-sim --addr 127.0.0.2 --profile gen2-adf --sheets 3 --duplex
//               --fault rst@bytes=50000 --time-scale 0.1
// prints "seed N" and "listening on A:P", ends on SIGTERM or SIGINT and
// exits with 1 when the host committed violations. It runs in a namespace
// under "ip netns exec NAME scanner-sim ...".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/scanner_sim/DeviceModel.h"

namespace nettest {
class NetNamespace;
}

namespace scanner_sim {

class TcpFront;
class UsbFront;
class SnmpFront;

class Simulator {
public:
    static constexpr uint16_t kDataPort = 54921;
    static constexpr uint16_t kVendorId = 0x5D4E;

    struct Options {
        std::string profile = "gen2-adf";
        std::string profileFile;  // KEY = VALUE lines, applied before settings
        std::vector<std::pair<std::string, std::string>> settings;
        double timeScale = 1.0;
        std::string dumpDir;
        uint64_t seed = 1;
        DuplexOrder duplexOrder = DuplexOrder::kSequential;
        bool panelDuplex = false;  // the panel scans both sides (--duplex)
        std::string transcriptPath;
    };

    // Throws std::invalid_argument for a bad profile, item, folder or file.
    explicit Simulator(const Options& options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // ---- Job and faults.
    void LoadSheets(size_t count) { model_->LoadSheets(count); }
    void LoadSheets(const std::vector<Sheet>& sheets) { model_->LoadSheets(sheets); }
    size_t SheetsLeft() const { return model_->SheetsLeft(); }
    bool Inject(const std::string& spec, std::string& error) { return model_->Inject(spec, error); }
    // A fault read by ParseFault with its trigger replaced.
    bool Inject(const std::string& fault, const Trigger& trigger, std::string& error);

    // ---- Fronts; false, with a reason, when one cannot start.
    bool ListenTcp(const std::string& address, uint16_t port, std::string& error, nettest::NetNamespace* ns = nullptr);
    std::string Address() const;
    uint16_t Port() const;
    bool AttachUsb(uint16_t productId, std::string& error);
    int UsbDevice() const;  // the stand-in libusb's device number
    bool ServeSnmp(uint16_t port, std::string& error, nettest::NetNamespace* ns = nullptr);
    // Ends every front's thread (each within about 50 ms) and unplugs the
    // USB device; the observations stay.
    void Stop();

    // ---- Observation.
    scanner_sim::Counters Counters() const { return model_->GetCounters(); }
    std::vector<std::string> Transcript() const { return model_->Transcript(); }
    std::vector<PageRecord> Pages() const { return model_->Pages(); }
    bool WaitFor(const std::function<bool(const scanner_sim::Counters&)>& condition, int timeoutMs) const
    {
        return model_->WaitFor(condition, timeoutMs);
    }
    DeviceModel& Model() { return *model_; }
    const Profile& GetProfile() const { return model_->GetProfile(); }

private:
    std::unique_ptr<DeviceModel> model_;
    std::unique_ptr<TcpFront> tcp_;
    std::unique_ptr<UsbFront> usb_;
    std::unique_ptr<SnmpFront> snmp_;
};

// Builds the model's options from the simulator's: the profile with its
// file and items. Throws std::invalid_argument with the reason.
ModelOptions MakeModelOptions(const Simulator::Options& options);

}  // namespace scanner_sim
