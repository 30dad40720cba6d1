// Every fault of the simulator under each trigger kind it takes puts its
// bytes on the wire where the trigger says: the device model is driven
// directly on a clock of its own, so pauses cost nothing.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "tests/tools/scanner_sim/SimTestSupport.h"

namespace {

using scanner_sim::Action;
using scanner_sim::DeviceModel;
using scanner_sim::Simulator;
using simtest::Bytes;
using simtest::Frame;
using simtest::Hex;
using simtest::Unit;

constexpr double kScale = 0.01;
constexpr uint32_t kRowBytes = 471;  // 40 mm at 100 dpi: 157 pixels of three bytes
constexpr uint32_t kRows = 196;      // 50 mm

struct Outcome {
    Bytes greeting;
    std::vector<size_t> greetingPieces;
    std::map<std::string, Bytes> answers;
    std::map<std::string, std::vector<size_t>> pieces;
    std::map<std::string, double> seconds;
    Bytes stream;
    std::vector<size_t> streamPieces;
    double streamSeconds = 0;
    Action action = Action::kNone;
    std::string actionAt;

    std::string Answer(const std::string& name) const
    {
        auto found = answers.find(name);
        return found == answers.end() ? "" : Hex(found->second);
    }
};

Simulator::Options Small(bool gen2)
{
    Simulator::Options o;
    o.profile = gen2 ? "gen2-adf" : "gen1-adf";
    o.timeScale = kScale;
    o.settings = {{"sheet", "40x50"}, {"jpeg-block", "1024"}};
    return o;
}

// A whole session: greeting, every command of the generation, a duplex
// scan of two sheets.
Outcome RunSession(bool gen2, const std::vector<std::string>& faults, bool jpeg = false)
{
    DeviceModel model(scanner_sim::MakeModelOptions(Small(gen2)));
    model.LoadSheets(2);
    std::string error;
    for (const std::string& f : faults) {
        EXPECT_TRUE(model.Inject(f, error)) << f << ": " << error;
    }
    simtest::Direct d(model);
    Outcome out;
    d.Connect();
    out.greeting = d.Pull(64u << 20, &out.greetingPieces);
    if (d.LastAction() != Action::kNone) {
        out.action = d.LastAction();
        out.actionAt = "greeting";
        return out;
    }
    simtest::Gen2Scan scan2;
    simtest::Gen1Scan scan1;
    if (jpeg) {
        scan2.compression = scan1.compression = "JPEG";
    }
    std::vector<std::pair<std::string, Bytes>> script;
    if (gen2) {
        script = {{"Q", Frame("Q")},
                  {"QDI", Frame("QDI")},
                  {"CKD", Frame("CKD", {"PSRC=ADF"})},
                  {"SSP", simtest::SspFrame(scan2)},
                  {"GKP", Frame("GKP")},
                  {"GCT", Frame("GCT")},
                  {"GCP", Frame("GCP")},
                  {"GDS", Frame("GDS")}};
    } else {
        script = {{"Q", Frame("Q")},
                  {"D", Frame("D", {"ADF"})},
                  {"S", Frame("S", {"ADF"})},
                  {"K", Frame("K")},
                  {"I", Frame("I", {"R=100,100", "M=CGRAY", "D=DUP", "S=NORMAL_SCAN"})},
                  {"P", Frame("P")},
                  {"E", Frame("E", {"R=100,100", "M=CGRAY"})}};
    }
    for (const auto& [name, frame] : script) {
        double const before = d.Elapsed();
        d.Send(frame);
        out.answers[name] = d.Pull(64u << 20, &out.pieces[name]);
        out.seconds[name] = d.Elapsed() - before;
        if (d.LastAction() != Action::kNone) {
            out.action = d.LastAction();
            out.actionAt = name;
            return out;
        }
    }
    double const before = d.Elapsed();
    d.Send(gen2 ? simtest::XscFrame(scan2) : simtest::XFrame(scan1));
    out.stream = d.Pull(64u << 20, &out.streamPieces);
    out.streamSeconds = d.Elapsed() - before;
    if (d.LastAction() != Action::kNone) {
        out.action = d.LastAction();
        out.actionAt = "stream";
    }
    EXPECT_EQ(model.GetCounters().violations, 0u);
    return out;
}

bool IsData(bool gen2, const Unit& u) { return gen2 ? u.result == 0 && u.code <= 0x02 : u.code < 0x80; }

// Where a stream fault must act: the first unit for connect and cmd
// triggers, the first unit at or past byte 3000, or the unit after page 2's
// third line.
size_t Position(bool gen2, const std::vector<Unit>& units, const std::string& trigger)
{
    if (trigger == "bytes=3000") {
        for (size_t i = 0; i < units.size(); ++i) {
            if (units[i].offset >= 3000) {
                return i;
            }
        }
        return units.size();
    }
    if (trigger == "page=2,line=3") {
        int lines = 0;
        for (size_t i = 0; i < units.size(); ++i) {
            if (units[i].page == 2 && IsData(gen2, units[i]) && ++lines == 3) {
                return i + 1;
            }
        }
        return units.size();
    }
    return 0;
}

uint16_t TargetPage(const std::string& trigger) { return trigger.rfind("page=2", 0) == 0 ? 2 : 1; }

std::vector<Unit> Split(bool gen2, const Bytes& stream)
{
    return gen2 ? simtest::SplitGen2(stream) : simtest::SplitGen1(stream);
}

bool Ends(bool gen2, const std::vector<Unit>& units)
{
    return !units.empty() && (gen2 ? units.back().result == 0 && units.back().code == 0x20 : units.back().code == 0x80);
}

// Offsets at which a new piece of the stream began.
std::vector<size_t> PieceStarts(const std::vector<size_t>& pieces)
{
    std::vector<size_t> starts;
    size_t at = 0;
    for (size_t p : pieces) {
        starts.push_back(at);
        at += p;
    }
    return starts;
}

using Check =
    std::function<void(bool gen2, const std::string& trigger, const Outcome& o, const std::vector<Unit>& u, size_t at)>;

// A unit with this result and code at the position; a terminal one ends
// the stream.
Check Marker(uint8_t result, uint8_t code, bool terminal)
{
    return [=](bool gen2, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
        ASSERT_LT(at, u.size());
        EXPECT_EQ(u[at].result, gen2 ? result : 0);
        EXPECT_EQ(u[at].code, code);
        if (terminal) {
            EXPECT_EQ(at + 1, u.size());
            EXPECT_EQ(u[at].offset + u[at].size, o.stream.size());
        } else {
            EXPECT_TRUE(Ends(gen2, u));
        }
    };
}

// The target page's data units from the position on, and the rest.
void PageLines(bool gen2, const std::vector<Unit>& u, uint16_t page, size_t at, std::vector<const Unit*>& before,
               std::vector<const Unit*>& after)
{
    for (size_t i = 0; i < u.size(); ++i) {
        if (u[i].page == page && IsData(gen2, u[i])) {
            (i < at ? before : after).push_back(&u[i]);
        }
    }
}

struct Case {
    bool gen2;
    std::string fault;
    std::vector<std::string> triggers;
    Check check;
    bool jpeg = false;
};

TEST(Faults, EveryStreamFaultActsWhereItsTriggerFalls)
{
    const std::vector<std::string> all = {"connect=1", "cmd=XSC", "bytes=3000", "page=2,line=3"};
    const std::vector<std::string> all1 = {"connect=1", "cmd=X", "bytes=3000", "page=2,line=3"};
    auto linesOf = [](uint32_t size) -> Check {
        return [=](bool gen2, const std::string& t, const Outcome&, const std::vector<Unit>& u, size_t at) {
            std::vector<const Unit*> before, after;
            PageLines(gen2, u, TargetPage(t), at, before, after);
            ASSERT_FALSE(after.empty());
            for (const Unit* b : before) {
                EXPECT_EQ(b->data.size(), kRowBytes);
            }
            for (const Unit* a : after) {
                EXPECT_EQ(a->data.size(), size);
            }
        };
    };
    const std::vector<Case> cases = {
        {true, "jam", all, Marker(0x91, 0x00, true)},
        {true, "jam=93", all, Marker(0x93, 0x00, true)},
        {true, "cover-open", all, Marker(0xA0, 0x00, true)},
        {true, "no-paper", all, Marker(0x90, 0x00, true)},
        {true, "double-feed", all, Marker(0x92, 0x00, true)},
        {true, "status-13", all, Marker(0x00, 0x13, false)},
        {true, "fail=72", all, Marker(0x00, 0x72, false)},
        {true, "stop-key", all, Marker(0x00, 0x41, true)},
        {true, "stall-after-extend", all,
         [](bool, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             ASSERT_EQ(at + 1, u.size());
             EXPECT_EQ(Hex(Bytes(o.stream.begin() + static_cast<long>(u[at].offset), o.stream.end())), "00511e00");
         }},
        {true,
         "data-size-16m",
         {"bytes=3000", "page=2,line=3"},
         [](bool gen2, const std::string&, const Outcome&, const std::vector<Unit>& u, size_t at) {
             ASSERT_LT(at, u.size());
             EXPECT_EQ(u[at].code, 0x01);
             EXPECT_EQ(u[at].dataSize, 16u << 20);
             EXPECT_TRUE(Ends(gen2, u));
         }},
        {true, "white-first=2", all,
         [](bool gen2, const std::string& t, const Outcome&, const std::vector<Unit>& u, size_t at) {
             std::vector<const Unit*> before, after;
             PageLines(gen2, u, TargetPage(t), at, before, after);
             size_t white = 0;
             for (const Unit* a : after) {
                 white += a->code == 0x00 ? 1 : 0;
             }
             ASSERT_GE(after.size(), 2u);
             EXPECT_EQ(white, 2u);
             EXPECT_EQ(after[0]->code, 0x00);
             EXPECT_EQ(after[1]->code, 0x00);
             EXPECT_EQ(before.size() + after.size(), kRows + 2);
         }},
        {true, "short-lines", all, linesOf(kRowBytes / 2)},
        {true, "long-lines", all, linesOf(kRowBytes + 16)},
        {true, "too-many-lines=5", all,
         [](bool gen2, const std::string& t, const Outcome&, const std::vector<Unit>& u, size_t at) {
             std::vector<const Unit*> before, after;
             PageLines(gen2, u, TargetPage(t), at, before, after);
             EXPECT_EQ(before.size() + after.size(), kRows + 5);
         }},
        {true, "stall", all,
         [](bool gen2, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             EXPECT_EQ(u.size(), at);  // nothing after the trigger, for good
             EXPECT_FALSE(Ends(gen2, u));
             EXPECT_EQ(o.action, Action::kNone);
         }},
        {true, "stall=500", all,
         [](bool gen2, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t) {
             EXPECT_TRUE(Ends(gen2, u));
             EXPECT_GE(o.streamSeconds, 0.5 * kScale * 0.99);
         }},
        {true,
         "fin",
         {"cmd=XSC", "bytes=3000", "page=2,line=3"},
         [](bool, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             EXPECT_EQ(o.action, Action::kClose);
             EXPECT_EQ(o.actionAt, "stream");
             EXPECT_EQ(u.size(), at);
         }},
        {true,
         "rst",
         {"cmd=XSC", "bytes=3000", "page=2,line=3"},
         [](bool, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             EXPECT_EQ(o.action, Action::kReset);
             EXPECT_EQ(u.size(), at);
         }},
        {true, "split-bytes", all,
         [](bool gen2, const std::string& t, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             ASSERT_LT(at, u.size());
             auto const starts = PieceStarts(o.streamPieces);
             for (size_t i = 0; i < starts.size(); ++i) {
                 if (starts[i] >= u[at].offset) {
                     ASSERT_EQ(o.streamPieces[i], 1u) << "piece at " << starts[i];
                 }
             }
             EXPECT_TRUE(Ends(gen2, u));
             if (t == "connect=1") {
                 EXPECT_EQ(o.greetingPieces, std::vector<size_t>(6, 1));
             }
         }},
        {true, "split-header", all,
         [](bool, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             auto const starts = PieceStarts(o.streamPieces);
             for (size_t i = at; i < u.size(); ++i) {
                 if (u[i].size > 2) {
                     ASSERT_TRUE(std::binary_search(starts.begin(), starts.end(), u[i].offset + 2)) << i;
                 }
             }
         }},
        {true, "chunk-random", all,
         [](bool gen2, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             ASSERT_LT(at, u.size());
             auto const starts = PieceStarts(o.streamPieces);
             size_t cut = 0;  // pieces that start inside a unit
             for (size_t s : starts) {
                 cut +=
                     s > u[at].offset && std::none_of(u.begin(), u.end(), [s](const Unit& x) { return x.offset == s; });
             }
             EXPECT_GT(cut, 10u);
             EXPECT_TRUE(Ends(gen2, u));
             EXPECT_EQ(o.stream, RunSession(true, {}).stream);
         }},
        {true,
         "jpeg-corrupt",
         {"cmd=XSC", "page=2"},
         [](bool, const std::string& t, const Outcome& o, const std::vector<Unit>&, size_t) {
             std::string error;
             auto const pages = simtest::DecodePages(true, o.stream, error);
             ASSERT_EQ(pages.size(), 4u) << error;
             for (const auto& [number, page] : pages) {
                 EXPECT_EQ(simtest::Contains(page.jpeg, {0xFF, 0xC8, 0xFF, 0xC8}), number >= TargetPage(t));
             }
         },
         true},
        {true,
         "jpeg-no-eoi",
         {"cmd=XSC", "page=2"},
         [](bool, const std::string& t, const Outcome& o, const std::vector<Unit>&, size_t) {
             std::string error;
             auto const pages = simtest::DecodePages(true, o.stream, error);
             ASSERT_EQ(pages.size(), 4u) << error;
             for (const auto& [number, page] : pages) {
                 bool const eoi =
                     page.jpeg.size() > 2 && page.jpeg[page.jpeg.size() - 2] == 0xFF && page.jpeg.back() == 0xD9;
                 EXPECT_EQ(eoi, number < TargetPage(t));
             }
         },
         true},
        {true,
         "jpeg-height-0",
         {"cmd=XSC", "page=2"},
         [](bool, const std::string& t, const Outcome& o, const std::vector<Unit>&, size_t) {
             std::string error;
             auto const pages = simtest::DecodePages(true, o.stream, error);
             ASSERT_EQ(pages.size(), 4u) << error;
             for (const auto& [number, page] : pages) {
                 Bytes const marker = {0xFF, 0xC0};
                 auto const sof = std::search(page.jpeg.begin(), page.jpeg.end(), marker.begin(), marker.end());
                 ASSERT_LT(sof + 7, page.jpeg.end());
                 uint16_t const height = static_cast<uint16_t>((sof[5] << 8) | sof[6]);
                 EXPECT_EQ(height == 0, number >= TargetPage(t));
             }
         },
         true},
        {false, "jam", all1, Marker(0, 0xC3, true)},
        {false, "jam=EA", all1, Marker(0, 0xEA, true)},
        {false, "cover-open", all1, Marker(0, 0xC4, true)},
        {false, "no-paper", all1, Marker(0, 0xC2, true)},
        {false, "double-feed", all1, Marker(0, 0xC8, true)},
        {false, "stop-key", all1, Marker(0, 0x86, true)},
        {false, "added-info-4", all1,
         [](bool, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             size_t const offset = at < u.size() ? u[at].offset : o.stream.size();
             ASSERT_GE(o.stream.size(), offset + 3);
             EXPECT_EQ(Hex(Bytes(o.stream.begin() + static_cast<long>(offset),
                                 o.stream.begin() + static_cast<long>(offset + 3))),
                       "400400");
         }},
        {false, "white-first=2", all1,
         [](bool, const std::string& t, const Outcome&, const std::vector<Unit>& u, size_t at) {
             std::vector<const Unit*> before, after;
             PageLines(false, u, TargetPage(t), at, before, after);
             ASSERT_GE(after.size(), 2u);
             EXPECT_EQ(after[0]->code, 0x00);
             EXPECT_EQ(after[1]->code, 0x00);
             EXPECT_EQ(before.size() + after.size(), kRows + 2);
         }},
        {false,
         "fin",
         {"cmd=X", "bytes=3000", "page=2,line=3"},
         [](bool, const std::string&, const Outcome& o, const std::vector<Unit>& u, size_t at) {
             EXPECT_EQ(o.action, Action::kClose);
             EXPECT_EQ(u.size(), at);
         }},
    };
    for (const Case& c : cases) {
        for (const std::string& trigger : c.triggers) {
            SCOPED_TRACE(c.fault + "@" + trigger + (c.gen2 ? " gen-2" : " gen-1"));
            Outcome const o = RunSession(c.gen2, {c.fault + "@" + trigger}, c.jpeg);
            auto const units = Split(c.gen2, o.stream);
            c.check(c.gen2, trigger, o, units, Position(c.gen2, units, trigger));
        }
    }
}

TEST(Faults, EveryAnswerFaultChangesItsAnswer)
{
    struct AnswerCase {
        bool gen2;
        std::string spec;
        std::function<void(const Outcome&)> check;
    };
    auto is = [](const std::string& command, const std::string& hex) {
        return [=](const Outcome& o) { EXPECT_EQ(o.Answer(command), hex); };
    };
    const std::vector<AnswerCase> cases = {
        {true, "wrong-echo@cmd=QDI", [](const Outcome& o) { EXPECT_EQ(o.Answer("QDI").substr(0, 8), "00514448"); }},
        {true, "wrong-echo@connect=1", is("Q", "c1010210")},
        {true, "result=21@cmd=SSP", is("SSP", "2153535000000000")},
        {true, "result=05@cmd=CKD", is("CKD", "0500")},
        {true, "lone-83@cmd=CKD", is("CKD", "83")},
        {true, "lone-83@connect=1", is("Q", "83")},
        {true, "status=00@cmd=CKD", is("CKD", "0000")},
        {true, "status=83:00@cmd=CKD", is("CKD", "8300")},
        {true, "length-big@cmd=GKP",
         [](const Outcome& o) {
             ASSERT_EQ(o.answers.at("GKP").size(), 0x40000u);
             EXPECT_EQ(o.Answer("GKP").substr(0, 16), "00474b50f8ff0300");
         }},
        {true, "length-zero@cmd=QDI", is("QDI", "0051444900000000")},
        {true, "length-zero@connect=1", is("Q", "c10001")},
        {true, "trailing-junk@cmd=GCT", is("GCT", "0047435404000000f0f00000deadbeef")},
        {true, "trailing-junk@connect=1", is("Q", "c1000210deadbeef")},
        {true, "tlv-no-end@cmd=GCT", is("GCT", "0047435400000000")},
        {true, "tlv-unknown-after-end@cmd=GCT", is("GCT", "0047435408000000f0f0000012340000")},
        {true, "tlv-past-end@cmd=GCT", is("GCT", "004743540a000000f0f00000010000010000")},
        {true, "tlv-trailing=3@cmd=GCT", is("GCT", "0047435407000000f0f00000000000")},
        {true, "tlv-short-value@cmd=SSP",
         [](const Outcome& o) { EXPECT_EQ(o.Answer("SSP").substr(16, 10), "0120010001"); }},
        {true, "qdi-version-late@cmd=QDI",
         [](const Outcome& o) {
             std::string const a = o.Answer("QDI");
             EXPECT_NE(a.substr(16, 4), "0100");
             EXPECT_EQ(a.substr(a.size() - 20), "010002000301f0f00000");
         }},
        {true, "qdi-long-name@cmd=QDI",
         [](const Outcome& o) {
             EXPECT_NE(o.Answer("QDI").find("0201c800" + Hex({'S', 'I', 'M', '-', 'N'})), std::string::npos);
         }},
        {true, "late=1000@cmd=CKD",
         [](const Outcome& o) {
             EXPECT_EQ(o.Answer("CKD"), "0001");
             EXPECT_GE(o.seconds.at("CKD"), 1.0 * kScale * 0.99);
             EXPECT_LT(o.seconds.at("Q"), 0.001);
         }},
        {true, "no-answer@cmd=GDS", is("GDS", "")},
        {true, "fin@cmd=SSP",
         [](const Outcome& o) {
             EXPECT_EQ(o.action, Action::kClose);
             EXPECT_EQ(o.actionAt, "SSP");
             EXPECT_EQ(o.Answer("SSP"), "");
         }},
        {true, "cut-short@cmd=SSP",
         [](const Outcome& o) {
             EXPECT_EQ(o.action, Action::kClose);
             EXPECT_EQ(o.actionAt, "SSP");
             // 25 of the 8 + 42 bytes its header announces.
             EXPECT_EQ(o.Answer("SSP").substr(0, 16), "005353502a000000");
             EXPECT_EQ(o.answers.at("SSP").size(), 25u);
         }},
        {true, "rst@cmd=GKP",
         [](const Outcome& o) {
             EXPECT_EQ(o.action, Action::kReset);
             EXPECT_EQ(o.actionAt, "GKP");
         }},
        {true, "split-bytes@cmd=QDI",
         [](const Outcome& o) {
             EXPECT_EQ(o.pieces.at("QDI"), std::vector<size_t>(o.answers.at("QDI").size(), 1));
             EXPECT_EQ(o.pieces.at("CKD").size(), 1u);
         }},
        {true, "split-header@cmd=QDI",
         [](const Outcome& o) {
             EXPECT_EQ(o.pieces.at("QDI"), (std::vector<size_t>{2, o.answers.at("QDI").size() - 2}));
             EXPECT_GE(o.seconds.at("QDI"), 0.020 * kScale * 0.99);
         }},
        {true, "chunk-random@cmd=QDI", [](const Outcome& o) { EXPECT_GT(o.pieces.at("QDI").size(), 2u); }},
        {true, "split-bytes@connect=1",
         [](const Outcome& o) {
             for (const auto& [name, pieces] : o.pieces) {
                 EXPECT_EQ(pieces, std::vector<size_t>(o.answers.at(name).size(), 1)) << name;
             }
         }},
        {false, "wrong-echo@connect=1", [](const Outcome& o) { EXPECT_EQ(o.Answer("Q").substr(0, 4), "c101"); }},
        {false, "length-8000@cmd=K", [](const Outcome& o) { EXPECT_EQ(o.Answer("K").substr(0, 8), "30008046"); }},
        {false, "length-zero@cmd=P", is("P", "0000")},
        {false, "result=05@cmd=I", is("I", "050000")},
        {false, "status=EE@cmd=D", is("D", "ee")},
        {false, "lone-83@cmd=E", is("E", "83")},
        {false, "trailing-junk@cmd=S", is("S", "80deadbeef")},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.spec);
        c.check(RunSession(c.gen2, {c.spec}));
    }
}

