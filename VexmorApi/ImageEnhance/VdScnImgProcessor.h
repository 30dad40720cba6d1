// The bridge between the pipeline's in-memory pages and the image-processing
// library's file-to-file page processing object: colour conversion, corner
// fitting and orientation detection, each one library run over temporary
// BMP files, with all runs of the process serialised.
#pragma once

#include <memory>
#include <string>

#include "VexmorApi/ImageEnhance/ColorConvertParameter.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Temp/ImageProcParam.h"
#include "imagelib/VdScnImgProc.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Made on the stack for one page; any thread may use its own object. Every
// operation writes the page to a temporary BMP file (BGR for colour pages),
// runs the library from it into a second temporary file, reads the result
// back into a new RGB page and removes both files on every path. The result
// code is 0, or the failure's code; a failed run keeps the input page.
class VdScnImgProcessor {
public:
    // Makes the processing object of one run; null when it cannot.
    using Factory = std::unique_ptr<IVdScnImgProc> (*)();

    VdScnImgProcessor() = default;
    virtual ~VdScnImgProcessor() = default;

    // The page converted to the parameter's colour type (BLACKWHITE with the
    // threshold in value); the input page itself when the library needed no
    // change (result 0) or the run failed (result non-zero).
    std::unique_ptr<BitmapImage> ColorConvert(std::unique_ptr<BitmapImage> page,
                                              COLOR_CONVERT_PARAMETER const& parameter, unsigned int& result);
    // The page cut and straightened to the four corners; the input page
    // itself when the fourth corner is (0, 0), the library needed no change
    // or the run failed.
    std::unique_ptr<BitmapImage> FitToCorners(std::unique_ptr<BitmapImage> page, IMAGEPROC_4CORNERS const& corners,
                                              unsigned int& result);
    // The orientation the library finds on the page (written upright), in
    // the given language; the page is not changed. A failed run sets result
    // (the orientation returned is then no finding).
    IMAGEPROC_ORIENT_TYPE DetectOrientation(std::unique_ptr<BitmapImage>& page, unsigned short language,
                                            unsigned int& result);
    // One library run from the input file into the output file under the
    // process-wide lock: the library's code (0 success, 11 no change), or
    // 0x2070200D without a processing object, or 0x10702001 when the
    // analysis result cannot be read. Stores the orientation found.
    int MultiImageProcessing(std::string const& inputPath, std::string const& outputPath, tagSIPSCNPARADT* parameters,
                             tagSIPPAPERCORNERS* corners);

    // Zeroed parameters with the scan type of the depth and the size.
    static tagSIPSCNPARADT CreateSipScnParaDt(unsigned int width, unsigned int height, unsigned char bitsPerPixel);
    // 1 bit black and white (1), 8 bits true gray (3), else 24-bit colour (5).
    static _SIPSCNTYPE GetSipScTp(unsigned char bitsPerPixel);
    // AUTOCOLOR 6, BLACKWHITE 1, ERRDIFFUSION 2, TRUEGRAY 3, else 5.
    static _SIPSCNTYPE GetSipScTp(COLORTYPE colorType);
    // The library's corners (y from the bottom): points 3, 4, 1, 2 of the
    // record as (x, height - y).
    static tagSIPPAPERCORNERS ConvertCorners(IMAGEPROC_4CORNERS const& corners, unsigned int height);
    // Turned by 90 degrees (2) and 180 (3) kept, 270 (4) becomes 1, else none.
    static IMAGEPROC_ORIENT_TYPE ConvertOrientation(_SIPANALYZEDPAGEORIENTATION orientation);
    // The result code of a library run's code: 0 and 11 success, the
    // image-processing codes 0x?0702000 + code otherwise, the bridge's own
    // codes unchanged.
    static VSRSLT ToResult(int code);
    // Removes the file when it exists; never throws (a failure is logged).
    static void DeleteFile(std::string const& path);

    // Test seam: replaces the maker of processing objects and returns the
    // previous one; null restores the library's CVdScnImgProc. Set it while
    // no run is under way.
    static Factory SetProcessingObjectFactory(Factory factory);

private:
    // Writes the page, runs the library and reads the output back as a page
    // of colorType; the input page stays unless the output replaces it.
    std::unique_ptr<BitmapImage> Process(std::unique_ptr<BitmapImage> page, bool invert, tagSIPSCNPARADT& parameters,
                                         tagSIPPAPERCORNERS* corners, ImageInfo::ColorType colorType,
                                         unsigned int& result, bool readBack);

    IMAGEPROC_ORIENT_TYPE orientation_ = IMAGEPROC_ORIENT_NONE;
};

}  // namespace vscore
