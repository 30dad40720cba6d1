// The backend's checking allocator: every allocation of the backend goes
// through it. Level 0 is plain allocation; level 1 puts guard words around
// each block and counts; level 2 also keeps a table of live blocks for the
// leak report at sane_exit.
#pragma once

#include <cstddef>

// Sets the check level from the settings key MEMCHK, else kavrun5_memchk
// ("0" to "2"), else the level the log start asked for. The level changes
// only while no block is live, so each block is freed by the rule it was
// allocated with. Called by sane_init before any other thread runs.
void bugchk_start();
void bugchk_start_at(const char* iniPath);
// The level the debug log start asks for (kavrun5_debuglog "2" or "4").
void bugchk_request_level(int level);

// Zeroed blocks the caller frees with bugchk_free. At level 1 and 2 a failed
// allocation (an overflowing size included) writes a message and aborts; at
// level 0 it returns null. source names the caller's file, line its line.
// Any thread.
void* bugchk_malloc(size_t size, int line, const char* source);
void* bugchk_calloc(size_t count, size_t size, int line, const char* source);
// A copy of text (null for a null text).
char* bugchk_strdup(const char* text, int line, const char* source);
// Releases a block of the functions above; null does nothing. At level 1 and
// 2 a block whose guard words are damaged makes it write the fault and abort.
void bugchk_free(void* block, int line, const char* source);

// Writes the leak report to standard error: the counters when they differ
// and, at level 2, one line per live block. Called by sane_exit.
void bugchk_end();

struct BugChkStats {
    int level;
    int mallocs;
    int frees;
    int records;  // live blocks in the table (level 2)
};
BugChkStats bugchk_stats();
