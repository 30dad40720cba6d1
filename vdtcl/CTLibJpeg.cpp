// The libjpeg binders. Fatal library errors jump back to Guarded(); the work
// between setjmp and the library calls runs in DecodeSteps/EncodeSteps on a
// job object in memory, so nothing the jump skips needs destroying and no
// local is left stale by it.
#include "vdtcl/CTLibJpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace vdtcl {

namespace {

using jpegabi::CommonFields;
using jpegabi::ErrorContext;

ErrorContext* ContextOf(CommonFields* cinfo) { return reinterpret_cast<ErrorContext*>(cinfo->err); }

// Fatal error: leave the library.
void ErrorExit(CommonFields* cinfo) { longjmp(ContextOf(cinfo)->jump, 1); }

// Warnings are counted, never printed, and each one fails the decode, with
// one exception: the warning the source raises while it refills, when the
// stream has run dry and the library ends it with an end marker of its own
// (JWRN_JPEG_EOF), once row reading has begun. A stream that lacks only its
// end marker meets it there; a decoder that then still wanted bits raises a
// data warning of its own (JWRN_HIT_MARKER), which fails. Before the rows
// (while the header is read, or while decompression starts and absorbs every
// scan of a progressive or multi-scan frame) a dry source means scans the
// stream never held, so it fails too.
void EmitMessage(CommonFields* cinfo, int level)
{
    if (level >= 0) {
        return;
    }
    ErrorContext* ctx = ContextOf(cinfo);
    ctx->mgr.num_warnings++;
    if (ctx->inFill && ctx->readingRows) {
        return;
    }
    ctx->failingWarnings++;
}

void OutputMessage(CommonFields*) {}

int FillInputBuffer(CommonFields* cinfo)
{
    ErrorContext* ctx = ContextOf(cinfo);
    ctx->inFill = true;
    const int result = ctx->libraryFill(cinfo);
    ctx->inFill = false;
    return result;
}

// Gives a codec object the binder's error manager: the library's defaults
// from stdError, with fatal errors jumping back to Guarded() and messages
// counted instead of printed.
void InstallErrorContext(jpegabi::ErrorMgr* (*stdError)(jpegabi::ErrorMgr*), ErrorContext& ctx, CommonFields& common)
{
    memset(&ctx, 0, sizeof ctx);
    stdError(&ctx.mgr);
    ctx.mgr.error_exit = ErrorExit;
    ctx.mgr.emit_message = EmitMessage;
    ctx.mgr.output_message = OutputMessage;
    common.err = &ctx.mgr;
}

// Runs steps(job); false when the library raised a fatal error meanwhile.
bool Guarded(ErrorContext& ctx, void (*steps)(void*), void* job)
{
    if (setjmp(ctx.jump) != 0) {
        return false;
    }
    steps(job);
    return true;
}

uint64_t RowBytes(uint64_t width, uint64_t components) { return (width * components + 3) & ~uint64_t{3}; }

}  // namespace

template <class Abi>
struct TTLibJpeg<Abi>::DecodeJob {
    TTLibJpeg* self;
    Decompress* cinfo;
    ErrorContext* ctx;
    FILE* file;
    unsigned char const* data;
    unsigned long length;
    jpeg_rows_target_t const* target;  // null: the rows come from calloc
    unsigned char* rows;               // calloc's are freed by the caller unless complete
    uint64_t stride;
    uint32_t width, height, rowsRead;
    int components;
    bool complete;
};

template <class Abi>
struct TTLibJpeg<Abi>::EncodeJob {
    TTLibJpeg* self;
    Compress* cinfo;
    ErrorContext* ctx;
    unsigned char const* rows;
    const jpeg_info_t* info;
    FILE* file;
    unsigned char* outBuffer;  // memory destination: ours, or the library's once it grew
    unsigned long outSize;
    bool complete;
};

template <class Abi>
TTLibJpeg<Abi>::~TTLibJpeg()
{
    ReleaseLibJpeg();
}

