// The scripted page processing object and its factory.
#include "FakeScnImgProc.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "VexmorApi/ImageEnhance/VdScnImgProcessor.h"
#include "VexmorApi/Pages/WinBmpIO.h"

namespace fake_scn_img_proc {

namespace {

Script g_script;  // written only while no fake is alive
std::atomic<int> g_made{0};
std::atomic<int> g_runs{0};
std::atomic<int> g_alive{0};
std::atomic<int> g_maxAlive{0};
std::mutex g_seenMutex;
Seen g_seen;  // guarded by g_seenMutex
vscore::VdScnImgProcessor::Factory g_previous = nullptr;

ImageInfo::ColorType PageType(int scanType)
{
    switch (scanType) {
    case kSipScanMono:
        return ImageInfo::BlackAndWhite;
    case kSipScanErrorDiffusion:
        return ImageInfo::Gray;
    case kSipScanTrueGray:
        return ImageInfo::TrueGray;
    default:
        return ImageInfo::Color;
    }
}

class Fake : public IVdScnImgProc {
public:
    Fake()
    {
        ++g_made;
        int const alive = ++g_alive;
        for (int max = g_maxAlive; alive > max && !g_maxAlive.compare_exchange_weak(max, alive);) {
        }
    }
    ~Fake() override { --g_alive; }

    int32_t OpenScnImgProc(tagSIPSCNPARADT* parameters, tagSIPRLSTCSETTING*, tagSIPDETECTBLANKSETTING*,
                           tagSIPDETECTCOLORTYPESETTING*) override
    {
        parameters_ = *parameters;
        return g_script.openCode;
    }
    int32_t ExecScnImgProc(const char* inputPath, const char* outputPath, tagSIPPAPERCORNERS* corners,
                           tagSIPIMAGEINFO*) override
    {
        ++g_runs;
        {
            std::ifstream in(inputPath, std::ios::binary);
            std::lock_guard<std::mutex> lock(g_seenMutex);
            g_seen.parameters = parameters_;
            g_seen.cornersGiven = corners != nullptr;
            g_seen.corners = corners != nullptr ? *corners : tagSIPPAPERCORNERS{};
            g_seen.input.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        // Long enough for overlapping runs to show.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (g_script.execCode == 0) {
            Write(outputPath);
        }
        return g_script.execCode;
    }
    int32_t GetScnImgProcResult(tagSIPRESULT* result) override
    {
        *result = tagSIPRESULT{};
        result->orientation = g_script.orientation;
        return g_script.resultCode;
    }
    int32_t CloseScnImgProc() override { return 0; }
    int32_t IsAvailableDetectBlank() override { return 1; }
    int32_t IsAvailableAutoColorType() override { return 1; }
    int32_t IsAvailableDeskew() override { return 1; }
    int32_t IsAvailableAutoPaperSize() override { return 1; }
    int32_t IsAvailableAutoRotate() override { return 1; }
    int32_t IsAvailableRemoveBacksideNoise() override { return 1; }
    int32_t IsAvailableExec1BppErrorDiffusion() override { return 1; }
    int32_t ExecNin1Proc(tagSIPPROCFILELIST*, tagSIPPROCFILELIST*, int32_t, _SIPCOMBINETYPE) override { return 5; }
    int32_t Exec1toNProc(tagSIPPROCFILELIST*, tagSIPPROCFILELIST*, int32_t) override { return 5; }
    int32_t GetLastResult() override { return 0; }

private:
    void Write(char const* path) const
    {
        if (g_script.output == Output::NotBmp) {
            std::ofstream(path, std::ios::binary) << "not a bitmap";
        } else if (g_script.output == Output::WhitePage) {
            // Corner fitting leaves the size to the library: one pixel then.
            ImageInfo const info(300, PageType(parameters_.scanType),
                                 static_cast<uint32_t>(std::max(parameters_.width, 1)),
                                 static_cast<uint32_t>(std::max(parameters_.height, 1)));
            std::vector<unsigned char> const white(info.GetRequiredByteSizeFor4BytesAlignment(), 0xFF);
            WinBmpIO::Write(info, static_cast<unsigned>(white.size()), white.data(), path, false);
        }
    }

    tagSIPSCNPARADT parameters_{};
};

std::unique_ptr<IVdScnImgProc> MakeFake()
{
    if (g_script.noObject) {
        return nullptr;
    }
    return std::make_unique<Fake>();
}

}  // namespace

Installed::Installed(Script const& script)
{
    g_script = script;
    g_made = 0;
    g_runs = 0;
    g_maxAlive = 0;
    {
        std::lock_guard<std::mutex> lock(g_seenMutex);
        g_seen = Seen{};
    }
    g_previous = vscore::VdScnImgProcessor::SetProcessingObjectFactory(&MakeFake);
}

Installed::~Installed() { vscore::VdScnImgProcessor::SetProcessingObjectFactory(g_previous); }

int Installed::Made() const { return g_made; }
int Installed::Runs() const { return g_runs; }
int Installed::MaxAlive() const { return g_maxAlive; }
int Installed::Alive() const { return g_alive; }

Seen Installed::Last() const
{
    std::lock_guard<std::mutex> lock(g_seenMutex);
    return g_seen;
}

}  // namespace fake_scn_img_proc
