// The page enhancement record.
#include "VexmorApi/Temp/ImageProcParam.h"

namespace vscore {

bool _IMAGEPROC_PARAM::ShouldDetectColor() const
{
    return userColorType == IMAGEPROC_USER_AUTOCOLOR && detectedColorType == DETECTED_COLOR_NONE;
}

}  // namespace vscore
