// The setup tools' core in the test's own process: companion-file search,
// model names (scrambled model files included), the support rule, the
// device table, name cleaning, the command line and the terminal's choice,
// the apply step through the stand-in sudo and companion, and the log.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "backend_source/AvahiClientCore.h"
#include "backend_source/DebugLog.h"
#include "netsetup/Apply.h"
#include "netsetup/EnumDev.h"
#include "netsetup/FrontEnd.h"
#include "netsetup/IniFile.h"
#include "tests/netsetup/ToolFolder.h"
#include "tests/support/model_lines/ScrambleModelLine.h"

namespace {

using namespace netsetup;

void Touch(const ScratchDir& dir, const std::string& name) { dir.Write(name, ""); }

TEST(CompanionFiles, EachKindTakesTheNameItsRuleAllows)
{
    struct Case {
        std::vector<std::string> files;
        std::vector<std::string> dirs;
        std::vector<std::string> links;  // links to a folder
        const char* modelList;
        const char* program;
        const char* registration;
        const char* modelDir;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {{"tolmexconfig", "tolmexconfig.bak", "tolmex_config", "tolmexmodels.ini", "TolmexNetDevice.CFG",
          "TOLMEXNETDEVICE.cfg"}, {"models"}, {}, "tolmexmodels.ini", "tolmexconfig", "TOLMEXNETDEVICE.cfg", "models"},
        {{"kavrunconfig2", "tolmexconfig-old", "kavrun.ini.bak", "Kavrun.ini", "tolmexnetdevice.cfg.old"},
         {"Models-x"}, {}, "", "kavrunconfig2", "", "Models-x"},
        {{"tolmexconfigX", "Tolmexlist.ini", "tolmexnetdevice2.cfg", "models"}, {}, {"models2"},
         "Tolmexlist.ini", "tolmexconfigX", "tolmexnetdevice2.cfg", ""},  // neither a file nor a link is the model folder
    };
    // clang-format on
    for (const Case& c : cases) {
        ScratchDir dir;
        ScratchDir target;
        for (const std::string& f : c.files) {
            Touch(dir, f);
        }
        for (const std::string& d : c.dirs) {
            ASSERT_EQ(0, mkdir((dir / d).c_str(), 0755));
        }
        for (const std::string& l : c.links) {
            ASSERT_EQ(0, symlink(target.Path().c_str(), (dir / l).c_str()));
        }
        bool complete = locate_companion_files_in(dir.Path().c_str());
        const CompanionFiles& found = companion_files();
        auto expect = [&dir](const char* name) { return name[0] != '\0' ? dir / name : std::string(); };
        SCOPED_TRACE(c.program);
        EXPECT_EQ(dir.Path() + "/", found.folder);
        EXPECT_EQ(expect(c.modelList), found.modelList);
        EXPECT_EQ(expect(c.program), found.program);
        EXPECT_EQ(expect(c.registration), found.registration);
        EXPECT_EQ(expect(c.modelDir), found.modelDir);
        EXPECT_EQ(c.modelList[0] != '\0' && c.registration[0] != '\0' && c.modelDir[0] != '\0', complete);
    }
}

TEST(CompanionFiles, WithoutACompanionProgramEveryPathIsEmpty)
{
    ScratchDir dir;
    for (const char* name : {"tolmexmodels.ini", "tolmexnetdevice.cfg", "tolmex_config", "tolmexconfig.sh"}) {
        Touch(dir, name);
    }
    ASSERT_EQ(0, mkdir((dir / "models").c_str(), 0755));
    EXPECT_FALSE(locate_companion_files_in(dir.Path().c_str()));
    const CompanionFiles& found = companion_files();
    EXPECT_STREQ("", found.program);
    EXPECT_STREQ("", found.modelList);
    EXPECT_STREQ("", found.registration);
    EXPECT_STREQ("", found.modelDir);
}

TEST(CompanionFiles, APathOf512BytesOrMoreIsSkippedNeverCut)
{
    // A folder deep enough that a companion's path reaches the limit.
    ScratchDir dir;
    std::string folder = dir.Path();
    while (folder.size() < 300) {
        folder += "/" + std::string(60, 'd');
        ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    }
    Touch(dir, folder.substr(dir.Path().size() + 1) + "/tolmexconfig");
    const std::string prefix = folder + "/tolmexnetdevice";
    // folder + '/' + name with 511 characters fits its 512 bytes; 512 do not.
    for (size_t total : {511u, 512u}) {
        std::string name = "tolmexnetdevice" + std::string(total - prefix.size() - 4, 'n') + ".cfg";
        std::string path = folder + "/" + name;
        ASSERT_EQ(total, path.size());
        ASSERT_EQ(0, std::system(("touch " + netsetuptest::Quote(path)).c_str()));
        locate_companion_files_in(folder.c_str());
        EXPECT_EQ(total < kCompanionPathSize ? path : "", std::string(companion_files().registration)) << total;
        std::remove(path.c_str());
    }
    EXPECT_EQ(folder + "/tolmexconfig", companion_files().program);
}

TEST(CompanionFiles, TheProgramsFolderComesFromProcSelfExe)
{
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    self[length] = '\0';
    *(std::strrchr(self, '/') + 1) = '\0';
    locate_companion_files();
    EXPECT_STREQ(self, companion_files().folder);
}

TEST(ModelNames, TheNameOfAModelFileLine)
{
    struct Case {
        std::string line;
        bool found;
        std::string name;
    };
    const std::string longName(300, 'L');
    // clang-format off
    const std::vector<Case> cases = {
        {"0x1234,a,b,\"XY-100\",x\r\n", true, "XY-100"},
        {"1,2,3,XY-200,5", true, "XY-200"},
        {"1,2,3,\"XY 300\"rest,5", true, "XY 300"},  // cut at the closing quote
        {"1,2,3,XY-400\"x", true, "XY-400"},
        {"XY-500 series\n", true, "XY-500 series"},  // no comma: the whole line
        {"1,2", false, ""},
        {"1,2,3", false, ""},                        // nothing after the third comma
        {"1,2,3,\"\"", false, ""},
        {"\r\n", false, ""},
        {"", false, ""},
        {"1,2,3," + longName, true, std::string(255, 'L')},
        {longName, true, std::string(255, 'L')},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        char name[kModelNameChars + 1];
        EXPECT_EQ(c.found, model_name_of_line(c.line.c_str(), name, sizeof name));
        EXPECT_EQ(c.name, name);
    }
    char small[4];
    EXPECT_TRUE(model_name_of_line("1,2,3,XY-600", small, sizeof small));
    EXPECT_STREQ("XY-", small);
}

std::string Scrambled(const std::string& plain, char k1, char k2)
{
    std::string line;
    EXPECT_TRUE(Scramble(plain, k1, k2, &line)) << plain;
    return line;
}

TEST(ModelNames, ScrambledModelFilesThenTheToolsOwnList)
{
    ScratchDir dir;
    ASSERT_EQ(0, mkdir((dir / "models").c_str(), 0755));
    // A driver model file with every line scrambled under other keys.
    dir.Write("models/driver.ini", Scrambled("[Support Model]", 'a', 'b') + "\n" +
                                       Scrambled("# 0x1,c,d,\"XY-COMMENT\"", 'c', 'd') + "\n" +
                                       Scrambled("0x1,c,d,\"XY-100\",e", 'e', 'f') + "\r\n" + "0x2,c,d,XY-200\n" +
                                       Scrambled("[Other]", 'g', 'h') + "\n" + "0x3,c,d,XY-AFTER\n");
    dir.Write("models/plain.txt", "[Support Model]\nXY-TXT\n");
    dir.Write("models/.hidden.ini", "[Support Model]\nXY-HIDDEN\n");
    dir.Write("models/other.ini", "[Other Models]\nXY-OTHER\n");
    dir.Write("models/ini", "[Support Model]\nXY-SHORT\n");
    ASSERT_EQ(0, mkdir((dir / "models/sub.ini").c_str(), 0755));
    // The tools' own list: plain, '#' lines are names too.
    dir.Write("tolmexmodels.ini", "[Support Model]\n#XY-HASH\nXY-300\n[End]\nXY-LATE\n");
    ModelNameList names;
    read_support_model_files_from((dir / "models").c_str(), (dir / "tolmexmodels.ini").c_str(), names);
    std::vector<std::string> got;
    for (size_t i = 0; i < names.Count(); ++i) {
        got.push_back(names.Name(i));
    }
    EXPECT_EQ((std::vector<std::string>{"XY-100", "XY-200", "#XY-HASH", "XY-300"}), got);

    // A list whose first line is not the section reads nothing.
    dir.Write("bad.ini", "XY-100\n[Support Model]\nXY-200\n");
    ModelNameList none;
    read_support_model_files_from("", (dir / "bad.ini").c_str(), none);
    EXPECT_EQ(0u, none.Count());
}

ModelNameList Names(const std::vector<std::string>& list)
{
    ModelNameList names;
    for (const std::string& name : list) {
        names.Add(name.c_str());
    }
    return names;
}

TEST(SupportRule, ListedNamesTheBlacklistAndTheWildcard)
{
    const char* prefixes[] = {"AB-", "CD-"};
    const char* models[] = {"EF-1", "EF-2", "EF-3", "EF-4", "EF-5", "EF-6", "EF-7", "EF-8"};
    set_blacklist(prefixes, models);
    const ModelNameList list = Names({"XY-100", "*"});
    const ModelNameList wildcardOnly = Names({"*"});
    const ModelNameList empty;
    struct Case {
        const char* model;
        const ModelNameList* names;
        int result;
    };
    const std::vector<Case> cases = {
        {"XY-100", &list, kSupported},
        {"vordane XY-100", &list, kSupported},
        {"VORDANE XY-100\tseries", &list, kSupported},
        {"XY-100 series", &list, kSupported},
        {"XY-100W", &list, kPossiblySupported},  // another model, admitted by the list's real name
        {"ab-900", &list, kNotSupported},        // a blacklisted family, any case
        {"ef-8", &list, kNotSupported},          // a blacklisted model
        {"EF-80", &list, kNotSupported},         // compared over the blacklisted name's length
        {"XY-100W", &wildcardOnly, kNotSupported},
        {"XY-100", &empty, kNotSupported},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, is_supported_scanner(c.model, *c.names)) << c.model;
    }
    set_blacklist(nullptr, nullptr);
    EXPECT_EQ(kPossiblySupported, is_supported_scanner("AB-900", list));
}

