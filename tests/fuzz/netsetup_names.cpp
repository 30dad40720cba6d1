// The setup tools' texts from the network and the model files on arbitrary
// bytes: a service name cleaned into a registration name keeps only the
// allowed characters, a listed model and a model-file line's name stay
// within their bounds and the line, each written into a buffer of the size
// the input picks.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "netsetup/Apply.h"
#include "netsetup/EnumDev.h"
#include "netsetup/IniFile.h"

namespace {

bool Allowed(char c) { return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("[]-_", c) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    // The first byte picks the output's size (1 to 256), the rest is a text.
    const size_t outSize = static_cast<size_t>(data[0]) + 1;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.substr(0, strnlen(text.c_str(), text.size()));
    std::vector<char> input(text.begin(), text.end());
    input.push_back('\0');  // exactly the text and its terminator

    std::vector<char> out(outSize, '\x7f');
    netsetup::clean_device_name(input.data(), out.data(), out.size());
    size_t length = strnlen(out.data(), out.size());
    Check(length < outSize && length <= 127);
    for (size_t i = 0; i < length; ++i) {
        Check(Allowed(out[i]));
    }

    std::vector<char> model(outSize, '\x7f');
    netsetup::mdns_model_of(input.data(), model.data(), model.size());
    length = strnlen(model.data(), model.size());
    Check(length < outSize && length <= 63 && std::memchr(model.data(), ' ', length) == nullptr);
    Check(text.find(std::string(model.data(), length)) != std::string::npos);

    std::vector<char> name(outSize, '\x7f');
    bool found = netsetup::model_name_of_line(input.data(), name.data(), name.size());
    length = strnlen(name.data(), name.size());
    Check(length < outSize && length <= netsetup::kModelNameChars && found == (length > 0));
    const std::string got(name.data(), length);
    Check(got.find_first_of("\r\n") == std::string::npos);
    Check(text.find(got) != std::string::npos);
    if (found && text.find(',') < text.find_first_of("\r\n")) {
        Check(got.find_first_of(",\"") == std::string::npos);
    }
    return 0;
}