template <class Abi>
const char* TTLibJpeg<Abi>::LibraryName()
{
    const char* name = s_nameOverride.load();
    if (name != nullptr) {
        return name;
    }
    return Abi::kVersion == 80 ? "libjpeg.so.8" : "libjpeg.so.62";
}

template <class Abi>
template <class F>
bool TTLibJpeg<Abi>::Bind(F& entry, const char* name)
{
    void* symbol = m_library.GetPtrExportSymbol(name);
    entry = reinterpret_cast<F>(symbol);
    return symbol != nullptr;
}

template <class Abi>
bool TTLibJpeg<Abi>::LoadLibJpeg(libjpeg_ver_t version)
{
    if (version != Abi::kVersion) {
        return false;
    }
    if (m_library.LoadDynamicLibrary(LibraryName()) == nullptr) {
        return false;
    }
    m_version = version;
    bool ok = Bind(m_stdError, "jpeg_std_error");
    ok = Bind(m_createCompress, "jpeg_CreateCompress") && ok;
    ok = Bind(m_createDecompress, "jpeg_CreateDecompress") && ok;
    ok = Bind(m_destroyCompress, "jpeg_destroy_compress") && ok;
    ok = Bind(m_destroyDecompress, "jpeg_destroy_decompress") && ok;
    ok = Bind(m_stdioDest, "jpeg_stdio_dest") && ok;
    ok = Bind(m_stdioSrc, "jpeg_stdio_src") && ok;
    Bind(m_memDest, "jpeg_mem_dest");
    Bind(m_memSrc, "jpeg_mem_src");
    ok = Bind(m_setDefaults, "jpeg_set_defaults") && ok;
    ok = Bind(m_setColorspace, "jpeg_set_colorspace") && ok;
    ok = Bind(m_defaultColorspace, "jpeg_default_colorspace") && ok;
    ok = Bind(m_setQuality, "jpeg_set_quality") && ok;
    ok = Bind(m_startCompress, "jpeg_start_compress") && ok;
    ok = Bind(m_writeScanlines, "jpeg_write_scanlines") && ok;
    ok = Bind(m_finishCompress, "jpeg_finish_compress") && ok;
    ok = Bind(m_readHeader, "jpeg_read_header") && ok;
    ok = Bind(m_startDecompress, "jpeg_start_decompress") && ok;
    ok = Bind(m_readScanlines, "jpeg_read_scanlines") && ok;
    ok = Bind(m_finishDecompress, "jpeg_finish_decompress") && ok;
    ok = Bind(m_abortCompress, "jpeg_abort_compress") && ok;
    ok = Bind(m_abortDecompress, "jpeg_abort_decompress") && ok;
    if (!ok) {
        ReleaseLibJpeg();
    }
    return ok;
}

template <class Abi>
void TTLibJpeg<Abi>::ClearEntryPoints()
{
    m_stdError = nullptr;
    m_createCompress = nullptr;
    m_createDecompress = nullptr;
    m_destroyCompress = nullptr;
    m_destroyDecompress = nullptr;
    m_stdioDest = nullptr;
    m_stdioSrc = nullptr;
    m_memDest = nullptr;
    m_memSrc = nullptr;
    m_setDefaults = nullptr;
    m_setColorspace = nullptr;
    m_defaultColorspace = nullptr;
    m_setQuality = nullptr;
    m_startCompress = nullptr;
    m_writeScanlines = nullptr;
    m_finishCompress = nullptr;
    m_readHeader = nullptr;
    m_startDecompress = nullptr;
    m_readScanlines = nullptr;
    m_finishDecompress = nullptr;
    m_abortCompress = nullptr;
    m_abortDecompress = nullptr;
}

template <class Abi>
void TTLibJpeg<Abi>::ReleaseLibJpeg()
{
    FreeScanLinesBuffer();
    ClearEntryPoints();
    m_library.ReleaseDynamicLibrary();
    m_version = 0;
}

template <class Abi>
void TTLibJpeg<Abi>::FreeScanLinesBuffer()
{
    free(m_scanLines);
    m_scanLines = nullptr;
}

