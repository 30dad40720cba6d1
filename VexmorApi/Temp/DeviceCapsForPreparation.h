// A read-only view of one capability record for the code that prepares a
// scan: margins, maximum scan and document sizes, paper positions,
// orientations and detection features, answered per paper source.
#pragma once

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

class CDeviceCapsForPreparation {
public:
    // Copies the record; the view never changes afterwards.
    explicit CDeviceCapsForPreparation(const VS_SCANNER_CAPABILITY& capability);
    virtual ~CDeviceCapsForPreparation() = default;

    VS_SCANNER_CAPABILITY Get() const;
    SCANCMD_GENERATION GetCmdGeneration() const;

    // The feeder's simplex or duplex margins, the card slot's, or the
    // flatbed's for any other source.
    MARGINSIZE GetScanMargin(PAPERSOURCESELECT source, bool simplex) const;
    // The maximum scan size of a source; 0 x 0 for SOURCEAUTO and unknown ones.
    PAPERSIZE GetDeviceScanSizeMax(PAPERSOURCESELECT source, bool duplex) const;
    // The largest supported document of a source; 0 x 0 for SOURCEAUTO and
    // unknown ones.
    PAPERSIZE GetSupportDocumentSize(PAPERSOURCESELECT source) const;
    POSITION GetPaperPositionX(PAPERSOURCESELECT source) const;
    POSITION GetPaperPositionY(PAPERSOURCESELECT source) const;
    DOCUMENTORIENTATION GetRecommendedOrientation(PAPERTYPE type, PAPERSOURCESELECT source) const;
    // True when the paper's recommended orientation differs from the
    // source's standard one (flatbed and feeder only).
    bool IsSupportedLandscapeScan(PAPERTYPE type, PAPERSOURCESELECT source) const;
    bool IsSupportedPaperWidthDetect(PAPERSOURCESELECT source, const _SCANCMD_DUPLEXSCAN& duplex) const;
    // Throws TraceException (InvalidArgument) for a source other than
    // FLATBED, ADF and CARDSLOT.
    bool IsSupportedDeviceAutoSize(const _SCANCMD_DUPLEXSCAN& duplex, PAPERSOURCESELECT source) const;
    CAPSUPPORT IsSupportedDetect2Corner(PAPERSOURCESELECT source) const;
    CAPSUPPORT IsSupportedDetectPaperType(PAPERSOURCESELECT source) const;
    CAPSUPPORT IsSupportedDetectOrientation(PAPERSOURCESELECT source) const;
    bool IsSupportedMarginAdjustment(PAPERTYPE type) const;
    // Whether the largest supported document is wider than LETTER.
    bool IsSupportedA3WithFB() const;
    bool IsSupportedA3WithSimplex() const;
    bool IsSupportedA3WithDuplex() const;
    // True when the paper type's width is below width (compared in 1/100 mm).
    bool IsWidthLagerThanDocumentSize(PAPERTYPE type, unsigned int width, UNITTYPE unit) const;
    // The left and top margins of flatbed, simplex and duplex as sizes; the
    // card-slot pair is 0 x 0.
    DEVICESCANSIZES ConvAndGetMarginDocSize() const;
    CARRIERSHEETSUPPORT GetCarrierSheet() const;
    LONGPAPERLENGTHMAX GetLongPaperLengthMax() const;
    // The resolution of the edge (automatic crop) pre-scan.
    AXIS GetEdgeScanResolusion() const;
    // The automatic-crop area scaled to resolution; an axis whose device
    // resolution is 0 gives 0.
    AXIS GetAutoCropScanArea(AXIS resolution) const;

private:
    VS_SCANNER_CAPABILITY capability_;
};

}  // namespace vscore
