// The deliverable as the loader sees it: its soname, the libraries it
// needs (never the engine, which it loads itself) and exactly the SANE
// entry points in both spellings and TEMPLATE_DEVCAP as exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            text.append(buffer, n);
        }
        pclose(pipe);
    }
    return text;
}

std::string Library() { return std::string(getenv("VEXMOR_BUILD_DIR")) + "/lib/libsane-vordane5.so.1"; }

TEST(BackendLibrary, SonameAndNeededLibraries)
{
    std::string dynamic = Output("readelf -d '" + Library() + "'");
    ASSERT_FALSE(dynamic.empty());
    EXPECT_NE(std::string::npos, dynamic.find("Library soname: [libsane-vordane5.so.1]")) << dynamic;
    EXPECT_EQ(std::string::npos, dynamic.find("libvexmor")) << dynamic;
    EXPECT_NE(std::string::npos, dynamic.find("Shared library: [libusb-1.0.so.0]")) << dynamic;
    EXPECT_NE(std::string::npos, dynamic.find("Shared library: [libavahi-client.so.3]")) << dynamic;
    EXPECT_NE(std::string::npos, dynamic.find("SYMBOLIC")) << dynamic;
}

TEST(BackendLibrary, ExportsTheEntryPointsAndTheTemplateOnly)
{
    std::set<std::string> expected = {"TEMPLATE_DEVCAP"};
    for (const char* name : {"init", "exit", "get_devices", "open", "close", "get_option_descriptor", "control_option",
                             "get_parameters", "start", "read", "cancel", "set_io_mode", "get_select_fd"}) {
        expected.insert(std::string("sane_") + name);
        expected.insert(std::string("sane_vordane5_") + name);
    }
    ASSERT_EQ(27u, expected.size());
    std::istringstream lines(Output("nm -D --defined-only '" + Library() + "'"));
    std::set<std::string> exported;
    std::string address, type, name;
    while (lines >> address >> type >> name) {
        exported.insert(name);
    }
    EXPECT_EQ(expected, exported);
}

}  // namespace
