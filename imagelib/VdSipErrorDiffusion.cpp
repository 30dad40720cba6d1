// Two-level error diffusion over buffers and over image objects.
#include "imagelib/VdSipErrorDiffusion.h"

#include <cstdlib>
#include <new>
#include <vector>

#include "imagelib/VdSipErrorDiffusionTables.h"

namespace {

constexpr int64_t kGuardPixels = 2;  // zero-error pixels on each side of a row
constexpr int kRows = 3;             // error rows, interleaved per pixel

// Writes one bit after another into a 1-bit row, in either direction,
// leaving the bits it does not reach as they are.
class BitWriter {
public:
    explicit BitWriter(uint8_t* row) : row_(row) {}
    ~BitWriter() { Flush(); }
    void Put(int64_t x, bool bit)
    {
        const int64_t index = x >> 3;
        if (index != index_) {
            Flush();
            index_ = index;
        }
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
        touched_ |= mask;
        if (bit) {
            bits_ |= mask;
        }
    }

private:
    void Flush()
    {
        if (index_ >= 0) {
            row_[index_] = static_cast<uint8_t>((row_[index_] & ~touched_) | bits_);
        }
        bits_ = touched_ = 0;
    }

    uint8_t* row_;
    int64_t index_ = -1;
    uint8_t bits_ = 0;
    uint8_t touched_ = 0;
};

}  // namespace

// One conversion: the three error rows and the rows done so far.
class CVdSipErrorDiffusion::Run {
public:
    Run(_EDDATA& data, int32_t offset) : data_(data), offset_(offset) {}

