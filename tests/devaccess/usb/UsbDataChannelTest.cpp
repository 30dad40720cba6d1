// The USB plug-in's data channel against a scripted libusb layer: the vendor
// requests and the checks of their replies, identifier routing, the tries of
// a transfer, closing, and what the destructor sends.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devaccess/usb/CUsbDeviceAccess.h"
#include "tests/support/fake_usb_core/FakeUsbCore.h"

namespace {

using fakeusbcore::Answer;
using fakeusbcore::FakeUsbCore;
using fakeusbcore::State;
using fakeusbcore::TransferAnswer;
using vscore::_DEV_IDENTIFIER;
using vscore::CUsbDeviceAccess;
using Calls = std::vector<std::string>;

constexpr uint32_t kLibusbIo = static_cast<uint32_t>(-1);

static_assert(CUsbDeviceAccess::MakeRequestType(CUsbDeviceAccess::DEVREQ_DIRECTION, CUsbDeviceAccess::DEVREQ_REQTYPE,
                                                CUsbDeviceAccess::DEVREQ_RECIPIENT) == 0xC0);

Answer Reply(std::vector<uint8_t> bytes) { return Answer{0, 0, std::move(bytes), -1}; }
Answer Accept(uint8_t request) { return Reply({0x00, 0x10, request, 0x02, 0x00}); }

_DEV_IDENTIFIER ByName(const char* name, vscore::devif_t devif = vscore::DEVIF_USB)
{
    _DEV_IDENTIFIER id{};
    id.kind = vscore::DEVID_KIND_NAME;
    id.devif = devif;
    id.name = name;
    return id;
}

_DEV_IDENTIFIER ById(uint32_t kind, vscore::devif_t devif)
{
    _DEV_IDENTIFIER id{};
    id.kind = kind;
    id.devif = devif;
    if (kind == vscore::DEVID_KIND_NAME || kind == vscore::DEVID_KIND_ADDRESS) {
        id.name = "Vordane DS-1";
    } else if (kind == vscore::DEVID_KIND_VIDPID) {
        id.idVendor = 0x5D4E;
        id.idProduct = 0x0101;
    } else {
        id.number = 7;
    }
    return id;
}

struct DataChannel : ::testing::Test {
    std::shared_ptr<State> s = std::make_shared<State>();
    std::unique_ptr<CUsbDeviceAccess> access = std::make_unique<CUsbDeviceAccess>(std::make_unique<FakeUsbCore>(s));
};

TEST_F(DataChannel, OpenAndCloseSendTheVendorRequestsOfTheChannel)
{
    s->replies = {Accept(1), Accept(2)};
    ASSERT_EQ(access->OpenForDataTransfer(ById(vscore::DEVID_KIND_VIDPID, vscore::DEVIF_USB)), 0u);
    EXPECT_TRUE(access->IsOpenForDataTransfer());
    ASSERT_EQ(access->CloseForDataTransfer(), 0u);
    EXPECT_EQ(s->calls, (Calls{"OpenInterface(5D4E:0101)", "DeviceRequest(1)", "DeviceRequest(2)", "CloseInterface"}));
    ASSERT_EQ(s->requests.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const auto& r = s->requests[i];
        EXPECT_EQ(r.bmRequestType, 0xC0);
        EXPECT_EQ(r.bRequest, i + 1);
        EXPECT_EQ(r.wValue, 2);
        EXPECT_EQ(r.wIndex, 0);
        EXPECT_EQ(r.wLength, 255);
    }
    EXPECT_TRUE(s->deviceOpen) << "closing the channel leaves the device open";
}

// The reply is checked in this order: length, bytes 1 and 2, byte 4, byte 3.
TEST_F(DataChannel, ReplyChecksFollowTheirOrder)
{
    struct Row {
        const char* what;
        uint8_t request;
        Answer answer;
        uint32_t result;
        uint32_t systemError;
    };
    const Row rows[] = {
        {"accepted", 1, Reply({0x00, 0x10, 0x01, 0x02, 0x00}), 0, 0},
        {"close accepted", 2, Reply({0x00, 0x10, 0x02, 0x02, 0x00}), 0, 0},
        {"byte 0 and the tail are not examined", 1, Reply({0xFF, 0x10, 0x01, 0x02, 0x7F, 0xEE}), 0, 0},
        {"byte 1 before bytes 3 and 4", 1, Reply({0x00, 0x11, 0x01, 0x09, 0x80}), 0x10500024, 0},
        {"byte 2 names another request", 1, Reply({0x00, 0x10, 0x02, 0x02, 0x00}), 0x10500024, 0},
        {"byte 4 refusal before byte 3", 1, Reply({0x00, 0x10, 0x01, 0x09, 0x80}), 0x40500013, 0},
        {"byte 3 not 2", 1, Reply({0x00, 0x10, 0x01, 0x03, 0x00}), 0x10500024, 0},
        {"4 bytes", 1, Reply({0x00, 0x10, 0x01, 0x02}), 0x10500024, 0},
        {"5 bytes in the buffer, 4 reported", 1, Answer{0, 0, {0x00, 0x10, 0x01, 0x02, 0x00}, 4}, 0x10500024, 0},
        {"empty reply", 1, Reply({}), 0x10500024, 0},
        {"libusb failure", 1, Answer{0x40500032, -1, {}, -1}, 0x40500032, kLibusbIo},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        s->interfaceOpen = true;
        s->replies = {row.answer};
        EXPECT_EQ(access->ControlScannerDevice(row.request), row.result);
        EXPECT_EQ(access->lastResult, row.result);
        EXPECT_EQ(access->lastSystemError, row.systemError);
    }
    s->calls.clear();
    EXPECT_EQ(access->ControlScannerDevice(3), 0x70500004u);
    EXPECT_TRUE(s->calls.empty());
    uint8_t reply[4];
    EXPECT_EQ(access->RequestToScannerDevice(1, nullptr, 255), 0x70500004u);
    EXPECT_EQ(access->RequestToScannerDevice(1, reply, 0), 0x70500004u);
    EXPECT_TRUE(s->calls.empty());
}

TEST_F(DataChannel, IdentifiersRouteToTheirLayerCall)
{
    using vscore::DEVIF_NET;
    using vscore::DEVIF_USB;
    enum Op { Confirm, ScanEvents, DataTransfer };
    struct Row {
        Op op;
        uint32_t kind;
        vscore::devif_t devif;
        const char* call;  // null: no call of the layer
        uint32_t result;
    };
    const Row rows[] = {
        {Confirm, 0, DEVIF_USB, "ConfirmConnection(Vordane DS-1)", 0},
        {Confirm, 1, DEVIF_USB, "ConfirmConnection(5D4E:0101)", 0},
        {Confirm, 2, DEVIF_USB, "ConfirmConnection(#7)", 0x10500002},
        {Confirm, 4, DEVIF_USB, nullptr, 0x70500004},
        {Confirm, 3, DEVIF_USB, nullptr, 0x70500004},
        {Confirm, 0, DEVIF_NET, nullptr, 0x70500004},
        {Confirm, 1, DEVIF_NET, nullptr, 0x70500004},
        {ScanEvents, 0, DEVIF_USB, "OpenDevice(Vordane DS-1,false)", 0},
        {ScanEvents, 1, DEVIF_USB, "OpenDevice(5D4E:0101)", 0},
        {ScanEvents, 2, DEVIF_USB, "OpenDevice(#7)", 0x10500002},
        {ScanEvents, 4, DEVIF_USB, nullptr, 0x12345678},
        {ScanEvents, 3, DEVIF_NET, nullptr, 0x70500004},
        {DataTransfer, 0, DEVIF_USB, "OpenInterface(Vordane DS-1,false)", 0},
        {DataTransfer, 2, DEVIF_USB, "OpenInterface(#7)", 0x10500002},
        {DataTransfer, 3, DEVIF_NET, nullptr, 0x70500004},
        {DataTransfer, 0, DEVIF_NET, nullptr, 0x70500004},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "op " << row.op << " kind " << row.kind << " devif " << row.devif);
        s->calls.clear();
        s->deviceOpen = s->interfaceOpen = false;
        s->replies = {Accept(1)};
        access->lastResult = 0x12345678;
        _DEV_IDENTIFIER id = ById(row.kind, row.devif);
        uint32_t result = row.op == Confirm      ? access->ConfirmConnection(id)
                          : row.op == ScanEvents ? access->OpenForScanEvents(id)
                                                 : access->OpenForDataTransfer(id);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(access->lastResult, row.result);
        if (row.call == nullptr) {
            EXPECT_TRUE(s->calls.empty());
        } else {
            ASSERT_FALSE(s->calls.empty());
            EXPECT_EQ(s->calls.front(), row.call);
        }
    }
}