TEST(Faults, GreetingFaultsAtTheirConnection)
{
    struct GreetingCase {
        std::string spec;
        std::string greeting;
        Action action;
    };
    const GreetingCase cases[] = {
        {"greeting-busy", "-NG \r\n", Action::kClose},      {"greeting-split@connect=1", "+OK \r\n", Action::kNone},
        {"greeting-unmarked", "READY\r\n", Action::kNone},  {"greeting-silent", "", Action::kNone},
        {"rst-after-greeting", "+OK \r\n", Action::kReset},
    };
    for (const GreetingCase& c : cases) {
        SCOPED_TRACE(c.spec);
        Outcome const o = RunSession(true, {c.spec});
        EXPECT_EQ(std::string(o.greeting.begin(), o.greeting.end()), c.greeting);
        EXPECT_EQ(o.action, c.action);
        if (c.action == Action::kNone) {
            EXPECT_EQ(o.Answer("Q"), "c1000210");  // the device still answers
        }
    }
    EXPECT_EQ(RunSession(true, {"greeting-split"}).greetingPieces, (std::vector<size_t>{2, 4}));

    // Once at the second connection; always from the second on.
    for (bool always : {false, true}) {
        DeviceModel model(scanner_sim::MakeModelOptions(Small(true)));
        std::string error;
        ASSERT_TRUE(model.Inject(std::string("greeting-busy") + (always ? "=always" : "") + "@connect=2", error));
        std::vector<std::string> greetings;
        for (int i = 0; i < 4; ++i) {
            simtest::Direct d(model);
            d.Connect();
            Bytes const g = d.Pull();
            greetings.emplace_back(g.begin(), g.end());
            model.Disconnect(d.Now());
        }
        EXPECT_EQ(greetings, (std::vector<std::string>{"+OK \r\n", "-NG \r\n", always ? "-NG \r\n" : "+OK \r\n",
                                                       always ? "-NG \r\n" : "+OK \r\n"}));
        EXPECT_EQ(model.Connect(scanner_sim::Transport::kUsb, scanner_sim::Clock::now()), !always);
    }
    // Refused: nothing listens for the time given, from before the connection.
    DeviceModel model(scanner_sim::MakeModelOptions(Small(true)));
    std::string error;
    ASSERT_TRUE(model.Inject("refuse=2000@connect=1", error));
    scanner_sim::TimePoint const now = scanner_sim::Clock::now();
    scanner_sim::TimePoint const until = model.ListenBlockedUntil(now);
    EXPECT_GE(until, now + std::chrono::milliseconds(19));
    EXPECT_LE(until, now + std::chrono::milliseconds(21));
    EXPECT_EQ(model.ListenBlockedUntil(until), scanner_sim::TimePoint::min());
}

