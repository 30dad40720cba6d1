// The records discovery reads without I/O: registration-file lines, a
// service's TXT strings, and the list of mDNS services with its limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend_source/AvahiClientCore.h"
#include "backend_source/EnumDev.h"

namespace {

TEST(RegistrationLine, DevicesNameModelAndAddress)
{
    struct Case {
        std::string line;
        bool device;
        const char* name;
        const char* model;
        const char* address;
    };
    const std::string longAddress(40, '7');
    // clang-format off
    const std::vector<Case> cases = {
        {"DEVICE=office , XY-100 , 1 , IP-ADDRESS=127.0.0.2\n", true, "office", "XY-100", "127.0.0.2"},
        {"DEVICE=office,XY-100,1,IP-ADDRESS=127.0.0.2", true, "office", "XY-100", "127.0.0.2"},  // commas widened
        {"DEVICE=\"lab\" , \"XY-100\" , 1 , NODENAME=\"host.lan\" , FLAG=1\n", true, "lab", "XY-100", "host.lan"},
        {"DEVICE=a , b , , IP-ADDRESS=10.0.0.1\n", true, "a", "b", ""},      // an empty field: read again
        {"DEVICE=a , b , c , IP-ADDRESS=" + longAddress, true, "a", "b", "77777777777777777777777777777777"},
        {"DEVICE=\n", false, "", "", ""},
        {"# DEVICE=a , b , c , IP-ADDRESS=1.2.3.4\n", false, "", "", ""},
        {"[DEVICE]\n", false, "", "", ""},
        {"\n", false, "", "", ""},
        {"DEVICE a , b , c , IP-ADDRESS 1.2.3.4\n", false, "", "", ""},       // no '='
        {"NAME=a , b , c , IP-ADDRESS=1.2.3.4\n", false, "", "", ""},
        {"DEVICE=a , b , c , MAC=00:11:22:33:44:55\n", false, "", "", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        RegistrationEntry entry;
        EXPECT_EQ(c.device, parse_registration_line(c.line.c_str(), &entry));
        if (c.device) {
            EXPECT_STREQ(c.name, entry.name);
            EXPECT_STREQ(c.model, entry.model);
            EXPECT_STREQ(c.address, entry.address);
        }
    }
}

TEST(RegistrationLine, OnlyTheFirst276CharactersCount)
{
    // The address starts at character 268: 8 of its characters are read.
    std::string head = "DEVICE=" + std::string(239, 'n') + " , m , t , IP-ADDRESS=";
    ASSERT_EQ(268u, head.size());
    RegistrationEntry entry;
    ASSERT_TRUE(parse_registration_line((head + "192.168.100.200\n").c_str(), &entry));
    EXPECT_STREQ("192.168.", entry.address);
    // A name that fills the line fits its text; what lies past character
    // 276 never counts.
    ASSERT_TRUE(parse_registration_line(("DEVICE=" + std::string(250, 'w') + ",m,t,IP-ADDRESS=1").c_str(), &entry));
    EXPECT_EQ(250u, std::string(entry.name).size());
    EXPECT_FALSE(parse_registration_line(("DEVICE=" + std::string(600, 'w') + ",m,t,IP-ADDRESS=1").c_str(), &entry));
}

std::vector<TxtString> Txt(const std::vector<std::string>& strings)
{
    std::vector<TxtString> out;
    for (const std::string& s : strings) {
        out.push_back(TxtString{reinterpret_cast<const uint8_t*>(s.data()), s.size()});
    }
    return out;
}

TEST(TxtWalk, TheMakerMarksAndTheFirstModelCounts)
{
    const std::string withNul("mdl=XY\0Z", 8);
    struct Case {
        std::vector<std::string> strings;
        size_t modelSize;
        bool found;
        const char* model;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {{"mfg=Vordane", "mdl=XY-100 series"}, 64, true, "XY-100 series"},
        {{"txtvers=1", "MFG=VORDANE", "mdl=XY-100"}, 64, true, "XY-100"},
        {{"mdl=first", "mdl=second", "mfg=vordane"}, 64, true, "first"},
        {{"mfg=Other", "mdl=XY-100"}, 64, false, ""},
        {{"mfg=Vordane Inc", "mdl=XY-100"}, 64, false, ""},
        {{"mfg=Vordane"}, 64, false, ""},
        {{"mfg=Vordane", "Mdl=XY-100"}, 64, false, ""},          // the key as written
        {{"mfg=Vordane", withNul}, 64, false, ""},
        {{"mfg=Vordane", "mdl=" + std::string(63, 'x')}, 64, true, nullptr},
        {{"mfg=Vordane", "mdl=" + std::string(64, 'x')}, 64, false, ""},
        {{"mfg=Vordane", "mdl="}, 64, true, ""},
    };
    // clang-format on
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        std::vector<TxtString> txt = Txt(c.strings);
        std::vector<char> model(c.modelSize, '?');
        EXPECT_EQ(c.found, walk_txt_strings(txt.data(), txt.size(), model.data(), model.size()));
        if (c.found) {
            EXPECT_EQ(c.model != nullptr ? std::string(c.model) : std::string(63, 'x'), model.data());
        }
    }
}

TEST(AvahiList, FieldLimitsDuplicatesAndGrowth)
{
    AvahiDeviceList* list = new_avahi_device_list();
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(16, list->max);
    // clang-format off
    struct Case { std::string model, address, name; bool added; };
    const std::vector<Case> cases = {
        {std::string(63, 'm'), "10.0.0.1", "a", true},  {std::string(64, 'm'), "10.0.0.2", "b", false},
        {"XY", std::string(39, '1'), "c", true},        {"XY", std::string(40, '1'), "d", false},
        {"XY", "10.0.0.3", std::string(127, 'n'), true}, {"XY", "10.0.0.4", std::string(128, 'n'), false},
        {"XY", "10.0.0.1", "again", true},               // listed already: the list as it was
    };
    // clang-format on
    for (const Case& c : cases) {
        int before = list->num;
        AvahiDeviceList* result = register_avahi_device_list(c.model.c_str(), c.address.c_str(), c.name.c_str(), list);
        EXPECT_EQ(c.added ? list : nullptr, result) << c.model.size() << " " << c.address << " " << c.name.size();
        EXPECT_LE(list->num, before + 1);
    }
    EXPECT_EQ(3, list->num);
    EXPECT_STREQ("a", list->entries[0].name);
    EXPECT_TRUE(check_sane_avahi_device_in_list("10.0.0.3", list));
    EXPECT_FALSE(check_sane_avahi_device_in_list("10.0.0.2", list));
    EXPECT_EQ(nullptr, register_avahi_device_list("XY", "10.9.9.9", "x", nullptr));

    // Growth keeps the header where it is and every entry intact.
    for (int i = 0; i < 40; ++i) {
        std::string address = "10.2.0." + std::to_string(i);
        ASSERT_EQ(list, register_avahi_device_list("XY", address.c_str(), ("s" + std::to_string(i)).c_str(), list));
    }
    EXPECT_EQ(43, list->num);
    EXPECT_EQ(48, list->max);
    EXPECT_EQ(48 * 233, list->size);
    EXPECT_STREQ("s39", list->entries[42].name);
    EXPECT_STREQ(std::string(63, 'm').c_str(), list->entries[0].model);
    free_avahi_device_list(list);
}

}  // namespace
