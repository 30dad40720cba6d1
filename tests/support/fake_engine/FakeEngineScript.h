// The fake engine's script as read from its text (FakeEngine.h describes the
// statements), and the named-field tables of the records it fills or prints.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/fake_engine/FakeEngine.h"

namespace fakeengine {

struct Step {
    bool isPage = false;
    bool hold = false;  // waits for Release (FakeEngine.h)
    int status = 0;     // status step: the state and how long it lasts
    int ms = 0;
    bool untilAbort = false;  // instead of ms
    // page step
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bits = 8;
    std::string pattern;
    bool blank = false;
    bool maxLength = false;
    bool hasSource = false;
    int source = 0;
    int64_t result = 0;
};

struct Script {
    std::map<std::string, int64_t> results;  // by operation; missing: 0 (true)
    std::vector<bool> connection{true};
    std::vector<int> adf{AdfNoDocument};
    vscore::tagVS_SCANNER_CAPABILITY_VER1 capability{};
    PushScanKeyInfo push{};
    ScanBitmapImageInfo bitmap{};
    int statusDelayMs = 0;
    bool adfUntilAbort = false;
    bool startUntilAbort = false;
    std::vector<std::vector<Step>> timelines;

    int64_t Result(const std::string& op, int64_t fallback = 0) const
    {
        auto found = results.find(op);
        return found != results.end() ? found->second : fallback;
    }
};

// Reads a script; throws std::runtime_error("<line>: <reason>") for a line
// it cannot read. No I/O.
Script ParseScript(const std::string& text);

// Bytes of one row of a page step.
uint64_t RowBytes(uint32_t width, uint32_t bits);

// "name=value" words of the listed fields of a record, blank-separated.
std::string DescribeFields(const void* record, const std::vector<FieldInfo>& fields);
std::vector<FieldInfo> SelectionFields();

}  // namespace fakeengine
