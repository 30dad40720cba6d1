// Both tools' terminal flows against a private avahi-daemon (root): the
// command an announced device is registered with, a TXT model that would
// break a shell, a register/list/remove round trip, the device limit, and
// the terminal dialogue under tmux, byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ScratchDir.h"
#include "tests/netsetup/ToolFolder.h"
#include "tests/netsetup/XSession.h"
#include "tests/support/private_mdns/PrivateMdns.h"

namespace {

using netsetuptest::Background;
using netsetuptest::Quote;
using netsetuptest::RunProgram;
using netsetuptest::ToolFolder;
using netsetuptest::ToolRun;
using netsetuptest::WindowGeometry;
using netsetuptest::XSession;

const char kTabModel[] = "XY-100\t$(touch${IFS}FILE)";

// Three services the tools list, one of another maker and one of a model
// the tools only possibly support.
const std::vector<mdnstest::Service>& Services()
{
    static const std::vector<mdnstest::Service> services = {
        {"Vordane_XY-100_series_[a1b2c3]", "scan-a.local", "192.0.2.7", {"mfg=Vordane", "mdl=XY-100"}},
        {"Vordane XY-100 series [d4e5f6]", "scan-b.local", "192.0.2.8", {"mfg=vordane", "mdl=Vordane XY-100 series"}},
        {"Tab scanner", "scan-c.local", "192.0.2.9", {"mfg=Vordane", std::string("mdl=") + kTabModel}},
        {"Foreign", "scan-d.local", "192.0.2.10", {"mfg=Other", "mdl=XY-100"}},
        {"Unknown", "scan-e.local", "192.0.2.11", {"mfg=Vordane", "mdl=QQ-1"}},
    };
    return services;
}

// One row of the terminal tool's table as printed.
struct Row {
    int index = -1;
    std::string mark, model, address, name;
};

std::string Format(int index, const Row& row)
{
    char line[512];
    if (index < 0) {
        std::snprintf(line, sizeof line, "%s %-13s[%15s]  %s", row.mark.c_str(), row.model.c_str(), row.address.c_str(),
                      row.name.c_str());
    } else {
        std::snprintf(line, sizeof line, "%3d: %s %-13s[%15s]  %s", index, row.mark.c_str(), row.model.c_str(),
                      row.address.c_str(), row.name.c_str());
    }
    return line;
}

// The rows of a listing; each must read back byte for byte in its format.
std::vector<Row> Rows(const std::string& text, bool numbered)
{
    static const std::regex numberedRow(R"(^ *(\d+): ([* ]) (.*?) *\[ *([^\]]*)\]  (.*)$)");
    static const std::regex plainRow(R"(^([* ]) (.*?) *\[ *([^\]]*)\]  (.*)$)");
    std::vector<Row> rows;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        std::smatch m;
        Row row;
        if (numbered && std::regex_match(line, m, numberedRow)) {
            row = {std::stoi(m[1]), m[2], m[3], m[4], m[5]};
        } else if (!numbered && std::regex_match(line, m, plainRow)) {
            row = {-1, m[1], m[2], m[3], m[4]};
        } else {
            continue;
        }
        EXPECT_EQ(line, Format(row.index, row));
        rows.push_back(row);
    }
    return rows;
}

