// The registration file of network scanners, "tolmexnetdevice.cfg": one
// line per device, "DEVICE=name , model , third , IP-ADDRESS=address " or
// with "NODENAME=" instead, optionally followed by " , FLAG=flag". Read by
// the backend and by the setup tools.
#pragma once

#include <cstddef>
#include <functional>

// Lines are read up to this many characters.
constexpr size_t kRegistrationLineChars = 276;

// One line of the registration file as read.
struct RegistrationEntry {
    char name[284];
    char model[284];
    char third[284];
    char address[33];  // the first 32 characters of the IP address or node name
};

// Reads one line (at most 276 characters, its line end included or not):
// true with the device's texts, quotes removed, when it registers a device
// with a name. No I/O; any thread.
bool parse_registration_line(const char* line, RegistrationEntry* out);

// Calls visit for every device line of the file at path, in file order
// (lines longer than 276 characters are cut there). False when the file
// cannot be opened. The entry passed is the callee's to change. Any thread.
bool read_registration_file(const char* path, const std::function<void(RegistrationEntry&)>& visit);
