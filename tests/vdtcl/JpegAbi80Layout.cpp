// The system's jpeglib.h read as ABI 8: the installed header carries both
// layouts behind JPEG_LIB_VERSION, so its configuration is given here.
#include <cstddef>
#include <cstdio>

#include "tests/vdtcl/JpegAbiLayout.h"

#define JCONFIG_INCLUDED
#define JPEG_LIB_VERSION 80
#define BITS_IN_JSAMPLE 8
namespace sys80 {
#include <jpeglib.h>
}

JpegLayout SystemJpegLayout80()
{
    using namespace sys80;
    return JPEG_LAYOUT_OF(jpeg_decompress_struct, jpeg_compress_struct, jpeg_error_mgr, jpeg_source_mgr);
}
