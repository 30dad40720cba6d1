// The capability record of a generation-1 device, derived group by group
// from its fixed-layout Q answer, with fixed defaults by device category
// and command version where the answer gives nothing; and the readers that
// decide which paper sources the device has.
#pragma once

#include <memory>

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/ParseCmdRes_v1.h"

namespace vscore {

// Which paper sources an answer describes.
class PaperSource {
public:
    virtual ~PaperSource() = default;
    virtual CAPSUPPORT IsFbScanSupported() const = 0;
    virtual CAPSUPPORT IsAdfSimplexScanSupported() const = 0;
    virtual CAPSUPPORT IsAdfDuplexScanSupported() const = 0;
    virtual CAPSUPPORT IsCardSlotScanSupported() const = 0;
};

// Older devices: a feeder-only device (device-kind byte 1) has both feeder
// modes and no flatbed; every other device has only the flatbed.
class PaperSourceOnProtocol2012 : public PaperSource {
public:
    explicit PaperSourceOnProtocol2012(const QCMDRESPONSE& response) : response_(response) {}
    CAPSUPPORT IsFbScanSupported() const override;
    CAPSUPPORT IsAdfSimplexScanSupported() const override;
    CAPSUPPORT IsAdfDuplexScanSupported() const override;
    CAPSUPPORT IsCardSlotScanSupported() const override;

private:
    QCMDRESPONSE response_;
};

// Newer devices (and any device with table-file values): a source exists
// when its maximum width is non-zero; nothing is known when neither the
// flatbed nor the feeder has a width.
class PaperSourceOnProtocol2013OrLater : public PaperSource {
public:
    explicit PaperSourceOnProtocol2013OrLater(const QCMDRESPONSE& response) : response_(response) {}
    CAPSUPPORT IsFbScanSupported() const override;
    CAPSUPPORT IsAdfSimplexScanSupported() const override;
    CAPSUPPORT IsAdfDuplexScanSupported() const override;
    CAPSUPPORT IsCardSlotScanSupported() const override;

private:
    QCMDRESPONSE response_;
};

class DeviceCapabilityCreator_v1 {
public:
    // overridesGiven: the table file gave values for this model.
    DeviceCapabilityCreator_v1(const QCMDRESPONSE& response, bool overridesGiven);

    // One accessor per capability group. Sizes are in 1/100 mm (unit 1).
    DEVICECATEGORY GetDeviceCategory() const;
    SUPPORTSCANEVENT GetSupportScanEvent() const;
    DEVICEPANELCAPS GetDevicePanelCaps() const;
    OPTICALRESOLUTIONS GetOpticalResolution() const;
    SUPPORTCOLORTYPES GetColorType() const;
    PAPERSOURCESPEC GetPaperSource() const;
    DEVICESCANSIZES GetDeviceScanSizeMax() const;
    DEVICESCANSIZES GetDeviceScanSizeMin() const;
    LONGPAPERLENGTHMAX GetLongPaperLength() const;
    MARGINSIZES GetMarginSize() const;
    PAPERSETTINGPOSITIONS GetPaperPosition() const;
    CARDSCANSETTINGORIENTATIONS GetCardScanOrientation() const;
    DEVICESCANSIZES GetSupportDocumentSizeMax() const;
    MULTIPAGESCANSYSTEM GetMultiPageScanSystem() const;
    SUPPORTCOMPRESSIONTYPE GetSupportCompressType() const;
    MONOTHRESHOLDSUPPORT GetSupportMonoThresholdFunc() const;
    SPECIALDOCUMENTIMAGEPROCS GetSpecialDocumentImageProc() const;
    CAPSUPPORT GetColorProfileOutputInfo() const;
    PAPERWIDTHDETECT GetDetectPaperWidthMode() const;
    AUTOCROP2PASS GetAutoCropMode() const;
    CORNERDETECT GetDetectPaperCornerMode() const;
    IDCARDMODE GetIdCardMode() const;
    LANDSCAPESUPPORT GetLandscapeOrientationMode() const;
    CARRIERSHEETSUPPORT GetCarrierSheetMode() const;
    PLASTICCARDSUPPORT GetPlasticCardMode() const;
    MULTIFEEDDETECTSUPPORT GetMultiFeedMode() const;
    BACKGROUNDREMOVALSUPPORT GetRemoveBackgroundMode() const;
    DEVICEDETECTSIZESUPPORT GetDeviceAutoSizeMode() const;
    DEVICEDESKEWSUPPORT GetDeskewMode() const;
    BLANKREMOVALSUPPORT GetBlankPageRemoveMode() const;
    AUTOCOLORLEVELSUPPORT GetAutoColorMode() const;
    CAPSUPPORT GetDetectResolutionMode() const;
    AUTOCROPTYPE GetAutoCropType() const;

    // Feature bits of the answer: SUPPORT when set, else UNSUPPORT.
    CAPSUPPORT IsEdgeDetectScanSupported() const;
    CAPSUPPORT IsDetectDocSizeSupported() const;
    CAPSUPPORT IsDetectCornerSupported() const;
    CAPSUPPORT IsAdfDeskewSupported() const;
    CAPSUPPORT IsOverScanSupported() const;
    CAPSUPPORT IsFbDeskewSupported() const;

private:
    // A margin in 1/100 mm: the device's value, else the category default.
    int32_t GetMarginMm(uint16_t deviceValue) const;
    // The device's margins on all four sides of a source it has; zero
    // margins for one it lacks.
    MARGINSIZE GetMarginSizeMm(bool sourcePresent) const;
    MARGINSIZE GetMarginSizeMmOfFlatbed() const;
    MARGINSIZE GetMarginSizeMmOfAdfSimplex() const;
    MARGINSIZE GetMarginSizeMmOfAdfDuplex() const;
    static POSITION GetPositionX(uint8_t code);
    static POSITION GetPositionY(uint8_t code);
    bool IsA3Model() const;
    bool IsZkModel() const;

    bool IsFb() const;
    bool IsAdfSimplex() const;
    bool IsAdfDuplex() const;
    bool IsCardSlot() const;
    bool IsDocumentScanner() const;
    // The minimum size of one feeder mode from its device pair and margins.
    AXIS GetAdfMinimum(uint16_t x, uint16_t y, const MARGINSIZE& margin) const;

    QCMDRESPONSE response_;
    std::unique_ptr<PaperSource> paperSource_;
};

}  // namespace vscore
