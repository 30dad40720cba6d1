// The version-1 capability record the engine hands to the SANE backend,
// built from the engine's full capability record, and the queries over the
// full record that other classes share (device kind, command generation,
// resolution and paper-type lists, long paper). Stateless: every operation
// reads only the record it is given and may run on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/VexmorApiTypes.h"
#include "vdtcl/VsResult.h"

namespace vscore {

class CDeviceCaps;

// The capability could not be read, or there is no output record.
enum : VSRSLT { APIERR_CAPABILITY_UNAVAILABLE = 0x70100012 };

class ScanCapability {
public:
    // Number of entries of the resolution list.
    static constexpr size_t kResolutionCount = 11;

    // Reads the capability through the cache and writes the version-1
    // record to out (cleared first). Any failure gives
    // APIERR_CAPABILITY_UNAVAILABLE and leaves out as it was.
    static VSRSLT Get(std::shared_ptr<CDeviceCaps> deviceCaps, devif_type interfaceType,
                      tagVS_SCANNER_CAPABILITY_VER1* out);
    // The version-1 record of a full record, with the platform's fix-up.
    static tagVS_SCANNER_CAPABILITY_VER1 Get(const VS_SCANNER_CAPABILITY& capability, devif_type interfaceType);

    // The platform's fix-up: features neither the device nor the engine
    // offers here are declared unsupported.
    static void FixScannerCapability(tagVS_SCANNER_CAPABILITY_VER1& record);
    static void FixScannerCapabilityForLinux(tagVS_SCANNER_CAPABILITY_VER1& record);

