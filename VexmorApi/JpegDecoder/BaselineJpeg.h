// The engine's own streaming decoder for baseline JPEG (T.81 sequential DCT,
// Huffman coding, 8-bit samples, one interleaved scan, at most 4 components).
// The caller feeds the stream in pieces of any size; each JD_Exec call hands
// back one MCU row of pixels, a request for more input, the end, or an error.
#pragma once

#include <cstdint>

// The decoder context; its layout is private to the decoder.
struct jpeg_decode_param;

// Status of a JD_Exec call.
enum : unsigned char {
    JD_NO_ERROR = 0,       // nothing to hand out now; call again
    JD_END_OF_IMAGE = 1,   // EOI handled
    JD_NEED_DATA = 16,     // input exhausted (or a restart handled): pass the rest back
    JD_OUTPUT_READY = 17,  // a block of finished rows is handed out
    JD_ERR_MARKER_ORDER = 128,
    JD_ERR_NO_MEMORY = 129,
    JD_ERR_BAD_DATA = 130,
    JD_ERR_UNSUPPORTED = 131,
};

// Colour-conversion modes of JD_Open besides "convert 3 and 4 components".
enum : unsigned char {
    JD_MODE_NO_CONVERSION = 0,
    JD_MODE_AUTOMATIC = 0xFF,  // convert when the frame has 3 components
};

// What one JD_Exec call returns. Width, height and components are the
// frame's once SOF has been read. With JD_OUTPUT_READY, data is a heap block
// (free it with free()) of length bytes: rows of width x components samples,
// packed. With JD_NEED_DATA (and JD_END_OF_IMAGE), data is the first byte the
// decoder did not consume and length their number.
struct jpeg_decode_result {
    unsigned char status;
    unsigned short width;
    unsigned short height;
    unsigned char components;
    long length;
    unsigned char* data;
};

// A new context, or null when memory is short. mode: 0 never converts colour,
// 0xFF converts 3-component frames, any other value converts YCbCr (3
// components) and YCCK (4) to RGB; an Adobe APP14 segment's transform flag
// replaces the mode. The caller owns the context and closes it.
jpeg_decode_param* JD_Open(unsigned char mode);

// Decodes on. When the previous call ended with JD_NEED_DATA (or the context
// is new), data/length become the input: the caller passes back the returned
// unconsumed bytes followed by any new ones. Otherwise both are ignored and
// the decoder goes on in the input it holds, which must stay unchanged. The
// decoder reads the input in place and keeps no pointer to it after
// JD_NEED_DATA. After an error (128 and above) or the end, only close.
// One thread at a time per context.
jpeg_decode_result JD_Exec(jpeg_decode_param* ctx, unsigned char* data, long length);

// Frees the context with the buffers it still owns (not a handed-out block).
// Null is allowed.
void JD_Close(jpeg_decode_param* ctx);

// Test seam: called for every decoded block with its 64 dequantised
// coefficients in natural (row-major) order, before the inverse DCT. The
// block's place is counted in the component's own block grid.
using JD_CoefficientHook = void (*)(void* user, int component, unsigned blockRow, unsigned blockColumn,
                                    int16_t const* coefficients);
void JD_SetCoefficientHook(jpeg_decode_param* ctx, JD_CoefficientHook hook, void* user);
