// The conversion class: threshold choice, depth conversion, trimming,
// combining, error-diffusion binarisation and the size helpers. Rotation
// lives in VdScnImgRotate.cpp.
#include "imagelib/VdScnImgConv.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/SipAnalysisCore.h"
#include "imagelib/SipPixels.h"

namespace {

using namespace sippixels;

constexpr uint8_t kAutoThreshold = 223;
constexpr uint8_t kAutoThreshold8To1 = 149;

// The files of an input and an output open for one pass of rows in file
// order; both are closed on every return.
class FilePass {
public:
    FilePass(IVdSipImgData* input, IVdSipImgData* output) : input_(input), output_(output) {}
    ~FilePass() { Close(); }
    FilePass(const FilePass&) = delete;
    FilePass& operator=(const FilePass&) = delete;

    int32_t Open()
    {
        if (const int code = input_->OpenFile(); code != kSipOk) {
            return code;
        }
        inputOpen_ = true;
        if (const int code = output_->OpenFile(); code != kSipOk) {
            return code;
        }
        outputOpen_ = true;
        return kSipOk;
    }
    bool Read(uint8_t* row, uint64_t size)
    {
        return size <= INT_MAX && input_->ReadDataFromFile(row, static_cast<int>(size)) == static_cast<int>(size);
    }
    bool Write(const uint8_t* row, uint64_t size)
    {
        return size <= INT_MAX && output_->WriteDataToFile(row, static_cast<int>(size)) == static_cast<int>(size);
    }
    // 1 when the output did not close cleanly (its last rows may be lost).
    int32_t Close()
    {
        int32_t code = kSipOk;
        if (inputOpen_) {
            input_->CloseFile();
        }
        if (outputOpen_ && output_->CloseFile() != kSipOk) {
            code = kSipNotInMemory;
        }
        inputOpen_ = outputOpen_ = false;
        return code;
    }

private:
    IVdSipImgData* input_;
    IVdSipImgData* output_;
    bool inputOpen_ = false;
    bool outputOpen_ = false;
};

// Two row buffers of a file pass: the input row, and the output row filled
// white (so padding and uncovered pixels are white).
struct RowBuffers {
    std::vector<uint8_t> input;
    std::vector<uint8_t> output;