TEST(DeviceTable, AddingRefusesRepeatedAddressesAndAFullTable)
{
    clear_net_devices();
    EXPECT_EQ(1, add_net_device("my scanner one", "XY-100", "192.0.2.1", kRegistered, kMaxNetDevices));
    EXPECT_EQ(-1, add_net_device("other", "XY-100", "192.0.2.1", kFoundByMdns, kMaxNetDevices));
    EXPECT_STREQ("my_scanner_one", get_net_device(0)->name);
    EXPECT_STREQ("Vordane", get_net_device(0)->manufacturer);
    // Texts are cut to their fields.
    const std::string longText(300, 'x');
    EXPECT_EQ(2, add_net_device(longText.c_str(), longText.c_str(), ("10." + longText).c_str(), 1, kMaxNetDevices));
    EXPECT_EQ(127u, std::strlen(get_net_device(1)->name));
    EXPECT_EQ(63u, std::strlen(get_net_device(1)->model));
    EXPECT_EQ(31u, std::strlen(get_net_device(1)->address));
    EXPECT_EQ(0, add_net_device("third", "XY-100", "192.0.2.3", kFoundByMdns, 2));
    for (int i = 2; i < kMaxNetDevices; ++i) {
        ASSERT_EQ(i + 1, add_net_device("d", "m", ("192.0.2." + std::to_string(100 + i)).c_str(), 1, 1000));
    }
    EXPECT_EQ(0, add_net_device("d", "m", "198.51.100.1", 1, 1000));  // 64 at most
    EXPECT_EQ(nullptr, get_net_device(kMaxNetDevices));
    // Registered names shorter than 64 characters.
    EXPECT_EQ(0, set_registered_name(0, std::string(63, 'r').c_str()));
    EXPECT_EQ(-1, set_registered_name(0, std::string(64, 'r').c_str()));
    EXPECT_EQ(-1, set_registered_name(kMaxNetDevices, "r"));
    EXPECT_EQ(std::string(63, 'r'), get_registered_name(0));
    clear_net_devices();
}

