// Page pictures, PNM files, PackBits and the block-cutting JPEG encoder.
#include "tools/scanner_sim/PageImage.h"

// clang-format off
#include <csetjmp>
#include <cstring>
#include <jpeglib.h>
// clang-format on

#include <algorithm>

namespace scanner_sim {

namespace {

constexpr unsigned kRows = 17;  // the bar code, then 16 bands
constexpr size_t kDestSize = 4096;
constexpr size_t kHeightDigits = 10;

}  // namespace

uint64_t RowBytes(PixelKind kind, uint64_t width)
{
    switch (kind) {
    case PixelKind::kMono:
        return (width + 7) / 8;
    case PixelKind::kGray:
        return width;
    case PixelKind::kColor:
        break;
    }
    return width * 3;
}

uint8_t BandLevel(unsigned band) { return static_cast<uint8_t>(15 + 16 * (band % 16)); }

void BandColor(unsigned band, uint8_t rgb[3])
{
    rgb[0] = BandLevel(band);
    rgb[1] = BandLevel(band + 5);
    rgb[2] = BandLevel(band + 11);
}

uint16_t BarCode(uint32_t page, bool back)
{
    return static_cast<uint16_t>(0x8001u | (back ? 0x0002u : 0u) | ((page & 0x1FFFu) << 2));
}

PageContent::PageContent(PixelKind kind, uint32_t width, uint32_t height, uint32_t page, bool back, bool blank)
    : kind_(kind), width_(width), height_(height == 0 ? 1 : height), code_(BarCode(page, back)), blank_(blank)
{
}

void PageContent::Turn(double x, double y, double sheetWidth, double sheetHeight, double sine, double cosine)
{
    turned_ = sheetWidth >= 1 && sheetHeight >= 1;
    turn_ = Turned{x, y, sheetWidth, sheetHeight, sine, cosine};
}

void PageContent::Row(uint32_t y, uint8_t* out) const
{
    uint64_t const bytes = RowBytes(kind_, width_);
    if (blank_ && !turned_) {
        std::memset(out, kind_ == PixelKind::kMono ? 0x00 : 0xFF, bytes);
        return;
    }
    unsigned const straightRow = static_cast<unsigned>(std::min<uint64_t>(kRows - 1, uint64_t{y} * kRows / height_));
    if (kind_ == PixelKind::kMono) {
        std::memset(out, 0, bytes);
    }
    for (uint32_t x = 0; x < width_; ++x) {
        uint8_t rgb[3];
        unsigned row = straightRow;
        uint64_t across = x;      // the pixel's place along the sheet's width
        uint64_t wide = width_;   // of so many
        bool background = false;  // off the sheet
        if (turned_) {
            // The pixel's place on the sheet: turned back about the sheet's
            // top left corner.
            double const dx = x + 0.5 - turn_.x;
            double const dy = y + 0.5 - turn_.y;
            double const u = dx * turn_.cosine + dy * turn_.sine;
            double const v = dy * turn_.cosine - dx * turn_.sine;
            background = !(u >= 0 && u < turn_.width && v >= 0 && v < turn_.height);
            if (!background) {
                row = std::min(kRows - 1, static_cast<unsigned>(v * kRows / turn_.height));
                wide = 1u << 20;
                across = std::min<uint64_t>(wide - 1, static_cast<uint64_t>(u / turn_.width * wide));
            }
        }
        if (background) {
            rgb[0] = rgb[1] = rgb[2] = 0;
        } else if (blank_) {
            rgb[0] = rgb[1] = rgb[2] = 255;
        } else if (row == 0) {
            unsigned const cell = static_cast<unsigned>(across * 16 / wide);
            uint8_t const level = (code_ >> cell) & 1 ? 0 : 255;
            rgb[0] = rgb[1] = rgb[2] = level;
        } else if (kind_ == PixelKind::kColor) {
            BandColor(row - 1, rgb);
        } else {
            rgb[0] = rgb[1] = rgb[2] = BandLevel(row - 1);
        }
        switch (kind_) {
        case PixelKind::kMono:
            if (rgb[0] < 128) {
                out[x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
            }
            break;
        case PixelKind::kGray:
            out[x] = rgb[0];
            break;
        case PixelKind::kColor:
            std::memcpy(out + 3 * uint64_t{x}, rgb, 3);
            break;
        }
    }
}

PnmWriter::~PnmWriter() { Close(); }

bool PnmWriter::Open(const std::string& path, PixelKind kind, uint32_t width)
{
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    kind_ = kind;
    width_ = width;
    rows_ = 0;
    if (file_ == nullptr) {
        return false;
    }
    // The height goes in a field of fixed width, filled in at Close.
    std::fprintf(file_, "P%c\n%u %*u\n%s",
                 kind == PixelKind::kMono   ? '4'
                 : kind == PixelKind::kGray ? '5'
                                            : '6',
                 width, static_cast<int>(kHeightDigits), 0u, kind == PixelKind::kMono ? "" : "255\n");
    return true;
}

void PnmWriter::WriteRow(const uint8_t* row)
{
    if (file_ != nullptr) {
        std::fwrite(row, 1, RowBytes(kind_, width_), file_);
        ++rows_;
    }
}

void PnmWriter::Close()
{
    if (file_ == nullptr) {
        return;
    }
    std::fseek(file_, 0, SEEK_SET);
    std::fprintf(file_, "P%c\n%u %*u\n",
                 kind_ == PixelKind::kMono   ? '4'
                 : kind_ == PixelKind::kGray ? '5'
                                             : '6',
                 width_, static_cast<int>(kHeightDigits), rows_);
    std::fclose(file_);
    file_ = nullptr;
}

Bytes PackBits(const uint8_t* data, size_t size)
{
    Bytes out;
    size_t i = 0;
    while (i < size) {
        size_t run = 1;
        while (i + run < size && run < 128 && data[i + run] == data[i]) {
            ++run;
        }
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(257 - run));
            out.push_back(data[i]);
            i += run;
            continue;
        }
        // A literal runs until the next pair of equal bytes.
        size_t length = 1;
        while (i + length < size && length < 128 &&
               !(i + length + 1 < size && data[i + length] == data[i + length + 1])) {
            ++length;
        }
        out.push_back(static_cast<uint8_t>(length - 1));
        out.insert(out.end(), data + i, data + i + length);
        i += length;
    }
    return out;
}

