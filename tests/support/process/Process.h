// Child processes for tests: started from an argument vector with their
// standard streams on files, waited for with a bound, ended by their PID.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testprocess {

// Starts argv (argument 0 looked up on PATH) with the environment env
// (NAME=value each), standard input from the file input ("" for /dev/null),
// standard output into outFile and standard error into errFile (the same
// file when errFile is empty). The PID, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& input,
            const std::string& outFile, const std::string& errFile = "");

// Waits for pid at most timeoutMs: its exit status, 128 + n after signal n,
// or -1 when it was killed on time-out.
int Wait(pid_t pid, int timeoutMs);

// Ends pid: SIGTERM, then SIGKILL after graceMs; reaps it.
void End(pid_t pid, int graceMs = 3000);

// This process's environment, without the variables named in drop.
std::vector<std::string> Environment(const std::vector<std::string>& drop = {});

}  // namespace testprocess