// A failed open leaves the device as it found it: closed again when this
// call opened it, open when it was open before.
TEST_F(DataChannel, FailedOpenClosesOnlyADeviceItOpened)
{
    for (bool openBefore : {false, true}) {
        SCOPED_TRACE(openBefore ? "device open before" : "device closed before");
        s = std::make_shared<State>();
        access = std::make_unique<CUsbDeviceAccess>(std::make_unique<FakeUsbCore>(s));
        if (openBefore) {
            ASSERT_EQ(access->OpenForScanEvents(ByName("Vordane DS-1")), 0u);
            s->calls.clear();
        }
        s->replies = {Reply({0x00, 0x11, 0x01, 0x02, 0x00})};
        EXPECT_EQ(access->OpenForDataTransfer(ByName("Vordane DS-1")), 0x10500024u);
        EXPECT_EQ(access->lastResult, 0x10500024u);
        Calls expected{"OpenInterface(Vordane DS-1,false)", "DeviceRequest(1)", "CloseInterface"};
        if (!openBefore) {
            expected.push_back("CloseDevice");
        }
        EXPECT_EQ(s->calls, expected);
        EXPECT_EQ(access->IsOpenForScanEvents(), openBefore);
        EXPECT_FALSE(access->IsOpenForDataTransfer());
    }
}

