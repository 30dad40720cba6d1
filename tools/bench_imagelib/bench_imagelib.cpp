// Pages per second of blank/colour detection (modes 0 and 2, colour and gray
// A4), of error diffusion (8-bit A4) and of rotation by 2 degrees (24 and
// 8 bits, A4) at 300 and 600 dpi on one thread, each beside an anchor run in
// the same process tree on the same page: OpenCV's conversion to YCrCb plus
// a histogram (a histogram alone for gray pages) for detection, Pillow's
// convert('1') (Floyd-Steinberg) for error diffusion and OpenCV's bilinear
// warpAffine for rotation, all through /usr/bin/python3 with one thread. The
// slowdown is the anchor's pages/s over ours; the goal is at most 2.
//   bench_imagelib [SECONDS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/VdImageProcessing.h"
#include "imagelib/VdScnImgConv.h"
#include "imagelib/VdSipErrorDiffusion.h"
#include "imagelib/VdSipImgDataWinBmp.h"
#include "tests/support/sip_images/SipPages.h"

namespace {

using Clock = std::chrono::steady_clock;
using sippages::Page;

// Runs `once` until `seconds` have passed (at least 3 times); pages/s.
template <class Once>
double PagesPerSecond(double seconds, Once once)
{
    once();  // warm caches and tables
    int runs = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        once();
        ++runs;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds || runs < 3);
    return runs / elapsed;
}

const char* kAnchor = R"PY(
import sys, time
import numpy as np
op, path = sys.argv[1], sys.argv[2]
width, height, stride, channels = (int(v) for v in sys.argv[3:7])
seconds = float(sys.argv[7])
rows = np.fromfile(path, dtype=np.uint8).reshape((height, stride))[:, : width * channels]
if op == "detect":
    import cv2
    cv2.setNumThreads(1)
    image = np.ascontiguousarray(rows.reshape((height, width, channels)) if channels == 3 else rows)
    def once():
        if channels == 3:
            ycc = cv2.cvtColor(image, cv2.COLOR_BGR2YCrCb)
            cv2.calcHist([ycc], [0], None, [64], [0, 256])
        else:
            cv2.calcHist([image], [0], None, [64], [0, 256])
elif op == "rotate":
    import cv2
    cv2.setNumThreads(1)
    image = np.ascontiguousarray(rows.reshape((height, width, channels)) if channels == 3 else rows)
    a = np.deg2rad(2.0)
    matrix = np.array([[np.cos(a), -np.sin(a), 0], [np.sin(a), np.cos(a), 0]])
    def once():
        cv2.warpAffine(image, matrix, (width, height), flags=cv2.INTER_LINEAR | cv2.WARP_INVERSE_MAP,
                       borderMode=cv2.BORDER_CONSTANT, borderValue=(255, 255, 255))
else:
    from PIL import Image
    page = Image.frombytes("L", (width, height), np.ascontiguousarray(rows).tobytes())
    def once():
        page.convert("1")
once()
runs, start = 0, time.perf_counter()
while True:
    once()
    runs += 1
    elapsed = time.perf_counter() - start
    if elapsed >= seconds and runs >= 3:
        break
print(runs / elapsed)
)PY";

// Pages/s of the anchor on the page's pixels; 0 when the anchor cannot run.
double Anchor(const char* op, const Page& page, int channels, double seconds)
{
    char pixels[] = "/tmp/bench_imagelib_XXXXXX";
    char script[] = "/tmp/bench_imagelib_py_XXXXXX";
    const int fd = mkstemp(pixels), sd = mkstemp(script);
    if (fd < 0 || sd < 0)
        return 0;
    const bool written = write(fd, page.pixels.data(), page.pixels.size()) == ssize_t(page.pixels.size()) &&
                         write(sd, kAnchor, std::char_traits<char>::length(kAnchor)) > 0;
    close(fd);
    close(sd);
    double rate = 0;
    if (written) {
        const std::string command = std::string("/usr/bin/python3 ") + script + " " + op + " " + pixels + " " +
                                    std::to_string(page.width) + " " + std::to_string(page.height) + " " +
                                    std::to_string(page.stride) + " " + std::to_string(channels) + " " +
                                    std::to_string(seconds);
        if (FILE* pipe = popen(command.c_str(), "r")) {
            if (std::fscanf(pipe, "%lf", &rate) != 1)
                rate = 0;
            pclose(pipe);
        }
    }
    unlink(pixels);
    unlink(script);
    return rate;
}

// A4 with lines of text and, on colour pages, a photo-sized colour patch.
Page A4(uint32_t dpi, bool colour)
{
    const uint32_t width = 2480 * dpi / 300, height = 3508 * dpi / 300;  // 210 x 297 mm
    Page page = colour ? sippages::Colour(width, height, 250, 250, 250) : sippages::Gray(width, height, 250);
    sippages::TextBlocks(page, dpi, dpi);
    if (colour)
        sippages::Fill(page, width / 4, height / 3, width * 3 / 4, height / 2, 60, 120, 200);
    return page;
}

