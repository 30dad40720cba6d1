// The driver settings file "kavrun5.ini" of the backend: KEY=value lines,
// '#' comments, the first counting line of a key decides.
#pragma once

#include <cstddef>

#include "vexmor_paths.h"

// The settings file of an installed driver.
#define VORDANE5_INI_PATH VEXMOR_ETC_DIR "/kavrun5.ini"

// Copies the value of key into out (size bytes) and returns out. The value is
// taken when it is shorter than size, else def is (def may be null: empty).
// A missing file or key gives def. size 0 writes nothing; a def that does not
// fit leaves out empty; both record an error and return null. Any thread;
// out stays the caller's.
char* get_inifile_string(const char* key, char* out, size_t size, const char* def);
char* get_inifile_string_at(const char* path, const char* key, char* out, size_t size, const char* def);

// The key's value as a decimal number (at most 15 characters), def when the
// key is missing or its value too long; a number outside int is clamped.
int get_inifile_int(const char* key, int def);
int get_inifile_int_at(const char* path, const char* key, int def);
