// Child processes for tests: started from an argument vector with their
// standard streams on files, waited for with a bound, ended by their PID;
// and a look at what a thread of this process waits in.
#pragma once

#include <sys/types.h>

#include <initializer_list>
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

// The calling thread's id, for WaitUntilBlockedIn.
pid_t ThreadId();

// Waits at most limitMs until thread tid of this process is blocked in one
// of the system calls (numbers of <sys/syscall.h>, e.g. SYS_poll), so that
// a test acts while a call of the code under test waits, not before it
// began. False when the limit passed first. Any thread but tid.
bool WaitUntilBlockedIn(pid_t tid, std::initializer_list<long> syscalls, int limitMs);

}  // namespace testprocess
