// What the simulated device saw and did: JSON lines (one per frame, answer,
// page, fault, violation and connection event) kept in memory and, when a
// path is given, written to a file as they happen.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace scanner_sim {

// Counts since the simulator was made.
struct Counters {
    uint64_t connections = 0;   // accepted or opened data channels
    uint64_t busyRejected = 0;  // second live connections sent "-NG"
    uint64_t commands = 0;      // frames read and understood
    std::map<std::string, uint64_t> commandsByName;
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
    uint64_t pages = 0;  // pages begun
    uint64_t pagesFinished = 0;
    uint64_t scans = 0;
    uint64_t violations = 0;
    uint64_t faultsFired = 0;
    uint64_t snmpRequests = 0;
};

// One JSON object built field by field.
class JsonLine {
public:
    JsonLine& Add(const char* key, const std::string& text);
    JsonLine& Add(const char* key, const char* text) { return Add(key, std::string(text)); }
    JsonLine& Add(const char* key, uint64_t number);
    JsonLine& Add(const char* key, int number) { return Add(key, static_cast<int64_t>(number)); }
    JsonLine& Add(const char* key, int64_t number);
    JsonLine& Add(const char* key, double number);
    JsonLine& Add(const char* key, bool flag);
    // The bytes in hex; more than limit bytes are cut, with "<key>Length" added.
    JsonLine& AddHex(const char* key, const uint8_t* data, size_t size, size_t limit = 4096);
    // A nested object of text values.
    JsonLine& AddObject(const char* key, const std::vector<std::pair<std::string, std::string>>& items);
    std::string Text() const { return "{" + body_ + "}"; }

private:
    void Key(const char* key);
    std::string body_;
};

std::string JsonQuote(const std::string& text);

// Thread-safe; lines are kept in order of Add.
class Transcript {
public:
    ~Transcript();
    bool OpenFile(const std::string& path, std::string& error);
    void Add(const JsonLine& line);
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex mutex_;  // guards lines_ and file_
    std::vector<std::string> lines_;
    std::FILE* file_ = nullptr;
};

}  // namespace scanner_sim