    // Error rows for pixels as many as the source stride has bytes; false
    // when memory fails.
    bool Prepare(uint64_t sourceStride)
    {
        pixels_ = static_cast<int64_t>(sourceStride);
        const uint64_t values = (sourceStride + 2 * kGuardPixels) * kRows;
        try {
            errors_.assign(values, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        set_initial_errbuf();
        set_initial_eddata();
        return PrepareThresholds();
    }

    // Diffuses one source row into one 1-bit row; flip inverts the bits.
    void ProcessRow(const uint8_t* source, uint8_t* destination, int64_t width, bool flip)
    {
        if ((row_ & 1) == 0) {
            OutLevelM3H1bb_forward(source, destination, width, flip);
            set_1line_down_eddata_forward();
        } else {
            OutLevelM3H1bb_reverse(source, destination, width, flip);
            set_1line_down_eddata_reverse();
        }
        ++row_;
    }

private:
    // The three rows hold the initial pattern repeated from its start; the
    // guard pixels stay zero.
    void set_initial_errbuf()
    {
        const int16_t* initial = GetSipDiffusionTables().INITERR;
        int16_t* first = errors_.data() + kGuardPixels * kRows;
        for (int64_t i = 0; i < pixels_ * kRows; ++i) {
            first[i] = initial[i % 1024];
        }
    }

    void set_initial_eddata()
    {
        int16_t* first = errors_.data() + kGuardPixels * kRows;
        data_.current = first;
        data_.previous = first + 1;
        data_.older = first + 2;
        data_.center = 512;
        data_.low = 0;
        data_.high = 1023;
        data_.noise = GetSipDiffusionTables().threP;
    }

    // One row of 512 thresholds per distinct denominator, indexed by noise
    // + 256: centre + offset + noise x 8 / denominator. Level 0 gets a row no
    // value reaches (always low), level 1023 one every value reaches (always
    // high).
    bool PrepareThresholds()
    {
        std::vector<int32_t> denominators;
        auto row = [&](int32_t fill, bool fixed, int32_t denominator) {
            const size_t at = thresholds_.size();
            for (int32_t noise = -256; noise < 256; ++noise) {
                thresholds_.push_back(fixed ? fill : data_.center + offset_ + noise * 8 / denominator);
            }
            return static_cast<int32_t>(at + 256);
        };
        try {
            const int32_t never = row(INT32_MAX, true, 1), always = row(INT32_MIN, true, 1);
            std::vector<int32_t> rowOf;
            for (int32_t level = 0; level < 1024; ++level) {
                const int32_t d = data_.denominator[level] > 0 ? data_.denominator[level] : 1;
                int32_t at = -1;
                for (size_t k = 0; k < denominators.size(); ++k) {
                    if (denominators[k] == d) {
                        at = rowOf[k];
                    }
                }
                if (at < 0) {
                    at = row(0, false, d);
                    denominators.push_back(d);
                    rowOf.push_back(at);
                }
                levelRow_[level] = level == 0 ? never : level == 1023 ? always : at;
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Left to right: the current row's neighbours are the two pixels to the
    // left.
    void OutLevelM3H1bb_forward(const uint8_t* source, uint8_t* destination, int64_t width, bool flip)
    {
        DiffuseRow<1>(source, destination, width, flip);
    }

    // Right to left: the current row's neighbours are the two pixels to the
    // right.
    void OutLevelM3H1bb_reverse(const uint8_t* source, uint8_t* destination, int64_t width, bool flip)
    {
        DiffuseRow<-1>(source, destination, width, flip);
    }

    // One row in the direction kStep (+1 or -1). The errors of the current
    // row's two pixels behind and of the previous row's three pixels around
    // the column are carried in registers from pixel to pixel; they start
    // from the buffer (guard pixels, or the row's stored errors).
    template <int kStep>
    void DiffuseRow(const uint8_t* source, uint8_t* destination, int64_t width, bool flip)
    {
        // Everything the loop reads is held locally: the bit stores below may
        // alias any memory, so members would be reloaded for every pixel.
        const int16_t* lut = GetSipDiffusionTables().lut_from8to10bit;
        const int16_t* noiseRow = data_.noise + ((row_ & 255) << 8);
        const int32_t* thresholds = thresholds_.data();
        const int32_t* levelRow = levelRow_;
        const int16_t* errL = errL_;
        const int32_t highOutput = data_.high, lowOutput = data_.low;
        int16_t* c = data_.current;
        const int16_t* p = data_.previous;
        const int16_t* o = data_.older;
        const int64_t end = kStep > 0 ? width : -1;
        int64_t x = kStep > 0 ? 0 : width - 1;
        int32_t behind1 = c[(x - kStep) * kRows], behind2 = c[(x - 2 * kStep) * kRows];
        int32_t aboveBehind = p[(x - kStep) * kRows], above = p[x * kRows];
        BitWriter bits(destination);
        for (; x != end; x += kStep) {
            const int64_t i = x * kRows;
            const int32_t aboveAhead = p[i + kStep * kRows];
            const int32_t level = lut[source[x]];
            const int32_t noise = noiseRow[x & 255];
            const int32_t neighbours = 2 * behind1 + behind2 + aboveBehind + 2 * above + aboveAhead + o[i];
            // Level 0 is always low and 1023 always high (their rows of the
            // threshold table); else the value against the noisy threshold.
            const int32_t value = level + (neighbours >> 3);
            const bool high = value >= thresholds[levelRow[level] + noise];
            int32_t error = high ? value - highOutput : value - lowOutput;
            // Errors below the level's lowest are replaced, with noise.
            if (error < errL[level]) {
                error = errL[level] + noise / 4;
            }
            c[i] = static_cast<int16_t>(error);
            behind2 = behind1;
            behind1 = error;
            aboveBehind = above;
            above = aboveAhead;
            bits.Put(x, high != flip);
        }
    }

    // The current row becomes the previous one, the previous the older one,
    // and the older row's storage takes the next row.
    void set_1line_down_eddata_forward()
    {
        int16_t* reused = data_.older;
        data_.older = data_.previous;
        data_.previous = data_.current;
        data_.current = reused;
    }
    void set_1line_down_eddata_reverse() { set_1line_down_eddata_forward(); }

    _EDDATA& data_;
    int32_t offset_;
    const int16_t* errL_ = GetSipDiffusionTables().errL;
    std::vector<int32_t> thresholds_;
    int32_t levelRow_[1024];
    std::vector<int16_t> errors_;
    int64_t pixels_ = 0;
    int64_t row_ = 0;
};

CVdSipErrorDiffusion::CVdSipErrorDiffusion() { read_vdsip4led_ini_file(); }

CVdSipErrorDiffusion::~CVdSipErrorDiffusion() = default;

// The parameters are fixed; no settings file is read.
void CVdSipErrorDiffusion::read_vdsip4led_ini_file()
{
    static constexpr int32_t kParameters[8] = {0, 0, 16, 14, 1, 1, 12, 50};
    for (int i = 0; i < 8; ++i) {
        m_parameter[i] = kParameters[i];
    }
}

bool CVdSipErrorDiffusion::EnsureWorkingData()
{
    if (m_edData) {
        return true;
    }
    m_edData.reset(new (std::nothrow) _EDDATA{});
    if (!m_edData) {
        return false;
    }
    set_denominator_table();
    return true;
}

// Base strength, ramped down to the edge strength near both ends of the
// level range and to the middle strength around the threshold centre.
void CVdSipErrorDiffusion::set_denominator_table()
{
    const int32_t base = m_parameter[2];
    const int32_t edge = m_parameter[3];
    const bool edgeRamp = m_parameter[4] != 0;
    const bool middleRamp = m_parameter[5] != 0;
    const int32_t middle = m_parameter[6];
    const int32_t ramp = m_parameter[7];
    int32_t* table = m_edData->denominator;
    for (int32_t i = 0; i < 1024; ++i) {
        int32_t d = base;
        if (edgeRamp && i <= ramp) {
            d = edge + i * (base - edge) / ramp;
        } else if (edgeRamp && i >= 1023 - ramp) {
            d = edge + (base - edge) * (1023 - i) / ramp;
        } else if (middleRamp && std::abs(i - 512) <= ramp) {
            d = middle + std::abs(i - 512) * (base - middle) / ramp;
        }
        table[i] = d;
    }
}

const int32_t* CVdSipErrorDiffusion::GetDenominatorTable()
{
    return EnsureWorkingData() ? m_edData->denominator : nullptr;
}

int32_t CVdSipErrorDiffusion::ExecTwoLevelErrorDiffusion(const uint8_t* source, uint8_t* destination, int32_t width,
                                                         int32_t height, int32_t sourceStride,
                                                         int32_t destinationStride)
{
    if (source == nullptr || destination == nullptr || width < 1 || height < 1) {
        return kSipBadArgument;
    }
    if (sourceStride < width || destinationStride < (int64_t{width} + 7) / 8) {
        return kSipBadArgument;
    }
    if (!EnsureWorkingData()) {
        return kSipNoMemory;
    }
    Run run(*m_edData, m_parameter[1]);
    if (!run.Prepare(static_cast<uint64_t>(sourceStride))) {
        return kSipNoMemory;
    }
    for (int64_t y = 0; y < height; ++y) {
        run.ProcessRow(source + y * sourceStride, destination + y * destinationStride, width, false);
    }
    return kSipOk;
}

int32_t CVdSipErrorDiffusion::ExecTwoLevelErrorDiffusionSipImgData(IVdSipImgData* input, IVdSipImgData* output,
                                                                   const tagSIPIMAGEINFO* inputInfo,
                                                                   const tagSIPIMAGEINFO* outputInfo)
{
    if (input == nullptr || output == nullptr || inputInfo == nullptr || outputInfo == nullptr) {
        return kSipBadArgument;
    }
    if (inputInfo->bitsPerPixel != 8 || outputInfo->bitsPerPixel != 1 || inputInfo->width < 1 ||
        inputInfo->height < 1 || inputInfo->width != outputInfo->width || inputInfo->height != outputInfo->height) {
        return kSipBadArgument;
    }
    // The rows are sized from the descriptions; they must be the objects' own.
    tagSIPIMAGEINFO own{};
    for (IVdSipImgData* image : {input, output}) {
        const tagSIPIMAGEINFO* given = image == input ? inputInfo : outputInfo;
        if (image->GetImageInfo(&own) != kSipOk || own.width != given->width || own.height != given->height ||
            own.bitsPerPixel != given->bitsPerPixel) {
            return kSipBadArgument;
        }
    }
    const int64_t width = inputInfo->width;
    const int64_t height = inputInfo->height;
    const uint64_t sourceStride = SipStride(static_cast<uint64_t>(width), 8);
    const uint64_t destinationStride = SipStride(static_cast<uint64_t>(width), 1);
    // A zero-is-white input counts level 0 as white, a zero-is-white output
    // writes white as 0: when exactly one of them is so, the bits flip.
    const bool flip = (inputInfo->zeroIsWhite != 0) != (outputInfo->zeroIsWhite != 0);
    if (!EnsureWorkingData()) {
        return kSipNoMemory;
    }
    Run run(*m_edData, m_parameter[1]);
    if (!run.Prepare(sourceStride)) {
        return kSipNoMemory;
    }

    if (input->IsAvailablePageAccess() && output->IsAvailablePageAccess()) {
        const uint8_t* source = input->GetImageDataPtr();
        uint8_t* destination = output->GetImageDataPtr();
        if (source == nullptr || destination == nullptr) {
            return kSipNoMemory;
        }
        for (int64_t y = 0; y < height; ++y) {
            run.ProcessRow(source + y * sourceStride, destination + y * destinationStride, width, flip);
        }
        return kSipOk;
    }

    if (sourceStride > INT32_MAX) {
        return kSipBadArgument;
    }
    std::vector<uint8_t> sourceRow, destinationRow;
    try {
        sourceRow.resize(sourceStride);
        destinationRow.assign(destinationStride, outputInfo->zeroIsWhite != 0 ? 0 : 255);
    } catch (const std::bad_alloc&) {
        return kSipNoMemory;
    }
    if (const int code = input->OpenFile(); code != kSipOk) {
        return code;
    }
    if (const int code = output->OpenFile(); code != kSipOk) {
        input->CloseFile();
        return code;
    }
    int32_t code = kSipOk;
    for (int64_t y = 0; y < height && code == kSipOk; ++y) {
        if (input->ReadDataFromFile(sourceRow.data(), static_cast<int>(sourceStride)) !=
            static_cast<int>(sourceStride)) {
            code = kSipNotInMemory;
            break;
        }
        run.ProcessRow(sourceRow.data(), destinationRow.data(), width, flip);
        if (output->WriteDataToFile(destinationRow.data(), static_cast<int>(destinationStride)) !=
            static_cast<int>(destinationStride)) {
            code = kSipNotInMemory;
        }
    }
    input->CloseFile();
    if (output->CloseFile() != kSipOk && code == kSipOk) {
        code = kSipNotInMemory;
    }
    return code;
}
