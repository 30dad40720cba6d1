// The floor of a page's CPU cost: the least any driver must do for the page
// that scanner-sim sends as JPEG (its own picture and encoder, the profile's
// quality), that is libjpeg-turbo decoding the stream into a buffer and one
// memcpy of the decoded page into a second buffer (the copy to the front
// end). Both buffers are reused and faulted in by a first run, so the figure
// holds no page faults. Prints the CPU time of this process per page, user
// and system, from getrusage over the timed runs.
//   bench_page_floor [--pages N] [--dpi D] [--gray]
// prints:
//   floor A4 300 dpi colour: T ms CPU per page (user U ms, system S ms), JPEG K KiB
#include <stdio.h>  // libjpeg's header needs FILE first
#include <sys/resource.h>

#include <jpeglib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/scanner_sim/PageImage.h"
#include "tools/scanner_sim/Profile.h"

namespace {

// A4 in tenths of a millimetre, as the simulator's sheet table has it.
constexpr uint32_t kA4Width = 2100;
constexpr uint32_t kA4Height = 2970;

void Usage(FILE* out)
{
    std::fprintf(out,
                 "usage: bench_page_floor [--pages N] [--dpi D] [--gray]\n"
                 "  Decodes the JPEG stream scanner-sim sends for an A4 page at D dpi (300) in\n"
                 "  colour (or gray) with libjpeg-turbo and copies the decoded page once with\n"
                 "  memcpy, N times (20) after one warm-up run; prints the CPU time per page.\n");
}

uint32_t Pixels(uint32_t tenthsOfMm, uint32_t dpi) { return (tenthsOfMm * dpi + 127) / 254; }

// The stream as the simulator makes it: page 1, front side, every block.
std::vector<uint8_t> SimulatorJpeg(scanner_sim::PixelKind kind, uint32_t width, uint32_t height, uint32_t dpi)
{
    scanner_sim::PageContent const page(kind, width, height, 1, false, false);
    scanner_sim::JpegStream stream(kind, width, height, dpi, scanner_sim::Profile().jpegQuality,
                                   scanner_sim::Profile().jpegBlock, {});
    std::vector<uint8_t> row(scanner_sim::RowBytes(kind, width));
    std::vector<uint8_t> jpeg;
    scanner_sim::Bytes block;
    for (uint32_t y = 0; y < height && stream.Ok(); ++y) {
        page.Row(y, row.data());
        stream.WriteRow(row.data());
        while (stream.TakeBlock(block)) {
            jpeg.insert(jpeg.end(), block.begin(), block.end());
        }
    }
    while (stream.TakeBlock(block)) {
        jpeg.insert(jpeg.end(), block.begin(), block.end());
    }
    if (!stream.Ok()) {
        std::fprintf(stderr, "bench_page_floor: the encoder failed: %s\n", stream.Error().c_str());
        std::exit(1);
    }
    return jpeg;
}

// Decodes the stream into pixels (rows back to back), then copies them
// once into copy; false when libjpeg refused the stream.
bool DecodeAndCopy(std::vector<uint8_t> const& jpeg, std::vector<uint8_t>& pixels, std::vector<uint8_t>& copy)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK && jpeg_start_decompress(&cinfo);
    size_t const stride = size_t{cinfo.output_width} * static_cast<size_t>(cinfo.output_components);
    ok = ok && stride * cinfo.output_height == pixels.size();
    while (ok && cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + size_t{cinfo.output_scanline} * stride;
        ok = jpeg_read_scanlines(&cinfo, &row, 1) == 1;
    }
    if (ok) {
        jpeg_finish_decompress(&cinfo);
        std::memcpy(copy.data(), pixels.data(), pixels.size());
    }
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

double Ms(timeval const& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; }

}  // namespace

int main(int argc, char** argv)
{
    int pages = 20;
    uint32_t dpi = 300;
    bool gray = false;
    for (int i = 1; i < argc; ++i) {
        std::string const arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--pages" && i + 1 < argc) {
            pages = std::atoi(argv[++i]);
        } else if (arg == "--dpi" && i + 1 < argc) {
            dpi = static_cast<uint32_t>(std::atoi(argv[++i]));
        } else if (arg == "--gray") {
            gray = true;
        } else {
            Usage(stderr);
            return 2;
        }
    }
    if (pages < 1 || dpi < 50 || dpi > 1200) {
        Usage(stderr);
        return 2;
    }
    scanner_sim::PixelKind const kind = gray ? scanner_sim::PixelKind::kGray : scanner_sim::PixelKind::kColor;
    uint32_t const width = Pixels(kA4Width, dpi);
    uint32_t const height = Pixels(kA4Height, dpi);
    std::vector<uint8_t> const jpeg = SimulatorJpeg(kind, width, height, dpi);
    std::vector<uint8_t> pixels(scanner_sim::RowBytes(kind, width) * height);
    std::vector<uint8_t> copy(pixels.size());
    if (!DecodeAndCopy(jpeg, pixels, copy)) {
        std::fprintf(stderr, "bench_page_floor: libjpeg did not decode the page\n");
        return 1;
    }
    rusage before{};
    rusage after{};
    getrusage(RUSAGE_SELF, &before);
    for (int i = 0; i < pages; ++i) {
        DecodeAndCopy(jpeg, pixels, copy);
    }
    getrusage(RUSAGE_SELF, &after);
    double const user = (Ms(after.ru_utime) - Ms(before.ru_utime)) / pages;
    double const system = (Ms(after.ru_stime) - Ms(before.ru_stime)) / pages;
    std::printf("floor A4 %u dpi %s: %.1f ms CPU per page (user %.1f ms, system %.1f ms), JPEG %zu KiB\n", dpi,
                gray ? "gray" : "colour", user + system, user, system, jpeg.size() / 1024);
    return 0;
}
