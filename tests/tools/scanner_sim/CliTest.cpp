// The scanner-sim program: it says where it listens, serves a scan with the
// sheets and faults of its command line, writes its transcript and dumps,
// ends on SIGTERM, and its exit status says whether the host committed
// protocol violations.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/scratch_dir/ScratchDir.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"

extern char** environ;

namespace {

using simtest::Frame;

// The program running with its standard output read line by line.
class Program {
public:
    explicit Program(std::vector<std::string> args)
    {
        args.insert(args.begin(), SCANNER_SIM_PATH);
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, SCANNER_SIM_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = fdopen(out[0], "r");
    }
    ~Program()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (out_ != nullptr) {
            std::fclose(out_);
        }
    }
    std::string Line()
    {
        char buffer[256];
        return out_ != nullptr && std::fgets(buffer, sizeof buffer, out_) != nullptr ? buffer : "";
    }
    // SIGTERM, then the exit status.
    int Stop()
    {
        kill(pid_, SIGTERM);
        return Wait();
    }
    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    std::FILE* out_ = nullptr;
};

bool Listening(const std::string& line, std::string& address, uint16_t& port)
{
    char host[64];
    unsigned p = 0;
    if (std::sscanf(line.c_str(), "listening on %63[0-9.]:%u", host, &p) != 2) {
        return false;
    }
    address = host;
    port = static_cast<uint16_t>(p);
    return true;
}

TEST(Cli, ServesAJobWritesItsRecordsAndEndsOnSigterm)
{
    ScratchDir dir;
    Program sim({"--profile", "gen2-adf", "--sheets", "2", "--set", "sheet=40x50", "--duplex", "--fault",
                 "jam@page=3,line=5", "--time-scale", "0.1", "--seed", "42", "--dump-dir", dir / "pages",
                 "--transcript", dir / "transcript.json", "--snmp-port", "0"});
    EXPECT_EQ(sim.Line(), "seed 42\n");
    std::string address;
    uint16_t port = 0;
    ASSERT_TRUE(Listening(sim.Line(), address, port));
    EXPECT_EQ(port, 54921);
    simtest::RawClient c;
    ASSERT_TRUE(c.Connect(address, port));
    EXPECT_EQ(simtest::Hex(c.Read(6, 3000)), "2b4f4b200d0a");
    // A read-ahead scan: the panel's settings, both sides (--duplex).
    c.Send(Frame("SSP", {"OS=LNX"}));
    EXPECT_EQ(c.Read(50, 3000).size(), 50u);
    c.Send(simtest::XscFrame(simtest::Gen2Scan{}));
    simtest::Bytes const stream = simtest::ReadScan(c, true);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(simtest::Hex(simtest::Bytes(stream.end() - 2, stream.end())), "9100");  // the jam
    c.Close();
    EXPECT_EQ(sim.Stop(), 0);
    // Pages 1 and 2 whole, page 3 up to the jam.
    for (const char* name : {"scan001-page001.pnm", "scan001-page002.pnm", "scan001-page003.pnm"}) {
        simtest::Pnm pnm;
        ASSERT_TRUE(simtest::ReadPnm(dir / ("pages/" + std::string(name)), pnm)) << name;
        EXPECT_EQ(pnm.kind, '6');
        EXPECT_EQ(pnm.height, std::string(name).find("003") != std::string::npos ? 5u : 196u);
    }
    std::string const transcript = ScratchDir::Read(dir / "transcript.json");
    EXPECT_NE(transcript.find("\"event\":\"frame\",\"connection\":1,\"command\":\"SSP\",\"keys\":{\"OS\":\"LNX\"}"),
              std::string::npos);
    EXPECT_NE(transcript.find("\"fault\":\"jam@page=3,line=5\""), std::string::npos);
    EXPECT_NE(transcript.find("\"seed\":42"), std::string::npos);
}

TEST(Cli, ViolationsMakeItFailAndBadArgumentsAreRefused)
{
    {
        Program sim({"--addr", "127.0.0.1", "--port", "0", "--snmp-port", "0"});
        EXPECT_EQ(sim.Line().rfind("seed ", 0), 0u);
        std::string address;
        uint16_t port = 0;
        ASSERT_TRUE(Listening(sim.Line(), address, port));
        simtest::RawClient c;
        ASSERT_TRUE(c.Connect(address, port));
        c.Read(6, 3000);
        c.Send(Frame("D", {"ADF"}));  // a generation-1 command
        c.Send(Frame("Q"));
        EXPECT_EQ(simtest::Hex(c.Read(4, 3000)), "c1000210");
        c.Close();
        EXPECT_EQ(sim.Stop(), 1);
    }
    const std::vector<std::vector<std::string>> usage = {
        {"--nonsense"}, {"--port", "70000"}, {"--sheets"}, {"--time-scale", "-1"}};
    for (const auto& args : usage) {
        EXPECT_EQ(Program(args).Wait(), 2) << args[0];
    }
    const std::vector<std::vector<std::string>> setup = {
        {"--profile", "gen9"}, {"--fault", "jam@cmd=SSP"}, {"--set", "mac=1"}, {"--sheet", "A0"}};
    for (const auto& args : setup) {
        EXPECT_EQ(Program(args).Wait(), 3) << args[1];
    }
    Program help({"--help"});
    std::string text;
    for (std::string line = help.Line(); !line.empty(); line = help.Line()) {
        text += line;
    }
    EXPECT_EQ(help.Wait(), 0);
    for (const scanner_sim::FaultInfo& f : scanner_sim::FaultCatalog()) {
        EXPECT_NE(text.find(std::string("  ") + f.name + " "), std::string::npos) << f.name;
    }
}

}  // namespace
