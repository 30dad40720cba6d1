// Model-line descrambling on arbitrary bytes: decode into a buffer of exactly
// the line's size, a refused line stays as it was, a plain line passes
// unchanged, and every scrambled character lands where the step puts it.
#include "backend_source/ModelLineDecode.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, strnlen(line.c_str(), line.size()));  // a C string: up to the first NUL
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    int result = decode(buffer.data());
    std::string out(buffer.data());

    bool scrambled = line.size() >= 4 && line[0] == '?' && line[1] == '#';
    if (line.size() > static_cast<size_t>(kModelLineMax)) {
        Check(result == -1 && out == line);
        return 0;
    }
    Check(result == 0);
    if (!scrambled) {
        Check(out == line);
        return 0;
    }
    Check(out.size() == line.size() - 4);
    int k1 = static_cast<signed char>(line[2]);
    int k2 = static_cast<signed char>(line[3]);
    for (size_t i = 0; i < out.size(); ++i) {
        int in = static_cast<unsigned char>(line[i + 4]);
        int got = static_cast<unsigned char>(out[i]);
        if (in >= 32 && in <= 123) {
            Check(got >= 32 && got <= 124 && got == scramble_step((k1 + k2) & 7, k1, k2, in));
        } else {
            Check(got == in);
        }
    }
    // decode_sub into a buffer of exactly the source's size.
    std::vector<char> exact(line.size() + 1);
    decode_sub(line.c_str(), exact.data());
    Check(out == exact.data());
    return 0;
}
