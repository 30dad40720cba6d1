// The backend's debug log: off, to standard error or appended to
// "/tmp/kavrun5.log", by the settings key LOG or kavrun5_debuglog.
#pragma once

// The log file of modes 3 and 4.
#define VORDANE5_LOG_PATH "/tmp/kavrun5.log"

// Sets the log mode from the settings file (LOG) or, when that is 0, from
// kavrun5_debuglog ("0" to "4"; "2" and "4" also ask the checking allocator
// for level 2). With the log on, writes the backend's build time as its first
// line. Called by sane_init before any other thread runs.
void loging_start();
void loging_start_at(const char* iniPath, const char* logPath);
// Sets the log of a program that shares the backend's code (the setup
// tools): the mode (0 off, 1 standard error, 3 appended to logPath), and
// whether writelog ends each line with '\n' itself. Writes no first line.
// Called before any other thread runs.
void loging_start_as(int mode, const char* logPath, bool lineEnd);

// The log mode in force: 0 off, 1 and 2 standard error, 3 and 4 the file.
int loging_mode();

// Writes indent blanks, then "%s(%d):%s\n" with source, line and the message
// (cut at 1023 characters; no '\n' added after loging_start_as without line
// ends), as one write. Any thread.
void writelog(const char* source, int line, int indent, const char* format, ...) __attribute__((format(printf, 4, 5)));

// Records a detected problem: "DETECT ERROR @%s(%d)\n". Any thread.
void error_detect(const char* source, int line);