TEST(Faults, AbortEndsAtABlockBoundaryWithItsReply)
{
    struct AbortCase {
        bool gen2;
        std::vector<std::string> faults;
        Bytes abort;
        std::string tail;  // what follows the last whole unit
    };
    const AbortCase cases[] = {
        {true, {}, Frame("ABT"), "0040"},
        {true, {"abort-reply=81@cmd=ABT"}, Frame("ABT", {"EJCT=NO"}), "8100"},
        {true, {"abort-reply=none@cmd=ABT"}, Frame("ABT"), ""},
        {true, {}, Frame("ABT", {"ATCN=OFF"}), "0042"},
        {false, {}, Frame("R"), "83"},
        {false, {"abort-reply=86@cmd=R"}, Frame("R"), "86"},
        {false, {"abort-reply=none@cmd=R"}, Frame("R"), ""},
    };
    for (const AbortCase& c : cases) {
        SCOPED_TRACE(Hex(c.abort));
        DeviceModel model(scanner_sim::MakeModelOptions(Small(c.gen2)));
        model.LoadSheets(2);
        std::string error;
        for (const std::string& f : c.faults) {
            ASSERT_TRUE(model.Inject(f, error)) << error;
        }
        simtest::Direct d(model);
        d.Connect();
        d.Pull();
        if (!c.gen2) {
            d.Exchange(Frame("S", {"ADF"}));
        }
        d.Send(c.gen2 ? simtest::XscFrame(simtest::Gen2Scan{}) : simtest::XFrame(simtest::Gen1Scan{}));
        Bytes stream = d.Pull(10001);  // stops inside a unit
        d.Send(c.abort);
        Bytes const rest = d.Pull();
        stream.insert(stream.end(), rest.begin(), rest.end());
        auto units = Split(c.gen2, stream);
        ASSERT_GE(units.size(), 2u);
        size_t const tailUnits = c.tail.empty() ? 0 : 1;
        const Unit& lastData = units[units.size() - 1 - tailUnits];
        EXPECT_LT(lastData.offset, 10001u);
        EXPECT_GE(lastData.offset + lastData.size, 10001u);
        EXPECT_EQ(Hex(Bytes(stream.begin() + static_cast<long>(lastData.offset + lastData.size), stream.end())),
                  c.tail);
        // The scan is over: the next command is answered.
        EXPECT_EQ(Hex(d.Exchange(Frame("Q"))).substr(0, 4), "c100");
        EXPECT_EQ(model.GetCounters().violations, 0u);
    }
}

