// The generation-1 encoders (Gen1Wire.h) for the tests, which also take the
// Q answer from the engine's own record of the 72-byte layout.
#pragma once

#include "VexmorApi/Temp/ParseCmdRes_v1.h"
#include "tests/support/gen1_encoders/Gen1Wire.h"