TEST_F(DataChannel, TransfersAreTriedOncePerStartedTenMilliseconds)
{
    struct Row {
        const char* what;
        long timeout;
        std::vector<TransferAnswer> answers;  // then nothing comes
        int transfers;
        int count;
        uint32_t result;
        uint32_t systemError;
    };
    const Row rows[] = {
        {"0 ms: one try", 0, {}, 1, 0, 0, 0},
        {"negative: one try", -5, {}, 1, 0, 0, 0},
        {"1 ms", 1, {}, 1, 0, 0x40500031, 0},
        {"100 ms", 100, {}, 10, 0, 0x40500031, 0},
        {"105 ms", 105, {}, 11, 0, 0x40500031, 0},
        {"data on the third try", 100, {{}, {}, {0, 0, 7}}, 3, 7, 0, 0},
        {"failure on the second try", 100, {{}, {0x40500032, -1, 0}}, 2, -1, 0x40500032, kLibusbIo},
    };
    uint8_t buffer[64];
    for (bool receive : {true, false}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(receive ? "receive, " : "send, ") + row.what);
            s->interfaceOpen = true;
            s->calls.clear();
            auto& queue = receive ? s->reads : s->writes;
            queue.assign(row.answers.begin(), row.answers.end());
            int count = receive ? access->ReceiveData(buffer, sizeof buffer, sizeof buffer, row.timeout)
                                : access->SendData(buffer, sizeof buffer, row.timeout);
            EXPECT_EQ(count, row.count);
            EXPECT_EQ(s->calls.size(), static_cast<size_t>(row.transfers));
            EXPECT_EQ(access->lastResult, row.result);
            EXPECT_EQ(access->lastSystemError, row.systemError);
        }
    }
}

// A bulk IN transfer waits no longer than the caller's time-out allows, nor
// than one wait slice (a longer wait is cut into slices), and never 0 ms
// (which libusb takes as no time-out at all).
TEST_F(DataChannel, BulkInWaitsStayWithinTheCallersTimeout)
{
    struct Row {
        long timeout;
        unsigned firstMax;
        unsigned firstMin;
    };
    const Row rows[] = {
        {0, 1, 1}, {-1, 1, 1}, {30, 30, 1}, {60000, CUsbDeviceAccess::kWaitSliceMs, CUsbDeviceAccess::kWaitSliceMs}};
    uint8_t buffer[8];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.timeout);
        s->interfaceOpen = true;
        s->readWaits.clear();
        s->reads = {{0, 0, 0}, {0, 0, 4}};
        access->ReceiveData(buffer, sizeof buffer, sizeof buffer, row.timeout);
        ASSERT_FALSE(s->readWaits.empty());
        EXPECT_LE(s->readWaits.front(), row.firstMax);
        EXPECT_GE(s->readWaits.front(), row.firstMin);
        for (unsigned wait : s->readWaits) {
            EXPECT_GE(wait, 1u);
            EXPECT_LE(wait, row.firstMax);
        }
    }
}

TEST_F(DataChannel, CloseReportsTheReleaseFailureBeforeTheRequestFailure)
{
    struct Row {
        const char* what;
        bool open;
        Answer reply;
        Answer release;
        uint32_t result;
        uint32_t systemError;
    };
    const Row rows[] = {
        {"both succeed", true, Accept(2), {}, 0, 0},
        {"request fails", true, Answer{0x40500031, -7, {}, -1}, {}, 0x40500031, static_cast<uint32_t>(-7)},
        {"release fails", true, Accept(2), Answer{0x40500011, -4, {}, -1}, 0x40500011, static_cast<uint32_t>(-4)},
        {"both fail", true, Reply({0, 0x11}), Answer{0x40500011, -4, {}, -1}, 0x40500011, static_cast<uint32_t>(-4)},
        {"not open", false, Accept(2), {}, 0x10500016, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        s->calls.clear();
        s->deviceOpen = s->interfaceOpen = row.open;
        s->replies = {row.reply};
        s->closeInterfaceAnswer = row.release;
        EXPECT_EQ(access->CloseForDataTransfer(), row.result);
        EXPECT_EQ(access->lastResult, row.result);
        EXPECT_EQ(access->lastSystemError, row.systemError);
        EXPECT_EQ(s->calls, (Calls{"DeviceRequest(2)", "CloseInterface"}));
    }
}

TEST_F(DataChannel, DestructorSendsTheCloseRequestOnlyForAnOpenChannel)
{
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "open" : "closed");
        s = std::make_shared<State>();
        access = std::make_unique<CUsbDeviceAccess>(std::make_unique<FakeUsbCore>(s));
        s->deviceOpen = s->interfaceOpen = open;
        s->replies = {Accept(2)};
        access.reset();
        EXPECT_TRUE(s->destroyed);
        EXPECT_EQ(s->calls, open ? Calls{"DeviceRequest(2)"} : Calls{});
    }
}
}  // namespace
