// Discovery as sane_init runs it, with the driver's files in a scratch
// folder and devices on the fake libusb: SANE names by name_type, the model
// files and the support rule, the registration file, the table's limits,
// every libusb object given back, and mDNS left alone unless Browse asks.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "BackendFixture.h"
#include "backend_source/EnumDev.h"
#include "backend_source/ModelEnum.h"

namespace {

struct Listed {
    std::string name, vendor, model, type;
    bool operator==(const Listed& o) const
    {
        return name == o.name && vendor == o.vendor && model == o.model && type == o.type;
    }
};

std::ostream& operator<<(std::ostream& out, const Listed& d)
{
    return out << "{" << d.name << "|" << d.vendor << "|" << d.model << "|" << d.type << "}";
}

class Discovery : public testing::Test {
protected:
    void SetUp() override { b_.Engine(""); }
    void TearDown() override
    {
        sane_vordane5_exit();
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

    static int Usb(uint16_t product, const std::string& productText, uint8_t bus, uint8_t port,
                   uint16_t vendor = 0x5D4E)
    {
        fakeusb::DeviceSpec spec = fakeusb::Device(vendor, product, "Vordane", productText);
        spec.busNumber = bus;
        spec.portNumber = port;
        return fakeusb::AddDevice(spec);
    }

    std::vector<Listed> Devices()
    {
        std::vector<Listed> out;
        SANE_Int version = 0;
        EXPECT_EQ(SANE_STATUS_GOOD, sane_vordane5_init(&version, nullptr));
        EXPECT_EQ(0x1000001, version);
        const SANE_Device** list = nullptr;
        EXPECT_EQ(SANE_STATUS_GOOD, sane_vordane5_get_devices(&list, SANE_FALSE));
        for (size_t i = 0; list != nullptr && list[i] != nullptr; ++i) {
            out.push_back({list[i]->name, list[i]->vendor, list[i]->model, list[i]->type});
        }
        return out;
    }

    BackendFixture b_;
};

TEST_F(Discovery, NamesFollowNameType)
{
    Usb(0x0400, "XY-100 series", 1, 3);
    Usb(0x0400, "XY-100", 1, 4);
    struct Case {
        int nameType;
        std::vector<Listed> devices;
    };
    // clang-format off
    const Case cases[] = {
        {0, {{"bus1;dev3", "Vordane", "XY-100", "USB scanner"}, {"bus1;dev4", "Vordane", "XY-100", "USB scanner"},
             {"net1;dev0", "Vordane", "office", "XY-100"}}},
        {1, {{"bus1:3", "Vordane", "XY-100", "USB scanner"}, {"bus1:4", "Vordane", "XY-100", "USB scanner"},
             {"net1:0", "Vordane", "XY-100", "NET scanner"}}},
        {2, {{"usb00:XY-100", "Vordane", "XY-100", "USB scanner"}, {"usb01:XY-100", "Vordane", "XY-100", "USB scanner"},
             {"net00:office", "Vordane", "XY-100", "NET scanner"}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nameType);
        b_.Settings("name_type=" + std::to_string(c.nameType) + "\n");
        EXPECT_EQ(c.devices, Devices());
        // Each name opens its device; the engine gets the USB IDs or the address.
        for (const Listed& d : c.devices) {
            SANE_Handle h = nullptr;
            EXPECT_EQ(SANE_STATUS_GOOD, sane_vordane5_open(d.name.c_str(), &h)) << d.name;
            sane_vordane5_close(h);
        }
        std::vector<fakeengine::Call> selects = fakeengine::Ledger("SelectDevice");
        ASSERT_GE(selects.size(), 3u);
        const vscore::_VS_SELECT_DEVICE_INFO& usb = selects[selects.size() - 3].selection;
        EXPECT_EQ(vscore::USB, usb.typeDeviceIf);
        EXPECT_EQ(vscore::UsbId, usb.typeDeviceId);
        EXPECT_EQ(0x5D4E, usb.usbId.idVendor);
        EXPECT_EQ(0x0400, usb.usbId.idProduct);
        const vscore::_VS_SELECT_DEVICE_INFO& net = selects.back().selection;
        EXPECT_EQ(vscore::NETWORK, net.typeDeviceIf);
        EXPECT_EQ(vscore::NodeNameOrIpAddress, net.typeDeviceId);
        EXPECT_EQ(c.devices.back().name, net.nameDevice);
        EXPECT_STREQ("127.0.0.2", net.addrNetwork);
        sane_vordane5_exit();
        fakeengine::ClearLedger();
    }
    EXPECT_TRUE(fakeusb::LiveObjects() == fakeusb::Live{});
}

TEST_F(Discovery, NothingFoundGivesAnEmptyListAndNoNameOpens)
{
    b_.Registered("");
    EXPECT_TRUE(Devices().empty());
    SANE_Handle h = reinterpret_cast<SANE_Handle>(1);
    EXPECT_EQ(SANE_STATUS_INVAL, sane_vordane5_open("", &h));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(SANE_STATUS_INVAL, sane_vordane5_open("net1;dev0", &h));
    EXPECT_EQ(SANE_STATUS_INVAL, sane_vordane5_open(nullptr, &h));
    EXPECT_TRUE(fakeengine::Ledger("SelectDevice").empty());
}

TEST_F(Discovery, UsbDevicesNeedTheMakerAListedModelAndItsProductId)
{
    b_.Registered("");
    b_.Models("[Support Model]\n0x0400,1,2,\"XY-100\"\n0x0398,1,2,ZQ-7\n0x0397,1,2,ZQ-8\n");
    Usb(0x0400, "XY-100W", 1, 1);                // XY-100 does not cover XY-100W
    Usb(0x0400, "XY-100 Plus", 1, 2);            // but XY-100 followed by a blank
    Usb(0x0401, "XY-100", 1, 3);                 // listed model, another product
    Usb(0x0398, "ZQ-7", 1, 4);                   // the lowest product ID looked at
    Usb(0x0397, "ZQ-8", 1, 5);                   // below it
    Usb(0x0400, "XY-100", 1, 6, 0x04B8);         // another maker
    Usb(0x0400, "Vordane XY-100 SERIES", 2, 7);  // maker name and " series" in any case
    std::vector<Listed> devices = Devices();
    std::vector<std::string> names;
    for (const Listed& d : devices) {
        names.push_back(d.name + "=" + d.model);
    }
    EXPECT_EQ((std::vector<std::string>{"bus1;dev2=XY-100_Plus", "bus1;dev4=ZQ-7", "bus2;dev7=Vordane_XY-100"}), names);
    EXPECT_TRUE(fakeusb::LiveObjects() == fakeusb::Live{});
}

TEST_F(Discovery, AFailingUsbDeviceEndsTheEnumerationWithEverythingGivenBack)
{
    b_.Registered("");
    Usb(0x0400, "XY-100", 1, 1);
    Usb(0x0400, "XY-100", 1, 2);
    fakeusb::FailCall(fakeusb::Call::GetConfigDescriptor, LIBUSB_ERROR_IO, 0, 1);  // the second device
    EXPECT_EQ(1u, Devices().size());
    sane_vordane5_exit();
    EXPECT_TRUE(fakeusb::LiveObjects() == fakeusb::Live{});
    EXPECT_EQ(2u, fakeusb::CallLog(fakeusb::Call::Close).size());

    fakeusb::FailCall(fakeusb::Call::Open, LIBUSB_ERROR_ACCESS);
    EXPECT_TRUE(Devices().empty());
    sane_vordane5_exit();
    EXPECT_TRUE(fakeusb::LiveObjects() == fakeusb::Live{});
}

TEST_F(Discovery, ModelFilesCountOnlyWithTheirSectionAndCheckedLines)
{
    b_.Registered(
        "DEVICE=a , XY-100 , 1 , IP-ADDRESS=10.0.0.1\n"
        "DEVICE=b , ZQ-1 , 1 , IP-ADDRESS=10.0.0.2\n"
        "DEVICE=c , ZQ-2 , 1 , IP-ADDRESS=10.0.0.3\n"
        "DEVICE=d , ZQ-3 , 1 , IP-ADDRESS=10.0.0.4\n"
        "DEVICE=e , ZQ-4 , 1 , IP-ADDRESS=10.0.0.5\n");
    b_.Models("; no section line\n0x0400,1,2,XY-100\n");
    b_.Models("[Support Model]\n# comment\n\nzz,1,2,ZQ-1\n12x4,1,2,ZQ-2\n0x10000,1,2,ZQ-3\n0x0501 ,1,2, \"ZQ-4\" \n",
              "second.ini");
    b_.Models("[Support Model]\n0x0400,1,2,XY-100\n", "third.txt");
    b_.Models("[Support Model]\n0x0400,1,2,XY-100\n", ".hidden.ini");
    std::vector<std::string> models;
    for (const Listed& d : Devices()) {
        models.push_back(d.model + "/" + d.type);
    }
    // Unsupported registered devices stay in the table with empty texts.
    EXPECT_EQ((std::vector<std::string>{"/", "/", "/", "/", "e/ZQ-4"}), models);
}

TEST(ModelLine, FieldsTheIdAndTheName)
{
    struct Case {
        const char* line;
        bool kept;
        int id;
        const char* name;
    };
    // clang-format off
    const Case cases[] = {
        {"0x1234,a,b,\"XY-100\"", true, 0x1234, "XY-100"},
        {"1234,a,b,XY-100,e,f,g", true, 0x1234, "XY-100"},
        {"0x1234,a,b,\"XY-100\" series,e", true, 0x1234, "XY-100"},
        {"0xFFFF,a,b,ZQ", true, 0xFFFF, "ZQ"},
        {"0x10000,a,b,ZQ", false, -1, "ZQ"},
        {"-1,a,b,ZQ", false, -1, "ZQ"},
        {"12x4,a,b,ZQ", false, -1, "ZQ"},          // not hexadecimal to its end
        {",a,b,ZQ", false, -1, "ZQ"},
        {"0x0400,a,b", false, 0x0400, ""},
        {"0x0400,a,b,\"\"", false, 0x0400, ""},
        {"0x0400,a,b,ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", true, 0x0400, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        int id = 7;
        char name[32];
        EXPECT_EQ(c.kept, parse_model_line(c.line, &id, name));
        EXPECT_EQ(c.id, id);
        EXPECT_STREQ(c.name, name);
    }
}

TEST(SupportRule, PrefixesIdsWildcardAndBlacklist)
{
    SupportDevicesList* list = new_support_devices_list();
    for (auto [model, id] : std::vector<std::pair<const char*, uint16_t>>{
             {"XY-100", 0x0400}, {"XY-100", 0x0410}, {"ZQ-7", 0x0500}, {"*", 0}, {"AB-1", 0x0600}}) {
        list = add_support_device(list, model, id);
        ASSERT_NE(nullptr, list);
    }
    EXPECT_EQ(6, list->max);  // grown twice by two
    const char* const prefixes[4] = {"BAD-", "NO-", "", ""};
    set_blacklist_prefixes(prefixes);
    struct Case {
        const char* model;
        long id;
        int result;
    };
    // clang-format off
    const Case cases[] = {
        {"XY-100", -1, kSupported},           {"XY-100", 0x0400, kSupported},
        {"XY-100", 0x0410, kSupported},       // the second product ID of the model
        {"XY-100", 0x0401, kOtherProduct},    {"XY-100", 0x10000, kOtherProduct},
        {"XY-100 series", -1, kSupported},    {"XY-100\tx", -1, kSupported},
        {"XY-100W", -1, kPossiblySupported},  // no entry covers it; the wildcard does
        {"vOrDaNe ZQ-7", 0x0500, kSupported}, {"bad-9", -1, kNotSupported},
        {"No-1", 0x0400, kNotSupported},      {"AB-1", 0x0600, kSupported},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, is_supported_scanner(c.model, list, c.id)) << c.model << " " << c.id;
    }
    set_blacklist_prefixes(nullptr);
    free_support_devices_list(list);

    SupportDevicesList* plain = new_support_devices_list();
    EXPECT_EQ(kNotSupported, is_supported_scanner("XY-100W", plain, -1));
    plain = add_support_device(plain, "XY-100", 0x400);
    plain->size -= 2;  // the end mark no longer where the list says
    EXPECT_DEATH(check_support_devices_list(plain),
                 R"(check_support_devices_list: Assertion .*sd_list->size.*"LAST".* failed)");
    plain->size += 2;
    free_support_devices_list(plain);
}

TEST_F(Discovery, RegisteredDevicesOneEntryPerAddressAtMostSixteen)
{
    std::string lines =
        "# comment\n"
        "[section]\n"
        "DEVICE=dup , XY-100 , 1 , IP-ADDRESS=10.0.0.1\n"
        "DEVICE=dup2,XY-100,1,IP-ADDRESS=10.0.0.1\n"
        "DEVICE=\"lab\" , \"XY-100\" , 1 , NODENAME=\"scanner.lab\" , FLAG=1\n";
    for (int i = 0; i < 20; ++i) {
        lines += "DEVICE=n" + std::to_string(i) + " , XY-100 , 1 , IP-ADDRESS=10.1.0." + std::to_string(i) + "\n";
    }
    b_.Registered(lines);
    std::vector<Listed> devices = Devices();
    ASSERT_EQ(16u, devices.size());
    EXPECT_EQ((Listed{"net1;dev0", "Vordane", "dup", "XY-100"}), devices[0]);
    EXPECT_EQ((Listed{"net1;dev1", "Vordane", "lab", "XY-100"}), devices[1]);
    EXPECT_EQ((Listed{"net1;dev15", "Vordane", "n13", "XY-100"}), devices[15]);
    SANE_Handle h = nullptr;
    ASSERT_EQ(SANE_STATUS_GOOD, sane_vordane5_open("net1;dev1", &h));
    EXPECT_STREQ("scanner.lab", fakeengine::Ledger("SelectDevice").back().selection.addrNetwork);
}

TEST_F(Discovery, PossiblySupportedModelsNeedOtherAndCarryAStar)
{
    b_.Models("[Support Model]\n0x0400,1,2,XY-100\n0x0000,1,2,*\n");
    b_.Registered("DEVICE=other , QQ-5 , 1 , IP-ADDRESS=10.0.0.9\n");
    Usb(0x0777, "QQ-6", 1, 9);
    EXPECT_EQ((std::vector<Listed>{{"net1;dev0", "Vordane", "", ""}}), Devices());
    sane_vordane5_exit();
    b_.Settings("Other=1\n");
    EXPECT_EQ((std::vector<Listed>{{"bus1;dev9", "Vordane", "QQ-6", "USB scanner"},
                                   {"net1;dev0", "Vordane", "other", "*QQ-5"}}),
              Devices());
}

TEST_F(Discovery, TheLongestNameFitsAndOpens)
{
    b_.Settings("name_type=2\n");
    b_.Registered("");
    const std::string model(63, 'M');
    b_.Models("[Support Model]\n0x0400,1,2," + model.substr(0, 31) + "\n");
    Usb(0x0400, model.substr(0, 31) + std::string(40, 'x'), 1, 1);  // the product text goes on past the model
    std::vector<Listed> devices = Devices();
    ASSERT_TRUE(devices.empty()) << "a product text of 71 characters is no listed model";
    sane_vordane5_exit();

    b_.Models("[Support Model]\n0x0000,1,2,*\n");
    b_.Settings("name_type=2\nOther=1\n");
    Usb(0x0401, std::string(70, 'L'), 1, 2);
    devices = Devices();
    ASSERT_EQ(2u, devices.size());
    const std::string longest = "usb01:" + std::string(63, 'L');  // the model key keeps 63 characters
    EXPECT_EQ(longest, devices[1].name);
    SANE_Handle h = nullptr;
    EXPECT_EQ(SANE_STATUS_GOOD, sane_vordane5_open(longest.c_str(), &h));
}

// A Unix socket where the system bus would be: the Avahi client connects to
// it when, and only when, the backend browses.
class FakeSystemBus {
public:
    explicit FakeSystemBus(const std::string& path) : path_(path)
    {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 4) != 0) {
            ADD_FAILURE() << "cannot listen on " << path;
        }
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + path).c_str(), 1);
    }
    ~FakeSystemBus() { close(fd_); }
    // Whether a client has connected; the connection is closed at once.
    bool Connected()
    {
        pollfd p = {fd_, POLLIN, 0};
        if (poll(&p, 1, 0) != 1) {
            return false;
        }
        int client = accept(fd_, nullptr, nullptr);
        close(client);
        return true;
    }

private:
    std::string path_;
    int fd_ = -1;
};

TEST_F(Discovery, BrowsingHappensOnlyWithBrowseAndEndsWhenNoDaemonAnswers)
{
    FakeSystemBus bus(b_.Dir() / "bus");
    b_.Settings("Browse=0\n");
    EXPECT_EQ(1u, Devices().size());
    EXPECT_FALSE(bus.Connected());
    sane_vordane5_exit();

    // The bus closes every connection: the client fails and sane_init
    // goes on with what it found.
    b_.Settings("Browse=1\n");
    bool connected = false;
    std::atomic<bool> listed{false};
    std::thread closer([&] {
        // Until the client has come, with a last look once sane_init is over.
        for (bool last = false; !connected && !last;) {
            last = listed.load();
            connected = bus.Connected();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1u, Devices().size());
    auto elapsed = std::chrono::steady_clock::now() - start;
    listed = true;
    closer.join();
    EXPECT_TRUE(connected);
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

}  // namespace