TEST(DeviceTable, RegisteredDevicesByTheSupportRule)
{
    ScratchDir dir;
    std::string cfg =
        "DEVICE=office , XY-100 , NET , IP-ADDRESS=192.0.2.1 \n"
        "DEVICE=lab,XY-900,NET,IP-ADDRESS=192.0.2.2\n"
        "DEVICE=\"quoted\" , \"XY-100\" , NET , NODENAME=\"host.lan\" , FLAG=1\n"
        "DEVICE=copy , XY-100 , NET , IP-ADDRESS=192.0.2.1 \n"
        "# DEVICE=comment , XY-100 , NET , IP-ADDRESS=192.0.2.9 \n";
    for (int i = 0; i < 70; ++i) {
        cfg += "DEVICE=d" + std::to_string(i) + " , XY-100 , NET , IP-ADDRESS=10.0.0." + std::to_string(i) + " \n";
    }
    dir.Write("tolmexnetdevice.cfg", cfg);
    clear_net_devices();
    enum_my_net_scanner_from_ini(Names({"XY-100"}), (dir / "tolmexnetdevice.cfg").c_str());
    ASSERT_EQ(kMaxNetDevices, get_net_device_num());
    const NetDevice& office = *get_net_device(0);
    EXPECT_STREQ("office", office.name);
    EXPECT_STREQ("XY-100", office.model);
    EXPECT_EQ(kRegistered, office.state);
    EXPECT_STREQ("*XY-900", get_net_device(1)->model);  // possibly supported
    EXPECT_STREQ("quoted", get_net_device(2)->name);
    EXPECT_STREQ("host.lan", get_net_device(2)->address);
    EXPECT_STREQ("d0", get_net_device(3)->name);  // the repeated address gave no entry
    // Not supported at all: listed without name and model.
    clear_net_devices();
    enum_my_net_scanner_from_ini(Names({"*"}), (dir / "tolmexnetdevice.cfg").c_str());
    EXPECT_STREQ("", get_net_device(0)->name);
    EXPECT_STREQ("", get_net_device(0)->model);
    EXPECT_STREQ("192.0.2.1", get_net_device(0)->address);
    clear_net_devices();
    enum_my_net_scanner_from_ini(Names({"XY-100"}), (dir / "missing.cfg").c_str());
    EXPECT_EQ(0, get_net_device_num());
}