    // ---- Queries over the full record.
    static CommandVersion GetScannerCommandVersion(const VS_SCANNER_CAPABILITY& capability);
    static uint32_t GetUpdateVersion(const VS_SCANNER_CAPABILITY& capability);
    static DEVICECATEGORY GetDeviceCategory(const VS_SCANNER_CAPABILITY& capability);
    static OPTICALRESOLUTIONS GetOpticalResolution(const VS_SCANNER_CAPABILITY& capability);
    static SUPPORTPAPERSOURCES GetPaperSource(const VS_SCANNER_CAPABILITY& capability);
    static bool IsFlatbedSupported(const VS_SCANNER_CAPABILITY& capability);
    static bool IsAdfSupported(const VS_SCANNER_CAPABILITY& capability);
    static bool CanDuplex(const VS_SCANNER_CAPABILITY& capability);
    static MARGINSIZES GetMarginSize(const VS_SCANNER_CAPABILITY& capability);
    static PAPERSETTINGPOSITIONS GetPaperPosition(const VS_SCANNER_CAPABILITY& capability);
    static CARDSCANSETTINGORIENTATIONS GetCardSizeOrientation(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetLongPaperSupport(const VS_SCANNER_CAPABILITY& capability);
    // The longer of the two long-paper lengths in unit; 0 without long paper.
    static uint32_t GetLongPaperMaxLength(const VS_SCANNER_CAPABILITY& capability, UNITTYPE unit);
    static CAPSUPPORT GetAutoPaperSizeSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT EnsureAutoSizeDetect2Corner(const VS_SCANNER_CAPABILITY& capability);
    static bool IsSupportedAutoSizeDetect4corner(const VS_SCANNER_CAPABILITY& capability);
    // Fills list (kResolutionCount entries) with the resolutions the device
    // offers, zeros after the last; false for a null list or an empty one.
    static bool CreateResolutionList(const VS_SCANNER_CAPABILITY& capability, uint32_t* list);
    // The paper types the device offers in ascending order, CUSTOMSIZE last.
    static std::vector<PAPERTYPE> CreatePaperTypeList(const VS_SCANNER_CAPABILITY& capability);
    static bool IsDeviceSupportPaperSize(const VS_SCANNER_CAPABILITY& capability, PAPERTYPE type,
                                         const DEVICESCANSIZES& sizes);
    static bool IsSupportedCardSize(const CARDSCANSETTINGORIENTATIONS& orientation, PAPERTYPE type);
    // The size of the source with the longest supported document.
    static AXIS GetMaxSupportDocSize(const DEVICESCANSIZES& sizes);

    static bool IsLaserMfc(const VS_SCANNER_CAPABILITY& capability);
    static bool IsInkMfc(const VS_SCANNER_CAPABILITY& capability);
    static bool IsDocumentScanner(const VS_SCANNER_CAPABILITY& capability);
    static bool IsInternalDocumentScanner(const VS_SCANNER_CAPABILITY& capability);
    static bool Is1stCommand(const VS_SCANNER_CAPABILITY& capability);
    static bool Is2ndCommand(const VS_SCANNER_CAPABILITY& capability);

    // ---- One query per field of the version-1 record.
    static SUPPORTPOWERSOURCE GetPowerSourceSupport(const VS_SCANNER_CAPABILITY& capability);
    static SUPPORTSCANEVENT GetPushEventSupport(const VS_SCANNER_CAPABILITY& capability);
    static SUPPORTCOLORTYPES GetColorTypeSupport(const VS_SCANNER_CAPABILITY& capability);
    static DEVICESCANSIZES GetSupportDocSizeMaxCapability(const VS_SCANNER_CAPABILITY& capability);
    static DEVICESCANSIZES GetDeviceScanSizeMinCapability(const VS_SCANNER_CAPABILITY& capability);
    static LONGPAPERSUPPORT GetLongPaperCapability(const VS_SCANNER_CAPABILITY& capability);
    static uint32_t GetAutoSizeMaxResolutionCapability(const VS_SCANNER_CAPABILITY& capability);
    static PAPERSOURCESPEC GetPaperSourceSpecCapability(const VS_SCANNER_CAPABILITY& capability);
    // The flatbed's margins when it exists, else the feeder's simplex ones.
    static MARGINSIZE GetMarginSizeCapability(const VS_SCANNER_CAPABILITY& capability);
    // Automatic crop of the device: 0 unknown, 2 two-pass or one-pass, else 1.
    static CAPSUPPORT GetAutoCropSupport(const VS_SCANNER_CAPABILITY& capability);
    static AUTODESKEWSUPPORT GetAutoDeskewSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetAutoRotateSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetDetectEndOfPageSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetRotateImageSupport(const VS_SCANNER_CAPABILITY& capability);
    static MONOTHRESHOLDSUPPORT GetMonoThresholdSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetGrayToneSupport(const VS_SCANNER_CAPABILITY& capability);
    static COLORTONESUPPORT GetColorToneSupport(const VS_SCANNER_CAPABILITY& capability);
    static AUTOCOLORLEVELSUPPORT GetAutoColorLevelSupport(const VS_SCANNER_CAPABILITY& capability);
    static BACKGROUNDREMOVALSUPPORT GetBackgroundRemovalSupport(const VS_SCANNER_CAPABILITY& capability);
    static SMOOTHINGSUPPORT GetSmoothingSupport(const VS_SCANNER_CAPABILITY& capability);
    static COLORDROPSUPPORT GetColorDropSupport(const VS_SCANNER_CAPABILITY& capability);
    static THICKTEXTSUPPORT GetThickTextSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetDotTextCombineSupport(const VS_SCANNER_CAPABILITY& capability);
    static EDGEENHANCESUPPORT GetEdgeEnhanceSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetReduceNoiseSupport(const VS_SCANNER_CAPABILITY& capability);
    static MOIREREMOVALSUPPORT GetMoireRemovalSupport(const VS_SCANNER_CAPABILITY& capability);
    static DUSTREMOVALSUPPORT GetDustRemovalSupport(const VS_SCANNER_CAPABILITY& capability);
    static REMOVELINESUPPORT GetLineRemoveSupport(const VS_SCANNER_CAPABILITY& capability);
    static PUNCHHOLESUPPORT GetPunchHoleRemoveSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetImageMergeSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetImageDevideSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetCombineImagesSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetCarrierSheetSupport(const VS_SCANNER_CAPABILITY& capability);
    static CardModeType GetPlasticCardSupport(const VS_SCANNER_CAPABILITY& capability);
    static EDGECUTSUPPORT GetEdgeCutSupport(const VS_SCANNER_CAPABILITY& capability);
    static EDGEFILLSUPPORT GetEdgeFillSupport(const VS_SCANNER_CAPABILITY& capability);
    static BLANKREMOVALSUPPORT GetBlankRemovalCapability(const VS_SCANNER_CAPABILITY& capability);
    static XFERCOUNTSYSTEM GetXferCountSupport(const VS_SCANNER_CAPABILITY& capability);
    static AUTOCONTINUOUSSCANSUPPORT GetAutoContinuousScanSupport(const VS_SCANNER_CAPABILITY& capability,
                                                                  devif_type interfaceType);
    static CAPSUPPORT GetMultifeedDetectSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetQuietModeSupport(const VS_SCANNER_CAPABILITY& capability);
    static BARCODESUPPORT GetDetectBarcodeSupport(const VS_SCANNER_CAPABILITY& capability);
    static PATCHCODESUPPORT GetDetectPatchcodeSupport(const VS_SCANNER_CAPABILITY& capability);
    static CAPSUPPORT GetColorProfileSupport(const VS_SCANNER_CAPABILITY& capability);
    static bool GetBarcodeUtilitySolutionSupport(const VS_SCANNER_CAPABILITY& capability);
};

}  // namespace vscore
