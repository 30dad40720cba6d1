// The supported-model list read from the driver package's model files, and
// the rule that decides whether a model text names a supported scanner.
#pragma once

#include <cstddef>
#include <cstdint>

// One supported model: its name and USB product ID (34 bytes).
struct SupportDevice {
    char model[32];
    uint16_t productId;
};

// The list: this header, max entries, then the end mark "LAST" at byte
// offset size. Made, grown and freed only by the functions below.
struct SupportDevicesList {
    int num;   // entries in use
    int max;   // entries room is made for
    int size;  // byte offset of the end mark
};

// Support rule results.
enum SupportResult { kNotSupported = 0, kSupported = 1, kPossiblySupported = 2, kOtherProduct = 3 };

// A new empty list with room for 2 entries; null when memory runs out.
// The caller frees it with free_support_devices_list.
SupportDevicesList* new_support_devices_list();
void free_support_devices_list(SupportDevicesList* list);
// The entries of the list.
const SupportDevice* support_devices(const SupportDevicesList* list);
// Appends a model (at most 31 characters kept) and product ID, growing the
// list by 2 entries when it is full. Returns the list, which may have
// moved; null when it could not grow (the old list is then still valid).
SupportDevicesList* add_support_device(SupportDevicesList* list, const char* model, uint16_t productId);
// Stops the process with the assertion text when the end mark is not where
// the list says.
void check_support_devices_list(const SupportDevicesList* list);

// One line of a model file, descrambled: the product ID (field 1, in
// hexadecimal) and the model name (field 4, quoted or not, at most 31
// characters) into name (32 bytes). False for a line that gives no entry:
// an ID that is missing, not hexadecimal or above 0xFFFF, or an empty name.
// No I/O; any thread.
bool parse_model_line(const char* line, int* productId, char* name);

// Reads every "*.ini" file of dir whose first line opens "[Support Model]"
// into a new list; an unreadable folder gives an empty list. Null only when
// memory runs out.
SupportDevicesList* read_model_files(const char* dir);

// Whether model names a supported scanner of list, checked against the USB
// product ID id (-1: no ID to check).
int is_supported_scanner(const char* model, const SupportDevicesList* list, long id);
// The model text the support rule compares: model after a leading
// "vordane " (any case). Points into model.
const char* support_rule_text(const char* model);
// Whether text names the listed model name (length characters): text begins
// with it and the character after it ends text or is a blank or a tab.
bool names_listed_model(const char* text, const char* name, size_t length);
// Whether model begins, in any case, with one of the count entries, each
// compared over its own length (null and empty entries never match).
bool begins_with_any(const char* model, const char* const* entries, size_t count);

// Whether model begins, in any case, with one of the family prefixes that are
// never admitted as possibly supported.
bool is_in_blacklist(const char* model);
// Replaces the four family prefixes (tests); null restores the built-in ones.
void set_blacklist_prefixes(const char* const* prefixes);
