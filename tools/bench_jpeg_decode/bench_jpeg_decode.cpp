// Speed of the engine's baseline JPEG decoder beside libjpeg-turbo, one
// thread, images in memory: MP/s of JD_Exec over the whole buffer, of the
// band decoder's line reads (4096-byte writes), and of libjpeg's
// jpeg_read_scanlines with the same options (slow integer DCT, replicating
// upsampling), with SIMD and with JSIMD_FORCENONE=1. Pages: A4 at 300 dpi
// in colour (4:2:0) and at 600 dpi in gray, cjpeg -quality 85 of a generated
// text-and-photo page. Then the peak RSS of a band decode of a 5100 x 21600
// colour page beside its decoded size and input. Every measurement runs in
// its own child process (libjpeg reads JSIMD_FORCENONE once per process).
//   bench_jpeg_decode                  all figures
//   bench_jpeg_decode measure WHAT F   one figure: WHAT is jd, band or libjpeg
//   bench_jpeg_decode rss F            peak RSS, decoded and input MiB
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// libjpeg's header needs the standard ones first.
#include <jpeglib.h>

#include "JpegPages.h"
#include "VexmorApi/JpegDecoder/BaselineJpeg.h"
#include "VexmorApi/JpegDecoder/JpegBandDecoder.h"

