// SANE debug messages of the backend "vordane5": DBG(level, format, ...)
// writes "[vordane5] " and the message to standard error when level is at
// most the value of SANE_DEBUG_VORDANE5 (0 when unset or not a number).
#pragma once

// Reads SANE_DEBUG_VORDANE5 again (sane_init calls it; DBG reads it on first
// use otherwise). Any thread.
void vordane5_debug_init();
// The debug level in force.
int vordane5_debug_level();
// Writes one message as one write; any thread.
void vordane5_debug_message(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

#define DBG_INIT() vordane5_debug_init()
#define DBG(level, ...) vordane5_debug_message(level, __VA_ARGS__)
