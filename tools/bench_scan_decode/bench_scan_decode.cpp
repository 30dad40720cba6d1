// How fast the scan decoder enlarges an A4 page: 300 -> 600 dpi (1:2) and
// 200 -> 300 dpi (2:3), 8 and 24 bits, in output megapixels per second,
// beside ImageMagick (convert -limit thread 1 ... -resize) and libvips
// (vips resize, VIPS_CONCURRENCY=1) on the same raw page in the same run.
// Each anchor's own load-and-save-only run (convert in out, vips copy) is
// taken off its time, so the ratios compare resampling with resampling. A
// raw 24-bit page at 1:1 through the decoder is set beside a plain copy of
// the page. Every figure is the best of the runs.
//   bench_scan_decode [runs]     3 by default
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ReferenceImages.h"
#include "VexmorApi/Pages/DeviceImageLines.h"
#include "VexmorApi/ScanDecoder/ScanDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A4 at the resolution: smooth shading with some texture, as a scan has.
PlainImage A4Page(uint16_t resolution, unsigned bits)
{
    uint32_t const width = static_cast<uint32_t>(8.27 * resolution + 0.5);
    uint32_t const height = static_cast<uint32_t>(11.69 * resolution + 0.5);
    PlainImage page{width, height, bits, {}};
    page.pixels.resize(page.RowBytes() * height);
    std::vector<unsigned char> const noise = Pattern(page.RowBytes() * 2, 7);
    for (uint32_t y = 0; y < height; ++y) {
        unsigned char* row = page.Row(y);
        for (uint64_t i = 0; i < page.RowBytes(); ++i) {
            row[i] = static_cast<unsigned char>((i / 3 + y) % 192 + noise[(i + y * 7) % noise.size()] % 64);
        }
    }
    return page;
}

std::unique_ptr<DeviceImageLines> LinesOf(PlainImage const& page, uint16_t resolution)
{
    auto const type = page.bits == 8 ? DeviceImageInfo::TrueGray : DeviceImageInfo::Color;
    auto const color = page.bits == 8 ? DeviceImageLines::LineTrueGray : DeviceImageLines::LineColor;
    auto lines = std::make_unique<DeviceImageLines>(resolution, resolution, type, page.width, page.height);
    for (uint32_t y = 0; y < page.height; ++y) {
        lines->AppendLine(color, DeviceImageLines::CompressionNone, static_cast<uint32_t>(page.RowBytes()),
                          page.Row(y));
    }
    return lines;
}

// Best time of Proc over the page; the output's pixel count.
double TimeDecoder(PlainImage const& page, uint16_t in, uint16_t out, int runs, uint64_t* pixels)
{
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        std::unique_ptr<DeviceImageLines> lines = LinesOf(page, in);
        Clock::time_point const start = Clock::now();
        std::unique_ptr<BitmapImage> image =
            vscore::ScanDecoder().Proc(std::move(lines), out, 0xFFFFFFFFu, vscore::InvertNormal,
                                       static_cast<unsigned>(uint64_t{page.height} * out / in), nullptr);
        best = std::min(best, Seconds(start));
        ImageInfo const info = image->GetImageInfo();
        *pixels = uint64_t{info.GetWidth()} * info.GetHeight();
    }
    return best;
}

// Best wall time of a shell command; negative when it fails.
double TimeCommand(std::string const& command, int runs)
{
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        Clock::time_point const start = Clock::now();
        if (RunCommand(command + " >/dev/null 2>&1") != 0) {
            return -1;
        }
        best = std::min(best, Seconds(start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    int const runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    ScratchDir dir;
    bool const haveMagick = RunCommand(std::string(ConvertTool()) + " -version >/dev/null 2>&1") == 0;
    bool const haveVips = RunCommand("vips --version >/dev/null 2>&1") == 0;
    std::printf("best of %d runs; anchors less their load-and-save-only runs%s%s\n", runs,
                haveMagick ? "" : "; ImageMagick missing", haveVips ? "" : "; libvips missing");
    std::printf("%-22s %10s %10s %10s %10s %9s %9s\n", "A4 page", "decoder", "magick", "vips", "MP/s", "vs magick",
                "vs vips");
    struct Case {
        uint16_t in, out;
        char const* scale;
        char const* percent;
    };
    Case const cases[] = {{300, 600, "2", "200%"}, {200, 300, "1.5", "150%"}};
    double worst = 0;
    for (Case const& c : cases) {
        for (unsigned bits : {8u, 24u}) {
            PlainImage const page = A4Page(c.in, bits);
            std::string const in = dir / (bits == 8 ? "page.pgm" : "page.ppm");
            std::string const out = dir / (bits == 8 ? "out.pgm" : "out.ppm");
            WritePnm(in, page);
            uint64_t pixels = 0;
            double const decoder = TimeDecoder(page, c.in, c.out, runs, &pixels);
            std::string const magick = std::string(ConvertTool()) + " -limit thread 1 '" + in + "'";
            double magickTime = -1, vipsTime = -1;
            if (haveMagick) {
                double const resize = TimeCommand(magick + " -resize " + c.percent + " '" + out + "'", runs);
                double const copy = TimeCommand(magick + " '" + out + "'", runs);
                magickTime = resize < 0 || copy < 0 ? -1 : std::max(resize - copy, 1e-6);
            }
            if (haveVips) {
                std::string const vips = "VIPS_CONCURRENCY=1 vips ";
                double const resize = TimeCommand(vips + "resize '" + in + "' '" + out + "' " + c.scale, runs);
                double const copy = TimeCommand(vips + "copy '" + in + "' '" + out + "'", runs);
                vipsTime = resize < 0 || copy < 0 ? -1 : std::max(resize - copy, 1e-6);
            }
            char name[64];
            std::snprintf(name, sizeof name, "%u:%u %u -> %u %2u-bit", c.in / 100, c.out / 100, c.in, c.out, bits);
            // Ratios above 1: the decoder is slower than the anchor by that factor.
            double const vsMagick = magickTime > 0 ? decoder / magickTime : 0;
            double const vsVips = vipsTime > 0 ? decoder / vipsTime : 0;
            std::printf("%-22s %9.3fs %9.3fs %9.3fs %10.1f %9.2f %9.2f\n", name, decoder, magickTime, vipsTime,
                        static_cast<double>(pixels) / decoder / 1e6, vsMagick, vsVips);
            // Against the faster anchor: the larger of the two ratios.
            worst = std::max(worst, std::max(vsMagick, vsVips));
        }
    }
    std::printf("decoder time / faster anchor's time, worst case: %.2f (goal: at most 2)\n", worst);

    // 1:1: whole uncompressed lines are used where they lie, so the decoder
    // costs a few passes over the page, not a decode.
    PlainImage const page = A4Page(300, 24);
    uint64_t pixels = 0;
    double const decoder = TimeDecoder(page, 300, 300, runs, &pixels);
    std::vector<unsigned char> copy(page.pixels.size());
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        Clock::time_point const start = Clock::now();
        std::memcpy(copy.data(), page.pixels.data(), page.pixels.size());
        best = std::min(best, Seconds(start));
    }
    std::printf("1:1 300 dpi 24-bit: decoder %.3fs (%.1f MP/s), memcpy of the page %.3fs, ratio %.1f\n", decoder,
                static_cast<double>(pixels) / decoder / 1e6, best, decoder / best);
    return copy[0] == page.pixels[0] ? 0 : 1;
}