TEST(DeviceNames, CleaningIntoTheRegistrationName)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Vordane_XY-100_series_[a1b2c3]", "XY-100_a1b2c3"},
        {"Vordane XY-100 series [a1b2c3]", "VordaneXY-100series[a1b2c3]"},  // blanks are dropped, not '_'
        {"Office_VORDANE_XY-100_series", "ORDANE_XY-100"},  // the first 8 characters go, wherever the maker stands
        {"XY-100_abc", "XY-100"},                           // the first '_' without a '[' after it
        {"XY-100_x[d4e5", "XY-100_d4e5"},                   // no ']': to the end
        {"XY-100[a1]_b", "XY-100[a1]"},                     // a '[' before the found text does not count
        {"XY-100_series-2_[k9]tail", "XY-100_k9"},
        {"$(touch x);`id`|XY", "touchxidXY"},
        {"Vordane_", ""},
    };
    for (const auto& [name, cleaned] : cases) {
        char out[128];
        clean_device_name(name.c_str(), out, sizeof out);
        EXPECT_EQ(cleaned, out) << name;
    }
    // Only 127 characters are looked at; out is bounded.
    char out[128];
    clean_device_name((std::string(127, 'a') + "_tail").c_str(), out, sizeof out);
    EXPECT_EQ(std::string(127, 'a'), out);
    char small[5];
    clean_device_name("XY-100_[abc]", small, sizeof small);
    EXPECT_STREQ("XY-1", small);
}

