// A front end that goes on after something went wrong, over the real engine
// and the scanner simulator (RealEngineFixture.h), both protocol generations
// over the network and USB: after a page time-out (on a later page and on
// the first), a device fault, a cancel or an abort the device never answers,
// sane_cancel and sane_start on the same handle (or sane_close and a second
// handle's sane_open and sane_start) scan the next page or fail with a
// status, and the engine's old scan has ended before the new one touches the
// device; a device that falls silent while it is prepared for the scan holds
// the calls after the page time-out no longer than an abort's
// acknowledgement; a cancel while sane_start itself waits for the device,
// or while the scan it started is prepared, ends that start within the same
// bound and the device feeds nothing. The calls come from the sane_probe
// program, which
// is built with this tree's sanitizers. The cases wait for the product's
// time-outs divided by a time scale, which only a build with the test hooks
// honours.
#include <regex>
#include <string>
#include <vector>

#include "tests/backend_source/RealEngineFixture.h"

namespace {

using namespace realengine;

// The status word of one probe action's line ("start IO_ERROR ms=...").
std::string StatusOf(const std::string& out, const std::string& action, int occurrence)
{
    size_t at = 0;
    for (int i = 0; i <= occurrence; ++i) {
        at = out.find("\n" + action + " ", at == 0 ? 0 : at + 1);
        if (at == std::string::npos) {
            return "(missing)";
        }
    }
    size_t const from = at + action.size() + 2;
    return out.substr(from, out.find(' ', from) - from);
}

// The probe's "at=" time (ms since it began) of a line starting with text.
double AtSeconds(const std::string& out, const std::string& text)
{
    size_t const line = out.find("\n" + text);
    size_t const at = line == std::string::npos ? line : out.find(" at=", line);
    if (at == std::string::npos || at > out.find('\n', line + 1)) {
        ADD_FAILURE() << "no line " << text << " in " << out;
        return 0;
    }
    return std::stod(out.substr(at + 4)) / 1000;
}

// The seconds the probe's actions took together; one that did not return
// fails the case.
double SecondsOf(const std::string& out, std::initializer_list<const char*> actions)
{
    double seconds = 0;
    for (const char* action : actions) {
        size_t const at = out.find("\n" + std::string(action) + "  ms=");
        if (at == std::string::npos) {
            ADD_FAILURE() << action << " did not return: " << out;
            continue;
        }
        seconds += std::stod(out.substr(out.find("ms=", at) + 3)) / 1000;
    }
    return seconds;
}

// Runs the probe's actions, then a scan on the same handle when scanAgain,
// then close and exit.
Result RunToTheEnd(FrontEnd& f, std::vector<std::string> argv, bool scanAgain)
{
    if (scanAgain) {
        argv.insert(argv.end(), {"start", "read:65536"});
    }
    argv.insert(argv.end(), {"close", "exit"});
    return f.Run(argv, 120);
}

// The device of profile with its sheets and one fault.
SimSetup WithFault(const char* profile, size_t sheets, const std::string& fault)
{
    SimSetup setup;
    setup.profile = profile;
    setup.sheets = sheets;
    setup.faults = {fault};
    return setup;
}

// How often the backend's debug log names a match of pattern.
int Matches(const std::string& log, const char* pattern)
{
    std::regex const re(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(log.begin(), log.end(), re), std::sregex_iterator()));
}

class Recovery : public RealEngineWith<Device> {};

TEST_P(Recovery, CancelAndStartAfterAFaultScanAgainOrFail)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: VEXMOR_TEST_TIME_SCALE is ignored, and at the shipped 10-s "
                    "page time-out the silent device's sheet arrives before the time-out these cases wait for";
