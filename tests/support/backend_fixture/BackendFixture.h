// The backend in the test's own process: its driver files in a scratch
// folder (settings, registration file, model files, debug log), the fake
// engine's script, the SANE entry points called directly, and the fixture
// of the scan-job tests. Tests link vordane5_core, fake_engine and
// fake_libusb, with LD_LIBRARY_PATH at the fake engine and the fake libusb.
#pragma once

#include <gtest/gtest.h>
#include <sane/sane.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "backend_source/DriverPaths.h"
#include "tests/support/fake_engine/FakeEngine.h"
#include "tests/support/fake_libusb/FakeLibusb.h"

extern "C" {
SANE_Status sane_vordane5_init(SANE_Int*, SANE_Auth_Callback);
void sane_vordane5_exit(void);
SANE_Status sane_vordane5_get_devices(const SANE_Device***, SANE_Bool);
SANE_Status sane_vordane5_open(SANE_String_Const, SANE_Handle*);
void sane_vordane5_close(SANE_Handle);
const SANE_Option_Descriptor* sane_vordane5_get_option_descriptor(SANE_Handle, SANE_Int);
SANE_Status sane_vordane5_control_option(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*);
SANE_Status sane_vordane5_get_parameters(SANE_Handle, SANE_Parameters*);
SANE_Status sane_vordane5_start(SANE_Handle);
SANE_Status sane_vordane5_read(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*);
void sane_vordane5_cancel(SANE_Handle);
SANE_Status sane_vordane5_set_io_mode(SANE_Handle, SANE_Bool);
SANE_Status sane_vordane5_get_select_fd(SANE_Handle, SANE_Int*);
}

// A flatbed and feeder device of 215.9 x 297 mm (feeder 355.6 mm long),
// minimum margins 3 mm left and right, 2 mm top and bottom, that sends its
// pages as the fake engine script that follows says.
inline const char* kTestDevice =
    "cap deviceCategory 2\n"
    "cap resolutionList 100 150 200 300 600 1200\n"
    "cap colorType.blackAndWhite true\n"
    "cap colorType.trueGray true\n"
    "cap colorType.color24bit true\n"
    "cap paperSourceSpec.supportPaperSource.flatbed true\n"
    "cap paperSourceSpec.supportPaperSource.adfSimplex true\n"
    "cap paperSourceSpec.supportPaperSource.adfDuplex true\n"
    "cap paperPosition.adfX 1\n"
    "cap supportDocSizeMax.unit 1\n"
    "cap supportDocSizeMax.flatbed.x 21590\n"
    "cap supportDocSizeMax.flatbed.y 29700\n"
    "cap supportDocSizeMax.simplex.x 21590\n"
    "cap supportDocSizeMax.simplex.y 35560\n"
    "cap supportDocSizeMax.duplex.x 21590\n"
    "cap supportDocSizeMax.duplex.y 35560\n"
    "cap marginSize.unit 1\n"
    "cap marginSize.left 300\n"
    "cap marginSize.right 300\n"
    "cap marginSize.top 200\n"
    "cap marginSize.bottom 200\n"
    "cap paperTypeList 0 1\n"
    "cap paperNum 2\n";

class BackendFixture {
public:
    BackendFixture()
    {
        mkdir((dir_ / "etc").c_str(), 0755);
        mkdir((dir_ / "opt").c_str(), 0755);
        mkdir((dir_ / "opt/models").c_str(), 0755);
        driver_paths_set((dir_ / "etc").c_str(), (dir_ / "opt").c_str(), (dir_ / "kavrun5.log").c_str());
        fakeengine::ClearLedger();
        fakeusb::Reset();
        Models("[Support Model]\n0x0400,1,2,\"XY-100\"\n");
        Registered("DEVICE=office , XY-100 , 1 , IP-ADDRESS=127.0.0.2\n");
    }
    ~BackendFixture()
    {
        driver_paths_set(nullptr, nullptr, nullptr);
        unsetenv(fakeengine::kScriptVariable);
        unsetenv(fakeengine::kLedgerVariable);
    }
    BackendFixture(const BackendFixture&) = delete;
    BackendFixture& operator=(const BackendFixture&) = delete;

