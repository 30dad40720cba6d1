// The setup tools' table of network scanners: registered devices from the
// registration file beside the program and services found by mDNS, each
// with the action the user chose; and the tools' support rule.
#pragma once

#include <cstddef>

#include "netsetup/IniFile.h"

namespace netsetup {

constexpr int kMaxNetDevices = 64;
// The limit of a run when none is given.
constexpr int kDefaultMaxDevices = 32;

enum DeviceState { kFoundByMdns = 1, kRegistered = 2 };
enum DeviceAction { kNoAction = 0, kRemove = 1, kAdd = 2 };
enum SupportResult { kNotSupported = 0, kSupported = 1, kPossiblySupported = 2 };

struct NetDevice {
    char name[128];  // registered device name or mDNS service name, blanks as '_'
    char model[64];
    char manufacturer[64];    // "Vordane"
    char registeredName[64];  // set only when shorter than 64 characters
    char address[32];         // IP address or node name
    int kind;                 // 1 network
    int state;                // DeviceState
    int action;               // DeviceAction
};

// Table access. The table belongs to the main thread.
int get_net_device_num();
// Entry i, null outside the table.
NetDevice* get_net_device(int i);
// Stores a registered name on entry i: 0, or -1 outside the table or for a
// name of 64 characters or more.
int set_registered_name(int i, const char* name);
const char* get_registered_name(int i);
void clear_net_devices();

// Adds an entry (texts cut to their fields, blanks of the name turned into
// '_'). A device whose address is listed already gives -1; a table holding
// maximum entries (at most 64) gives 0; else the new count.
int add_net_device(const char* name, const char* model, const char* address, int state, int maximum);

// The tools' support rule: model (after a leading "vordane ", any case)
// names a listed name: kSupported; else kPossiblySupported when the list
// holds a name other than "*" and model is not blacklisted; else
// kNotSupported. No I/O; any thread.
int is_supported_scanner(const char* model, const ModelNameList& names);
// Whether model begins, in any case, with one of the blacklist's two family
// prefixes or eight model names (each compared over its own length).
bool is_in_blacklist(const char* model);
// Replaces the blacklist (tests): two prefixes and eight names; null
// restores the built-in one. The texts must outlive their use.
void set_blacklist(const char* const* prefixes, const char* const* names);

// The model of an mDNS service's listed model: at most 63 characters,
// without a leading "Vordane " (any case), cut at " series" and at the first
// blank.
void mdns_model_of(const char* listed, char* model, size_t size);

// Fills the table: the registered devices of the registration file (up to
// 64), then, while fewer than maximum were taken, mDNS services for the rest.
// Uses the companion paths found. Main thread.
void enumerate_network_scanners(int maximum);
// The two sources, adding to the table.
void enum_my_net_scanner_from_ini(const ModelNameList& names, const char* path);
void enum_my_net_scanner_from_mdns(const ModelNameList& names, int count);

}  // namespace netsetup