// A device that holds its stream until it is told to stop: nothing comes
// however long the host waits, and the stop's reply follows the stop at once.
TEST(Faults, StallUntilStopHoldsTheStreamUntilTheAbort)
{
    for (bool const gen2 : {true, false}) {
        SCOPED_TRACE(gen2 ? "generation 2" : "generation 1");
        DeviceModel model(scanner_sim::MakeModelOptions(Small(gen2)));
        model.LoadSheets(2);
        std::string error;
        ASSERT_TRUE(model.Inject("stall-until-stop@bytes=3000", error)) << error;
        simtest::Direct d(model);
        d.Connect();
        d.Pull();
        if (!gen2) {
            d.Exchange(Frame("S", {"ADF"}));
        }
        d.Send(gen2 ? simtest::XscFrame(simtest::Gen2Scan{}) : simtest::XFrame(simtest::Gen1Scan{}));
        Bytes const before = d.Pull();
        EXPECT_GE(before.size(), 3000u);
        EXPECT_TRUE(d.Pull().empty());
        d.Send(gen2 ? Frame("ABT") : Frame("R"));
        EXPECT_EQ(Hex(d.Pull()), gen2 ? "0040" : "83");
        EXPECT_EQ(model.GetCounters().violations, 0u);
    }
}

TEST(Faults, BadSpecsAreRefusedWithAReason)
{
    const std::pair<bool, const char*> bad[] = {
        {true, "no-such-fault"},
        {true, "jam@cmd=SSP"},
        {true, "result@cmd=XSC"},
        {true, "greeting-busy@cmd=Q"},
        {true, "result"},
        {true, "added-info-4"},
        {false, "tlv-no-end@cmd=K"},
        {false, "status-13"},
        {true, "tlv-trailing=4@cmd=GCT"},
        {true, "jam=9@page=1"},
        {true, "fail=70"},
        {true, "abort-reply@cmd=ABT"},
        {true, "jam@page=0"},
        {true, "jam@cmd=FOO"},
        {true, "snmp-silent@connect=1"},
        {true, "stall=x"},
        {true, "jam@bytes=-1"},
        {true, "split-bytes@cmd=Q:0"},
    };
    for (const auto& [gen2, spec] : bad) {
        DeviceModel model(scanner_sim::MakeModelOptions(Small(gen2)));
        std::string error;
        EXPECT_FALSE(model.Inject(spec, error)) << spec;
        EXPECT_FALSE(error.empty()) << spec;
    }
    // Every fault in the catalog reads back as it was written.
    for (const scanner_sim::FaultInfo& info : scanner_sim::FaultCatalog()) {
        scanner_sim::Fault f;
        std::string error;
        std::string spec = info.name;
        if (spec == "abort-reply") {
            spec += "=81";
        }
        if (info.answer || info.stream) {
            spec += info.stream ? "@page=2,line=7" : "@cmd=CKD:2";
        }
        ASSERT_TRUE(scanner_sim::ParseFault(spec, f, error)) << spec << ": " << error;
        scanner_sim::Fault again;
        ASSERT_TRUE(scanner_sim::ParseFault(f.Spec(), again, error)) << f.Spec() << ": " << error;
        EXPECT_EQ(again.Spec(), f.Spec());
    }
}

}  // namespace