struct JpegStream::State {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_destination_mgr dest{};
    std::jmp_buf jump{};
    JpegStream* owner = nullptr;
    unsigned char buffer[kDestSize];
    char message[JMSG_LENGTH_MAX] = {};
    bool created = false;

    static void OnError(j_common_ptr cinfo)
    {
        State* self = reinterpret_cast<State*>(cinfo->client_data);
        (*cinfo->err->format_message)(cinfo, self->message);
        std::longjmp(self->jump, 1);
    }
    static void OnInit(j_compress_ptr cinfo)
    {
        State* self = reinterpret_cast<State*>(cinfo->client_data);
        self->dest.next_output_byte = self->buffer;
        self->dest.free_in_buffer = kDestSize;
    }
    static boolean OnFull(j_compress_ptr cinfo)
    {
        State* self = reinterpret_cast<State*>(cinfo->client_data);
        self->owner->Push(self->buffer, kDestSize);
        OnInit(cinfo);
        return TRUE;
    }
    static void OnTerm(j_compress_ptr cinfo)
    {
        State* self = reinterpret_cast<State*>(cinfo->client_data);
        self->owner->Push(self->buffer, kDestSize - self->dest.free_in_buffer);
    }
};

JpegStream::JpegStream(PixelKind kind, uint32_t width, uint32_t height, uint32_t dpi, int quality, size_t blockSize,
                       Patches patches)
    : state_(std::make_unique<State>()), blockSize_(std::max<size_t>(blockSize, 1)), patches_(patches), height_(height)
{
    State& s = *state_;
    s.owner = this;
    s.cinfo.client_data = &s;
    s.cinfo.err = jpeg_std_error(&s.errors);
    s.errors.error_exit = &State::OnError;
    if (kind == PixelKind::kMono || width == 0 || height == 0 || width > 65500 || height > 65500) {
        ok_ = false;
        error_ = "no JPEG of a 1-bit page or of this size";
        return;
    }
    if (setjmp(s.jump) != 0) {
        ok_ = false;
        error_ = s.message;
        return;
    }
    jpeg_create_compress(&s.cinfo);
    s.created = true;
    s.dest.init_destination = &State::OnInit;
    s.dest.empty_output_buffer = &State::OnFull;
    s.dest.term_destination = &State::OnTerm;
    s.cinfo.dest = &s.dest;
    s.cinfo.image_width = width;
    s.cinfo.image_height = height;
    s.cinfo.input_components = kind == PixelKind::kColor ? 3 : 1;
    s.cinfo.in_color_space = kind == PixelKind::kColor ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&s.cinfo);
    jpeg_set_quality(&s.cinfo, quality, TRUE);
    // Colour at full resolution (4:4:4): the bands' hues stay sharp.
    s.cinfo.comp_info[0].h_samp_factor = s.cinfo.comp_info[0].v_samp_factor = 1;
    s.cinfo.density_unit = 1;  // dots per inch
    s.cinfo.X_density = s.cinfo.Y_density = static_cast<UINT16>(std::min<uint32_t>(dpi, 65535));
    jpeg_start_compress(&s.cinfo, TRUE);
}