const Row* Find(const std::vector<Row>& rows, const std::string& name)
{
    for (const Row& row : rows) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

class MdnsTools : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!mdnstest::PrivateMdns::Available(&why_)) {
            return;
        }
        mdns_ = new mdnstest::PrivateMdns;
        if (!mdns_->Start(&why_) || !mdns_->Publish(Services(), &why_)) {
            failed_ = true;
        }
    }
    static void TearDownTestSuite()
    {
        delete mdns_;
        mdns_ = nullptr;
    }
    void SetUp() override
    {
        if (mdns_ == nullptr) {
            GTEST_SKIP() << why_;
        }
        ASSERT_FALSE(failed_) << why_;
        tools_.Bus(mdns_->BusAddress());
    }

    // The listing of --query-network-scanner and more arguments.
    std::vector<Row> Query(const std::vector<std::string>& more = {})
    {
        std::vector<std::string> args = {"--query-network-scanner"};
        args.insert(args.end(), more.begin(), more.end());
        ToolRun run = tools_.Tool("netsetup-cli", args);
        EXPECT_EQ(0, run.exitCode) << run.err;
        return Rows(run.out, false);
    }
    // Answers the dialogue with the row of the device named name.
    ToolRun Choose(const std::string& prefix, const std::string& name, const std::vector<std::string>& args = {})
    {
        return tools_.Dialog(args, [&](const std::string& shown) {
            const std::vector<Row> rows = Rows(shown, true);
            const Row* row = Find(rows, name);
            EXPECT_NE(nullptr, row) << name << " not in\n" << shown;
            return row != nullptr ? prefix + std::to_string(row->index) + "\n" : std::string();
        });
    }

    static mdnstest::PrivateMdns* mdns_;
    static std::string why_;
    static bool failed_;
    ToolFolder tools_;
};

mdnstest::PrivateMdns* MdnsTools::mdns_ = nullptr;
std::string MdnsTools::why_;
bool MdnsTools::failed_ = false;

TEST_F(MdnsTools, AnAnnouncedDeviceIsRegisteredWithExactlyTheseArguments)
{
    std::vector<Row> rows = Query();
    std::set<std::string> names;
    for (const Row& row : rows) {
        names.insert(row.name);
        EXPECT_EQ(" ", row.mark);
        EXPECT_EQ(0u, row.model.find("XY-100"));
    }
    EXPECT_EQ(
        (std::set<std::string>{"Vordane_XY-100_series_[a1b2c3]", "Vordane_XY-100_series_[d4e5f6]", "Tab_scanner"}),
        names);

    ToolRun run = Choose("", "Vordane_XY-100_series_[a1b2c3]", {"--debuglog=stderr"});
    EXPECT_EQ(0, run.exitCode) << run.err;
    const std::string program = tools_.Path("tolmexconfig");
    EXPECT_EQ("sudo\n" + program + "\n-a\nname=XY-100_a1b2c3\nmodel=XY-100\nip=192.0.2.7\n", tools_.SudoLog());
    EXPECT_NE(std::string::npos,
              run.err.find("):sudo " + program + " -a name=XY-100_a1b2c3 model=XY-100 ip=192.0.2.7\n"))
        << run.err;
    // The browse's own lines: indent 0, the maker's other model only possibly supported.
    EXPECT_NE(std::string::npos, run.err.find("is_supported_scanner      Maybe suport : QQ-1\n")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("avahi(")) << run.err;
    EXPECT_EQ(std::string::npos, run.err.find(" avahi(")) << run.err;
}

TEST_F(MdnsTools, ATxtModelThatWouldBreakAShellReachesTheCompanionAsOneArgument)
{
    ToolRun run = Choose("", "Tab_scanner");
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(tools_.Path("tolmexconfig") + "\n-a\nname=Tab\nmodel=" + kTabModel + "\nip=192.0.2.9\n",
              tools_.CompanionLog());
    EXPECT_FALSE(ScratchDir::Exists(tools_.Path("FILE")));
    EXPECT_FALSE(ScratchDir::Exists("FILE"));
}