    void Settings(const std::string& text) { dir_.Write("etc/kavrun5.ini", text); }
    void Registered(const std::string& text) { dir_.Write("etc/tolmexnetdevice.cfg", text); }
    void Models(const std::string& text, const std::string& file = "models.ini")
    {
        dir_.Write("opt/models/" + file, text);
    }
    // The engine plays kTestDevice followed by timeline.
    void Engine(const std::string& timeline)
    {
        setenv(fakeengine::kScriptVariable, dir_.Write("engine.script", kTestDevice + timeline).c_str(), 1);
    }
    const ScratchDir& Dir() const { return dir_; }

    // sane_init and sane_open of name; false (with the test failed) when
    // either fails.
    bool InitAndOpen(SANE_Handle* handle, const char* name = "net1;dev0")
    {
        SANE_Int version = 0;
        if (sane_vordane5_init(&version, nullptr) != SANE_STATUS_GOOD) {
            return false;
        }
        return sane_vordane5_open(name, handle) == SANE_STATUS_GOOD;
    }

    static SANE_Status SetText(SANE_Handle h, int option, const std::string& text)
    {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.resize(80, '\0');
        return sane_vordane5_control_option(h, option, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
    }
    static SANE_Status SetWord(SANE_Handle h, int option, SANE_Word word)
    {
        return sane_vordane5_control_option(h, option, SANE_ACTION_SET_VALUE, &word, nullptr);
    }

    // Reads the current page with reads of at most chunk bytes until
    // sane_read stops; *status receives the status that stopped it.
    static std::vector<uint8_t> ReadPage(SANE_Handle h, int chunk, SANE_Status* status)
    {
        std::vector<uint8_t> data;
        std::vector<SANE_Byte> buffer(static_cast<size_t>(chunk));
        for (;;) {
            SANE_Int length = -1;
            SANE_Status s = sane_vordane5_read(h, buffer.data(), chunk, &length);
            if (s != SANE_STATUS_GOOD) {
                *status = s;
                return data;
            }
            data.insert(data.end(), buffer.begin(), buffer.begin() + length);
        }
    }

    // Every page number the engine handed out was given back exactly once.
    static bool EveryPageFreedOnce(std::string* why)
    {
        std::vector<int> read;
        for (const fakeengine::Call& call : fakeengine::Ledger("ReadImageData")) {
            if (call.result == 0) {
                read.push_back(call.pageNumber);
            }
        }
        std::vector<int> freed;
        for (const fakeengine::Call& call : fakeengine::Ledger("FreeImageData")) {
            freed.push_back(call.pageNumber);
        }
        std::sort(read.begin(), read.end());
        std::sort(freed.begin(), freed.end());
        if (read != freed) {
            *why = "read " + Join(read) + " freed " + Join(freed);
            return false;
        }
        return true;
    }

private:
    static std::string Join(const std::vector<int>& numbers)
    {
        std::string text;
        for (int n : numbers) {
            text += (text.empty() ? "" : ",") + std::to_string(n);
        }
        return "[" + text + "]";
    }

    ScratchDir dir_;
};

// The fixture of the scan-job tests: a fresh BackendFixture for each test
// and the backend ended (sane_exit) after it.
class BackendJobTest : public testing::Test {
protected:
    void TearDown() override { sane_vordane5_exit(); }

    // Opens the registered device with the given timeline.
    SANE_Handle Open(const std::string& timeline)
    {
        b_.Engine(timeline);
        SANE_Handle h = nullptr;
        EXPECT_TRUE(b_.InitAndOpen(&h));
        return h;
    }

    BackendFixture b_;
};
