// The whole engine on arbitrary scan data replayed by its mock device: the
// stream goes through the reading thread, the scheduler, the real decoders
// and the enhancement into delivered pages. Nothing may crash, hang or
// allocate in proportion to sizes the stream merely announces (run with
// -malloc_limit_mb=512), and every delivered page holds exactly its rows.
//
// Input: byte 0 chooses the scan (bit 0 generation 1, bits 1-2 the colour
// type, bit 3 duplex, bit 4 a paper without fixed size, bits 5-6 the
// resolution); the rest is the device's answer to the scan command.
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "VexmorApi/Vexmor.h"
#include "tests/support/engine_driver/EngineDriver.h"
#include "tests/support/mock_recording/MockRecording.h"

namespace {

// Silent streams end at once; the device's own timer values still count.
vscore::EngineTimings Timings()
{
    vscore::EngineTimings timings;
    timings.readTimeoutMs = 20;
    timings.shortReadTimeoutMs = 20;
    timings.receiveTryMs = 2;
    timings.abortAckTimeoutMs = 100;
    timings.statusPollSleepMs = 0;
    timings.rescanDelayMs = 0;
    timings.mock.pacingMs = 0;
    timings.mock.coverMs = 0;
    timings.mock.pollMs = 1;
    return timings;
}

// One engine per generation for the whole run, as one session scans many
// times: the capability query (with the device's pause before QDI) happens
// once. The two recordings share the folder; only their Q answers collide,
// and Q is read only with the capabilities, so each run writes its
// generation's recording afresh.
struct Session {
    std::string home;
    std::unique_ptr<mock_recording::MockFolder> folder;
    std::unique_ptr<vscore::CVexmor> engines[2];  // generation 2, generation 1
};

Session& TheSession()
{
    static Session session;
    return session;
}

// Initialised, selected (mock mode takes any selection) and the
// capabilities read.
void Open(vscore::CVexmor& engine)
{
    Check(engine.Initialize(nullptr, false) == 0);
    vscore::_VS_SELECT_DEVICE_INFO zero{};
    Check(engine.SelectDevice(zero) == 0);
    vscore::tagVS_SCANNER_CAPABILITY_VER1 capability{};
    Check(engine.QueryDeviceCapabilities(1, &capability) == 0);
}

// The recording's answers describe an A6 page at the resolution, the size
// the request asks for.
mock_recording::Job JobAt(uint32_t resolution)
{
    mock_recording::Job job;
    job.resolution = resolution;
    job.pages = {mock_recording::Page::Pattern(mock_recording::PixelKind::kGray, 1050 * resolution / 254,
                                               1480 * resolution / 254, 1)};
    return job;
}

// Writes the generation's recording at the resolution unless the last run
// wrote the same one.
void WriteRecording(bool generation1, uint32_t resolution)
{
    static int written = -1;
    int const key = static_cast<int>(resolution) * 2 + (generation1 ? 1 : 0);
    if (key == written) {
        return;
    }
    Session& session = TheSession();
    if (generation1) {
        mock_recording::WriteGeneration1(*session.folder, JobAt(resolution));
    } else {
        mock_recording::WriteGeneration2(*session.folder, JobAt(resolution));
    }
    written = key;
}

void EndSession()
{
    Session& session = TheSession();
    for (auto& engine : session.engines) {
        if (engine) {
            engine->UnInitialize();
            engine.reset();
        }
    }
    std::filesystem::remove_all(session.home);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char shm[] = "/dev/shm/vexmor-fuzz-engine-XXXXXX";
    char tmp[] = "/tmp/vexmor-fuzz-engine-XXXXXX";
    char* home = mkdtemp(shm);
    if (home == nullptr) {
        home = mkdtemp(tmp);
    }
    Check(home != nullptr);
    Session& session = TheSession();
    session.home = home;
    setenv("HOME", home, 1);
    session.folder = std::make_unique<mock_recording::MockFolder>(session.home);
    WriteRecording(false, 100);
    session.engines[0] = std::make_unique<vscore::CVexmor>(Timings());
    Open(*session.engines[0]);
    WriteRecording(true, 100);
    session.engines[1] = std::make_unique<vscore::CVexmor>(Timings());
    Open(*session.engines[1]);
    atexit(EndSession);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const vscore::COLORTYPE kColors[] = {vscore::TRUEGRAY, vscore::BLACKWHITE, vscore::COLOR24BIT,
                                                vscore::ERRDIFFUSION};
    static const uint32_t kResolutions[] = {100, 150, 200, 300};
    if (size < 1) {
        return 0;
    }
    uint8_t const setup = data[0];
    bool const generation1 = (setup & 1) != 0;
    uint32_t const resolution = kResolutions[(setup >> 5) & 3];
    Session& session = TheSession();
    mock_recording::Bytes const stream(data + 1, data + size);
    // The answers to the preparation report the resolution asked for.
    WriteRecording(generation1, resolution);
    session.folder->Write(generation1 ? "X" : "XSC", stream);
    vscore::CVexmor& engine = *session.engines[generation1 ? 1 : 0];
    auto request = engine_driver::Request(resolution, kColors[(setup >> 1) & 3],
                                          (setup & 0x10) != 0 ? vscore::AUTOSIZE : vscore::A6,
                                          (setup & 8) != 0 ? vscore::DUPLEX_LONG : vscore::SIMPLEX);
    if (engine.StartScanning(&request) != 0) {
        return 0;
    }
    engine_driver::Options options;
    // A timer event of the stream may make the device wait for minutes: the
    // scan is cancelled then.
    options.limit = std::chrono::seconds(2);
    engine_driver::Outcome out = engine_driver::Drain(engine, options);
    if (out.timedOut) {
        Check(engine.AbortScanning());
        out = engine_driver::Drain(engine, options);
        Check(!out.timedOut);
    }
    for (const engine_driver::Page& page : out.pages) {
        const vscore::tagVS_SCAN_IMAGEDATA& r = page.record;
        if (r.isBlankPage) {
            continue;
        }
        Check(page.pixels.size() == r.dataSize);
        Check(uint64_t{r.bytesPerLine} * r.height == r.dataSize);
        Check(uint64_t{r.width} * r.bitsPerPixel <= uint64_t{r.bytesPerLine} * 8);
    }
    return 0;
}
