// The scan rectangle in device pixels that a scan sends once the device has
// reported its actual parameters: the page of the decided paper type and
// orientation less the device margins, placed where the device expects
// paper of that source, shifted for a carrier sheet, cut to a selected area
// and fitted into the device's maximum. Stateless; made on the stack.
#pragma once

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/DeviceCapsForPreparation.h"
#include "VexmorApi/Temp/IParseCmdRes.h"
#include "VexmorApi/Temp/PaperTypeAndOrientation.h"
#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

class CScanArea {
public:
    virtual ~CScanArea() = default;

    // The rectangle for actual (source, resolution, maximum area); its type
    // stays 0, the caller keeps its own.
    static _SCANCMD_SCANAREA CalcScanArea(const ACTUALSCANPARAM& actual, DUPLEXTYPE duplex, bool carrierSheet,
                                          const CPaperTypeAndOrientation& paper, const CDeviceCapsForPreparation& caps);
    // A landscape page scanned duplex swaps long and short edge binding.
    static bool ShouldChangeDuplexType(DOCUMENTORIENTATION orientation, DUPLEXTYPE duplex);

    // The steps of CalcScanArea, each usable alone. Sizes never go below 0.

    // The paper less the margins, in pixels; margins are converted into the
    // paper's unit in place.
    static AXIS CalcPaperPixelSize(AXIS resolution, MARGINSIZE& margins, PAPERSOURCESELECT source,
                                   const CPaperTypeAndOrientation& paper, const CDeviceCapsForPreparation& caps);
    // A custom paper less the margins, in pixels at resolution; pixel sizes
    // are scaled from sizeResolution (0 there gives 0).
    static AXIS CalcCustomPaperSize(AXIS resolution, const MARGINSIZE& margins, const PAPERSIZE& custom,
                                    const AXIS& sizeResolution);
    // Where a page of size starts within maxPixels by the source's paper
    // position, moved down past a carrier sheet's head.
    static AXIS CalcOffsetValue(AXIS size, AXIS resolution, AXIS maxPixels, PAPERSOURCESELECT source,
                                const CDeviceCapsForPreparation& caps, bool carrierSheet);
    static int CalcOffsetValue(int size, int max, POSITION position);
    // Narrows area to the user's selection (pixel areas are rescaled from
    // areaResolution; 0 there gives 0).
    static void AdjustToSelectedScanArea(_SCANCMD_SCANAREA& area, AXIS resolution, const SCANAREA& selected,
                                         const AXIS& areaResolution);
    // Fits area into the maximum area actual reports.
    static void ReviseScanCmd_Area(_SCANCMD_SCANAREA& area, const ACTUALSCANPARAM& actual);
    // Every value in pixels; all zero when the area's unit is unknown.
    static SCANAREA GetPixelArea(SCANAREA area, AXIS resolution);
    // The longest page in pixels: the capability's maximum for the scan
    // side, else 863 mm.
    static unsigned int GetLongPaperSizePixel(unsigned int resolution, DUPLEXTYPE duplex,
                                              const LONGPAPERLENGTHMAX& longPaper);
    // A 90 x 60 business card stands upright where the source takes cards
    // vertically (generation 2 only).
    static AXIS GetBisunessCardSize(const PAPERSIZE& card, PAPERSOURCESELECT source,
                                    const VS_SCANNER_CAPABILITY& capability);
    // The head of a carrier sheet (its top offset, 32 mm when not given) in
    // pixels.
    static unsigned int GetCarrierSheetOffsetSizePixel(unsigned int resolution, const CARRIERSHEETSUPPORT& carrier);
};

}  // namespace vscore
