// The option-value check of the SANE backend: brings a value a front end sets
// into its option's constraint, or refuses it.
#pragma once

#include <sane/sane.h>

// Checks *value against opt's type and constraint and adjusts it in place:
// a range clamps and then rounds to the nearest quantisation step counted
// from the minimum (never above the maximum); a word list takes the nearest
// entry (the first on a tie); a string list rewrites a case-insensitive exact
// match to the list's spelling, else expands a unique case-insensitive prefix
// (the text is read within opt->size bytes and rewritten only when the entry
// fits); BOOL words must be SANE_FALSE or SANE_TRUE. Every adjustment sets
// SANE_INFO_INEXACT in *info (info may be null). Word options of more than
// one word are checked word by word. Any thread; value stays the caller's.
SANE_Status sanei_constrain_value(const SANE_Option_Descriptor* opt, void* value, SANE_Word* info);