    bool Make(uint64_t inputStride, uint64_t outputStride, uint8_t white)
    {
        if (inputStride > INT_MAX || outputStride > INT_MAX) {
            return false;
        }
        try {
            input.assign(inputStride, 0);
            output.assign(outputStride, white);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
};

template <int kIn, int kOut>
void ConvertRow(const uint8_t* in, uint8_t* out, int64_t width, bool inputZeroIsWhite, const Writer<kOut>& writer)
{
    for (int64_t x = 0; x < width; ++x) {
        if constexpr (kIn == 24) {
            writer.Colour(out, x, in[3 * x], in[3 * x + 1], in[3 * x + 2]);
        } else if constexpr (kIn == 8) {
            writer.Gray(out, x, Stored(in[x], inputZeroIsWhite));
        } else {
            writer.Gray(out, x, GetBit(in, x) != inputZeroIsWhite ? 255 : 0);
        }
    }
}

template <int kIn, int kOut>
int32_t Convert(IVdSipImgData* input, const tagSIPIMAGEINFO& in, IVdSipImgData* output, const tagSIPIMAGEINFO& out,
                uint8_t threshold)
{
    const Writer<kOut> writer = MakeWriter<kOut>(out, in.rgbOrder, threshold);
    const bool zeroIsWhite = in.zeroIsWhite != 0;
    const int64_t width = in.width, height = in.height;
    const uint64_t inStride = Stride(in), outStride = Stride(out);
    if (input->IsAvailablePageAccess() && output->IsAvailablePageAccess()) {
        const uint8_t* source = input->GetImageDataPtr();
        uint8_t* destination = output->GetImageDataPtr();
        if (source == nullptr || destination == nullptr) {
            return kSipNoMemory;
        }
        for (int64_t y = 0; y < height; ++y) {
            ConvertRow<kIn, kOut>(source + static_cast<uint64_t>(y) * inStride,
                                  destination + static_cast<uint64_t>(y) * outStride, width, zeroIsWhite, writer);
        }
        return kSipOk;
    }
    RowBuffers rows;
    if (!rows.Make(inStride, outStride, SipWhiteByte(out))) {
        return kSipNoMemory;
    }
    FilePass pass(input, output);
    if (const int32_t code = pass.Open(); code != kSipOk) {
        return code;
    }
    for (int64_t y = 0; y < height; ++y) {
        if (!pass.Read(rows.input.data(), inStride)) {
            return kSipNotInMemory;
        }
        ConvertRow<kIn, kOut>(rows.input.data(), rows.output.data(), width, zeroIsWhite, writer);
        if (!pass.Write(rows.output.data(), outStride)) {
            return kSipNotInMemory;
        }
    }
    return pass.Close();
}

// Where a run of pixels comes from and goes to along one axis.
struct Span {
    int64_t source;
    int64_t destination;
    int64_t count;  // 0 when nothing is copied
};

// Cuts a span to both images; whatever lies outside either copies nothing,
// and the cut moves source and destination together.
Span Clip(int64_t source, int64_t destination, int64_t count, int64_t sourceSize, int64_t destinationSize)
{
    const int64_t before = std::max(-source, -destination);
    if (before > 0) {
        source += before;
        destination += before;
        count -= before;
    }
    count = std::min({count, sourceSize - source, destinationSize - destination});
    return Span{source, destination, std::max<int64_t>(count, 0)};
}

// The offset of a length placed in a longer one by the alignment.
int64_t Placed(int64_t length, int64_t into, int32_t alignment)
{
    if (alignment == kSipAlignCenter) {
        return (into - length) / 2;
    }
    return alignment == kSipAlignRight ? into - length : 0;
}

// The columns of a trim: the rectangle's left columns at column 0 when it is
// at least as wide as the output (its left, middle or right ones when wider),
// else the whole rectangle placed by the alignment.
Span TrimColumns(const tagSIPRECT& rect, int64_t inputWidth, int64_t outputWidth, int32_t alignment)
{
    const int64_t width = int64_t{rect.right} - rect.left + 1;
    if (width >= outputWidth) {
        return Clip(rect.left + Placed(outputWidth, width, alignment), 0, outputWidth, inputWidth, outputWidth);
    }
    return Clip(rect.left, Placed(width, outputWidth, alignment), width, inputWidth, outputWidth);
}

// Copies count pixels of a row from column from to column to; complement
// inverts every level (1-bit and 8-bit images of the other polarity).
void CopyPixels(const uint8_t* source, int64_t from, uint8_t* destination, int64_t to, int64_t count, int32_t bits,
                bool complement)
{
    if (bits == 1) {
        for (int64_t i = 0; i < count; ++i) {
            PutBit(destination, to + i, GetBit(source, from + i) != complement);
        }
        return;
    }
    const int64_t bytes = bits / 8;
    const uint8_t* s = source + from * bytes;
    uint8_t* d = destination + to * bytes;
    if (!complement) {
        std::memcpy(d, s, static_cast<size_t>(count * bytes));
        return;
    }
    for (int64_t i = 0; i < count * bytes; ++i) {
        d[i] = static_cast<uint8_t>(~s[i]);
    }
}

// Copies a block between two images in memory.
void CopyBlock(const uint8_t* source, uint64_t sourceStride, uint8_t* destination, uint64_t destinationStride,
               const Span& columns, const Span& rows, int32_t bits, bool complement)
{
    for (int64_t i = 0; i < rows.count && columns.count > 0; ++i) {
        CopyPixels(source + static_cast<uint64_t>(rows.source + i) * sourceStride, columns.source,
                   destination + static_cast<uint64_t>(rows.destination + i) * destinationStride, columns.destination,
                   columns.count, bits, complement);
    }
}

// A trim row by row. Files store the bottom row first: the input is read up
// to the lowest copied row, and the output receives the white rows below the
// copy, the copied rows, then the white rows above it.
int32_t TrimFiles(IVdSipImgData* input, const tagSIPIMAGEINFO& in, IVdSipImgData* output, const tagSIPIMAGEINFO& out,
                  const Span& columns, const Span& rows)
{
    const uint64_t inStride = Stride(in), outStride = Stride(out);
    RowBuffers buffers;
    if (!buffers.Make(inStride, outStride, SipWhiteByte(out))) {
        return kSipNoMemory;
    }
    const std::vector<uint8_t> white = buffers.output;
    FilePass pass(input, output);
    if (const int32_t code = pass.Open(); code != kSipOk) {
        return code;
    }
    // Nothing copied: every row white (the spans then say nothing of
    // where a copy would have gone).
    const bool copies = rows.count > 0 && columns.count > 0;
    const int64_t whiteBelow = copies ? out.height - (rows.destination + rows.count) : out.height;
    for (int64_t i = 0; i < whiteBelow; ++i) {
        if (!pass.Write(white.data(), outStride)) {
            return kSipNotInMemory;
        }
    }
    if (!copies) {
        return pass.Close();
    }
    const int64_t skipped = in.height - (rows.source + rows.count);
    for (int64_t i = 0; i < skipped; ++i) {
        if (!pass.Read(buffers.input.data(), inStride)) {
            return kSipNotInMemory;
        }
    }
    for (int64_t i = 0; i < rows.count; ++i) {
        if (!pass.Read(buffers.input.data(), inStride)) {
            return kSipNotInMemory;
        }
        CopyPixels(buffers.input.data(), columns.source, buffers.output.data(), columns.destination, columns.count,
                   in.bitsPerPixel, false);
        if (!pass.Write(buffers.output.data(), outStride)) {
            return kSipNotInMemory;
        }
    }
    for (int64_t i = 0; i < rows.destination; ++i) {
        if (!pass.Write(white.data(), outStride)) {
            return kSipNotInMemory;
        }
    }
    return pass.Close();
}

// A size that an image description can carry; else 2.
int32_t FitSize(int64_t value, int32_t* out)
{
    if (value > INT32_MAX) {
        return kSipNoMemory;
    }
    *out = static_cast<int32_t>(value);
    return kSipOk;
}

}  // namespace

int32_t CVdScnImgConv::SetBinarizationThreshold(int32_t threshold)
{
    if (threshold < 1 || threshold > 254) {
        m_bUserThreshold = 0;
        return kSipBadArgument;
    }
    m_nThreshold = static_cast<uint8_t>(threshold);
    m_bUserThreshold = 1;
    return kSipOk;
}

void CVdScnImgConv::ChooseThreshold(int32_t inputBits, int32_t outputBits)
{
    if (m_bUserThreshold == 0) {
        m_nThreshold = inputBits == 8 && outputBits == 1 ? kAutoThreshold8To1 : kAutoThreshold;
    }
}

int32_t CVdScnImgConv::ConvertColorType(IVdSipImgData* input, int32_t /*scanType*/, IVdSipImgData* output)
{
    tagSIPIMAGEINFO in{}, out{};
    if (const int32_t code = Describe(input, &in); code != kSipOk) {
        return code;
    }
    if (const int32_t code = Describe(output, &out); code != kSipOk) {
        return code;
    }
    if (in.width != out.width || in.height != out.height || in.bitsPerPixel == out.bitsPerPixel) {
        return kSipBadArgument;
    }
    ChooseThreshold(in.bitsPerPixel, out.bitsPerPixel);
    const uint8_t threshold = m_nThreshold;
    return WithDepth(in.bitsPerPixel, [&](auto inBits) {
        return WithDepth(out.bitsPerPixel, [&](auto outBits) {
            return Convert<decltype(inBits)::value, decltype(outBits)::value>(input, in, output, out, threshold);
        });
    });
}

int32_t CVdScnImgConv::TrimRectangle(IVdSipImgData* input, const tagSIPRECT* rect, int32_t alignment,
                                     IVdSipImgData* output)
{
    if (rect == nullptr || alignment < kSipAlignLeft || alignment > kSipAlignRight) {
        return kSipBadArgument;
    }
    tagSIPIMAGEINFO in{}, out{};
    if (const int32_t code = Describe(input, &in); code != kSipOk) {
        return code;
    }
    if (const int32_t code = Describe(output, &out); code != kSipOk) {
        return code;
    }
    if (in.bitsPerPixel != out.bitsPerPixel || in.rgbOrder != out.rgbOrder || in.zeroIsWhite != out.zeroIsWhite) {
        return kSipBadArgument;
    }
    const Span columns = TrimColumns(*rect, in.width, out.width, alignment);
    const Span rows = Clip(rect->top, 0, int64_t{rect->bottom} - rect->top + 1, in.height, out.height);
    if (!input->IsAvailablePageAccess() || !output->IsAvailablePageAccess()) {
        return TrimFiles(input, in, output, out, columns, rows);
    }
    const uint8_t* source = input->GetImageDataPtr();
    uint8_t* destination = output->GetImageDataPtr();
    if (source == nullptr || destination == nullptr) {
        return kSipNoMemory;
    }
    CopyBlock(source, Stride(in), destination, Stride(out), columns, rows, in.bitsPerPixel, false);
    return kSipOk;
}

int32_t CVdScnImgConv::CombineImage(IVdSipImgData* first, IVdSipImgData* second, int32_t combineType, int32_t alignment,
                                    IVdSipImgData* output)
{
    if ((combineType != kSipCombineColumns && combineType != kSipCombineRows) || alignment < kSipAlignLeft ||
        alignment > kSipAlignRight) {
        return kSipBadArgument;
    }
    tagSIPIMAGEINFO a{}, b{}, out{};
    for (auto [image, info] : {std::pair{first, &a}, std::pair{second, &b}, std::pair{output, &out}}) {
        if (const int32_t code = Describe(image, info); code != kSipOk) {
            return code;
        }
    }
    if (a.bitsPerPixel != out.bitsPerPixel || b.bitsPerPixel != out.bitsPerPixel) {
        return kSipBadArgument;
    }
    if (!first->IsAvailablePageAccess() || !second->IsAvailablePageAccess() || !output->IsAvailablePageAccess()) {
        return kSipNotInMemory;
    }
    const uint8_t* pixelsA = first->GetImageDataPtr();
    const uint8_t* pixelsB = second->GetImageDataPtr();
    uint8_t* destination = output->GetImageDataPtr();
    if (pixelsA == nullptr || pixelsB == nullptr || destination == nullptr) {
        return kSipNoMemory;
    }
    const bool rowsType = combineType == kSipCombineRows;
    const auto place = [&](const uint8_t* pixels, const tagSIPIMAGEINFO& info, int64_t x, int64_t y) {
        const bool complement = info.bitsPerPixel <= 8 && (info.zeroIsWhite != 0) != (out.zeroIsWhite != 0);
        CopyBlock(pixels, Stride(info), destination, Stride(out), Clip(0, x, info.width, info.width, out.width),
                  Clip(0, y, info.height, info.height, out.height), out.bitsPerPixel, complement);
    };
    place(pixelsA, a, rowsType ? Placed(a.width, out.width, alignment) : 0, 0);
    if (rowsType) {
        place(pixelsB, b, Placed(b.width, out.width, alignment), a.height);
    } else {
        place(pixelsB, b, a.width, 0);
    }
    return kSipOk;
}

int32_t CVdScnImgConv::BinarizeErrorDiffusion(IVdSipImgData* input, IVdSipImgData* output)
{
    tagSIPIMAGEINFO in{}, out{};
    if (const int32_t code = Describe(input, &in); code != kSipOk) {
        return code;
    }
    if (const int32_t code = Describe(output, &out); code != kSipOk) {
        return code;
    }
    if (in.bitsPerPixel != 8 || out.bitsPerPixel != 1 || in.width != out.width || in.height != out.height) {
        return kSipBadArgument;
    }
    return m_errorDiffusion.ExecTwoLevelErrorDiffusionSipImgData(input, output, &in, &out);
}

int32_t CVdScnImgConv::GetRotatedImageSize(int32_t /*angle*/, const tagSIPPAPERCORNERS* corners, int32_t* width,
                                           int32_t* height)
{
    if (corners == nullptr || width == nullptr || height == nullptr) {
        return kSipBadArgument;
    }
    const double top = std::ceil(sipanalysis::EdgeLength(corners->topLeft, corners->topRight));
    const double left = std::ceil(sipanalysis::EdgeLength(corners->topLeft, corners->bottomLeft));
    if (top > INT32_MAX || left > INT32_MAX) {
        return kSipNoMemory;
    }
    *width = static_cast<int32_t>(top);
    *height = static_cast<int32_t>(left);
    return kSipOk;
}

int32_t CVdScnImgConv::GetCombinedImageSize(int32_t width1, int32_t height1, int32_t width2, int32_t height2,
                                            int32_t combineType, int32_t* width, int32_t* height)
{
    if (width == nullptr || height == nullptr || width1 < 0 || height1 < 0 || width2 < 0 || height2 < 0) {
        return kSipBadArgument;
    }
    int64_t w, h;
    if (combineType == kSipCombineColumns) {
        w = int64_t{width1} + width2;
        h = std::max(height1, height2);
    } else if (combineType == kSipCombineRows) {
        w = std::max(width1, width2);
        h = int64_t{height1} + height2;
    } else {
        return kSipBadArgument;
    }
    int32_t fitW = 0, fitH = 0;
    if (const int32_t code = FitSize(w, &fitW); code != kSipOk) {
        return code;
    }
    if (const int32_t code = FitSize(h, &fitH); code != kSipOk) {
        return code;
    }
    *width = fitW;
    *height = fitH;
    return kSipOk;
}