// Header checks come before jpeg_start_decompress, which already allocates
// in proportion to the image.
template <class Abi>
void TTLibJpeg<Abi>::DecodeSteps(void* p)
{
    DecodeJob& job = *static_cast<DecodeJob*>(p);
    TTLibJpeg& lib = *job.self;
    Decompress* cinfo = job.cinfo;
    lib.m_createDecompress(cinfo, Abi::kVersion, sizeof(Decompress));
    if (job.file != nullptr) {
        lib.m_stdioSrc(cinfo, job.file);
    } else {
        lib.m_memSrc(cinfo, job.data, job.length);
    }
    // Watch the source's refills to tell a stream that ran dry.
    job.ctx->libraryFill = cinfo->src->fill_input_buffer;
    cinfo->src->fill_input_buffer = FillInputBuffer;

    if (lib.m_readHeader(cinfo, 1) != jpegabi::kHeaderOk || job.ctx->failingWarnings != 0) {
        return;
    }
    if (cinfo->num_components != 1 && cinfo->num_components != 3) {
        return;
    }
    if (cinfo->image_width == 0 || cinfo->image_height == 0) {
        return;
    }
    if (RowBytes(cinfo->image_width, static_cast<uint64_t>(cinfo->num_components)) * cinfo->image_height >
        kMaxDecodedBytes) {
        return;
    }
    if (!lib.m_startDecompress(cinfo) || job.ctx->failingWarnings != 0) {
        return;
    }
    const int components = cinfo->output_components;
    if (components != 1 && components != 3) {
        return;
    }
    if (cinfo->output_width == 0 || cinfo->output_height == 0) {
        return;
    }
    job.stride = RowBytes(cinfo->output_width, static_cast<uint64_t>(components));
    if (job.stride * cinfo->output_height > kMaxDecodedBytes) {
        return;
    }
    job.width = cinfo->output_width;
    job.height = cinfo->output_height;
    job.components = components;
    const size_t bytes = static_cast<size_t>(job.stride * job.height);
    if (job.target != nullptr) {
        job.rows = job.target->allocate(job.target->context, bytes);
    } else {
        job.rows = static_cast<unsigned char*>(calloc(bytes, 1));
    }
    if (job.rows == nullptr) {
        return;
    }
    // A caller's block is not zeroed: the padding of each row is.
    const uint64_t used = uint64_t{job.width} * static_cast<uint64_t>(components);
    const bool pad = job.target != nullptr && used < job.stride;
    job.ctx->readingRows = true;
    while (job.rowsRead < job.height) {
        unsigned char* row = job.rows + job.rowsRead * job.stride;
        // Rows filled in after the data ran out or went bad are not the page.
        if (lib.m_readScanlines(cinfo, &row, 1) != 1 || job.ctx->failingWarnings != 0) {
            return;
        }
        if (pad) {
            memset(row + used, 0, static_cast<size_t>(job.stride - used));
        }
        job.rowsRead++;
    }
    // The markers after the scan: a further scan, bytes that are no marker
    // or a fatal error there fail the page as well.
    if (!lib.m_finishDecompress(cinfo) || job.ctx->failingWarnings != 0) {
        return;
    }
    job.complete = true;
}

template <class Abi>
unsigned char* TTLibJpeg<Abi>::DecodeJpegImage(FILE* file, unsigned char const* data, unsigned long length,
                                               jpeg_info_t& out, jpeg_rows_target_t const* target)
{
    FreeScanLinesBuffer();
    if (m_version == 0) {
        return nullptr;
    }
    if (file == nullptr && (data == nullptr || length == 0 || m_memSrc == nullptr)) {
        return nullptr;
    }

    Decompress cinfo;
    ErrorContext ctx;
    memset(&cinfo, 0, sizeof cinfo);
    InstallErrorContext(m_stdError, ctx, cinfo.common);

    DecodeJob job{};
    job.self = this;
    job.cinfo = &cinfo;
    job.ctx = &ctx;
    job.file = file;
    job.data = data;
    job.length = length;
    job.target = target;
    Guarded(ctx, DecodeSteps, &job);
    m_destroyDecompress(&cinfo);
    if (!job.complete) {
        if (target == nullptr) {
            free(job.rows);
        }
        return nullptr;
    }
    if (target == nullptr) {
        m_scanLines = job.rows;
    }
    out.width = static_cast<int>(job.width);
    out.bytesPerRow = static_cast<unsigned long>(job.stride);
    out.height = static_cast<int>(job.height);
    out.components = job.components;
    return job.rows;
}

