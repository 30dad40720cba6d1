// Registration-file lines on arbitrary bytes: a line that registers a device
// opens with "DEVICE=", gives a name, and every text fits its field.
#include <cstdint>
#include <cstring>

#include "FuzzInput.h"
#include "backend_source/EnumDev.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<unsigned char[]> line(new unsigned char[length + 1]);  // the line and its end, exactly
    std::memcpy(line.get(), data, length);
    line[length] = '\0';
    RegistrationEntry entry;
    bool device = parse_registration_line(reinterpret_cast<const char*>(line.get()), &entry);
    Check(std::memchr(entry.name, '\0', sizeof entry.name) != nullptr);
    Check(std::memchr(entry.model, '\0', sizeof entry.model) != nullptr);
    Check(std::memchr(entry.address, '\0', sizeof entry.address) != nullptr);
    if (device) {
        Check(length >= 7 && std::memcmp(line.get(), "DEVICE=", 7) == 0);
        Check(entry.name[0] != '\0' && entry.name[0] != '"');
        Check(std::strlen(entry.address) <= 32);
    }
    return 0;
}
