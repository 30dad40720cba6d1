// Model-file lines on arbitrary bytes, descrambled and parsed as discovery
// reads them: a kept line has an ID within 16 bits and a name of at most 31
// characters taken from the line, and nothing is read past the line.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "backend_source/ModelEnum.h"
#include "backend_source/ModelLineDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<unsigned char[]> line(new unsigned char[length + 1]);  // the line and its end, exactly
    std::memcpy(line.get(), data, length);
    line[length] = '\0';
    char* text = reinterpret_cast<char*>(line.get());
    decode(text);
    int id = -2;
    char name[32];
    std::memset(name, 'z', sizeof name);
    bool kept = parse_model_line(text, &id, name);
    Check(id >= -1 && id <= 0xFFFF);
    Check(std::memchr(name, '\0', sizeof name) != nullptr);
    if (kept) {
        Check(id >= 0 && name[0] != '\0');
        Check(std::strstr(text, name) != nullptr);  // taken from the line, never made up
    }
    return 0;
}