namespace {

constexpr int kRuns = 5;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

std::vector<uint8_t> ReadFile(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Whole buffer through JD_Exec; returns the pixels decoded.
size_t DecodeJd(std::vector<uint8_t>& jpeg)
{
    jpeg_decode_param* ctx = JD_Open(3);
    jpeg_decode_result r = JD_Exec(ctx, jpeg.data(), static_cast<long>(jpeg.size()));
    size_t samples = 0;
    while (r.status == JD_OUTPUT_READY || r.status == JD_NO_ERROR) {
        if (r.status == JD_OUTPUT_READY) {
            samples += static_cast<size_t>(r.length);
            std::free(r.data);
        }
        r = JD_Exec(ctx, nullptr, 0);
    }
    size_t const pixels = r.status == JD_END_OF_IMAGE && r.components ? samples / r.components : 0;
    JD_Close(ctx);
    return pixels;
}

// The band decoder's cycle without a line set: 4096-byte writes, every line
// read; returns the pixels read.
size_t DecodeBand(std::vector<uint8_t>& jpeg)
{
    JpegBandDecoder band;
    JPGBANDDECODEINFO info{};
    unsigned const size = static_cast<unsigned>(jpeg.size());
    if (band.BandJpegDecOpen(jpeg.data(), size, &info) != JPEGDEC_OK) {
        return 0;
    }
    size_t samples = 0;
    JPEGDECODESTATUS status = JPEGDEC_MORE_INPUT;
    for (unsigned written = 0; written < size && status == JPEGDEC_MORE_INPUT;) {
        unsigned const span = std::min(4096u, size - written);
        if (band.WriteJpegBlockData(jpeg.data() + written, span) != JPEGDEC_OK) {
            break;
        }
        written += span;
        do {
            void* line = nullptr;
            unsigned long lineSize = 0;
            status = band.ReadBandLineData(&line, &lineSize);
            samples += lineSize;
        } while (status == JPEGDEC_LINE_READY);
    }
    band.BandJpegDecClose();
    return samples / (info.bitsPerPixel / 8);
}

size_t DecodeLibjpeg(std::vector<uint8_t> const& jpeg)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    size_t const rowBytes = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    std::vector<unsigned char> rows(rowBytes * 16);
    JSAMPROW pointers[16];
    for (int i = 0; i < 16; ++i) {
        pointers[i] = rows.data() + i * rowBytes;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        jpeg_read_scanlines(&cinfo, pointers, 16);
    }
    size_t const pixels = static_cast<size_t>(cinfo.output_width) * cinfo.output_height;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

// The frame width as the band decoder reads it (libjpeg's header defines a
// macro JPEG_APP0 that the engine's header access also names).
unsigned FrameWidth(std::vector<uint8_t>& bytes)
{
    int32_t bpp = 0, resX = 0, resY = 0, width = 0, height = 0, pixels = 0;
    JpegBandDecoder().GetJpgImageInfo(bytes.data(), static_cast<unsigned>(bytes.size()), &bpp, &resX, &resY, &width,
                                      &height, &pixels);
    return static_cast<unsigned>(width);
}

// Best of kRuns after one warm-up, in megapixels per second.
int Measure(std::string const& what, std::string const& path)
{
    std::vector<uint8_t> jpeg = ReadFile(path);
    auto once = [&]() {
        return what == "jd" ? DecodeJd(jpeg) : what == "band" ? DecodeBand(jpeg) : DecodeLibjpeg(jpeg);
    };
    size_t const pixels = once();
    if (pixels == 0) {
        std::fprintf(stderr, "%s failed on %s\n", what.c_str(), path.c_str());
        return 1;
    }
    double best = 1e30;
    for (int i = 0; i < kRuns; ++i) {
        double const start = Now();
        once();
        best = std::min(best, Now() - start);
    }
    std::printf("%.1f\n", pixels / best / 1e6);
    return 0;
}

// The peak resident size of this process in KiB.
long PeakRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

// A whole band decode into a line set: peak RSS, decoded and input MiB.
int MeasureRss(std::string const& path)
{
    std::unique_ptr<DeviceImageJpeg> jpeg;
    size_t input = 0;
    {
        std::vector<uint8_t> bytes = ReadFile(path);
        input = bytes.size();
        unsigned const width = FrameWidth(bytes);
        jpeg = std::make_unique<DeviceImageJpeg>(300, 300, DeviceImageInfo::Color, width, 0);
        jpeg->AppendBlock(static_cast<uint32_t>(bytes.size()), bytes.data());
    }
    std::unique_ptr<DeviceImageLines> lines = JpegBandDecoder().DecodeJpegImage_Band(std::move(jpeg));
    if (!lines) {
        return 1;
    }
    std::printf("%.1f %.1f %.1f %u\n", PeakRssKiB() / 1024.0, lines->GetByteSize() / 1048576.0, input / 1048576.0,
                lines->GetHeight());
    return 0;
}

// Runs one measurement in a child of this program; its MP/s, or 0.
double Child(std::string const& env, std::string const& what, std::string const& path)
{
    std::string const self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string const command = env + " '" + self + "' measure " + what + " '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    double value = 0;
    if (pipe == nullptr || std::fscanf(pipe, "%lf", &value) != 1) {
        value = 0;
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return value;
}

struct Page {
    char const* name;
    unsigned width;
    unsigned height;
    unsigned components;
    char const* options;
};

// A tall colour page from a tile repeated down, as a PPM file.
void WriteTiledPage(std::string const& path, unsigned width, unsigned tileHeight, unsigned tiles)
{
    jpeg_pages::Raster const tile = jpeg_pages::MakePage(jpeg_pages::PageKind::TextAndPhoto, width, tileHeight, 3, 2);
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << tileHeight * tiles << "\n255\n";
    for (unsigned i = 0; i < tiles; ++i) {
        out.write(reinterpret_cast<char const*>(tile.samples.data()),
                  static_cast<std::streamsize>(tile.samples.size()));
    }
}

int RunAll()
{
    std::string dir = (std::filesystem::temp_directory_path() / "bench-jpeg-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        return 1;
    }
    Page const pages[] = {
        {"A4 300 dpi colour 4:2:0", 2480, 3508, 3, "-quality 85 -sample 2x2"},
        {"A4 600 dpi gray", 4960, 7016, 1, "-quality 85"},
    };
    std::printf("%-24s %8s %8s %8s %9s %8s %8s %9s %9s\n", "MP/s", "JD_Exec", "band", "lj simd", "lj scalar", "JD/simd",
                "JD/scal", "band/simd", "band/scal");
    for (Page const& page : pages) {
        jpeg_pages::Raster const raster =
            jpeg_pages::MakePage(jpeg_pages::PageKind::TextAndPhoto, page.width, page.height, page.components, 1);
        std::vector<uint8_t> const jpeg = jpeg_pages::Cjpeg(raster, page.options);
        std::string const path = dir + "/page.jpg";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<char const*>(jpeg.data()), jpeg.size());
        double const jd = Child("", "jd", path);
        double const band = Child("", "band", path);
        double const simd = Child("", "libjpeg", path);
        double const scalar = Child("JSIMD_FORCENONE=1", "libjpeg", path);
        std::printf("%-24s %8.1f %8.1f %8.1f %9.1f %8.2f %8.2f %9.2f %9.2f\n", page.name, jd, band, simd, scalar,
                    simd > 0 ? jd / simd : 0, scalar > 0 ? jd / scalar : 0, simd > 0 ? band / simd : 0,
                    scalar > 0 ? band / scalar : 0);
    }

    std::string const ppm = dir + "/tall.ppm";
    std::string const tall = dir + "/tall.jpg";
    WriteTiledPage(ppm, 5100, 2160, 10);
    std::string const encode = "cjpeg -quality 85 -outfile '" + tall + "' '" + ppm + "'";
    if (std::system(encode.c_str()) == 0) {
        std::filesystem::remove(ppm);
        std::string const self = std::filesystem::read_symlink("/proc/self/exe").string();
        FILE* pipe = popen(("'" + self + "' rss '" + tall + "'").c_str(), "r");
        double rss = 0;
        double decoded = 0;
        double input = 0;
        unsigned rows = 0;
        if (pipe != nullptr && std::fscanf(pipe, "%lf %lf %lf %u", &rss, &decoded, &input, &rows) == 4) {
            std::printf(
                "band decode 5100 x 21600 colour: peak RSS %.1f MiB, decoded %.1f MiB + input %.1f MiB = "
                "%.1f MiB (%u rows)\n",
                rss, decoded, input, decoded + input, rows);
        }
        if (pipe != nullptr) {
            pclose(pipe);
        }
    }
    std::filesystem::remove_all(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "measure") {
        return Measure(argv[2], argv[3]);
    }
    if (argc == 3 && std::string(argv[1]) == "rss") {
        return MeasureRss(argv[2]);
    }
    if (argc != 1) {
        std::printf(
            "usage: bench_jpeg_decode                  all figures (about a minute)\n"
            "       bench_jpeg_decode measure WHAT F   MP/s of jd, band or libjpeg on file F\n"
            "       bench_jpeg_decode rss F            band decode peak RSS, decoded and input MiB\n");
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    return RunAll();
}
