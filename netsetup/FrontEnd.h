// What the window and terminal front ends share: their command line, the
// model filter, the tools' debug log, the start of a run, and the terminal's
// choice line.
#pragma once

#include <cstddef>
#include <cstdio>

namespace netsetup {

// The tools' log file of "--debuglog=file".
#define NETSETUP_LOG_PATH "/tmp/kavrun_netconfig.log"

// Longest model filter kept.
constexpr size_t kFilterChars = 127;
// Characters of the terminal's input line that count.
constexpr size_t kChoiceChars = 30;

struct RunSettings {
    int logMode = 0;  // 0 off, 1 standard error, 2 the log file
    int maximum = 32;
    bool queryOnly = false;  // netsetup-cli --query-network-scanner
    char filter[kFilterChars + 1] = "";
    char filterWithoutHyphens[kFilterChars + 1] = "";
};

// Reads the arguments from argv[1] on, each in turn: "--debuglog=stderr",
// "--debuglog=file", "--max=N" (below 1 or not a number: 32; above 64: 64),
// "--query-network-scanner..." when terminal is set, anything else the
// model filter (its first 127 characters; a later one replaces it).
void read_arguments(int argc, char** argv, bool terminal, RunSettings& settings);

// Copies source without its '-' characters: at most size - 1 characters,
// terminated. No I/O; any thread.
void strip_hyphens(char* destination, const char* source, size_t size);

// Whether a device of this model is shown: always without a filter; else
// when model and filter, or both without hyphens, contain one another,
// ignoring case. No I/O; any thread.
bool passes_filter(const char* model, const RunSettings& settings);

// Starts the tools' debug log: 0 off; 1 standard error; 2 appended to
// "/tmp/kavrun_netconfig.log" (no links followed, regular files only). Lines
// are "%s(%d):%s" with no line end added. Main thread, before any other.
void start_tool_log(int mode);

// The start of a run: the log, the companion files and the device table.
// False, with a message on standard error, when no companion program lies
// beside the program. Main thread.
bool prepare_run(const RunSettings& settings);

// Reads one input line of file: its first 30 characters, without the line
// end, into line (31 bytes); the rest of the line is read and dropped. False
// at the end of input with nothing read.
bool read_choice_line(FILE* file, char (&line)[kChoiceChars + 1]);

// The terminal's choice: an optional first 'r', 'd', 'R' or 'D' (removal,
// else adding) followed directly by the row's decimal number. True with the
// row and action (1 remove, 2 add) when the number starts right there, fits
// and names a row below count. No I/O; any thread.
bool parse_choice(const char* line, int count, int* row, int* action);

}  // namespace netsetup
