// The parts of libjpeg's binary interface the binders touch, for the two
// ABIs found on Linux (6.2 and 8). The codec objects are laid out here with
// the fields used by name and the rest as reserved bytes, at each ABI's size;
// the error, source and destination managers are the same in both ABIs.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vdtcl {
namespace jpegabi {

// J_COLOR_SPACE values used here.
constexpr int kColorSpaceGray = 1;
constexpr int kColorSpaceRgb = 2;
// jpeg_read_header's answer for a stream with an image.
constexpr int kHeaderOk = 1;

struct CommonFields;

// struct jpeg_error_mgr; 168 bytes in both ABIs.
struct ErrorMgr {
    void (*error_exit)(CommonFields* cinfo);
    void (*emit_message)(CommonFields* cinfo, int msg_level);
    void (*output_message)(CommonFields* cinfo);
    void (*format_message)(CommonFields* cinfo, char* buffer);
    void (*reset_error_mgr)(CommonFields* cinfo);
    int msg_code;
    union {
        int i[8];
        char s[80];
    } msg_parm;
    int trace_level;
    long num_warnings;
    const char* const* jpeg_message_table;
    int last_jpeg_message;
    const char* const* addon_message_table;
    int first_addon_message;
    int last_addon_message;
};
static_assert(sizeof(ErrorMgr) == 168, "jpeg_error_mgr layout");

// The fields every codec object starts with (jpeg_common_fields).
struct CommonFields {
    ErrorMgr* err;
    void* mem;
    void* progress;
    void* client_data;
    int is_decompressor;
    int global_state;
};
static_assert(sizeof(CommonFields) == 40, "jpeg_common_fields layout");

// struct jpeg_source_mgr.
struct SourceMgr {
    const uint8_t* next_input_byte;
    size_t bytes_in_buffer;
    void (*init_source)(CommonFields* cinfo);
    int (*fill_input_buffer)(CommonFields* cinfo);
    void (*skip_input_data)(CommonFields* cinfo, long num_bytes);
    int (*resync_to_restart)(CommonFields* cinfo, int desired);
    void (*term_source)(CommonFields* cinfo);
};

// struct jpeg_decompress_struct: the fields up to output_scanline sit at the
// same offsets in both ABIs; only the total size differs.
template <size_t kSize>
struct alignas(8) DecompressT {
    CommonFields common;
    SourceMgr* src;
    uint32_t image_width;
    uint32_t image_height;
    int num_components;
    int jpeg_color_space;
    int out_color_space;
    uint8_t reserved1[136 - 68];
    uint32_t output_width;
    uint32_t output_height;
    int out_color_components;
    int output_components;
    uint8_t reserved2[kSize - 152];
};

// struct jpeg_compress_struct: ABI 8 inserts scaling fields, per-table
// quality factors and a fancy-downsampling flag before the JFIF fields, so
// those sit 36 bytes later.
template <size_t kSize, size_t kJfifOffset>
struct alignas(8) CompressT {
    CommonFields common;
    void* dest;
    uint32_t image_width;
    uint32_t image_height;
    int input_components;
    int in_color_space;
    uint8_t reserved1[kJfifOffset - 64];
    int write_JFIF_header;
    uint8_t JFIF_major_version;
    uint8_t JFIF_minor_version;
    uint8_t density_unit;
    uint8_t reserved2;
    uint16_t X_density;
    uint16_t Y_density;
    uint8_t reserved3[kSize - kJfifOffset - 12];
};

// Error manager of one codec call: the library's manager first (the library
// sees only that), then what the binder needs to jump back out of a fatal
// error and to tell the warnings that fail a decode.
struct ErrorContext {
    ErrorMgr mgr;
    jmp_buf jump;
    int (*libraryFill)(CommonFields* cinfo);  // the source manager's own refill
    bool inFill;                              // inside libraryFill
    bool readingRows;                         // from the first row read on
    unsigned long failingWarnings;            // warnings that fail the decode
};

}  // namespace jpegabi

namespace libjpeg62 {
struct Abi {
    static constexpr int kVersion = 62;
    using Decompress = jpegabi::DecompressT<632>;
    using Compress = jpegabi::CompressT<520, 288>;
};
static_assert(sizeof(Abi::Decompress) == 632 && sizeof(Abi::Compress) == 520, "ABI 6.2 sizes");
static_assert(offsetof(Abi::Compress, X_density) == 296, "ABI 6.2 density");
}  // namespace libjpeg62

namespace libjpeg80 {
struct Abi {
    static constexpr int kVersion = 80;
    using Decompress = jpegabi::DecompressT<656>;
    using Compress = jpegabi::CompressT<584, 324>;
};
static_assert(sizeof(Abi::Decompress) == 656 && sizeof(Abi::Compress) == 584, "ABI 8 sizes");
static_assert(offsetof(Abi::Compress, X_density) == 332, "ABI 8 density");
}  // namespace libjpeg80

}  // namespace vdtcl
