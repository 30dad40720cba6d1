// The engine's name for the toolbox's saturating narrowing (vdtcl/SaturatingCast.h).
#pragma once

#include "vdtcl/SaturatingCast.h"

namespace vscore {

using vdtcl::SaturateTo;

}  // namespace vscore
