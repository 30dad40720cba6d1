// Speed of the engine's baseline JPEG decoder beside libjpeg-turbo, one
// thread, images in memory: MP/s of JD_Exec over the whole buffer and of
// libjpeg's jpeg_read_scanlines with the same options (slow integer DCT,
// replicating upsampling), with SIMD and with JSIMD_FORCENONE=1. Pages:
// A4 at 300 dpi in colour (4:2:0) and at 600 dpi in gray, cjpeg -quality 85
// of a generated text-and-photo page. Every measurement runs in its own
// child process (libjpeg reads JSIMD_FORCENONE once per process).
//   bench_jpeg_decode                  all figures
//   bench_jpeg_decode measure WHAT F   one figure: WHAT is jd or libjpeg
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

// Best of kRuns after one warm-up, in megapixels per second.
int Measure(std::string const& what, std::string const& path)
{
    std::vector<uint8_t> jpeg = ReadFile(path);
    auto once = [&]() { return what == "jd" ? DecodeJd(jpeg) : DecodeLibjpeg(jpeg); };
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
    std::printf("%-26s %9s %9s %9s %9s %8s %8s\n", "page", "JD_Exec", "lj simd", "lj scalar", "JD/simd", "JD/scal", "");
    for (Page const& page : pages) {
        jpeg_pages::Raster const raster =
            jpeg_pages::MakePage(jpeg_pages::PageKind::TextAndPhoto, page.width, page.height, page.components, 1);
        std::vector<uint8_t> const jpeg = jpeg_pages::Cjpeg(raster, page.options);
        std::string const path = dir + "/page.jpg";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<char const*>(jpeg.data()), jpeg.size());
        double const jd = Child("", "jd", path);
        double const simd = Child("", "libjpeg", path);
        double const scalar = Child("JSIMD_FORCENONE=1", "libjpeg", path);
        std::printf("%-26s %9.1f %9.1f %9.1f %9.2f %8.2f   MP/s, %zu bytes\n", page.name, jd, simd, scalar,
                    simd > 0 ? jd / simd : 0, scalar > 0 ? jd / scalar : 0, jpeg.size());
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
    return RunAll();
}
