// Line reading of the model files the setup tools read: whole lines, bounded,
// descrambled with the backend's routine when the file may be scrambled.
#pragma once

#include <cstddef>
#include <cstdio>

namespace netsetup {

// Room a model-file line is read into: the longest line the descrambling
// takes, and its terminator.
constexpr size_t kModelFileLineSize = 497;

// Reads the next line of file into line (size bytes): at most size - 1
// characters with its '\n' when that fits; the rest of a longer line is
// skipped. With descramble set the line is descrambled in place. False at the
// end of the file. line stays the caller's; any thread, one file per thread.
bool read_model_file_line(FILE* file, char* line, size_t size, bool descramble);

}  // namespace netsetup
