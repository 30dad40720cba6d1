// Which paper type one scan's page is and how it lies, decided from the
// user's choice or from what the device detected (two corners, a paper
// type, an orientation), together with the custom size, a size measured
// from the corners and the user's selected area. Made once per scan job by
// the read preparation; read by the scan-area calculation.
#pragma once

#include <optional>

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/DeviceCapsForPreparation.h"
#include "VexmorApi/Temp/IParseCmdRes.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

// A size in unit; resolution is that of the pixels when unit is PIXEL.
struct CustomSize {
    AXIS size;
    UNITTYPE unit;
    AXIS resolution;
};

// The user's area; resolution is that of the pixels when its unit is PIXEL.
struct SelectedArea {
    SCANAREA area;
    AXIS resolution;
};

class CPaperTypeAndOrientation {
public:
    // From what the device detected (user paper type AUTOSIZE) or the
    // user's paper with the orientation the detection suggests.
    CPaperTypeAndOrientation(const tagSCANAREAINFO& info, AXIS resolution, const DETECTEDPAPERINFO& detected,
                             const CDeviceCapsForPreparation& caps);
    // The user's paper as it stands, with the given orientation.
    CPaperTypeAndOrientation(const tagSCANAREAINFO& info, AXIS resolution, DOCUMENTORIENTATION orientation);
    // A paper without custom size or area. Throws TraceException
    // (InvalidSequence) for CUSTOMSIZE, which needs a size.
    CPaperTypeAndOrientation(PAPERTYPE type, DOCUMENTORIENTATION orientation);
    virtual ~CPaperTypeAndOrientation() = default;

    PAPERTYPE GetPaperType() const { return paperType_; }
    DOCUMENTORIENTATION GetPaperOrientation() const { return orientation_; }
    std::optional<CustomSize> GetCustomSize() const { return customSize_; }
    std::optional<CustomSize> GetCalculatedSize() const { return calculatedSize_; }
    std::optional<SelectedArea> GetSelectedArea() const { return selectedArea_; }

    // The corner distance in 1/100 mm (margins added) at or below which the
    // corners tell nothing.
    static constexpr int kNoUsableCornersMax = 6899;

    // The paper type whose size range holds the corners' distance, or the
    // largest paper of the source when the corners tell nothing.
    static PAPERTYPE GetPaperTypeFromCorner(const DETECTEDPAPERINFO& detected, const CDeviceCapsForPreparation& caps);
    static DOCUMENTORIENTATION GetPaperOrientationFromCorner(const DETECTEDPAPERINFO& detected,
                                                             const CDeviceCapsForPreparation& caps);
    // The bounding box, in pixels at the detection resolution, of the paper
    // the corners measure, skewed as they lie.
    static AXIS GetScanSizeFromCorner(const DETECTEDPAPERINFO& detected, const CDeviceCapsForPreparation& caps);
    // The distance of the two corners in 1/100 mm plus the source's margins;
    // 0 plus the margins when the detection resolution is 0.
    static int GetCornerDistance(const DETECTEDPAPERINFO& detected, const CDeviceCapsForPreparation& caps);
    // The smaller paper whose long side is the measured one, for a page
    // detected lying.
    static PAPERTYPE ChangePaperTypeToLandscape(PAPERTYPE type, PAPERSOURCESELECT source, bool metric,
                                                const CDeviceCapsForPreparation& caps);
    static bool IsLongerPaperWidthThanA4Letter(PAPERTYPE type);

private:
    void AnalizePaperInfoAndSet(const tagSCANAREAINFO& info, AXIS resolution, const DETECTEDPAPERINFO& detected,
                                const CDeviceCapsForPreparation& caps, bool forceLandscape);
    void GetPaperTypeFromDetectedData(const DETECTEDPAPERINFO& detected, const CDeviceCapsForPreparation& caps);
    DOCUMENTORIENTATION GetPaperOrientationFromDetectedData(const DETECTEDPAPERINFO& detected,
                                                            const CDeviceCapsForPreparation& caps) const;
    DOCUMENTORIENTATION GetPaperOrientationFromPaperType(PAPERTYPE type, const DETECTEDPAPERINFO& detected,
                                                         const CDeviceCapsForPreparation& caps) const;
    void SetCustomSize(const tagSCANAREAINFO& info, AXIS resolution);
    void SetSelectedArea(const tagSCANAREAINFO& info, AXIS resolution);

    PAPERTYPE paperType_ = DEVICEMAX;
    DOCUMENTORIENTATION orientation_ = NOT_ORIENTATION;
    std::optional<CustomSize> customSize_;
    std::optional<CustomSize> calculatedSize_;
    std::optional<SelectedArea> selectedArea_;
};

}  // namespace vscore
