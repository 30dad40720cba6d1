// Paper facts both command generations use when they make a capability
// record: the standard paper dimensions (1/100 mm) behind the sizes a device
// does not report, and the codes with which a device says where paper lies.
#pragma once

#include <cstdint>

#include "VexmorApi/VexmorApiTypes.h"

namespace vscore {
namespace paper {

constexpr uint32_t kA4Width = 21000;
constexpr uint32_t kA4Length = 29700;
constexpr uint32_t kA3Width = 29700;
constexpr uint32_t kA3Length = 42000;
constexpr uint32_t kLetterWidth = 21590;
constexpr uint32_t kLegalLength = 35560;
constexpr uint32_t kLedgerWidth = 27940;
constexpr uint32_t kLedgerLength = 43180;

// A paper-position code across the source: 2 centre, 3 right, else left.
constexpr POSITION PositionX(uint8_t code) { return code == 2 ? CENTER : code == 3 ? RIGHT : LEFT; }
// Along the source: 2 centre, 3 bottom, else top.
constexpr POSITION PositionY(uint8_t code) { return code == 2 ? CENTER : code == 3 ? BOTTOM : TOP; }

}  // namespace paper
}  // namespace vscore
