// Network scanners announced by mDNS, through a real avahi-daemon in the
// test's own network and mount namespaces: the maker's services on their
// own addresses are listed, a repeated address, an over-long model and
// another maker are not, Browse=0 browses nothing, at most eight join, and
// without a daemon sane_init does not wait.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/sane_frontend/FrontEnd.h"

namespace {

using sanetest::FrontEnd;
using sanetest::Result;
using sanetest::Service;

class Mdns : public testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!FrontEnd::Available(&why)) {
            GTEST_SKIP() << why;
        }
        for (const char* tool : {"/usr/sbin/avahi-daemon", "/usr/bin/avahi-publish", "/usr/bin/dbus-daemon"}) {
            if (access(tool, X_OK) != 0) {
                GTEST_SKIP() << "missing " << tool;
            }
        }
        f_.Models("[Support Model]\n0x0400,1,2,\"XY-100\"\n");
        f_.Registered("");
    }

    // The device lines of scanimage -L, sorted.
    std::vector<std::string> Listed()
    {
        Result r = f_.Run({"scanimage", "-L"}, 120);
        EXPECT_EQ(0, r.exitCode) << r.err;
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < r.out.size()) {
            size_t end = r.out.find('\n', start);
            std::string line = r.out.substr(start, end - start);
            if (line.rfind("device `", 0) == 0) {
                // The order of the names follows the order the daemon resolved in.
                lines.push_back(line.substr(line.find("' is a ") + 7));
            }
            start = end == std::string::npos ? r.out.size() : end + 1;
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    FrontEnd f_;
};

Service Scanner(const std::string& name, const std::string& host, const std::string& address,
                const std::vector<std::string>& txt)
{
    return Service{name, host + ".local", address, txt};
}

TEST_F(Mdns, TheMakersServicesOnTheirOwnAddressesAreListed)
{
    f_.Settings("Browse=1\n");
    f_.Services({
        Scanner("Scanner-A", "scan-a", "127.0.0.2", {"mfg=Vordane", "mdl=XY-100 series"}),
        Scanner("Scanner-B", "scan-b", "127.0.0.3", {"txtvers=1", "mfg=VORDANE", "mdl=Vordane_XY-100"}),
        Scanner("Scanner-C", "scan-c", "127.0.0.4", {"mfg=Vordane", "mdl=" + std::string(70, 'X')}),
        Scanner("Scanner-D", "scan-d", "127.0.0.5", {"mfg=Other", "mdl=XY-100"}),
    });
    EXPECT_EQ((std::vector<std::string>{"Vordane Scanner-A XY-100", "Vordane Scanner-B XY-100"}), Listed());

    // A second service on an address already listed is dropped.
    f_.Services({
        Scanner("Scanner-A", "scan-a", "127.0.0.2", {"mfg=Vordane", "mdl=XY-100 series"}),
        Scanner("Scanner-E", "scan-e", "127.0.0.2", {"mfg=Vordane", "mdl=XY-100"}),
    });
    std::vector<std::string> listed = Listed();
    ASSERT_EQ(1u, listed.size());
    EXPECT_TRUE(listed[0] == "Vordane Scanner-A XY-100" || listed[0] == "Vordane Scanner-E XY-100") << listed[0];

    f_.Settings("Browse=0\n");
    EXPECT_TRUE(Listed().empty());
}

TEST_F(Mdns, AtMostEightServicesJoin)
{
    f_.Settings("Browse=1\nname_type=1\n");
    std::vector<Service> services;
    for (int i = 0; i < 10; ++i) {
        services.push_back(Scanner("Scanner-" + std::to_string(i), "scan-" + std::to_string(i),
                                   "127.0.1." + std::to_string(i + 1), {"mfg=Vordane", "mdl=XY-100"}));
    }
    f_.Services(services);
    EXPECT_EQ(std::vector<std::string>(8, "Vordane XY-100 NET scanner"), Listed());
}

TEST_F(Mdns, WithoutADaemonInitDoesNotWait)
{
    f_.Settings("Browse=1\n");
    f_.Registered("DEVICE=office , XY-100 , 1 , IP-ADDRESS=127.0.0.2\n");
    f_.PrivateNetwork();
    Result r = f_.Run({FrontEnd::ProbeProgram(), FrontEnd::BackendLibrary(), "init", "devices", "exit"});
    EXPECT_EQ(0, r.exitCode) << r.out << r.err;
    size_t at = r.out.find("init GOOD 16777217 ms=");
    ASSERT_NE(std::string::npos, at) << r.out;
    EXPECT_LT(std::stoi(r.out.substr(at + 22)), 1000) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("devices GOOD 1 ")) << r.out;
}

}  // namespace