TEST(CommandLine, ArgumentsLimitAndFilter)
{
    auto read = [](std::vector<std::string> args, bool terminal) {
        args.insert(args.begin(), "tool");
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        RunSettings settings;
        read_arguments(static_cast<int>(argv.size()), argv.data(), terminal, settings);
        return settings;
    };
    EXPECT_EQ(32, read({}, true).maximum);
    EXPECT_EQ(32, read({"--max=0"}, true).maximum);
    EXPECT_EQ(32, read({"--max=-5"}, true).maximum);
    EXPECT_EQ(32, read({"--max=x"}, true).maximum);
    EXPECT_EQ(3, read({"--max=3"}, true).maximum);
    EXPECT_EQ(64, read({"--max=99999999999999999999"}, true).maximum);
    EXPECT_TRUE(read({"--query-network-scanner"}, true).queryOnly);
    RunSettings window = read({"--query-network-scanner"}, false);
    EXPECT_FALSE(window.queryOnly);
    EXPECT_STREQ("--query-network-scanner", window.filter);
    RunSettings filtered = read({"XY", "--max=4", "xy-1-0-0" + std::string(200, 'z')}, true);
    EXPECT_EQ(std::string("xy-1-0-0") + std::string(119, 'z'), filtered.filter);
    EXPECT_EQ(std::string("xy100") + std::string(119, 'z'), filtered.filterWithoutHyphens);

    struct Case {
        const char* filter;
        const char* model;
        bool shown;
    };
    const std::vector<Case> cases = {
        {"", "anything", true},      {"XY100", "XY-100", true},  {"xy-100", "XY-100W", true},
        {"XY-100W", "xy-100", true}, {"XY-1-00", "XY100", true}, {"XY-200", "XY-100", false},
        {"XY100", "XZ-100", false},
    };
    for (const Case& c : cases) {
        RunSettings settings =
            read(c.filter[0] != '\0' ? std::vector<std::string>{c.filter} : std::vector<std::string>{}, true);
        EXPECT_EQ(c.shown, passes_filter(c.model, settings)) << c.filter << " / " << c.model;
    }
    char bare[4];
    strip_hyphens(bare, "-a-b-c-d-", sizeof bare);
    EXPECT_STREQ("abc", bare);
}

TEST(TerminalChoice, RowNumbersAreCheckedForRangeAndOverflow)
{
    struct Case {
        const char* line;
        bool valid;
        int row;
        int action;
    };
    const std::vector<Case> cases = {
        {"r1", true, 1, kRemove},    {"D0", true, 0, kRemove},
        {"1", true, 1, kAdd},        {"2x", true, 2, kAdd},
        {" 1", false, 0, 0},         {"3", false, 0, 0},  // the table has 3 rows
        {"-1", false, 0, 0},         {"rr1", false, 0, 0},
        {"2147483648", false, 0, 0}, {"99999999999999999999", false, 0, 0},
    };
    for (const Case& c : cases) {
        int row = -1;
        int action = -1;
        EXPECT_EQ(c.valid, parse_choice(c.line, 3, &row, &action)) << c.line;
        if (c.valid) {
            EXPECT_EQ(c.row, row) << c.line;
            EXPECT_EQ(c.action, action) << c.line;
        }
    }
    int row = 0;
    int action = 0;
    EXPECT_TRUE(parse_choice("2147483646", 2147483647, &row, &action));
    EXPECT_EQ(2147483646, row);
}

