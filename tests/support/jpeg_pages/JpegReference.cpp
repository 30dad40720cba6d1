// The libjpeg reference of the JPEG decoder tests. libjpeg reports errors
// through longjmp; every function keeps its C++ objects outside the jump.
#include "JpegReference.h"

#include <csetjmp>
#include <cstdio>
#include <stdexcept>

// libjpeg's header needs the standard ones first.
#include <jpeglib.h>

namespace jpeg_pages {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo)
{
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void Quiet(j_common_ptr, int) {}

void Attach(jpeg_decompress_struct* cinfo, ErrorManager* err)
{
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = OnError;
    err->pub.emit_message = Quiet;
    err->message[0] = '\0';
}

// Starts a decompression of the file and reads its header; a failure jumps
// back to the caller's setjmp.
void Open(jpeg_decompress_struct* cinfo, std::vector<uint8_t> const& jpeg)
{
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(cinfo, TRUE);
}

}  // namespace

bool RefDecode(std::vector<uint8_t> const& jpeg, RefColour colour, Raster* out, std::string* error)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    Attach(&cinfo, &err);
    if (setjmp(err.jump)) {
        *error = err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    Open(&cinfo, jpeg);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    if (colour == RefColour::AsCoded) {
        cinfo.out_color_space = cinfo.jpeg_color_space;
    } else if (colour == RefColour::Rgb && cinfo.num_components == 3) {
        cinfo.out_color_space = JCS_RGB;
    } else if (colour == RefColour::Cmyk && cinfo.num_components == 4) {
        cinfo.out_color_space = JCS_CMYK;
    }
    jpeg_start_decompress(&cinfo);
    out->width = cinfo.output_width;
    out->height = cinfo.output_height;
    out->components = cinfo.output_components;
    out->samples.resize(static_cast<size_t>(out->width) * out->height * out->components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->samples.data() + static_cast<size_t>(cinfo.output_scanline) * out->width * out->components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool RefCoefficients(std::vector<uint8_t> const& jpeg, std::vector<RefComponent>* out, std::string* error)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    Attach(&cinfo, &err);
    if (setjmp(err.jump)) {
        *error = err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    Open(&cinfo, jpeg);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
    out->resize(cinfo.num_components);
    bool const interleaved = cinfo.num_components > 1;
    for (int c = 0; c < cinfo.num_components; ++c) {
        jpeg_component_info* comp = cinfo.comp_info + c;
        RefComponent& rc = (*out)[c];
        unsigned const h = interleaved ? comp->h_samp_factor : 1;
        unsigned const v = interleaved ? comp->v_samp_factor : 1;
        rc.blocksWide = (comp->width_in_blocks + h - 1) / h * h;
        rc.blocksHigh = (comp->height_in_blocks + v - 1) / v * v;
        rc.products.assign(static_cast<size_t>(rc.blocksWide) * rc.blocksHigh * 64, 0);
        JQUANT_TBL const* quant = comp->quant_table;
        for (unsigned row = 0; row < rc.blocksHigh; ++row) {
            JBLOCKARRAY blocks =
                (*cinfo.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&cinfo), arrays[c], row, 1, FALSE);
            for (unsigned col = 0; col < rc.blocksWide; ++col) {
                for (int i = 0; i < 64; ++i) {
                    rc.products[(static_cast<size_t>(row) * rc.blocksWide + col) * 64 + i] =
                        static_cast<int32_t>(blocks[0][col][i]) * quant->quantval[i];
                }
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

std::vector<uint8_t> RefEncodeFourComponents(Raster const& raster, bool ycck, int quality)
{
    if (raster.components != 4) {
        throw std::runtime_error("four components expected");
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = raster.width;
    cinfo.image_height = raster.height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(raster.samples.data()) + static_cast<size_t>(cinfo.next_scanline) * raster.width * 4;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

}  // namespace jpeg_pages
