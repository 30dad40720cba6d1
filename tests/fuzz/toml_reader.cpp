// The TOML-like reader's load on arbitrary bytes. Each input is loaded from
// memory and, through a memory-backed file, by LoadFileToDataTree; both
// loads must agree on the result and on every dropped line.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vdtcl/CTTinyTomlDecoder.h"

namespace {

using namespace vdtcl;

int MemoryFile()
{
    static int fd = memfd_create("toml_reader", 0);
    return fd;
}

std::string Errors(CTTinyTomlParser& parser)
{
    std::string out;
    unsigned line;
    tinytoml::parse_result_t code;
    while (parser.ExtractErrorInfo(line, code)) {
        out += std::to_string(line) + ":" + std::to_string(code) + " ";
    }
    return out;
}

// Queries the way the capability table reader does.
unsigned long Query(CTTinyTomlDecoder& decoder)
{
    unsigned long seen = 0;
    const char* tables[] = {"DeviceCapability", "DeviceCapability.DeviceScanSize", "t", "a", "m"};
    const char* keys[] = {"ModelName", "FbMaxX", "k", "v", "x"};
    for (const char* table : tables) {
        for (unsigned long n = 0; n < 3; ++n) {
            if (!decoder.SelectTable(table, n)) {
                continue;
            }
            for (const char* key : keys) {
                TTString<char> text;
                int value = 0;
                seen += decoder.QueryKeyValue(key, text, 0) ? text.Length() : 0;
                seen += decoder.QueryKeyValue(key, value, 1) ? 1 : 0;
                seen += decoder.GetDataTree().CountOfArrayValues(key);
            }
            seen += decoder.GetDataTree().CountOfKeyValues();
        }
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CTTinyTomlDecoder fromMemory;
    bool memoryOk = fromMemory.LoadMemoryToDataTree(reinterpret_cast<const char*>(data), size);
    std::string memoryErrors = Errors(fromMemory.GetParser());
    unsigned long memorySeen = Query(fromMemory);

    int fd = MemoryFile();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    char path[64];
    snprintf(path, sizeof(path), "/proc/self/fd/%d", fd);
    CTTinyTomlDecoder fromFile;
    bool fileOk = fromFile.LoadFileToDataTree(path);
    if (fileOk != memoryOk || Errors(fromFile.GetParser()) != memoryErrors || Query(fromFile) != memorySeen) {
        abort();
    }
    return 0;
}