TEST_F(MdnsTools, RegisterListRemoveRoundTrip)
{
    ASSERT_EQ(0, Choose("", "Vordane_XY-100_series_[a1b2c3]").exitCode);
    EXPECT_EQ("DEVICE=XY-100_a1b2c3 , XY-100 , NET , IP-ADDRESS=192.0.2.7 \n", tools_.Registration());
    std::vector<Row> rows = Query();
    const Row* registered = Find(rows, "XY-100_a1b2c3");
    ASSERT_NE(nullptr, registered);
    EXPECT_EQ("*", registered->mark);
    EXPECT_EQ("192.0.2.7", registered->address);
    EXPECT_EQ(nullptr, Find(rows, "Vordane_XY-100_series_[a1b2c3]"));  // its address is taken
    EXPECT_EQ(3u, rows.size());

    ASSERT_EQ(0, Choose("r", "XY-100_a1b2c3").exitCode);
    EXPECT_EQ("", tools_.Registration());
    rows = Query();
    EXPECT_EQ(nullptr, Find(rows, "XY-100_a1b2c3"));
    ASSERT_NE(nullptr, Find(rows, "Vordane_XY-100_series_[a1b2c3]"));
    EXPECT_EQ(" ", Find(rows, "Vordane_XY-100_series_[a1b2c3]")->mark);
}

TEST_F(MdnsTools, TheLimitCountsRegisteredDevicesFirst)
{
    tools_.Registration(
        "DEVICE=one , XY-100 , NET , IP-ADDRESS=192.0.2.50 \n"
        "DEVICE=two , XY-100 , NET , IP-ADDRESS=192.0.2.51 \n");
    std::vector<Row> limited = Query({"--max=3"});
    ASSERT_EQ(3u, limited.size());
    EXPECT_EQ("*", limited[0].mark);
    EXPECT_EQ("*", limited[1].mark);
    EXPECT_EQ(" ", limited[2].mark);
    EXPECT_EQ(5u, Query({"--max=0"}).size());
    EXPECT_EQ(2u, Query({"--max=2"}).size());
}

// A tmux server of the test's own with one 120 x 40 session; each on a
// socket of its own, so a server still ending never meets the next one.
class Tmux {
public:
    Tmux(const ToolFolder& tools, const std::vector<std::string>& args)
        : tools_(tools), socket_(tools.Path("tmux" + std::to_string(++servers_) + ".socket"))
    {
        std::string command = "cd " + Quote(tools.Dir().Path()) + " && env";
        for (const std::string& e : tools.Environment({"TERM=xterm"})) {
            if (e.rfind("PATH=", 0) == 0 || e.rfind("DBUS_SYSTEM_BUS_ADDRESS=", 0) == 0 || e.rfind("TERM=", 0) == 0) {
                command += " " + Quote(e);
            }
        }
        command += " " + Quote(tools.Path("netsetup-cli"));
        for (const std::string& arg : args) {
            command += " " + Quote(arg);
        }
        command += "; echo \"exit=$?\"; exec sleep 600";
        started_ = Do({"new-session", "-d", "-x", "120", "-y", "40", "-s", "t", command}).exitCode == 0;
    }
    ~Tmux() { Do({"kill-server"}); }

    bool Started() const { return started_; }
    ToolRun Do(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {"tmux", "-S", socket_});
        std::vector<std::string> env = tools_.Environment({"TERM=xterm"});
        return RunProgram(args, &env, "", tools_.Dir().Path(), 10);
    }
    std::string Screen() const { return Do({"capture-pane", "-p", "-t", "t"}).out; }
    // The screen once it shows text, or after 20 s.
    std::string WaitFor(const std::string& text) const
    {
        std::string screen;
        for (int i = 0; i < 1000; ++i) {
            screen = Screen();
            if (screen.find(text) != std::string::npos) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return screen;
    }
    void Type(const std::string& keys) const
    {
        Do({"send-keys", "-t", "t", "-l", keys});
        Do({"send-keys", "-t", "t", "Enter"});
    }

private:
    static inline int servers_ = 0;
    const ToolFolder& tools_;
    std::string socket_;
    bool started_ = false;
};

