// The decoder tests' JPEG corpus and segment editor.
#include "JpegCorpus.h"

#include <stdexcept>

#include "JpegReference.h"

using jpeg_pages::Cjpeg;
using jpeg_pages::Jpegtran;
using jpeg_pages::MakePage;
using jpeg_pages::PageKind;
using jpeg_pages::Raster;

namespace {

struct PageSpec {
    PageKind kind;
    unsigned width;
    unsigned height;
    char const* name;
};

// clang-format off
PageSpec const kPages[] = {
    {PageKind::Gradient,     1,    1,   "gradient 1x1"},
    {PageKind::Noise,        17,   9,   "noise 17x9"},
    {PageKind::Text,         2481, 35,  "text 2481x35"},
    {PageKind::TextAndPhoto, 333,  277, "text+photo 333x277"},
};

char const* const kOptions[] = {
    "-grayscale",
    "-sample 1x1", "-sample 2x1", "-sample 2x2", "-sample 1x2", "-sample 4x1", "-sample 4x2",
    "-sample 1x2,2x1,1x1", "-sample 4x1,2x1,1x1",
    "-restart 1", "-restart 1B", "-restart 3B",
    "-optimize",
    "-quality 25", "-quality 50", "-quality 75", "-quality 90", "-quality 100",
    "-baseline -quality 5",
    "-rgb",
};

char const* const kFlatSamplings[] = {
    "-grayscale", "-sample 1x1", "-sample 2x2", "-sample 4x2", "-sample 1x2,2x1,1x1", "-sample 4x1,2x1,1x1",
};
// clang-format on

std::vector<CorpusEntry> BuildCorpus()
{
    std::vector<CorpusEntry> corpus;
    uint32_t seed = 1;
    for (PageSpec const& page : kPages) {
        Raster const colour = MakePage(page.kind, page.width, page.height, 3, seed++);
        for (char const* options : kOptions) {
            corpus.push_back(
                {std::string(page.name) + " " + options, Cjpeg(colour, options), page.kind, 3, false, false});
        }
        Raster const gray = MakePage(page.kind, page.width, page.height, 1, seed++);
        corpus.push_back(
            {std::string(page.name) + " gray input", Cjpeg(gray, "-quality 80"), page.kind, 1, false, false});
    }
    // jpegtran rewrites: new Huffman tables with restarts, an interval that
    // ends inside MCU rows.
    Raster const photo = MakePage(PageKind::TextAndPhoto, 200, 150, 3, 99);
    std::vector<uint8_t> const plain = Cjpeg(photo, "-quality 85");
    corpus.push_back({"jpegtran -optimize -restart 1", Jpegtran(plain, "-optimize -restart 1"), PageKind::TextAndPhoto,
                      3, false, false});
    corpus.push_back({"jpegtran -restart 7B -copy none", Jpegtran(plain, "-restart 7B -copy none"),
                      PageKind::TextAndPhoto, 3, false, false});
    for (char const* sampling : kFlatSamplings) {
        Raster const cells = MakePage(PageKind::FlatCells, 160, 96, 3, seed++);
        corpus.push_back({std::string("flat cells q100 ") + sampling,
                          Cjpeg(cells, std::string("-quality 100 ") + sampling), PageKind::FlatCells, 3, true, false});
    }
    for (bool ycck : {false, true}) {
        for (PageKind kind : {PageKind::TextAndPhoto, PageKind::Noise}) {
            Raster const four = MakePage(kind, 67, 45, 4, seed++);
            corpus.push_back({ycck ? "YCCK 67x45" : "CMYK 67x45", jpeg_pages::RefEncodeFourComponents(four, ycck, 85),
                              kind, 4, false, ycck});
        }
    }
    return corpus;
}

}  // namespace

std::vector<CorpusEntry> const& Corpus()
{
    static std::vector<CorpusEntry> const corpus = BuildCorpus();
    return corpus;
}

std::vector<uint8_t> SmallJpeg(std::string const& options, unsigned width, unsigned height)
{
    return Cjpeg(MakePage(PageKind::TextAndPhoto, width, height, 3, 5), options);
}

std::vector<Segment> SplitSegments(std::vector<uint8_t> const& jpeg)
{
    std::vector<Segment> out;
    size_t i = 0;
    while (i + 1 < jpeg.size()) {
        if (jpeg[i] != 0xFF) {
            throw std::runtime_error("no marker at " + std::to_string(i));
        }
        uint8_t const marker = jpeg[i + 1];
        size_t end = i + 2;
        if (marker != 0xD8 && marker != 0xD9 && !(marker >= 0xD0 && marker <= 0xD7)) {
            end = i + 2 + (static_cast<size_t>(jpeg[i + 2]) << 8 | jpeg[i + 3]);
        }
        out.push_back({marker, std::vector<uint8_t>(jpeg.begin() + i, jpeg.begin() + end)});
        i = end;
        if (marker == 0xDA) {
            // Entropy-coded data with its restart markers, up to EOI.
            size_t j = i;
            while (j + 1 < jpeg.size() && !(jpeg[j] == 0xFF && jpeg[j + 1] == 0xD9)) {
                ++j;
            }
            out.push_back({0, std::vector<uint8_t>(jpeg.begin() + i, jpeg.begin() + j)});
            i = j;
        }
    }
    return out;
}

std::vector<uint8_t> JoinSegments(std::vector<Segment> const& segments)
{
    std::vector<uint8_t> out;
    for (Segment const& s : segments) {
        out.insert(out.end(), s.bytes.begin(), s.bytes.end());
    }
    return out;
}

Segment& FindSegment(std::vector<Segment>& segments, uint8_t marker)
{
    return const_cast<Segment&>(FindSegment(static_cast<std::vector<Segment> const&>(segments), marker));
}

Segment const& FindSegment(std::vector<Segment> const& segments, uint8_t marker)
{
    for (Segment const& s : segments) {
        if (s.marker == marker) {
            return s;
        }
    }
    throw std::runtime_error("no segment with marker " + std::to_string(marker));
}
