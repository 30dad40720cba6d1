// Builds the enhancement record of one page from the user's scan request,
// the request as the device delivers it and the device capability: few
// features for generation-1 devices, all of them for generation 2.
// Stateless; every operation may be called on any thread.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/ImageProcParam.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

class CConvertScanParam {
public:
    // The four paper corners a generation-1 device reports for a page.
    struct Image4Corners {
        AXIS points[4];
    };

    // Where a page came from: source 0 flatbed, 1 feeder, 2 card slot.
    struct PaperSourceSide {
        int32_t source;
        bool backSide;
    };

    virtual ~CConvertScanParam() = default;

    // user: the request as the caller gave it (after adjustment); device:
    // the request as the device delivers it, in pixels. corners may be
    // empty.
    static _IMAGEPROC_PARAM ToImageEnhanceParam_v1(const VS_SCANNER_CAPABILITY& capability,
                                                   const VS_SCANNER_PARAMETERS& user,
                                                   const VS_SCANNER_PARAMETERS& device, AXIS outputSize,
                                                   const std::unique_ptr<Image4Corners>& corners);
    static _IMAGEPROC_PARAM ToImageEnhanceParam_v2(const VS_SCANNER_CAPABILITY& capability,
                                                   const VS_SCANNER_PARAMETERS& user,
                                                   const VS_SCANNER_PARAMETERS& device, Page::AutoColorResult autoColor,
                                                   AXIS outputSize, const PaperSourceSide& side);

    // The page size in pixels at sourceResolution, from resolution (the
    // resolution of pixel values): the detected size when both values are
    // set; else the selected area (not for the card slot); else the paper
    // size for a fixed paper on a special area type; else the area of info.
    static AXIS ToImageEnhanceOutputSize(AXIS resolution, unsigned short sourceResolution, const tagSCANAREAINFO& info,
                                         const SCANAREA& selected, bool normalAreaType, PAPERSOURCESELECT source,
                                         const AXIS& detected);

    static IMAGEPROC_USER_COLORTYPE ConvertColorType(COLORTYPE type);
    static DETECTED_COLOR ConvertDetectedColorType(Page::AutoColorResult result);
    static IMAGEPROC_PUNCHHOLE GetPunchHoleRemoval(SELECTCOLOR fill, bool uniform);
    static IMAGEPROC_EDGE_FILL_PARAM GetSpecifiedEdgeFill(const EDGEFILLPARAM& edgeFill);
    // From the feeder's background tape.
    static IMAGEPROC_BACKGROUND_COLOR GetBackGroundColor(const VS_SCANNER_CAPABILITY& capability);
    // From the pseudo background colour of the colour kind and side.
    static IMAGEPROC_BACKGROUND_COLOR GetBackGroundColor(const VS_SCANNER_CAPABILITY& capability, COLORTYPE deviceColor,
                                                         const PaperSourceSide& side);
    static bool IsUniformBackgroundColorModel(CommandVersion version);
    static IMAGEPROC_PAPER_POSITION GetPaperPosition(const PAPERSETTINGPOSITIONS& positions,
                                                     const PaperSourceSide& side, DUPLEXTYPE duplex);
    static bool ShouldAppendLengthToEndOfPage(const VS_SCANNER_PARAMETERS& device, bool fixedPaper,
                                              DEVICECATEGORY category);
    // -50..50 (inputs outside are taken as the nearest end) to 0..255.
    static int32_t ToLevel255(int32_t value);
};

}  // namespace vscore
