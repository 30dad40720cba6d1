// The outcome of a document check (D in generation 1, CKD in generation 2),
// shared by both command executors and the command facade.
#pragma once

#include <cstdint>

namespace vscore {

enum CheckDocumentResult : int32_t {
    CHECKDOCUMENT_FAILED = 0,   // failed or undetermined
    CHECKDOCUMENT_PRESENT = 1,  // a document lies on the source
    CHECKDOCUMENT_NO_DOCUMENT = 2,
    CHECKDOCUMENT_NEITHER = 3,   // the device reports a state that is neither
    CHECKDOCUMENT_STATUS_A = 4,  // generation 2 only
};

}  // namespace vscore
