// Moving a page image's byte block out of memory into a temporary file of
// the engine's temporary-file manager, and readable type names for the
// failures of the page classes.
#pragma once

#include <memory>
#include <string>
#include <typeinfo>

class Bytes;

namespace temporary_store {

// A memory block is written into a new temporary file, which replaces it and
// is removed when the container goes; a file-backed block writes a loaded
// copy back and drops it. Without a block throws InvalidMemberVariable
// "member variable typeid is " + the member's type, recorded with the
// caller's origin. On a failed write the block stays as it was and no file
// is left behind.
void StoreInTemporaryFile(std::unique_ptr<Bytes>& bytes, char const* origin, char const* function);

// The demangled name of a type ("DeviceImageLines").
std::string TypeName(std::type_info const& type);

}  // namespace temporary_store
