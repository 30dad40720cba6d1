// The binders' hand-made libjpeg layouts, checked field by field against the
// system's jpeglib.h compiled for ABI 6.2 and, in JpegAbi80Layout.cpp, for
// ABI 8.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>

#include "tests/vdtcl/JpegAbiLayout.h"
#include "vdtcl/CTLibJpegAbi.h"

namespace sys62 {
#include <jpeglib.h>
}

JpegLayout SystemJpegLayout62()
{
    using namespace sys62;
    return JPEG_LAYOUT_OF(jpeg_decompress_struct, jpeg_compress_struct, jpeg_error_mgr, jpeg_source_mgr);
}

namespace {

void ExpectSame(const JpegLayout& ours, const JpegLayout& system)
{
    const size_t* a = reinterpret_cast<const size_t*>(&ours);
    const size_t* b = reinterpret_cast<const size_t*>(&system);
    for (size_t i = 0; i < sizeof(JpegLayout) / sizeof(size_t); ++i)
        EXPECT_EQ(a[i], b[i]) << "field " << i;
}

}  // namespace

TEST(CTLibJpegAbi, LayoutsMatchTheSystemHeader)
{
    using vdtcl::jpegabi::ErrorMgr;
    using vdtcl::jpegabi::SourceMgr;
    using A62 = vdtcl::libjpeg62::Abi;
    using A80 = vdtcl::libjpeg80::Abi;
    ExpectSame(JPEG_LAYOUT_OF(A62::Decompress, A62::Compress, ErrorMgr, SourceMgr), SystemJpegLayout62());
    ExpectSame(JPEG_LAYOUT_OF(A80::Decompress, A80::Compress, ErrorMgr, SourceMgr), SystemJpegLayout80());
}
