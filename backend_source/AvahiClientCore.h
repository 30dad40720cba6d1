// mDNS discovery of network scanners through the Avahi daemon: the list of
// services found (name, IPv4 address, model), its registration rules, one
// browse of a service type, and the walk over a service's TXT strings.
// Shared by the backend and the setup tools.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

// One service found (233 bytes).
struct AvahiDevice {
    char name[128];    // service name
    char address[41];  // IPv4 address text
    char model[64];    // the TXT record's model
};

// The list: its header never moves, so its mutex stays put while the
// entries grow.
struct AvahiDeviceList {
    int max;                // entries room is made for (16, then 16 more per growth)
    int num;                // entries in use
    int size;               // bytes of the entries' block
    pthread_mutex_t mutex;  // recursive; guards the fields above and entries
    AvahiDevice* entries;
};

// How a browse logs: the indent of its lines, and whether a service whose
// address is listed already gets a line ("     ##### same device %s\n").
// The backend's browse logs with indent 3 and leaves such services unsaid.
struct AvahiLogStyle {
    int indent;
    bool sameDevice;
};
constexpr AvahiLogStyle kBackendAvahiLog = {3, false};

// Recursive mutex helpers of the list.
void InitializeCriticalSection(pthread_mutex_t* mutex);
void EnterCriticalSection(pthread_mutex_t* mutex);
void LeaveCriticalSection(pthread_mutex_t* mutex);

// An empty list with room for 16 services; null when memory runs out. The
// caller frees it with free_avahi_device_list.
AvahiDeviceList* new_avahi_device_list();
void free_avahi_device_list(AvahiDeviceList* list);

// Adds a service under the list's mutex: a model of 64 characters or more,
// an address of 40 or more or a name of 128 or more is refused, as is a
// list whose count exceeds its room; an address already listed leaves the
// list as it is. A full list grows by 16. Returns the list, or null when the
// service was refused or the list could not grow; the list itself stays
// valid and unchanged then. Logs in style. Any thread.
AvahiDeviceList* register_avahi_device_list(const char* model, const char* address, const char* name,
                                            AvahiDeviceList* list, const AvahiLogStyle& style = kBackendAvahiLog);
// Whether a service with this address is listed.
bool check_sane_avahi_device_in_list(const char* address, AvahiDeviceList* list);

// One TXT string as received: size bytes, not terminated.
struct TxtString {
    const uint8_t* text;
    size_t size;
};
// Walks a service's TXT strings: a string equal to "mfg=Vordane" (any case)
// marks the maker, the first string beginning with "mdl=" gives the model
// (the rest of it, copied into model, terminated, when it fits in modelSize
// bytes and holds no NUL). True when the maker is marked and a model was
// taken. No I/O; any thread.
bool walk_txt_strings(const TxtString* strings, size_t count, char* model, size_t modelSize);

// Browses the service type on every interface: starts a resolver for every
// service announced, registers the IPv4 address, name and model of each
// service of the maker that resolves, and returns once the daemon has told
// all it knew and no resolver is pending, or after boundMs. Null when the
// daemon cannot be reached or the browse cannot start. The caller frees the
// list with free_avahi_device_list. Logs in style. Blocks its thread;
// callbacks run on it.
AvahiDeviceList* get_avahi_device_list(const char* type, int boundMs, const AvahiLogStyle& style = kBackendAvahiLog);
