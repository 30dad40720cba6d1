// Resolves the user features that a device handles in a fixed way (auto
// crop, long paper, carrier sheet, plastic card, two-in-one) by rewriting
// fields of the scan request before it is turned into device parameters.
// Static operations only; nothing is sent.
#pragma once

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

class CAdjustScanSetting {
public:
    CAdjustScanSetting() = delete;

    // The request after the five steps below, in this order, each on the
    // result of the one before.
    static VS_SCANNER_PARAMETERS ConvertUserSetting(const VS_SCANNER_PARAMETERS& request,
                                                    const VS_SCANNER_CAPABILITY& capability);

    // Auto crop scans the device's whole area, simplex, from the flatbed
    // where there is one.
    static VS_SCANNER_PARAMETERS ConvertUserSetting_AutoCrop(const VS_SCANNER_PARAMETERS& request,
                                                             const VS_SCANNER_CAPABILITY& capability);
    // Long paper switches off the features that need the whole page first.
    static VS_SCANNER_PARAMETERS ConvertUserSetting_LongPaper(const VS_SCANNER_PARAMETERS& request,
                                                              const VS_SCANNER_CAPABILITY& capability);
    static VS_SCANNER_PARAMETERS ConvertUserSetting_CarrierSheet(const VS_SCANNER_PARAMETERS& request,
                                                                 const VS_SCANNER_CAPABILITY& capability);
    static VS_SCANNER_PARAMETERS ConvertUserSetting_PlasticCard(const VS_SCANNER_PARAMETERS& request,
                                                                const VS_SCANNER_CAPABILITY& capability);
    // A device with its own card mode: 600 dpi, duplex by how the card lies.
    static VS_SCANNER_PARAMETERS ConvertUserSetting_PlasticCard_Auto600dpi(const VS_SCANNER_PARAMETERS& request,
                                                                           const VS_SCANNER_CAPABILITY& capability);
    // Any other device: duplex binding by card slot, feeder orientation and
    // the user's back-side inversion.
    static VS_SCANNER_PARAMETERS ConvertUserSetting_PlasticCard_Auto(const VS_SCANNER_PARAMETERS& request,
                                                                     const VS_SCANNER_CAPABILITY& capability);
    // Two pages merged into one carry no barcode or patch code.
    static void ConvertUserSetting_2in1(VS_SCANNER_PARAMETERS& request);
};

}  // namespace vscore
