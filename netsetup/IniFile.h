// The setup tools' companion files, found beside the running program (the
// companion program tolmexconfig, the registration file, the tools' own model
// list and the driver's model folder), and the supported-model names read
// from the model files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace netsetup {

// Every companion path, the folder's included, fits this many bytes with its
// terminator; a longer one is treated as not found.
constexpr size_t kCompanionPathSize = 512;
// Longest supported-model name kept.
constexpr size_t kModelNameChars = 255;

// Paths in the folder of the running program; an empty path was not found.
struct CompanionFiles {
    char folder[kCompanionPathSize];        // with its trailing '/'
    char modelList[kCompanionPathSize];     // "Tolmex*.ini", "tolmex*.ini", "kavrun*.ini"
    char program[kCompanionPathSize];       // "tolmexconfig*", "kavrunconfig*"
    char registration[kCompanionPathSize];  // "tolmexnetdevice*.cfg", any case
    char modelDir[kCompanionPathSize];      // "models*", "Models*"
};

// Finds the companion files in the folder of the running program
// ("/proc/self/exe"). True when the model folder, the model list and the
// registration file were all found; without a companion program every path
// is emptied. Process-wide: the main thread, before the front end starts.
bool locate_companion_files();
// The same for the folder given (its path, with or without a trailing '/').
bool locate_companion_files_in(const char* folder);
// The paths found last. Any thread after locating.
const CompanionFiles& companion_files();

// The supported-model names: room for 10, growing by 10; names are cut at
// 255 characters.
class ModelNameList {
public:
    void Add(const char* name);
    size_t Count() const { return names_.size(); }
    const std::string& Name(size_t i) const { return names_[i]; }

private:
    std::vector<std::string> names_;
};

// The model name a line of a model file gives (the line cut at its first '\n'
// and '\r'): the text after the third comma, an opening double quote skipped,
// up to the next double quote or comma; a line without a comma gives itself.
// False for an empty line, a line with one or two commas, and an empty name.
// name gets at most min(size - 1, 255) characters, terminated. No I/O; any
// thread.
bool model_name_of_line(const char* line, char* name, size_t size);

// Reads the names of every "*.ini" file of the model folder whose first line,
// descrambled, opens "[Support Model]" (lines descrambled, '#' lines skipped,
// a line opening '[' ends the file), then those of the tools' own model list
// (plain, '#' lines kept). Either path may be empty.
void read_support_model_files_from(const char* modelDir, const char* modelList, ModelNameList& names);
// The same with the companion paths found.
void read_support_model_files(ModelNameList& names);

}  // namespace netsetup
