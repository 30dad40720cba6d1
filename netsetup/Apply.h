// Applying the user's choices: the companion program tolmexconfig, run
// through sudo once per changed device, from an argument vector.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace netsetup {

// The registration name of a device name: only 0-9, a-z, A-Z, '[', ']', '-'
// and '_' kept; when "Vordane_" (any case) stands anywhere, the first 8
// characters dropped; then from "_series", else the first '_', on: replaced
// by '_' and the text between the next '[' and ']' when a '[' follows, else
// cut off. At most 127 characters of name are looked at; out gets at most
// size - 1 characters, terminated. No I/O; any thread.
void clean_device_name(const char* name, char* out, size_t size);

// The commands: {"sudo", program, "-a", "name=N", "model=M", "ip=A"} and
// {"sudo", program, "-r", name}.
std::vector<std::string> add_command(const char* program, const char* cleanedName, const char* model,
                                     const char* address);
std::vector<std::string> remove_command(const char* program, const char* name);

// Logs the command's text ("%s\n", the arguments joined by blanks) and runs
// it: argument 0 looked up on PATH, the others passed as they are (no
// shell), standard streams inherited. True when it exited with status 0;
// else a message on standard error. Blocks until it ends; main thread.
bool run_command(const std::vector<std::string>& args);

// Runs the companion program for every table entry whose action differs
// from its state: removal for action 1 unless the device was only found by
// mDNS, registration for action 2 unless it is registered. True when every
// command ran and succeeded (also when there was none). Without a companion
// program, or for a device without a name, no command is formed: a message
// on standard error, and false. Main thread.
bool apply_changes();

}  // namespace netsetup