template <class Abi>
void TTLibJpeg<Abi>::EncodeSteps(void* p)
{
    EncodeJob& job = *static_cast<EncodeJob*>(p);
    TTLibJpeg& lib = *job.self;
    Compress* cinfo = job.cinfo;
    const jpeg_info_t& info = *job.info;
    lib.m_createCompress(cinfo, Abi::kVersion, sizeof(Compress));
    if (job.outBuffer != nullptr) {
        lib.m_memDest(cinfo, &job.outBuffer, &job.outSize);
    } else {
        lib.m_stdioDest(cinfo, job.file);
    }
    cinfo->image_width = static_cast<uint32_t>(info.width);
    cinfo->image_height = static_cast<uint32_t>(info.height);
    cinfo->input_components = info.components;
    cinfo->in_color_space = info.components == 1 ? jpegabi::kColorSpaceGray : jpegabi::kColorSpaceRgb;
    lib.m_setDefaults(cinfo);
    cinfo->density_unit = 1;
    cinfo->X_density = info.dpiX;
    cinfo->Y_density = info.dpiY;
    lib.m_setQuality(cinfo, std::min(info.quality, 100), 1);
    lib.m_startCompress(cinfo, 1);
    for (int y = 0; y < info.height; ++y) {
        unsigned char* row = const_cast<unsigned char*>(job.rows) + static_cast<size_t>(y) * info.bytesPerRow;
        if (lib.m_writeScanlines(cinfo, &row, 1) != 1) {
            return;
        }
    }
    lib.m_finishCompress(cinfo);
    job.complete = true;
}

template <class Abi>
bool TTLibJpeg<Abi>::EncodeJpegImage(unsigned char const* rows, jpeg_info_t const& info, FILE* file)
{
    if (m_version == 0 || rows == nullptr || file == nullptr) {
        return false;
    }
    if (info.width <= 0 || info.height <= 0 || (info.components != 1 && info.components != 3)) {
        return false;
    }
    if (info.bytesPerRow < static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.components)) {
        return false;
    }

    Compress cinfo;
    ErrorContext ctx;
    memset(&cinfo, 0, sizeof cinfo);
    InstallErrorContext(m_stdError, ctx, cinfo.common);

    EncodeJob job{};
    job.self = this;
    job.cinfo = &cinfo;
    job.ctx = &ctx;
    job.rows = rows;
    job.info = &info;
    job.file = file;
    // Encode into memory when the library can: the stream is written to the
    // file only once it is complete. The first buffer is ours and large enough
    // for nearly every page; should the library need more it allocates a
    // larger one itself, which only the completed encode hands back.
    unsigned char* own = nullptr;
    if (m_memDest != nullptr) {
        const uint64_t raw = static_cast<uint64_t>(info.width) * info.components * static_cast<uint64_t>(info.height);
        const size_t capacity = static_cast<size_t>(std::min<uint64_t>(raw / 2, uint64_t{1} << 30) + 65536);
        own = static_cast<unsigned char*>(malloc(capacity));
        if (own == nullptr) {
            return false;
        }
        job.outBuffer = own;
        job.outSize = capacity;
    }
    Guarded(ctx, EncodeSteps, &job);
    m_destroyCompress(&cinfo);

    bool ok = job.complete;
    if (own != nullptr) {
        if (ok) {
            ok = fwrite(job.outBuffer, 1, job.outSize, file) == job.outSize;
        }
        if (job.complete && job.outBuffer != own) {
            free(job.outBuffer);
        }
        free(own);
    }
    return ok && fflush(file) == 0;
}

template class TTLibJpeg<libjpeg62::Abi>;
template class TTLibJpeg<libjpeg80::Abi>;

}  // namespace vdtcl