// An 8-bit A4 page with the levels of a photograph: smooth ramps and text.
Page GrayPhoto(uint32_t dpi)
{
    Page page = A4(dpi, false);
    for (uint32_t y = page.height / 3; y < page.height * 2 / 3; ++y)
        for (uint32_t x = 0; x < page.width; ++x)
            page.Row(y)[x] = static_cast<uint8_t>((x * 255 / page.width + y * 255 / page.height) / 2);
    return page;
}

void Report(const char* what, double ours, double anchor, const char* anchorName)
{
    if (anchor > 0)
        std::printf("%-34s %8.1f pages/s   %-28s %8.1f pages/s   slowdown %.2f\n", what, ours, anchorName, anchor,
                    anchor / ours);
    else
        std::printf("%-34s %8.1f pages/s   (%s not available)\n", what, ours, anchorName);
}

// RotateDegree by 2 degrees about the top-left corner into a page of the
// same size and depth.
void Rotation(uint32_t dpi, bool colour, double seconds)
{
    Page page = A4(dpi, colour);
    const int32_t bits = colour ? 24 : 8;
    tagSIPIMAGEINFO info{
        int32_t(page.width), int32_t(page.height), bits, int32_t(dpi * 3937 / 100), int32_t(dpi * 3937 / 100), 0, 0};
    CVdSipImgDataWinBmp input, output;
    input.InitializeToFile(nullptr, &info);
    output.InitializeToFile(nullptr, &info);
    unsigned char* pixels = input.GetImageDataPtr();
    if (pixels == nullptr || output.GetImageDataPtr() == nullptr) {
        std::printf("rotation %u dpi: no memory\n", dpi);
        return;
    }
    std::copy(page.pixels.begin(), page.pixels.end(), pixels);
    const int32_t w = info.width, h = info.height;
    const tagSIPPAPERCORNERS corners{{0, 0}, {w, 0}, {0, h}, {w, h}};
    CVdScnImgConv conv;
    const double ours = PagesPerSecond(
        seconds, [&] { conv.RotateDegree(&input, -200, &corners, false, 0, 0, colour ? 5 : 3, 0, &output); });
    char what[96];
    std::snprintf(what, sizeof what, "rotate 2 deg %d to %d A4 %u dpi", bits, bits, dpi);
    Report(what, ours, Anchor("rotate", page, colour ? 3 : 1, seconds), "OpenCV warpAffine linear");
}

}  // namespace

int main(int argc, char** argv)
{
    static const char usage[] =
        "usage: bench_imagelib [SECONDS]\n"
        "  SECONDS  time spent on each figure, ours and the anchor's (default 2, 0.1 to 600)\n";
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    double seconds = 2.0;
    char* end = nullptr;
    if (argc > 1)
        seconds = std::strtod(argv[1], &end);
    if (argc > 2 || (argc == 2 && (end == argv[1] || *end != '\0' || !(seconds >= 0.1 && seconds <= 600)))) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::printf("one thread, %.1f s per figure; slowdown = anchor pages/s / ours (goal <= 2)\n", seconds);
    for (uint32_t dpi : {300u, 600u}) {
        for (bool colour : {true, false}) {
            Page page = A4(dpi, colour);
            const tagVDIP_INPUT_IMAGE_DATA input{page.pixels.data(), page.width,     page.stride,
                                                 page.height,        colour ? 1 : 6, colour ? 3 : 1};
            const double anchor = Anchor("detect", page, colour ? 3 : 1, seconds);
            for (uint8_t mode : {0, 2}) {
                tagVDIP_BLANKCOLOR_DETECTION_SETTING setting{mode, dpi, dpi, 5, 5, 5, 100, 100, 100, 100};
                tagVDIP_BLANKCOLOR_DETECTION_RESULT result;
                const double ours =
                    PagesPerSecond(seconds, [&] { VdIPBlankColorDetectionBinMode(&input, &setting, &result); });
                char what[96];
                std::snprintf(what, sizeof what, "detect mode %d %s A4 %u dpi (=%d)", mode, colour ? "colour" : "gray",
                              dpi, int(result));
                Report(what, ours, anchor, colour ? "OpenCV YCrCb + calcHist" : "OpenCV calcHist");
            }
        }
        Page gray = GrayPhoto(dpi);
        const uint32_t stride = (gray.width + 31) / 32 * 4;
        std::vector<uint8_t> bits(size_t{stride} * gray.height);
        CVdSipErrorDiffusion diffusion;
        const double ours = PagesPerSecond(seconds, [&] {
            diffusion.ExecTwoLevelErrorDiffusion(gray.pixels.data(), bits.data(), int32_t(gray.width),
                                                 int32_t(gray.height), int32_t(gray.stride), int32_t(stride));
        });
        char what[96];
        std::snprintf(what, sizeof what, "error diffusion 8-bit A4 %u dpi", dpi);
        Report(what, ours, Anchor("diffuse", gray, 1, seconds), "Pillow convert('1')");
        for (bool colour : {true, false})
            Rotation(dpi, colour, seconds);
    }
    return 0;
}
