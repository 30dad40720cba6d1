// A service's TXT strings on arbitrary bytes (each string a length byte and
// that many bytes, as on the wire; each in a heap block of its exact size):
// a found model is the rest of the first "mdl=" string, terminated within
// the buffer and free of NUL bytes, and the maker string was present.
#include <strings.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzInput.h"
#include "backend_source/AvahiClientCore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::unique_ptr<unsigned char[]>> blocks;
    std::vector<TxtString> strings;
    for (size_t at = 0; at < size;) {
        size_t length = data[at++];
        if (length > size - at) {
            length = size - at;
        }
        blocks.push_back(ExactCopy(data + at, length));
        strings.push_back(TxtString{blocks.back().get(), length});
        at += length;
    }
    char model[64];
    bool found = walk_txt_strings(strings.data(), strings.size(), model, sizeof model);
    if (!found) {
        return 0;
    }
    size_t modelLength = strnlen(model, sizeof model);
    Check(modelLength < sizeof model);
    const TxtString* first = nullptr;
    bool maker = false;
    for (const TxtString& s : strings) {
        if (first == nullptr && s.size >= 4 && std::memcmp(s.text, "mdl=", 4) == 0) {
            first = &s;
        }
        maker = maker || (s.size == 11 && strncasecmp(reinterpret_cast<const char*>(s.text), "mfg=Vordane", 11) == 0);
    }
    Check(maker && first != nullptr && first->size - 4 == modelLength);
    Check(std::memcmp(first->text + 4, model, modelLength) == 0);
    return 0;
}
