// Run-time binding of libjpeg: one binder class per ABI (6.2 and 8) with the
// same logic, loading the library by file name and decoding or encoding one
// image per call. Nothing here links against libjpeg.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "vdtcl/CTDynLib.h"
#include "vdtcl/CTLibJpegAbi.h"

namespace vdtcl {

// ABI of a libjpeg binding: 80 or 62.
using libjpeg_ver_t = int;

// One image handed to or received from a binder. Rows are bytesPerRow
// apart, padded to a multiple of 4 bytes.
struct jpeg_info_t {
    int width;
    unsigned long bytesPerRow;
    int height;
    int components;
    int quality;
    uint16_t dpiX;
    uint16_t dpiY;
};

// Rows that the caller provides for a decode: allocate is called at most
// once, after the header, with the bytes of all padded rows; the block it
// answers (null: no memory) is the caller's whatever the decode's outcome.
// It must not throw: it runs between the library's frames.
struct jpeg_rows_target_t {
    void* context;
    unsigned char* (*allocate)(void* context, size_t bytes);
};

// The libjpeg binder of one ABI. Bound by LoadLibJpeg, unbound by
// ReleaseLibJpeg or the destructor. One thread at a time.
template <class Abi>
class TTLibJpeg {
public:
    // Largest decoded image accepted, in bytes of padded rows; larger headers
    // are refused before anything is allocated.
    static constexpr uint64_t kMaxDecodedBytes = uint64_t{1} << 30;

    TTLibJpeg() = default;
    TTLibJpeg(const TTLibJpeg&) = delete;
    TTLibJpeg& operator=(const TTLibJpeg&) = delete;
    virtual ~TTLibJpeg();

    // Loads this ABI's library file (a loaded one is reused) and looks up the
    // entry points; false, with everything released, when the file or a
    // required entry point is missing or version is not this binder's ABI.
    bool LoadLibJpeg(libjpeg_ver_t version);
    // Frees the decoded rows and unloads the library.
    void ReleaseLibJpeg();
    bool IsLoaded() const { return m_version != 0; }
    // The library can read from memory (jpeg_mem_src) / write to memory
    // (jpeg_mem_dest).
    bool HasMemorySource() const { return m_memSrc != nullptr; }
    bool HasMemoryDestination() const { return m_memDest != nullptr; }

    // Decodes one JPEG stream from file or, when file is null, from
    // data/length (needs HasMemorySource). Answers the rows (gray or red,
    // green, blue as the library delivers them), owned by the binder until
    // the next decode or release, and fills out; null when the library is not
    // bound, the stream is broken or ends before its last row, the library
    // warns about it at any stage (header, start, rows, end), it has other
    // than 1 or 3 components, or its size exceeds kMaxDecodedBytes. A stream
    // that lacks only its end marker after all rows decodes. With a target,
    // the rows go straight into the target's block (the padding of each row
    // set to 0) and stay the caller's; the binder keeps none.
    unsigned char* DecodeJpegImage(FILE* file, unsigned char const* data, unsigned long length, jpeg_info_t& out,
                                   jpeg_rows_target_t const* target = nullptr);

    // Encodes info.height rows of info.width pixels with info.components (1
    // gray, 3 red-green-blue) into file as baseline JPEG with JFIF density in
    // dots per inch. True only when the whole stream reached the file.
    bool EncodeJpegImage(unsigned char const* rows, jpeg_info_t const& info, FILE* file);

    // Frees the rows of the last decode.
    void FreeScanLinesBuffer();

    // Tests point the binder at another library file; null restores the
    // shipped name. Call before any binder loads.
    static void SetLibraryNameForTest(const char* name) { s_nameOverride.store(name); }

private:
    using Decompress = typename Abi::Decompress;
    using Compress = typename Abi::Compress;
    using Common = jpegabi::CommonFields;
    using ErrorMgr = jpegabi::ErrorMgr;

    struct DecodeJob;
    struct EncodeJob;
    static void DecodeSteps(void* job);
    static void EncodeSteps(void* job);
    static const char* LibraryName();
    template <class F>
    bool Bind(F& entry, const char* name);
    void ClearEntryPoints();

    static std::atomic<const char*> s_nameOverride;

    int m_version = 0;                     // 80, 62, or 0 when not bound
    unsigned char* m_scanLines = nullptr;  // rows of the last decode (malloc)
    CTUseDynLib m_library;
    ErrorMgr* (*m_stdError)(ErrorMgr*) = nullptr;
    void (*m_createCompress)(Compress*, int, size_t) = nullptr;
    void (*m_createDecompress)(Decompress*, int, size_t) = nullptr;
    void (*m_destroyCompress)(Compress*) = nullptr;
    void (*m_destroyDecompress)(Decompress*) = nullptr;
    void (*m_stdioDest)(Compress*, FILE*) = nullptr;
    void (*m_stdioSrc)(Decompress*, FILE*) = nullptr;
    void (*m_memDest)(Compress*, unsigned char**, unsigned long*) = nullptr;       // optional
    void (*m_memSrc)(Decompress*, const unsigned char*, unsigned long) = nullptr;  // optional
    void (*m_setDefaults)(Compress*) = nullptr;
    void (*m_setColorspace)(Compress*, int) = nullptr;
    void (*m_defaultColorspace)(Compress*) = nullptr;
    void (*m_setQuality)(Compress*, int, int) = nullptr;
    void (*m_startCompress)(Compress*, int) = nullptr;
    unsigned (*m_writeScanlines)(Compress*, unsigned char**, unsigned) = nullptr;
    void (*m_finishCompress)(Compress*) = nullptr;
    int (*m_readHeader)(Decompress*, int) = nullptr;
    int (*m_startDecompress)(Decompress*) = nullptr;
    unsigned (*m_readScanlines)(Decompress*, unsigned char**, unsigned) = nullptr;
    int (*m_finishDecompress)(Decompress*) = nullptr;
    void (*m_abortCompress)(Compress*) = nullptr;
    void (*m_abortDecompress)(Decompress*) = nullptr;
};

template <class Abi>
std::atomic<const char*> TTLibJpeg<Abi>::s_nameOverride{nullptr};

extern template class TTLibJpeg<libjpeg62::Abi>;
extern template class TTLibJpeg<libjpeg80::Abi>;

namespace libjpeg62 {
using CTLibJpeg = TTLibJpeg<Abi>;  // binds "libjpeg.so.62"
}
namespace libjpeg80 {
using CTLibJpeg = TTLibJpeg<Abi>;  // binds "libjpeg.so.8"
}

}  // namespace vdtcl