TEST(TerminalChoice, TheWholeLineIsReadItsFirst30CharactersCount)
{
    ScratchDir dir;
    std::string input = std::string(40, '7') + "\nr1\nlast";
    FILE* file = fopen(dir.Write("in", input).c_str(), "r");
    ASSERT_NE(nullptr, file);
    char line[kChoiceChars + 1];
    ASSERT_TRUE(read_choice_line(file, line));
    EXPECT_EQ(std::string(30, '7'), line);
    ASSERT_TRUE(read_choice_line(file, line));
    EXPECT_STREQ("r1", line);
    ASSERT_TRUE(read_choice_line(file, line));
    EXPECT_STREQ("last", line);
    EXPECT_FALSE(read_choice_line(file, line));
    fclose(file);
}

// The apply step against the stand-ins, with the stand-in sudo first on PATH.
class ApplyStep : public testing::Test {
protected:
    void SetUp() override
    {
        const char* path = std::getenv("PATH");
        oldPath_ = path != nullptr ? path : "/usr/bin:/bin";
        setenv("PATH", (tools_.Path("bin") + ":" + oldPath_).c_str(), 1);
        locate_companion_files_in(tools_.Dir().Path().c_str());
        ASSERT_EQ(tools_.Path("tolmexconfig"), companion_files().program);
        clear_net_devices();
    }
    void TearDown() override
    {
        setenv("PATH", oldPath_.c_str(), 1);
        clear_net_devices();
        loging_start_as(0, nullptr, true);
    }

    netsetuptest::ToolFolder tools_;
    std::string oldPath_;
};

TEST_F(ApplyStep, OneCommandPerChangedDeviceFromAnArgumentVector)
{
    add_net_device("Vordane_XY-100_series_[a1b2c3]", "XY-100", "192.0.2.7", kFoundByMdns, kMaxNetDevices);
    add_net_device("office", "XY-100", "192.0.2.8", kRegistered, kMaxNetDevices);
    add_net_device("kept", "XY-100", "192.0.2.9", kRegistered, kMaxNetDevices);
    add_net_device("seen", "XY-100", "192.0.2.10", kFoundByMdns, kMaxNetDevices);
    get_net_device(0)->action = kAdd;
    get_net_device(1)->action = kRemove;
    get_net_device(2)->action = kAdd;     // ticked and registered: nothing
    get_net_device(3)->action = kRemove;  // unticked and never registered: nothing
    ASSERT_TRUE(apply_changes());
    const std::string program = tools_.Path("tolmexconfig");
    EXPECT_EQ("sudo\n" + program + "\n-a\nname=XY-100_a1b2c3\nmodel=XY-100\nip=192.0.2.7\n" + "sudo\n" + program +
                  "\n-r\noffice\n",
              tools_.SudoLog());
    EXPECT_EQ("DEVICE=XY-100_a1b2c3 , XY-100 , NET , IP-ADDRESS=192.0.2.7 \n", tools_.Registration());
}

TEST_F(ApplyStep, NoShellSeesADevicesTexts)
{
    const std::string model = "XY-100\t$(touch${IFS}FILE)";
    add_net_device("Vordane_XY-100_;touch_FILE2", model.c_str(), "192.0.2.7;touch FILE3", kFoundByMdns, kMaxNetDevices);
    get_net_device(0)->action = kAdd;
    ASSERT_TRUE(apply_changes());
    EXPECT_EQ(tools_.Path("tolmexconfig") + "\n-a\nname=XY-100\nmodel=" + model + "\nip=192.0.2.7;touch FILE3\n",
              tools_.CompanionLog());
    for (const char* file : {"FILE", "FILE2", "FILE3"}) {
        EXPECT_FALSE(ScratchDir::Exists(tools_.Path(file)));
        EXPECT_FALSE(ScratchDir::Exists(file));
    }
}