JpegStream::~JpegStream()
{
    if (state_->created) {
        jpeg_destroy_compress(&state_->cinfo);
    }
}

void JpegStream::WriteRow(const uint8_t* row)
{
    if (!ok_ || rows_ >= height_) {
        return;
    }
    State& s = *state_;
    if (setjmp(s.jump) != 0) {
        ok_ = false;
        error_ = s.message;
        return;
    }
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    jpeg_write_scanlines(&s.cinfo, rows, 1);
    ++rows_;
    if (rows_ == height_) {
        Finish();
    }
}

void JpegStream::Finish()
{
    State& s = *state_;
    if (setjmp(s.jump) != 0) {
        ok_ = false;
        error_ = s.message;
        return;
    }
    jpeg_finish_compress(&s.cinfo);
    finished_ = true;
    if (patches_.noEnd && pending_.size() >= 2) {
        pending_.resize(pending_.size() - 2);
    }
    while (!pending_.empty()) {
        size_t const n = std::min(pending_.size(), blockSize_);
        ready_.emplace_back(pending_.begin(), pending_.begin() + static_cast<long>(n));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
    }
}

// Takes encoder output: applies the patches at their offsets and moves
// whole blocks on, keeping at least two bytes back for the end marker.
void JpegStream::Push(const uint8_t* data, size_t size)
{
    size_t const start = pending_.size();
    pending_.insert(pending_.end(), data, data + size);
    // The headers come out at the start in one piece of the destination
    // buffer: find the frame and scan headers by walking the segments.
    if (offset_ == 0 && size >= 4) {
        size_t at = start + 2;  // after SOI
        while (at + 4 <= pending_.size() && pending_[at] == 0xFF) {
            uint8_t const marker = pending_[at + 1];
            size_t const length = (size_t{pending_[at + 2]} << 8) | pending_[at + 3];
            if (marker == 0xC0) {
                sofAt_ = at;
                if (patches_.heightZero && at + 7 <= pending_.size()) {
                    pending_[at + 5] = pending_[at + 6] = 0;
                }
            }
            if (marker == 0xDA) {
                sosAt_ = at + 2 + length;  // the first byte of scan data
                break;
            }
            at += 2 + length;
        }
        if (patches_.corrupt && sosAt_ != UINT64_MAX) {
            // Markers in the scan data: a decoder meets an unknown marker.
            for (size_t i = 0; i < 16 && sosAt_ + 16 + i + 2 < pending_.size(); ++i) {
                pending_[sosAt_ + 16 + i] = (i % 2 == 0) ? 0xFF : 0xC8;
            }
        }
    }
    offset_ += size;
    while (pending_.size() >= blockSize_ + 2) {
        ready_.emplace_back(pending_.begin(), pending_.begin() + static_cast<long>(blockSize_));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(blockSize_));
    }
}

bool JpegStream::TakeBlock(Bytes& block)
{
    if (ready_.empty()) {
        return false;
    }
    block = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

bool JpegStream::Done() const { return !ok_ || (finished_ && ready_.empty()); }

}  // namespace scanner_sim
