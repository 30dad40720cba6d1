// Bounded line reading for the tools' model files; the descrambling is the
// backend's decode.
#include "netsetup/Scramble.h"

#include <climits>
#include <cstring>

#include "backend_source/ModelLineDecode.h"

namespace netsetup {

bool read_model_file_line(FILE* file, char* line, size_t size, bool descramble)
{
    if (size < 2 || size > static_cast<size_t>(INT_MAX) || std::fgets(line, static_cast<int>(size), file) == nullptr) {
        return false;
    }
    size_t length = std::strlen(line);
    if (length == size - 1 && line[length - 1] != '\n') {
        int c;
        while ((c = std::fgetc(file)) != EOF && c != '\n') {
        }
    }
    if (descramble) {
        decode(line);  // a line too long to descramble stays as it is
    }
    return true;
}

}  // namespace netsetup
