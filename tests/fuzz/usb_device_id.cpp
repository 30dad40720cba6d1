// The IEEE 1284 device ID parser of the USB plug-in on arbitrary replies:
// the ID never runs past the bytes received, and a key's value is a piece
// of the ID.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "devaccess/usb/CUsbDevAccsCore.h"

using vscore::CUsbDevAccsCore;

namespace {

void Check(bool ok)
{
    if (!ok) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CUsbDevAccsCore::TString id = CUsbDevAccsCore::ParseIEEE1284DeviceId(data, size);
    Check(size >= 2 ? id.Length() <= size - 2 : id.IsEmpty());
    Check(id.IsEmpty() || std::memcmp(id.C_str(), data + 2, id.Length()) == 0);
    for (const char* key : {"MFG:", "MDL:", "CMD:"}) {
        CUsbDevAccsCore::TString value = CUsbDevAccsCore::ExtractIdStringFromIEEE1284ID(id, key);
        Check(value.Length() <= id.Length());
        Check(value.IsEmpty() || std::strstr(id.C_str(), value.C_str()) != nullptr);
    }
    return 0;
}
