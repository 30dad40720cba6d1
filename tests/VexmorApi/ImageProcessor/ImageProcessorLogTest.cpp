// What the scheduler and the two tasks write to their logs over a run of
// twenty pages, two in flight: one wait line per waiting page naming the
// page it waits behind, timer lines carrying the logs' own thread number,
// the device-data and image dumps. The logs are set up once per program,
// so this program has this one test.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <regex>
#include <thread>

#include "FakeTasks.h"
#include "PageImages.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/ImageProcessor/ImageProcessor_Normal.h"
#include "VexmorApi/Tasks/DecodeTask.h"
#include "VexmorApi/Tasks/ImageEnhanceTask.h"
#include "tests/VexmorApi/Utilities/LogHome.h"

using fake_tasks::FakeTask;
using fake_tasks::Gate;
using fake_tasks::RecordingTaskFactory;
using fake_tasks::TaskKind;

namespace {

constexpr uint32_t kWidth = 16;
constexpr uint32_t kHeight = 4;

std::shared_ptr<Page> LinesPage(uint16_t pageNo)
{
    auto lines = std::make_unique<DeviceImageLines>(300, 300, DeviceImageInfo::TrueGray, kWidth, kHeight);
    std::vector<unsigned char> const bytes = Pattern(kWidth * kHeight, pageNo);
    for (uint32_t y = 0; y < kHeight; ++y) {
        lines->AppendLine(DeviceImageLines::LineTrueGray, DeviceImageLines::CompressionNone, kWidth,
                          bytes.data() + y * kWidth);
    }
    return std::make_shared<Page>(std::move(lines), pageNo);
}

size_t CountEnding(std::vector<std::string> const& lines, std::string const& tail)
{
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](std::string const& line) {
        return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    }));
}

size_t CountWaits(std::vector<std::string> const& lines)
{
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](std::string const& line) {
        return line.find(" is waiting for process ") != std::string::npos;
    }));
}

class ImageProcessorLog : public LogHome {};

TEST_F(ImageProcessorLog, TwentyPagesTwoInFlight)
{
    Settings("LogLevel=2\nThreadId=1\n");
    std::mt19937 random(21);
    std::vector<int> durations(40);
    for (int& d : durations) {
        d = std::uniform_int_distribution<int>(1, 8)(random);
    }
    Gate firstPage;
    auto decode = [&](FakeTask& t) {
        uint16_t const n = t.GetPage().GetPageNo();
        if (n == 1 && !firstPage.Pass(t)) {
            return 1;
        }
        t.Work(std::chrono::milliseconds(durations[n - 1u]));
        // The real decode task, on this page's lines, for its log lines.
        DecodeParameter parameter;
        parameter.SetResolution(300);
        vscore::DecodeTask real(std::shared_ptr<Page>(&t.GetPage(), [](Page*) {}), parameter);
        real.Run();
        return real.GetResult();
    };
    auto enhance = [&](FakeTask& t) {
        t.Work(std::chrono::milliseconds(durations[t.GetPage().GetPageNo() + 19u]));
        vscore::_IMAGEPROC_PARAM keep;
        keep.userColorType = vscore::IMAGEPROC_USER_TRUEGRAY;
        vscore::ImageEnhanceTask real(std::shared_ptr<Page>(&t.GetPage(), [](Page*) {}), keep, 300);
        real.Run();
        return real.GetResult();
    };
    auto factory = std::make_shared<RecordingTaskFactory>(decode, enhance);
    {
        ImageProcessor_Normal processor(2, factory);
        for (uint16_t n = 1; n <= 20; ++n) {
            processor.AddPage(LinesPage(n), DecodeParameter(), vscore::_IMAGEPROC_PARAM(), 300);
        }
        // While page 1 is held, every later page but 2 has to wait.
        for (int i = 0; i < 10000 && CountWaits(Lines(ReadOut("ProcessorLog.kmy"))) < 18; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        firstPage.Open();
        processor.WaitUntilAllProcessesAreFinished();
        for (uint16_t n = 1; n <= 20; ++n) {
            ASSERT_EQ(processor.GetResult(n)->GetType(), ImageProcessor::Result::Success);
        }
    }

    std::vector<std::string> const lines = Lines(ReadOut("ProcessorLog.kmy"));
    // Page 5 waits once, naming page 3, and keeps its device data in a file
    // meanwhile; so does every page from 3 on, pages 1 and 2 never wait.
    EXPECT_EQ(CountEnding(lines, "Process 5 is waiting for process 3 to finish."), 1u);
    std::regex const timer(R"(ID:(\d+)  Process (\d+)\. Timer (Start|Stop) \[(\d+)\](: \d+ msec)?)");
    size_t timerLines = 0;
    for (std::string const& line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, timer)) {
            EXPECT_EQ(m[1], m[4]) << line;  // the bracket carries the logs' thread number
            ++timerLines;
        }
    }
    EXPECT_EQ(CountWaits(lines), 18u);  // once for each page from 3 on
    for (int n = 3; n <= 20; ++n) {
        EXPECT_EQ(CountEnding(lines, "Process " + std::to_string(n) + " is waiting for process " +
                                         std::to_string(n - 2) + " to finish."),
                  1u);
        EXPECT_EQ(
            CountEnding(lines, "Process " + std::to_string(n) + "'s device image data have stored in temporary file."),
            1u);
    }
    EXPECT_EQ(timerLines, 40u);
    for (int n = 1; n <= 20; ++n) {
        std::string const no = std::to_string(n);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](std::string const& l) {
                                    return l.find("  Process " + no + " has started. Process ") != std::string::npos;
                                }),
                  1)
            << n;
        EXPECT_EQ(std::count_if(
                      lines.begin(), lines.end(),
                      [&](std::string const& l) {
                          return l.find("  Process " + no +
                                        " has finished. result = { type: Success, page: { No: " + no +
                                        ", Image: { Memory: 64 bytes, File: 0 bytes } } }, Finished Image Size: ") !=
                                 std::string::npos;
                      }),
                  1)
            << n;
        EXPECT_EQ(CountEnding(lines, ">>>>> WriteImage >>>>> pKeyName: DumpPostScanDec, pageNo: " + no + ", image = {"),
                  1u);
    }
    std::regex const lap(R"(ID:\d+  Finish (decoding|enhancement)\. Lap Time \[\d+\]: \d+ msec)");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](std::string const& l) { return std::regex_match(l, lap); }),
              40);

    std::vector<std::string> const decodeLines = Lines(ReadOut("DecodeLog.kmy"));
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(CountEnding(decodeLines, "  " + std::to_string(n) + " page's decode task started"), 1u) << n;
        EXPECT_EQ(CountEnding(decodeLines, "  " + std::to_string(n) + " page's decode task finished"), 1u) << n;
    }
    std::vector<std::string> const enhanceLines = Lines(ReadOut("ImageEnhanceLog.kmy"));
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(CountEnding(enhanceLines, "  " + std::to_string(n) + " page's image enhance task started"), 1u);
        EXPECT_EQ(CountEnding(enhanceLines, "  " + std::to_string(n) + " page's image enhance task finished"), 1u);
    }
    EXPECT_EQ(CountEnding(enhanceLines, "  change resolution if needed. in reso = 300, out reso = 300"), 20u);
}

}  // namespace
