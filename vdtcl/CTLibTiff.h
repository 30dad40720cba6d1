// Run-time binding of libtiff for writing one TIFF file (one page or the
// pages of a multi-page file). Nothing here links against libtiff.
#pragma once

#include <atomic>
#include <cstdint>

#include "vdtcl/CTDynLib.h"

namespace vdtcl {

// Binder of libtiff: bound and holding an open file from LoadLibTiff and
// OpenTiffFile until CloseTiffFile and ReleaseLibTiff. One thread at a time.
class CTLibTiff {
public:
    // Colour layout written by SetTiffInfo.
    using tiff_color_t = int;
    static constexpr tiff_color_t kColorBilevel = 1;
    static constexpr tiff_color_t kColorGray8 = 2;
    static constexpr tiff_color_t kColorRgb24 = 3;

    // Compression: 2 CCITT modified Huffman, 3 CCITT group 3, 4 CCITT group 4,
    // 5 LZW, 6 JPEG, 7 PackBits, any other value none.
    using tiff_comp_t = int;
    static constexpr tiff_comp_t kCompNone = 1;
    static constexpr tiff_comp_t kCompHuffman = 2;
    static constexpr tiff_comp_t kCompGroup3 = 3;
    static constexpr tiff_comp_t kCompGroup4 = 4;
    static constexpr tiff_comp_t kCompLzw = 5;
    static constexpr tiff_comp_t kCompJpeg = 6;
    static constexpr tiff_comp_t kCompPackBits = 7;

    struct tiff_info_t {
        int width;
        unsigned long bytesPerRow;
        int height;
        uint16_t dpiX;
        uint16_t dpiY;
        bool setBitIsBlack;
    };

    CTLibTiff() = default;
    CTLibTiff(const CTLibTiff&) = delete;
    CTLibTiff& operator=(const CTLibTiff&) = delete;
    virtual ~CTLibTiff();

    // Binds the first library file found of "libtiff.so.5", "libtiff.so.3"
    // and "libtiff.so.6" (the calls used are the same in all three) and looks
    // up its entry points. True at once when bound; false, with nothing
    // loaded, when no file has all entry points.
    bool LoadLibTiff();
    // Closes an open file and unloads the library.
    void ReleaseLibTiff();
    // Creates the file at path for writing; false when not bound, a file is
    // already open, or libtiff cannot create it.
    bool OpenTiffFile(const char* path);
    // True while libtiff is bound.
    bool IsOpenedTiffFile() const { return m_bound; }
    // Ends the open file (its last directory is written).
    void CloseTiffFile();

    // Describes the page about to be written: one strip, fill order 1,
    // orientation 1, the colour fields of color, the compression and the
    // resolution in dots per inch. True only when every field was accepted.
    bool SetTiffInfo(tiff_color_t color, tiff_comp_t comp, tiff_info_t& info);
    // Row index of the page; true when libtiff took it.
    bool WriteTiffScanline(unsigned char* row, unsigned index);
    // Writes strip 0 from length bytes.
    bool WriteTiffEncodedStrip(unsigned char* data, unsigned long length);
    // Closes the current page's directory and starts the next one.
    bool WriteTiffDirectory();

    // Tests point the binder at other library files: a null-terminated list
    // of names tried in order; null restores the shipped names. Call before
    // any binder loads.
    static void SetLibraryNamesForTest(const char* const* names) { s_namesOverride.store(names); }

private:
    static std::atomic<const char* const*> s_namesOverride;

    CTUseDynLib m_library;
    bool m_bound = false;
    void* m_tiff = nullptr;  // the open file (TIFF*); null when none
    void* (*m_open)(const char*, const char*) = nullptr;
    void (*m_close)(void*) = nullptr;
    int (*m_setField)(void*, uint32_t, ...) = nullptr;
    void* m_vSetField = nullptr;  // looked up as a proof of the ABI, not called
    int (*m_writeScanline)(void*, void*, uint32_t, uint16_t) = nullptr;
    int64_t (*m_writeEncodedStrip)(void*, uint32_t, void*, int64_t) = nullptr;
    int (*m_writeDirectory)(void*) = nullptr;
};

}  // namespace vdtcl
