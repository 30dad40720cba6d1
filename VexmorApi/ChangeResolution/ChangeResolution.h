// Brings an enhanced page bitmap up to the requested output resolution with
// the streaming resolution change; pages are never shrunk here.
#pragma once

#include <cstdint>
#include <memory>

#include "VexmorApi/ChangeResolution/VdChangeReso.h"
#include "VexmorApi/Pages/BitmapImage.h"
#include "VexmorApi/Utilities/CancelCheck.h"

// Static functions only; any thread may call them on its own page.
class CChangeResolution {
public:
    // The page at target dpi when that is above its resolution, else the
    // same page object. The caller owns the result. Throws TraceException
    // InvalidArgument "failed to ChangeResoInit()." when the change cannot
    // be set up, FailedToAllocateMemory "failed to ChangeResoWriteStart()."
    // when it cannot start, Cancelled (the image and the rows made so far
    // dropped) once cancel asks to stop, checked before each input row.
    static std::unique_ptr<BitmapImage> ChangeIfNeeded(std::unique_ptr<BitmapImage> image, uint16_t target,
                                                       CancelCheck const& cancel = CancelCheck());
    // target > imageResolution.
    static bool ShouldChangeResolution(uint16_t imageResolution, uint16_t target);
    // BlackAndWhite 0x101, Gray 0x102, TrueGray 0x208, any other 0x420.
    static int32_t ConvertToVDSCNCLR(ImageInfo::ColorType colorType);
    // The set-up record for the image's rows in blue-green-red order at target dpi.
    static vscore::CHRESO_OPEN CreateResoOpenInfo(ImageInfo const& info, uint16_t target);
    // The image's byte size with rows padded to 4 bytes.
    static uint64_t CalculateDataSize(ImageInfo const& info);
};
