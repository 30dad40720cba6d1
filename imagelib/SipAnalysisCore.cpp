// Blank and colour analyses over a grid of cells, and the paper-corner
// geometry, shared by the in-memory functions and the analysis class.
#include "imagelib/SipAnalysisCore.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "vdtcl/SaturatingCast.h"

namespace sipanalysis {
namespace {

constexpr double kPi = 3.141592653589793;

// The grid of whole cells inside the clamped rectangle.
struct Grid {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
    int64_t cellWidth;
    int64_t cellHeight;
    int64_t across;
    int64_t rows;
};

// Both cell sides scale with the horizontal resolution; a side below one
// pixel, or no reference resolution, gives 64-pixel cells.
bool MakeGrid(const Image& image, const tagSIPRECT& rect, int32_t reference, int32_t cellWidth, int32_t cellHeight,
              Grid* grid)
{
    int64_t width = 64;
    int64_t height = 64;
    if (reference >= 1) {
        width = int64_t{cellWidth} * image.dpi / reference;
        height = int64_t{cellHeight} * image.dpi / reference;
        if (width < 1) {
            width = 64;
        }
        if (height < 1) {
            height = 64;
        }
    }
    grid->cellWidth = width;
    grid->cellHeight = height;
    grid->left = std::max<int64_t>(rect.left, 0);
    grid->top = std::max<int64_t>(rect.top, 0);
    grid->right = std::min<int64_t>(rect.right, image.width - 1);
    grid->bottom = std::min<int64_t>(rect.bottom, image.height - 1);
    // Signed: a rectangle whose right lies left of its left has no cell.
    grid->across = (grid->right - grid->left + 1) / width;
    grid->rows = (grid->bottom - grid->top + 1) / height;
    return grid->across >= 1 && grid->rows >= 1;
}

// ceil(part x 10000 / whole), whole > 0.
uint64_t PerTenThousand(uint64_t part, uint64_t whole)
{
    const unsigned __int128 scaled = static_cast<unsigned __int128>(part) * 10000u;
    return static_cast<uint64_t>((scaled + whole - 1) / whole);
}

template <class T>
std::unique_ptr<T[]> Allocate(uint64_t count)
{
    if (count > std::numeric_limits<size_t>::max() / sizeof(T)) {
        return nullptr;
    }
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

// Ends a pass on every return.
class Pass {
public:
    explicit Pass(RowSource& rows) : rows_(rows) {}
    ~Pass()
    {
        if (open_) {
            rows_.End();
        }
    }
    int32_t Begin()
    {
        const int32_t code = rows_.Begin();
        open_ = code == kSipOk;
        return code;
    }

private:
    RowSource& rows_;
    bool open_ = false;
};

// The histogram shift and the grid of one analysis: 0, or the code to return.
int32_t PrepareGrid(const Image& image, const Variant& variant, const tagSIPRECT& rect, int32_t shift,
                    int32_t reference, int32_t cellWidth, int32_t cellHeight, Grid* grid)
{
    if (shift < 0 || shift > 8) {
        return kSipBadArgument;
    }
    if (!MakeGrid(image, rect, reference, cellWidth, cellHeight, grid)) {
        return variant.areaTooSmall;
    }
    return kSipOk;
}

int64_t FirstLargestBin(const uint64_t* histogram, int64_t bins)
{
    return std::max_element(histogram, histogram + bins) - histogram;
}

// Adds the pixels of one row of a cell row to the cells' histograms.
void AccumulateBlankRow(const Image& image, const Grid& grid, const uint8_t* row, int32_t shift, int64_t bins,
                        uint32_t* histograms)
{
    const int64_t cellWidth = grid.cellWidth;
    if (image.bitsPerPixel == 24) {
        const int64_t* y0 = image.blankLut.y[0];
        const int64_t* y1 = image.blankLut.y[1];
        const int64_t* y2 = image.blankLut.y[2];
        const int32_t step = image.pixelStep;
        const int32_t down = 8 + shift;
        const uint8_t* p = row + grid.left * step;
        for (int64_t c = 0; c < grid.across; ++c) {
            uint32_t* h = histograms + c * bins;
            for (int64_t x = 0; x < cellWidth; ++x, p += step) {
                ++h[(y0[p[0]] + y1[p[1]] + y2[p[2]]) >> down];
            }
        }
    } else if (image.bitsPerPixel == 8) {
        const uint8_t* p = row + grid.left;
        for (int64_t c = 0; c < grid.across; ++c) {
            uint32_t* h = histograms + c * bins;
            for (int64_t x = 0; x < cellWidth; ++x) {
                ++h[p[x] >> shift];
            }
            p += cellWidth;
        }
    } else {
        const uint32_t flip = image.oneBitZeroIsWhite ? 1 : 0;
        const int64_t top = 255 >> shift;
        int64_t x = grid.left;
        for (int64_t c = 0; c < grid.across; ++c) {
            uint32_t* h = histograms + c * bins;
            for (int64_t i = 0; i < cellWidth; ++i, ++x) {
                const uint32_t bit = (row[x >> 3] >> (7 - (x & 7))) & 1u;
                ++h[(bit ^ flip) != 0 ? top : 0];
            }
        }
    }
}

// A non-blank cell inside the grid whose eight neighbours are all blank
// becomes blank; the map changes in place, in row order.
void ClearIsolatedCells(uint8_t* map, int64_t across, int64_t rows)
{
    for (int64_t r = 1; r + 1 < rows; ++r) {
        for (int64_t c = 1; c + 1 < across; ++c) {
            uint8_t* cell = map + r * across + c;
            if (*cell != 0) {
                continue;
            }
            const uint8_t* above = cell - across;
            const uint8_t* below = cell + across;
            if ((above[-1] & above[0] & above[1] & cell[-1] & cell[1] & below[-1] & below[0] & below[1]) == 255) {
                *cell = 255;
            }
        }
    }
}

// The colour analysis's chroma and gray bounds, shifted into bins.
struct ColorBounds {
    int32_t chromaLow;
    int32_t chromaHigh;
    int32_t grayLow;
    int32_t grayHigh;
    bool OutsideChroma(int64_t v) const { return v < chromaLow || v > chromaHigh; }
};

// The bins of each byte, from low to high inclusive, that count as the
// background colour.
struct BackgroundWindow {
    int32_t low[3];
    int32_t high[3];
    bool Contains(int32_t b0, int32_t b1, int32_t b2) const
    {
        return b0 >= low[0] && b0 <= high[0] && b1 >= low[1] && b1 <= high[1] && b2 >= low[2] && b2 <= high[2];
    }
};

// The cells of a page by kind; a cell with too few pixels off the
// background is in none.
struct CellTally {
    uint64_t color = 0;
    uint64_t mono = 0;
    uint64_t gray = 0;
};

// Background: the first largest bin of each byte, over every fourth row
// (every row from a file); in each row the column counter advances by 4
// per pixel taken, so the pixels come from the left part of the row. One
// pass of its own: 0, or the code to return.
int32_t EstimateBackground(RowSource& rows, const Image& image, const Grid& grid, int32_t shift, int64_t bins,
                           int64_t background[3])
{
    uint64_t histograms[3][256] = {};
    Pass pass(rows);
    if (const int32_t code = pass.Begin(); code != kSipOk) {
        return code;
    }
    const int32_t step = image.pixelStep;
    const int64_t rowStep = rows.InMemory() ? 4 : 1;
    for (int64_t y = grid.top; y <= grid.bottom; y += rowStep) {
        const uint8_t* p = rows.Row(y);
        if (p == nullptr) {
            return kRowFailure;
        }
        p += grid.left * step;
        for (int64_t x = grid.left; x < grid.right; x += 4, p += step) {
            ++histograms[0][p[0] >> shift];
            ++histograms[1][p[1] >> shift];
            ++histograms[2][p[2] >> shift];
        }
    }
    for (int k = 0; k < 3; ++k) {
        background[k] = FirstLargestBin(histograms[k], bins);
    }
    return kSipOk;
}

// The page's kind decided by its background alone: colour when the
// background's chroma lies outside the chroma bounds, gray when its
// luminance lies strictly between the gray bounds; none leaves it to the
// cells.
int32_t KindFromBackground(const SipByteLut& lut, const int64_t background[3], int32_t shift, const ColorBounds& bounds)
{
    const uint8_t level[3] = {static_cast<uint8_t>(background[0] << shift),
                              static_cast<uint8_t>(background[1] << shift),
                              static_cast<uint8_t>(background[2] << shift)};
    if (bounds.OutsideChroma(SipChromaBlue(lut, level) >> shift) ||
        bounds.OutsideChroma(SipChromaRed(lut, level) >> shift)) {
        return kSipComponentColor;
    }
    const int32_t backgroundY = SipLuminance(lut, level) >> shift;
    if (backgroundY > bounds.grayLow && backgroundY < bounds.grayHigh) {
        return kSipComponentGray;
    }
    return kSipComponentNone;
}

// The background tolerance around each byte's background bin.
BackgroundWindow MakeBackgroundWindow(const Variant& variant, const tagSIPDETECTCOLORTYPESETTING& setting,
                                      const int64_t background[3], int32_t shift, int64_t bins)
{
    const int64_t tolerance =
        variant.toleranceInLevels ? (setting.backgroundTolerance >> shift) : setting.backgroundTolerance;
    const int64_t upper = variant.toleranceInLevels ? bins - 1 : bins;
    BackgroundWindow window;
    for (int k = 0; k < 3; ++k) {
        window.low[k] = static_cast<int32_t>(std::clamp<int64_t>(background[k] - tolerance, 0, 256));
        window.high[k] = static_cast<int32_t>(std::clamp<int64_t>(std::min(background[k] + tolerance, upper), -1, 256));
    }
    return window;
}

// Adds one row of a cell row: each pixel off the background counts in its
// cell (counts holds, per cell, the pixels, their blue chroma sum and their
// red chroma sum) and in its cell's luminance histogram.
void AccumulateColorRow(const Image& image, const Grid& grid, const uint8_t* row, int32_t shift, int64_t bins,
                        const BackgroundWindow& window, int64_t* counts, uint32_t* luminance)
{
    const SipByteLut& lut = image.colorLut;
    const int32_t step = image.pixelStep;
    const uint8_t* p = row + grid.left * step;
    for (int64_t c = 0; c < grid.across; ++c) {
        int64_t* cell = counts + c * 3;
        uint32_t* h = luminance + c * bins;
        for (int64_t x = 0; x < grid.cellWidth; ++x, p += step) {
            if (window.Contains(p[0] >> shift, p[1] >> shift, p[2] >> shift)) {
                continue;
            }
            ++cell[0];
            cell[1] += SipChromaBlue(lut, p) >> shift;
            cell[2] += SipChromaRed(lut, p) >> shift;
            ++h[SipLuminance(lut, p) >> shift];
        }
    }
}

// Classifies the cells of one finished cell row: colour by their mean
// chroma; otherwise, with more than `enough` pixels off the background,
// mono or gray by the share of those pixels whose luminance lies strictly
// between the gray bounds.
void ClassifyCellRow(const Grid& grid, const int64_t* counts, const uint32_t* luminance, int64_t bins,
                     const ColorBounds& bounds, uint64_t enough, int32_t monoCellThreshold, CellTally* tally)
{
    for (int64_t c = 0; c < grid.across; ++c) {
        const int64_t* cell = counts + c * 3;
        const uint64_t counted = cell[0];
        if (counted == 0) {
            continue;
        }
        if (bounds.OutsideChroma(static_cast<int64_t>(cell[1] / counted)) ||
            bounds.OutsideChroma(static_cast<int64_t>(cell[2] / counted))) {
            ++tally->color;
        } else if (static_cast<uint64_t>(counted) > enough) {
            const uint32_t* h = luminance + c * bins;
            uint64_t middle = 0;
            for (int64_t b = std::max<int64_t>(int64_t{bounds.grayLow} + 1, 0);
                 b < std::min<int64_t>(bounds.grayHigh, bins); ++b) {
                middle += h[b];
            }
            if (10000 - static_cast<int64_t>(PerTenThousand(middle, static_cast<uint64_t>(counted))) >
                monoCellThreshold) {
                ++tally->mono;
            } else {
                ++tally->gray;
            }
        }
    }
}

// Cells: a second pass over the grid, one cell row at a time. 0, or the
// code to return.
int32_t TallyCells(RowSource& rows, const Image& image, const Variant& variant, const Grid& grid,
                   const tagSIPDETECTCOLORTYPESETTING& setting, const ColorBounds& bounds,
                   const BackgroundWindow& window, CellTally* tally)
{
    const int32_t shift = setting.histogramShift;
    const int64_t bins = 256 >> shift;
    auto counts = Allocate<int64_t>(static_cast<uint64_t>(grid.across) * 3);
    auto luminance = Allocate<uint32_t>(static_cast<uint64_t>(grid.across) * bins);
    if (!counts || !luminance) {
        return variant.noMemory;
    }
    const uint64_t enough = static_cast<uint64_t>(grid.cellWidth) * static_cast<uint64_t>(grid.cellHeight) / 10;
    Pass pass(rows);
    if (const int32_t code = pass.Begin(); code != kSipOk) {
        return code;
    }
    for (int64_t r = 0; r < grid.rows; ++r) {
        std::fill_n(counts.get(), grid.across * 3, int64_t{0});
        std::fill_n(luminance.get(), grid.across * bins, 0u);
        const int64_t first = grid.top + r * grid.cellHeight;
        for (int64_t y = first; y < first + grid.cellHeight; ++y) {
            const uint8_t* row = rows.Row(y);
            if (row == nullptr) {
                return kRowFailure;
            }
            AccumulateColorRow(image, grid, row, shift, bins, window, counts.get(), luminance.get());
        }
        ClassifyCellRow(grid, counts.get(), luminance.get(), bins, bounds, enough, setting.monoCellThreshold, tally);
    }
    return kSipOk;
}

// The page's kind from its cells: mono when no cell was classified; colour
// when the colour cells reach their share (of the grid or of the classified
// cells, by variant); gray when the gray cells exceed theirs of the gray and
// mono cells; otherwise mono.
int32_t KindFromCells(const CellTally& tally, const Variant& variant, const Grid& grid,
                      const tagSIPDETECTCOLORTYPESETTING& setting)
{
    const uint64_t classified = tally.color + tally.mono + tally.gray;
    if (classified == 0) {
        return kSipComponentMono;
    }
    const uint64_t whole =
        variant.colorRatioOverGrid ? static_cast<uint64_t>(grid.across) * static_cast<uint64_t>(grid.rows) : classified;
    if (static_cast<int64_t>(PerTenThousand(tally.color, whole)) >= setting.colorPageThreshold) {
        return kSipComponentColor;
    }
    if (tally.gray + tally.mono != 0 &&
        static_cast<int64_t>(PerTenThousand(tally.gray, tally.gray + tally.mono)) > setting.grayPageThreshold) {
        return kSipComponentGray;
    }
    return kSipComponentMono;
}

}  // namespace

double EdgeLength(const tagSIPPOINT& a, const tagSIPPOINT& b)
{
    const float dx = static_cast<float>(int64_t{b.x} - a.x);
    const float dy = static_cast<float>(int64_t{b.y} - a.y);
    return std::sqrt(static_cast<double>(dx * dx + dy * dy));
}

int32_t SkewFromCorners(const tagSIPPAPERCORNERS& corners)
{
    const auto length = EdgeLength;
    const tagSIPPOINT& tl = corners.topLeft;
    const tagSIPPOINT& tr = corners.topRight;
    const tagSIPPOINT& bl = corners.bottomLeft;
    double angle;
    if (length(tl, tr) > length(tl, bl)) {
        angle = std::atan2(static_cast<double>(int64_t{tr.y} - tl.y), static_cast<double>(int64_t{tr.x} - tl.x));
    } else {
        angle = std::atan2(-static_cast<double>(int64_t{bl.x} - tl.x), static_cast<double>(int64_t{bl.y} - tl.y));
    }
    const double hundredths = angle * 180.0 / kPi * 100.0;
    const double rounded = hundredths > 0 ? std::floor(hundredths + 0.5) : std::ceil(hundredths - 0.5);
    if (rounded >= -50 && rounded <= 50) {
        return 0;
    }
    return static_cast<int32_t>(rounded);
}

tagSIPRECT RectInsideCorners(const tagSIPPAPERCORNERS& corners, int64_t skip)
{
    const int64_t tlx = corners.topLeft.x, tly = corners.topLeft.y;
    const int64_t trx = corners.topRight.x, try_ = corners.topRight.y;
    const int64_t blx = corners.bottomLeft.x, bly = corners.bottomLeft.y;
    const int64_t brx = corners.bottomRight.x, bry = corners.bottomRight.y;
    int64_t left, right, top, bottom;
    if (std::llabs(brx - tlx) < std::llabs(trx - blx)) {
        left = std::min(tlx, brx);
        right = std::max(tlx, brx);
    } else {
        left = std::min(trx, blx);
        right = std::max(trx, blx);
    }
    if (std::llabs(bry - tly) < std::llabs(bly - try_)) {
        top = std::min(tly, bry);
        bottom = std::max(tly, bry);
    } else {
        top = std::min(try_, bly);
        bottom = std::max(try_, bly);
    }
    left = std::max(left, std::min(tlx, blx) + skip);
    right = std::min(right, std::max(trx, brx) - skip);
    top = std::max(top, std::min(tly, try_) + skip);
    bottom = std::min(bottom, std::max(bly, bry) - skip);
    using vdtcl::SaturateTo;
    return {SaturateTo<int32_t>(left), SaturateTo<int32_t>(top), SaturateTo<int32_t>(right),
            SaturateTo<int32_t>(bottom)};
}

int32_t SkipDistance(int64_t dpi)
{
    const int64_t product = dpi * 114;
    if (product > std::numeric_limits<int32_t>::max() || product < std::numeric_limits<int32_t>::min()) {
        return 114;
    }
    return static_cast<int32_t>(product / 300);
}

int32_t ResultFromBitsPerPixel(int32_t bits)
{
    switch (bits) {
    case 1:
        return kSipComponentMono;
    case 8:
        return kSipComponentGray;
    case 24:
        return kSipComponentColor;
    default:
        return kSipComponentNone;
    }
}

int32_t AnalyzeBlank(RowSource& rows, const Image& image, const Variant& variant, const tagSIPRECT& rect,
                     const tagSIPDETECTBLANKSETTING& setting, int32_t* result)
{
    *result = kSipComponentNone;
    if (image.bitsPerPixel != 1 && image.bitsPerPixel != 8 && image.bitsPerPixel != 24) {
        return kSipUnsupported;
    }
    const int32_t shift = setting.histogramShift;
    Grid grid;
    if (const int32_t code = PrepareGrid(image, variant, rect, shift, setting.referenceResolution, setting.cellWidth,
                                         setting.cellHeight, &grid);
        code != kSipOk) {
        return code;
    }
    const uint64_t cellPixels = static_cast<uint64_t>(grid.cellWidth) * static_cast<uint64_t>(grid.cellHeight);
    if (cellPixels > std::numeric_limits<uint32_t>::max()) {
        return kSipBadArgument;  // counts of one cell are 32-bit
    }
    const int64_t bins = 256 >> shift;
    auto histograms = Allocate<uint32_t>(static_cast<uint64_t>(grid.across) * bins);
    auto map = Allocate<uint8_t>(static_cast<uint64_t>(grid.across) * static_cast<uint64_t>(grid.rows));
    if (!histograms || !map) {
        return variant.noMemory;
    }
    std::fill_n(map.get(), grid.across * grid.rows, uint8_t{255});

    Pass pass(rows);
    if (const int32_t code = pass.Begin(); code != kSipOk) {
        return code;
    }
    const int64_t window = setting.levelWindow >> shift;
    const uint64_t cellThreshold = static_cast<uint64_t>(std::max(setting.pageThreshold8And24, 0));
    for (int64_t r = 0; r < grid.rows; ++r) {
        std::fill_n(histograms.get(), grid.across * bins, 0u);
        const int64_t first = grid.top + r * grid.cellHeight;
        for (int64_t y = first; y < first + grid.cellHeight; ++y) {
            const uint8_t* row = rows.Row(y);
            if (row == nullptr) {
                return kRowFailure;
            }
            AccumulateBlankRow(image, grid, row, shift, bins, histograms.get());
        }
        for (int64_t c = 0; c < grid.across; ++c) {
            const uint32_t* h = histograms.get() + c * bins;
            const int64_t mode = std::max_element(h, h + bins) - h;
            uint64_t sum = 0;
            for (int64_t b = std::max<int64_t>(mode - window, 0); b <= std::min(mode + window, bins - 1); ++b) {
                sum += h[b];
            }
            if (PerTenThousand(sum, cellPixels) < cellThreshold) {
                map[r * grid.across + c] = 0;
            }
        }
    }
    ClearIsolatedCells(map.get(), grid.across, grid.rows);
    const uint64_t cells = static_cast<uint64_t>(grid.across) * static_cast<uint64_t>(grid.rows);
    const uint64_t blank = static_cast<uint64_t>(std::count(map.get(), map.get() + cells, uint8_t{255}));
    const int64_t pageThreshold = image.bitsPerPixel == 1 ? setting.pageThreshold1 : setting.pageThreshold8And24;
    const bool isBlank = static_cast<int64_t>(PerTenThousand(blank, cells)) > pageThreshold;
    *result = isBlank ? kSipComponentBlank : ResultFromBitsPerPixel(image.bitsPerPixel);
    return kSipOk;
}

int32_t AnalyzeColor(RowSource& rows, const Image& image, const Variant& variant, const tagSIPRECT& rect,
                     const tagSIPDETECTCOLORTYPESETTING& setting, int32_t* result)
{
    *result = kSipComponentNone;
    if (image.bitsPerPixel != 24) {
        return kSipUnsupported;
    }
    const int32_t shift = setting.histogramShift;
    Grid grid;
    if (const int32_t code = PrepareGrid(image, variant, rect, shift, setting.referenceResolution, setting.cellWidth,
                                         setting.cellHeight, &grid);
        code != kSipOk) {
        return code;
    }
    const int64_t bins = 256 >> shift;
    int64_t background[3];
    if (const int32_t code = EstimateBackground(rows, image, grid, shift, bins, background); code != kSipOk) {
        return code;
    }
    const ColorBounds bounds{setting.chromaLow >> shift, setting.chromaHigh >> shift, setting.grayLow >> shift,
                             setting.grayHigh >> shift};
    if (const int32_t kind = KindFromBackground(image.colorLut, background, shift, bounds); kind != kSipComponentNone) {
        *result = kind;
        return kSipOk;
    }
    const BackgroundWindow window = MakeBackgroundWindow(variant, setting, background, shift, bins);
    CellTally tally;
    if (const int32_t code = TallyCells(rows, image, variant, grid, setting, bounds, window, &tally); code != kSipOk) {
        return code;
    }
    *result = KindFromCells(tally, variant, grid, setting);
    return kSipOk;
}

int32_t AnalyzeBlankAndColor(RowSource& rows, const Image& image, const Variant& variant, const tagSIPRECT& rect,
                             int32_t mode, const tagSIPDETECTBLANKSETTING& blank,
                             const tagSIPDETECTCOLORTYPESETTING& color, int32_t* result)
{
    if (mode == kSipAnalyzeBlankAndColor) {
        const int32_t code = AnalyzeBlank(rows, image, variant, rect, blank, result);
        if (code != kSipOk) {
            return code;
        }
        if (*result == kSipComponentBlank) {
            return kSipOk;
        }
    }
    return AnalyzeColor(rows, image, variant, rect, color, result);
}

}  // namespace sipanalysis