TEST_F(MdnsTools, TheTerminalDialogueUnderTmux)
{
    tools_.Registration(
        "DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.50 \n"
        "DEVICE=lab , XY-100 , NET , IP-ADDRESS=192.0.2.51 \n");
    {
        Tmux tmux(tools_, {});
        ASSERT_TRUE(tmux.Started());
        std::string screen = tmux.WaitFor("   ->");
        std::vector<Row> rows = Rows(screen, true);
        ASSERT_EQ(5u, rows.size()) << screen;
        EXPECT_EQ(0u, screen.find("  0: * XY-100       [     192.0.2.50]  office\n"
                                  "  1: * XY-100       [     192.0.2.51]  lab\n"))
            << screen;
        EXPECT_NE(std::string::npos, screen.find("\n   ->")) << screen;
        tmux.Type("r1");
        screen = tmux.WaitFor("exit=");
        EXPECT_NE(std::string::npos, screen.find("exit=0")) << screen;
    }
    EXPECT_EQ("DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.50 \n", tools_.Registration());
    EXPECT_EQ("sudo\n" + tools_.Path("tolmexconfig") + "\n-r\nlab\n", tools_.SudoLog());

    tools_.Registration("");
    tools_.ClearLogs();
    Tmux tmux(tools_, {});
    ASSERT_TRUE(tmux.Started());
    std::vector<Row> rows = Rows(tmux.WaitFor("   ->"), true);
    ASSERT_EQ(3u, rows.size());
    const Row& second = rows[1];
    ASSERT_EQ(1, second.index);
    EXPECT_EQ(" ", second.mark);
    tmux.Type("1");
    EXPECT_NE(std::string::npos, tmux.WaitFor("exit=").find("exit=0"));
    std::string cfg = tools_.Registration();
    EXPECT_NE(std::string::npos, cfg.find(" , NET , IP-ADDRESS=" + second.address + " \n")) << cfg;
    EXPECT_NE(std::string::npos, tools_.SudoLog().find("\n-a\n")) << tools_.SudoLog();
}

TEST_F(MdnsTools, TheWindowTicksRegisteredDevicesAndAddsOneToggledByKeyboard)
{
    std::string why;
    if (!XSession::Available(&why)) {
        GTEST_SKIP() << why;
    }
    tools_.Registration(
        "DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.50 \n"
        "DEVICE=lab , XY-100 , NET , IP-ADDRESS=192.0.2.51 \n");
    XSession x(tools_.Dir().Path());
    ASSERT_TRUE(x.Started());
    Background tool({tools_.Path("netsetup-gtk")}, x.With(tools_.Environment()), tools_.Path("gtk"));
    unsigned long window = x.FindWindow("tolmexconfig");
    ASSERT_NE(0u, window) << tool.Err();
    WindowGeometry geometry = x.Geometry(window);
    // Rows 0 and 1 are registered, 2 to 4 found by mDNS only.
    EXPECT_EQ("0111", x.BoxesDifferFrom(geometry, 0, {1, 2, 3, 4}, "0111"));
    EXPECT_EQ("000", x.BoxesDifferFrom(geometry, 2, {3, 4, 4}, "000"));
    ASSERT_TRUE(x.Keys(window, {"Tab", "Tab", "space"}));
    EXPECT_EQ("0011", x.BoxesDifferFrom(geometry, 0, {1, 2, 3, 4}, "0011"));
    ASSERT_TRUE(x.ClickButton(geometry, true));
    EXPECT_EQ(0, tool.Wait(10)) << tool.Err();
    // One registration, of the device shown third.
    const std::string sudo = tools_.SudoLog();
    EXPECT_EQ(0u, sudo.find("sudo\n" + tools_.Path("tolmexconfig") + "\n-a\nname=")) << sudo;
    EXPECT_EQ(sudo.rfind("sudo\n"), 0u) << sudo;
    std::string cfg = tools_.Registration();
    size_t lines = 0;
    for (char c : cfg) {
        lines += c == '\n';
    }
    EXPECT_EQ(3u, lines) << cfg;
    EXPECT_TRUE(cfg.find("IP-ADDRESS=192.0.2.7 ") != std::string::npos ||
                cfg.find("IP-ADDRESS=192.0.2.8 ") != std::string::npos ||
                cfg.find("IP-ADDRESS=192.0.2.9 ") != std::string::npos)
        << cfg;
}

}  // namespace
