// The pictures the simulated device scans, and their encodings: 17 rows of
// a page (a bar code of page number and side, then 16 bands of known gray
// or colour levels), PNM files of pages as sent, PackBits, and a baseline
// JPEG encoder that hands out its output in blocks as lines go in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace scanner_sim {

using Bytes = std::vector<uint8_t>;

enum class PixelKind { kMono, kGray, kColor };  // 1, 8, 24 bits per pixel

// Bytes of one row of width pixels.
uint64_t RowBytes(PixelKind kind, uint64_t width);

// The level of band b (0..15) on a gray page, and the red, green and blue
// levels of band b on a colour page.
uint8_t BandLevel(unsigned band);
void BandColor(unsigned band, uint8_t rgb[3]);
// The bar code's 16 cells, left to right: bit c set is a black cell. Cells 0
// and 15 are always black, cell 1 is side (1 back), cells 2..14 the page
// number's low 13 bits.
uint16_t BarCode(uint32_t page, bool back);

// One page picture, width by height pixels, rendered row by row.
class PageContent {
public:
    PageContent(PixelKind kind, uint32_t width, uint32_t height, uint32_t page, bool back, bool blank);
    // Draws the picture on a sheet of sheetWidth by sheetHeight pixels
    // that lies turned in the page, its top left corner at (x, y), its top
    // edge along (cosine, sine); the page around it is black, the feeder's
    // backing.
    void Turn(double x, double y, double sheetWidth, double sheetHeight, double sine, double cosine);
    // Row y (any y: rows past the height repeat the last band) in the PNM
    // order: 1-bit rows MSB first with 1 black, gray bytes, or R, G, B.
    void Row(uint32_t y, uint8_t* out) const;
    PixelKind Kind() const { return kind_; }
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }

private:
    PixelKind kind_;
    uint32_t width_;
    uint32_t height_;
    uint16_t code_;
    bool blank_;
    struct Turned {
        double x, y, width, height, sine, cosine;
    };
    bool turned_ = false;
    Turned turn_{};
};

// A PNM file (P4, P5 or P6) written row by row; its height is what was
// written when it is closed.
class PnmWriter {
public:
    ~PnmWriter();
    bool Open(const std::string& path, PixelKind kind, uint32_t width);
    void WriteRow(const uint8_t* row);
    void Close();
    uint32_t Rows() const { return rows_; }

private:
    std::FILE* file_ = nullptr;
    PixelKind kind_ = PixelKind::kGray;
    uint32_t width_ = 0;
    uint32_t rows_ = 0;
};

// PackBits of one row: runs of 2..128 equal bytes as (257 - n, byte), the
// rest as literals of up to 128 bytes.
Bytes PackBits(const uint8_t* data, size_t size);

// A baseline JFIF encoder (APP0 density in dots per inch) for gray or RGB
// rows, whose output is cut into blocks of blockSize bytes; a block is held
// back until the next one exists or the picture is finished, so the
// patches below can reach the end of the data.
class JpegStream {
public:
    struct Patches {
        bool heightZero = false;  // the frame header's height field 0
        bool corrupt = false;     // 16 bytes of the scan data after its header overwritten
        bool noEnd = false;       // the end marker left off
    };
    JpegStream(PixelKind kind, uint32_t width, uint32_t height, uint32_t dpi, int quality, size_t blockSize,
               Patches patches);
    ~JpegStream();
    JpegStream(const JpegStream&) = delete;
    JpegStream& operator=(const JpegStream&) = delete;

    // False when libjpeg refused the picture (the reason in Error()).
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    // One row (gray bytes or R, G, B); rows past the height are ignored.
    void WriteRow(const uint8_t* row);
    uint32_t RowsWritten() const { return rows_; }
    // A block ready to go out.
    bool TakeBlock(Bytes& block);
    // True once every row went in and every block was taken.
    bool Done() const;

private:
    struct State;
    void Push(const uint8_t* data, size_t size);
    void Finish();

    std::unique_ptr<State> state_;
    size_t blockSize_;
    Patches patches_;
    bool ok_ = true;
    std::string error_;
    uint32_t height_;
    uint32_t rows_ = 0;
    bool finished_ = false;
    Bytes pending_;                // bytes of the block being filled
    std::deque<Bytes> ready_;      // blocks complete but the last
    uint64_t offset_ = 0;          // JPEG bytes seen so far
    uint64_t sofAt_ = UINT64_MAX;  // offset of the FF C0 marker
    uint64_t sosAt_ = UINT64_MAX;  // offset of the first byte of scan data
};

}  // namespace scanner_sim
