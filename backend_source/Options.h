// The 17 SANE options of a handle: building them from the device-capability
// copy, getting and setting values with their dependencies, the internal
// parameters and scan area they give, and the frame parameters.
#pragma once

#include <sane/sane.h>

#include "backend_source/My_Scanner.h"

// Builds descriptors, values and this handle's menus from s->devcap (an
// earlier build's menus and texts are released first). NO_MEM when a menu
// cannot be allocated. Front-end thread.
SANE_Status init_options(My_Scanner* s);
// Releases the handle's menus and option texts (sane_close).
void free_options(My_Scanner* s);

// Option n's value into value (a text option's buffer holds its size).
// INVAL for n outside 0-16 and the group options.
SANE_Status get_option(My_Scanner* s, int n, void* value);
// Checks and stores option n's value, applying the dependencies and adding
// SANE_INFO_* bits to *info (cleared first; info may be null). value may be
// adjusted in place by the constraint check.
SANE_Status set_option(My_Scanner* s, int n, void* value, SANE_Int* info);

// Recomputes the selected ids, brightness and contrast and the scan area
// from the option values.
void update_parameters(My_Scanner* s);

// Blank-page removal request of the scan from SkipBlankPage and its
// sensitivity: *remove, and the level (0 when off).
void blank_removal_request(const My_Scanner* s, bool* remove, int* level);

// sane_get_parameters: recomputes the parameters and fills params. GOOD.
SANE_Status my_sane_get_parameters(My_Scanner* s, SANE_Parameters* params);

// The index name of option n as the log writes it.
const char* option_index_name(int n);
