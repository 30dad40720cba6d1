// Turns the engine's scan request into the device scan parameters that the
// I/X and SSP/XSC commands carry: the colour type the device is asked for,
// the scan-area kind, margins and every feature the device does itself.
// Stateless; made on the stack for each conversion.
#pragma once

#include "VexmorApi/Temp/DeviceCapsForPreparation.h"
#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {

class CScanParam {
public:
    virtual ~CScanParam() = default;

    // The device parameters for request (already adjusted to the device).
    // Throws TraceException (InvalidArgument) "No supported color type."
    // when corner detection applies and the device detects corners in none
    // of black-and-white, error diffusion, true gray and 24-bit colour.
    _SCANCMD_SCANPARAM ConvertScanParameterToSend(const VS_SCANNER_PARAMETERS& request,
                                                  const CDeviceCapsForPreparation& caps) const;

    // A copy whose selected area is expressed in unit (pixels at the
    // request's resolutions). An area that cannot be converted (a zero
    // resolution, an unknown unit) is returned unchanged, unit included.
    static VS_SCANNER_PARAMETERS ConvertScanAreaValueUnit(const VS_SCANNER_PARAMETERS& request, UNITTYPE unit);

    // The next multiple of step at or above value; value itself for a step
    // of 0 or less.
    static int RoundUpValue(int value, int step);
};

}  // namespace vscore