#endif
    bool const gen2 = std::string(GetParam().profile) == "gen2-adf";
    std::string const abort = gen2 ? "ABT" : "R";
    struct Case {
        const char* what;
        std::vector<std::string> faults;
        std::vector<std::pair<std::string, std::string>> settings;
        bool firstPage;       // the first start delivers a page
        const char* failure;  // what the start after it gives
        const char* restart;  // what the start after the cancel gives ("" for either GOOD or the failure)
        bool reopen = false;  // the handle closed and a second one opened instead of the cancel
    };
    const std::vector<Case> cases = {
        {"silent after page 1", {"stall@page=2"}, {}, true, "IO_ERROR", "GOOD"},
        {"silent before page 1, the stop unanswered",
         {"abort-reply=none@cmd=" + abort},
         {{"sheet-ms", "600000"}},
         false,
         "IO_ERROR",
         ""},
        {"a jam in page 2", {"jam@page=2,line=20"}, {}, true, "JAMMED", "GOOD"},
        // A sheet a second keeps sheets in the feeder for the next job.
        {"a cancel after page 1, the stop unanswered",
         {"abort-reply=none@cmd=" + abort},
         {{"sheet-ms", "100000"}},
         true,
         "",
         "GOOD"},
        // The engine's old scan still waits for its acknowledgement when the
        // second handle selects the device and checks its presence.
        {"silent after page 1, the handle closed and another opened",
         {"stall@page=2"},
         {},
         true,
         "IO_ERROR",
         "GOOD",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimSetup setup;
        setup.profile = GetParam().profile;
        setup.sheets = 4;
        setup.faults = c.faults;
        setup.settings = c.settings;
        Scanner scanner(f_, GetParam().transport, setup);
        // The product's time-outs a quarter: a 2.5-s page time-out and
        // acknowledgement time-out, room enough for a sanitizer build.
        f_.Env("VEXMOR_TEST_TIME_SCALE", "4");
        f_.Env("kavrun5_debuglog", "2");
        std::vector<std::string> argv = {FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init",
                                         "open:" + scanner.Device().substr(9)};
        if (c.firstPage) {
            argv.insert(argv.end(), {"start", "read:65536"});
        }
        // A cancel case cancels after its page; the others meet the fault.
        if (c.failure[0] != '\0') {
            argv.push_back("start");
        }
        if (c.reopen) {
            argv.insert(argv.end(), {"close", "open:" + scanner.Device().substr(9)});
        } else {
            argv.push_back("cancel");
        }
        argv.insert(argv.end(), {"start", "read:65536", "close", "exit"});
        Result const r = f_.Run(argv, 120);
        ASSERT_EQ(0, r.exitCode) << r.out << r.err;
        EXPECT_NE(r.out.find("\nexit  ms="), std::string::npos) << r.out;
        if (c.reopen) {
            EXPECT_EQ("GOOD", StatusOf(r.out, "open:" + scanner.Device().substr(9), 1)) << r.out;
        }
        int start = 0;
        if (c.firstPage) {
            EXPECT_EQ("GOOD", StatusOf(r.out, "start", start++)) << r.out;
            EXPECT_EQ("EOF", StatusOf(r.out, "read:65536", 0)) << r.out;
        }
        if (c.failure[0] != '\0') {
            EXPECT_EQ(c.failure, StatusOf(r.out, "start", start++)) << r.out;
        }
        std::string const again = StatusOf(r.out, "start", start);
        if (c.restart[0] != '\0') {
            EXPECT_EQ(c.restart, again) << r.out;
        } else {
            EXPECT_TRUE(again == "GOOD" || again == c.failure) << r.out;
        }
        // Every engine page the backend took went back once.
        EXPECT_EQ(Matches(r.err, R"(engine page \d+ read: 0\b)"), Matches(r.err, R"(engine page \d+ given back)"))
            << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, Recovery, testing::ValuesIn(kFeederDevices), NameOf);

// A device that falls silent before the scan, while the engine prepares
// it: it accepts the reading thread's network connection and never greets
// (fifty reads of 5 s, which the time scale leaves as they are), or never
// answers the scan parameters (35 s, also unscaled) or, generation 1, the
// document size (60 s), over either transport. Once the page time-out gave
// the scan up, the calls after it wait at most for the abort's
// acknowledgement time-out, and the next start scans (the fault acts once).
// The reading thread's connection comes after sane_open's (the capability
// query; generation 2 also asks the feeder there) and, for generation 1,
// after the feeder query of sane_start.
class SilentBeforeTheScan : public RealEngineWith<Device> {};

TEST_P(SilentBeforeTheScan, EveryCallAfterThePageTimeOutReturnsPromptly)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "the bound is the engine's acknowledgement time-out divided by VEXMOR_TEST_TIME_SCALE, which "
                    "only a build with VEXMOR_TEST_HOOKS divides";
#endif
    bool const gen2 = std::string(GetParam().profile) == "gen2-adf";
    struct Case {
        const char* what;
        const char* fault;   // none: the generation or the transport has no such wait
        bool scanAgain;      // on the same handle after the cancel
        const char* option;  // a probe action before the start, or none
    };
    // A USB device has no greeting (the open request's reply is at once).
    const char* const greeting = GetParam().transport == Transport::kUsb ? ""
                                 : gen2                                  ? "greeting-silent@connect=2"
                                                                         : "greeting-silent@connect=3";
    const Case cases[] = {
        {"no greeting", greeting, false, ""},
        {"no greeting, then a scan", greeting, true, ""},
        // Generation 1 waits 5 s for its scan parameters' answer, but 60 s
        // for the document size, which it asks for with AutoDocumentSize
        // (option 8) on.
        {"no answer to the scan parameters", gen2 ? "no-answer@cmd=SSP" : "", false, ""},
        {"no answer to the document size", gen2 ? "" : "no-answer@cmd=E", false, "set:8:1"},
    };
    for (const Case& c : cases) {
        if (c.fault[0] == '\0') {
            continue;
        }
        SCOPED_TRACE(c.what);
        Scanner scanner(f_, GetParam().transport, WithFault(GetParam().profile, 1, c.fault));
        // A page time-out and an acknowledgement time-out of 2.5 s.
        f_.Env("VEXMOR_TEST_TIME_SCALE", "4");
        double const ackSeconds = 10.0 / 4;
        // At most one greeting read and its pause more, and room for a
        // sanitizer build.
        double const boundSeconds = ackSeconds + 5.1 + 2;
        std::vector<std::string> argv = {FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init",
                                         "open:" + scanner.Device().substr(9)};
        if (c.option[0] != '\0') {
            argv.push_back(c.option);
        }
        argv.insert(argv.end(), {"start", "cancel"});
        Result const r = RunToTheEnd(f_, argv, c.scanAgain);
        ASSERT_FALSE(r.timedOut) << r.out << r.err;
        ASSERT_EQ(0, r.exitCode) << r.out << r.err;
        EXPECT_EQ("GOOD", StatusOf(r.out, "open:" + scanner.Device().substr(9), 0)) << r.out;
        EXPECT_EQ("IO_ERROR", StatusOf(r.out, "start", 0)) << r.out;
        if (c.scanAgain) {
            EXPECT_EQ("GOOD", StatusOf(r.out, "start", 1)) << r.out;
            EXPECT_EQ("EOF", StatusOf(r.out, "read:65536", 0)) << r.out;
            continue;
        }
        // From the failed start to the end of sane_exit.
        double const seconds = SecondsOf(r.out, {"cancel", "close", "exit"});
        std::printf("%s: cancel, close and exit took %.2f s after the failed start\n", c.what, seconds);
        EXPECT_LE(seconds, boundSeconds) << r.out;
        // The fault met the reading thread: the device never got to scan.
        std::vector<std::string> const transcript = scanner.Transcript();
        EXPECT_EQ(1, Count(transcript, "\"event\":\"fault\"")) << "the fault's command or connection never came";
        EXPECT_EQ(0, Count(transcript, "\"event\":\"scan\""));
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, SilentBeforeTheScan, testing::ValuesIn(kFeederDevices), NameOf);

// A cancel from a second thread (as a front end's signal handler gives it)
// while sane_start waits for the device on the caller's thread (generation
// 1's feeder query opens a connection of its own; generation 2 asks on the
// open's connection), while the reading thread connects, or while it
// prepares the device. sane_start returns CANCELLED within the abort's
// acknowledgement time-out and one greeting read of the cancel, the calls
// after it within the same bound, and the device never gets the scan
// command: no sheet moves; a cancel during the feeder query lets no scan
// start at all (the scan parameters are never sent). A device that answers
// again scans at the next start. The cancel comes once the simulator has
// committed its fault, or for the reading thread's connect once the backend
// has asked the engine to start (that fault fires with the connection
// before).
class CancelDuringTheStart : public RealEngineWith<Device> {};

TEST_P(CancelDuringTheStart, EndsTheWaitsAndNoSheetMoves)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "the bound is the engine's acknowledgement time-out divided by VEXMOR_TEST_TIME_SCALE, which "
                    "only a build with VEXMOR_TEST_HOOKS divides";
#endif
    bool const gen2 = std::string(GetParam().profile) == "gen2-adf";
    bool const network = GetParam().transport == Transport::kNetwork;
    struct Case {
        const char* what;
        std::string fault;  // empty: not for this device
        double timeScale;   // the simulator's: 1 where a late answer must stay late
        bool startBounded;  // the start itself waits for the device
        bool scanAgain;     // the device answers again afterwards
        bool noScanStarted;
        bool afterTheStart = false;
    };
    const Case cases[] = {
        {"no greeting on the feeder query's connection", network && !gen2 ? "greeting-silent@connect=2" : "", 0.01,
         true, true, true},
        {"no answer to the feeder query", gen2 ? "no-answer@cmd=CKD" : "no-answer@cmd=D", 0.01, true, true, true},
        {"the feeder query answered late", gen2 ? "late=1000@cmd=CKD" : "late=1000@cmd=D", 1, false, false, true},
        {"the scan parameters answered late", gen2 ? "late=1000@cmd=SSP" : "late=1000@cmd=I", 1, false, false, false},
        {"the reading thread's connect unanswered",
         !network ? ""
         : gen2   ? "connect-hang@connect=2"
                  : "connect-hang@connect=3",
         0.01, false, false, false, true},
    };
    for (const Case& c : cases) {
        if (c.fault.empty()) {
            continue;
        }
        SCOPED_TRACE(c.what);
        SimSetup setup = WithFault(GetParam().profile, 2, c.fault);
        setup.timeScale = c.timeScale;
        Scanner scanner(f_, GetParam().transport, setup);
        f_.Env("VEXMOR_TEST_TIME_SCALE", "4");
        // The backend's log in the front end's own /tmp.
        f_.Env("kavrun5_debuglog", c.afterTheStart ? "3" : "0");
        std::string const event =
            c.afterTheStart ? "/tmp/kavrun5.log:vssdkwrapper_StartScanning" : "transcript.jsonl:\"event\":\"fault\"";
        // An acknowledgement time-out of 2.5 s, at most one greeting read
        // and its pause more, and room for a sanitizer build.
        double const boundSeconds = 10.0 / 4 + 5.1 + 2;
        std::vector<std::string> argv = {FrontEnd::ProbeProgram(),
                                         FrontEnd::BackendLibrary(),
                                         "init",
                                         "open:" + scanner.Device().substr(9),
                                         "cancelwhen:" + event,
                                         "start",
                                         "cancel"};
        Result const r = RunToTheEnd(f_, argv, c.scanAgain);
        ASSERT_FALSE(r.timedOut) << r.out << r.err;
        ASSERT_EQ(0, r.exitCode) << r.out << r.err;
        EXPECT_EQ("CANCELLED", StatusOf(r.out, "start", 0)) << r.out;
        double const cancelled = AtSeconds(r.out, "cancelwhen fired");
        if (c.startBounded) {
            double const took = AtSeconds(r.out, "start ") - cancelled;
            std::printf("%s: the start returned %.2f s after the cancel\n", c.what, took);
            EXPECT_LE(took, boundSeconds) << r.out;
        }
        // The device's answers to the scan parameters.
        std::string const parameters = gen2 ? "\"command\":\"SSP\",\"bytes\"" : "\"command\":\"I\",\"bytes\"";
        if (c.scanAgain) {
            EXPECT_EQ("GOOD", StatusOf(r.out, "start", 1)) << r.out;
            EXPECT_EQ("EOF", StatusOf(r.out, "read:65536", 0)) << r.out;
            EXPECT_EQ(1, Count(scanner.Transcript(), "\"event\":\"scan\"")) << "the scan after the cancel";
            EXPECT_EQ(1, Count(scanner.Transcript(), parameters)) << "only the scan after the cancel";
            continue;
        }
        if (c.noScanStarted) {
            EXPECT_EQ(0, Count(scanner.Transcript(), parameters)) << "a scan started after the cancel";
        }
        double const seconds = SecondsOf(r.out, {"cancel", "close", "exit"});
        std::printf("%s: cancel, close and exit took %.2f s\n", c.what, seconds);
        EXPECT_LE(seconds, boundSeconds) << r.out;
        EXPECT_EQ(0, Count(scanner.Transcript(), "\"event\":\"scan\"")) << "a sheet moved after the cancel";
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, CancelDuringTheStart, testing::ValuesIn(kFeederDevices), NameOf);

// A cancel where sane_start has no device call under way: before its first
// one (the push-scan query), while it selects the device again for a second
// handle's scanner, and between two of them (after the push-scan query the
// cancel broke off). In the first two the start pauses at the step until the
// cancel has been passed on to the engine (a test build's
// VEXMOR_TEST_START_PAUSE), so that the cancel lands there every time; the
// device's next wait never ends by itself. sane_start returns CANCELLED
// within the abort's acknowledgement time-out and one greeting read of the
// cancel, and no step that waits for the device begins after the cancel has
// been seen.
class CancelWithoutADeviceCall : public RealEngineWith<Device> {};

TEST_P(CancelWithoutADeviceCall, EndsTheStartWithinTheBound)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "the start pauses for the cancel only in a build with VEXMOR_TEST_HOOKS, which also divides the "
                    "bound by VEXMOR_TEST_TIME_SCALE";
#endif
    bool const gen2 = std::string(GetParam().profile) == "gen2-adf";
    bool const network = GetParam().transport == Transport::kNetwork;
    struct Case {
        const char* what;
        const char* pause;  // the step the start pauses at; null: the cancel comes on the device's fault
        std::string fault;  // the device's, or the second device's; empty: not for this device
        bool secondHandle;  // the start is the second handle's, whose device the engine does not serve
    };
    // Connection 1 is the open's; the start's push-scan query opens the
    // next on generation 1, and a device selected again is asked Q on a
    // new connection first. The second handle's device accepts that
    // connection and then never greets: the simulator records only the
    // connections it accepted, so a device call begun after the cancel is
    // counted there.
    const Case cases[] = {
        {"before the first device call", "push",
         gen2      ? "no-answer@cmd=GKP"
         : network ? "greeting-silent@connect=2"
                   : "no-answer@cmd=K",
         false},
        {"the second handle's device selected again", "select", network ? "greeting-silent@connect=2" : "", true},
        {"between two device calls", nullptr,
         !network ? ""
         : gen2   ? "no-answer@cmd=GKP"
                  : "connect-hang=0@connect=3",
         true},
    };
    for (const Case& c : cases) {
        if (c.fault.empty()) {
            continue;
        }
        SCOPED_TRACE(c.what);
        SimSetup setup;
        setup.profile = GetParam().profile;
        setup.sheets = 2;
        Scanner first(f_, GetParam().transport, c.secondHandle ? setup : WithFault(setup.profile.c_str(), 2, c.fault));
        std::unique_ptr<Scanner> second;
        if (c.secondHandle) {
            second = std::make_unique<Scanner>(first, WithFault(setup.profile.c_str(), 2, c.fault));
        }
        const Scanner& target = c.secondHandle ? *second : first;
        // The push-scan settings are asked for on every feeder device.
        f_.Settings("SKEYDSENABLE=1\n");
        f_.Env("VEXMOR_TEST_TIME_SCALE", "10");
        f_.Env("VEXMOR_TEST_START_PAUSE", c.pause != nullptr ? c.pause : "");
        // The pause's line in the backend's log, in the front end's own
        // /tmp; or the log on standard error.
        f_.Env("kavrun5_debuglog", c.pause != nullptr ? "3" : "2");
        std::string const event = c.pause != nullptr ? "/tmp/kavrun5.log:test pause before the " + std::string(c.pause)
                                                     : "transcript2.jsonl:\"event\":\"fault\"";
        std::vector<std::string> argv = {FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init"};
        if (c.secondHandle) {
            // The second device's handle first: the engine serves the
            // device opened last.
            argv.insert(argv.end(), {"open:" + target.Device().substr(9), "open:" + first.Device().substr(9), "use:0"});
        } else {
            argv.push_back("open:" + target.Device().substr(9));
        }
        argv.insert(argv.end(), {"cancelwhen:" + event, "start", "close", "exit"});
        Result const r = f_.Run(argv, 120);
        ASSERT_FALSE(r.timedOut) << r.out << r.err;
        ASSERT_EQ(0, r.exitCode) << r.out << r.err;
        EXPECT_EQ("CANCELLED", StatusOf(r.out, "start", 0)) << r.out;
        double const took = AtSeconds(r.out, "start ") - AtSeconds(r.out, "cancelwhen fired");
        std::printf("%s: the start returned %.2f s after the cancel\n", c.what, took);
        // A 1-s acknowledgement time-out, a greeting read where the device
        // never greets, and room for a sanitizer build; an answer's own
        // 5-s time-out is no scale's.
        bool const greeting = c.fault.rfind("greeting", 0) == 0;
        EXPECT_LE(took, 10.0 / 10 + (greeting ? 5.1 : 0) + 2) << r.out;
        std::vector<std::string> const transcript = target.Transcript();
        EXPECT_EQ(0, Count(transcript, "\"event\":\"scan\"")) << "a sheet moved after the cancel";
        if (c.pause != nullptr && c.secondHandle) {
            EXPECT_EQ(1, Count(transcript, "\"event\":\"connect\"")) << "a device call began after the cancel";
        } else if (c.pause == nullptr) {
            EXPECT_EQ(std::string::npos, r.err.find("vssdkwrapper_IsAdfInserted"))
                << "the feeder query began after the cancel";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, CancelWithoutADeviceCall, testing::ValuesIn(kFeederDevices), NameOf);

}  // namespace