TEST_F(ApplyStep, AFailingCompanionOrNoneIsReportedAsFailure)
{
    add_net_device("a_[1]", "XY-100", "192.0.2.7", kFoundByMdns, kMaxNetDevices);
    add_net_device("b", "XY-100", "192.0.2.8", kRegistered, kMaxNetDevices);
    get_net_device(0)->action = kAdd;
    get_net_device(1)->action = kRemove;
    tools_.CompanionExit(1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(apply_changes());
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, message.find("exit status 1")) << message;
    // Both were tried.
    const std::string sudo = tools_.SudoLog();
    EXPECT_EQ(0u, sudo.find("sudo\n"));
    EXPECT_NE(std::string::npos, sudo.find("\n-a\nname=a_1\n"));
    EXPECT_NE(std::string::npos, sudo.find("\nsudo\n" + tools_.Path("tolmexconfig") + "\n-r\nb\n"));

    // A device without a name forms no command.
    tools_.ClearLogs();
    tools_.CompanionExit(0);
    clear_net_devices();
    add_net_device("", "", "192.0.2.9", kRegistered, kMaxNetDevices);
    get_net_device(0)->action = kRemove;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(apply_changes());
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("has no name"));
    EXPECT_EQ("", tools_.SudoLog());

    // Without a companion program nothing runs.
    ScratchDir empty;
    locate_companion_files_in(empty.Path().c_str());
    add_net_device("c", "XY-100", "192.0.2.10", kFoundByMdns, kMaxNetDevices);
    get_net_device(1)->action = kAdd;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(apply_changes());
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("no companion program"));
    EXPECT_EQ("", tools_.SudoLog());
    // No change asked: nothing to fail.
    clear_net_devices();
    EXPECT_TRUE(apply_changes());
}

TEST_F(ApplyStep, TheCommandTextGoesToTheLogWithoutAddedLineEnds)
{
    ScratchDir dir;
    const std::string log = dir / "netconfig.log";
    loging_start_as(3, log.c_str(), false);
    add_net_device("b", "XY-100", "192.0.2.8", kRegistered, kMaxNetDevices);
    get_net_device(0)->action = kRemove;
    ASSERT_TRUE(apply_changes());
    writelog("src", 12, 2, "no end");
    writelog("src", 13, 0, "%s", "next");
    std::string text = ScratchDir::Read(log);
    std::string command = "sudo " + tools_.Path("tolmexconfig") + " -r b\n";
    const std::string tail = "):" + command + "  src(12):no endsrc(13):next";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(tail, text.substr(text.size() - tail.size())) << text;

    // The log never follows a link, nor writes into anything but a file.
    const std::string elsewhere = dir.Write("elsewhere", "");
    const std::string linked = dir / "linked.log";
    ASSERT_EQ(0, symlink(elsewhere.c_str(), linked.c_str()));
    loging_start_as(3, linked.c_str(), false);
    writelog("src", 1, 0, "through a link");
    EXPECT_EQ("", ScratchDir::Read(elsewhere));
    ASSERT_EQ(0, mkfifo((dir / "fifo").c_str(), 0600));
    loging_start_as(3, (dir / "fifo").c_str(), false);
    writelog("src", 1, 0, "into a pipe");  // returns: opened without blocking, then refused
}

TEST(BrowseLog, TheToolsNoteAServiceWhoseAddressIsListedAlready)
{
    ScratchDir dir;
    const std::string log = dir / "browse.log";
    loging_start_as(3, log.c_str(), false);
    AvahiDeviceList* list = new_avahi_device_list();
    ASSERT_NE(nullptr, list);
    const AvahiLogStyle tools = {0, true};
    EXPECT_EQ(list, register_avahi_device_list("XY-100", "192.0.2.7", "first", list, tools));
    EXPECT_EQ(list, register_avahi_device_list("XY-100", "192.0.2.7", "second", list, tools));
    EXPECT_EQ(list, register_avahi_device_list("XY-100", "192.0.2.7", "third", list));  // the backend's style
    EXPECT_EQ(1, list->num);
    free_avahi_device_list(list);
    loging_start_as(0, nullptr, true);
    std::string text = ScratchDir::Read(log);
    EXPECT_EQ(0u, text.find("avahi(")) << text;
    EXPECT_NE(std::string::npos, text.find("):     ##### same device 192.0.2.7\n")) << text;
    EXPECT_EQ(text.find("#####"), text.rfind("#####")) << text;
}

}  // namespace
