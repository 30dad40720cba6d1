// The replay mock's device: command recognition, recorded answers, the
// block-by-block scan-data replay with its pauses, and the device events
// that marker files in the mock folder inject.
#include "VexmorApi/DeviceAccess/ScannerMock.h"

#include <algorithm>
#include <cstring>

#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "VexmorApi/Utilities/OutputLog.h"
#include "VexmorApi/Utilities/Path.h"

namespace {

constexpr char kMockFolderName[] = "DeviceAccessMock";
constexpr char kFilePrefix[] = "DumpRawData_";
constexpr char kEnableType[] = "Q";
constexpr unsigned char kLineFeed = 0x0A;

// A block the parser accepts is at most its receive buffer plus the fields
// that may follow the data; a longer search can never complete a block.
constexpr uint64_t kLargestBlock = vscore::CParseExeCmdRes_v2::kReceiveBufferSize + 64;

// The markers in the order they are looked for.
struct Marker {
    const char* name;
    ScannerMock::Operation operation;
};
constexpr Marker kMarkers[] = {
    {"Finish", ScannerMock::OPERATION_FINISH},
    {"Stop", ScannerMock::OPERATION_STOP},
    {"CoverOpen", ScannerMock::OPERATION_COVEROPEN},
    {"Recover", ScannerMock::OPERATION_RECOVER},
};

// The time value of the cover notices and of the recovery, in seconds.
constexpr unsigned char kCoverSeconds = 0x5F;    // 95
constexpr unsigned char kRecoverSeconds = 0x1E;  // 30

// The first byte after text within the size bytes at data; null when text
// is not there. Never looks past the data.
const unsigned char* After(const unsigned char* data, int size, const char* text)
{
    const unsigned char* end = data + size;
    size_t const length = std::strlen(text);
    const unsigned char* at = std::search(data, end, text, text + length);
    return at != end ? at + length : nullptr;
}

// Command letters are upper-case letters; anything else would put foreign
// bytes into a file name.
bool AreLetters(const unsigned char* data, int count)
{
    return std::all_of(data, data + count, [](unsigned char c) { return c >= 'A' && c <= 'Z'; });
}

int Put(unsigned char* buffer, std::initializer_list<unsigned char> bytes)
{
    std::copy(bytes.begin(), bytes.end(), buffer);
    return static_cast<int>(bytes.size());
}

}  // namespace

ScannerMock::Timer::Timer(unsigned long limitMs) : limitMs_(limitMs) { stopwatch_.StartTimeMeasure(); }

bool ScannerMock::Timer::IsOver() { return stopwatch_.LapTimeMeasure() > static_cast<int64_t>(limitMs_); }

ScannerMock::ScannerMock(const vscore::MockTimings& timings) : timings_(timings)
{
    for (const Marker& marker : kMarkers) {
        operationNames_.emplace(marker.operation, marker.name);
    }
}

ScannerMock::~ScannerMock() = default;

std::string ScannerMock::GetMockFolder()
{
    std::string const home = Path::GetDesktopDirectoryPath();
    if (!Path::IsAbsolute(home)) {
        return std::string();
    }
    return Path::Append(home, kMockFolderName);
}

bool ScannerMock::IsEnabled()
{
    std::string const folder = GetMockFolder();
    return !folder.empty() && FileManager::ExistsFile(Path::Append(folder, std::string(kFilePrefix) + kEnableType));
}

int ScannerMock::Write(const unsigned char* data, int size)
{
    if (data == nullptr || size < 1) {
        return 0;
    }
    std::string command;
    if (size > 2 && data[2] == kLineFeed && AreLetters(data + 1, 1)) {
        command.assign(1, static_cast<char>(data[1]));
        if (command == "X") {
            ++xCount_;
        }
    } else if (size > 4 && data[4] == kLineFeed && AreLetters(data + 1, 3)) {
        command.assign(reinterpret_cast<const char*>(data + 1), 3);
        if (command == "XSC") {
            ++xscCount_;
        } else if (command == "SSP") {
            const unsigned char* value = After(data, size, "ATCN=");
            if (value != nullptr) {
                atcnOn_ = data + size - value >= 2 && value[0] == 'O' && value[1] == 'N';
            }
        }
    }
    lastCommand_ = command;
    if (command == "ABT") {
        abortAnswer_ = After(data, size, "ATCN") != nullptr ? OPERATION_ABORT_ATCN : OPERATION_ABORT;
        return size;
    }
    OpenRecording(CommandType(command));
    return size;
}

int ScannerMock::Read(unsigned char* buffer, int size)
{
    if (buffer == nullptr || size < 1 || !recording_.is_open()) {
        return 0;
    }
    if (lastCommand_ == "XSC" || lastCommand_ == "ABT") {
        return ReadScanData(buffer, size);
    }
    recording_.read(reinterpret_cast<char*>(buffer), size);
    int const got = static_cast<int>(recording_.gcount());
    recording_.clear();
    return got;
}

std::string ScannerMock::GetOperationString(Operation operation) const
{
    auto const found = operationNames_.find(operation);
    return found != operationNames_.end() ? found->second : std::string();
}

std::string ScannerMock::CommandType(const std::string& command) const
{
    int32_t const count = command == "X" ? xCount_ : command == "XSC" ? xscCount_ : 0;
    return count > 1 ? command + std::to_string(count) : command;
}

void ScannerMock::OpenRecording(const std::string& type)
{
    if (recording_.is_open()) {
        recording_.close();
    }
    recording_.clear();
    partLeft_ = 0;
    partPaces_ = false;
    std::string const folder = GetMockFolder();
    if (folder.empty()) {
        return;
    }
    std::string const path = Path::Append(folder, kFilePrefix + type);
    // A folder of that name is no recording.
    if (FileManager::ExistsFile(path)) {
        recording_.open(path, std::ios::in | std::ios::binary);
    }
    g_ScanDevApiLog.WriteLog(3, "ScannerMock: command [%s], recorded answer %s%s", lastCommand_.c_str(), path.c_str(),
                             recording_.is_open() ? "" : " (none)");
}

int ScannerMock::ReadScanData(unsigned char* buffer, int size)
{
    // Inside a block sent in parts nothing else may come between its parts.
    if (partLeft_ > 0) {
        return ReadBlockPart(buffer, size);
    }
    // A read without room for an answer leaves the event for the next one.
    if (size >= kMaxEventBytes) {
        Operation const operation = CheckOperation();
        if (operation != OPERATION_NONE) {
            return InterruptOperation(operation, pacingTimer_ != nullptr, buffer);
        }
    }
    if (pacingTimer_ && !pacingTimer_->IsOver()) {
        return 0;
    }
    pacingTimer_.reset();
    return ReadBlocks(buffer, size);
}

int ScannerMock::ReadBlocks(unsigned char* buffer, int size)
{
    std::streamoff const position = recording_.tellg();
    if (position < 0) {
        recording_.clear();
        return 0;
    }
    uint64_t const start = static_cast<uint64_t>(position);
    uint64_t const got = ReadAt(start, static_cast<uint64_t>(size));
    if (got == 0) {
        return 0;
    }
    Walk const walk = WalkBlocks(scratch_.data(), got);
    if (walk.consumed > 0) {
        if (walk.paced) {
            StartTimer(pacingTimer_, timings_.pacingMs);
        }
        std::memcpy(buffer, scratch_.data(), walk.consumed);
        Seek(start + walk.consumed);
        return static_cast<int>(walk.consumed);
    }
    if (walk.rejected) {
        // A damaged recording: its rest goes out once as it is, so the
        // reader sees what the device sent, and the replay ends.
        g_ScanDevApiLog.WriteLog(1, "Error: ScannerMock: unreadable scan data at offset %llu; replay ends",
                                 static_cast<unsigned long long>(start));
        std::memcpy(buffer, scratch_.data(), got);
        SeekToEnd();
        return static_cast<int>(got);
    }
    if (got < static_cast<uint64_t>(size)) {
        // The recording ends inside this block: the cut block never comes.
        Seek(start);
        return 0;
    }
    return StartBlockInParts(start, buffer, size);
}

int ScannerMock::StartBlockInParts(uint64_t start, unsigned char* buffer, int size)
{
    uint64_t window = static_cast<uint64_t>(size);
    uint64_t blockSize = 0;
    bool paces = false;
    while (blockSize == 0) {
        if (window >= kLargestBlock) {
            Seek(start);
            return 0;
        }
        window = std::min(window * 2, kLargestBlock);
        uint64_t const got = ReadAt(start, window);
        vscore::IMAGE_HEADER header;
        vscore::PARSE_RESULT result;
        unsigned char* next = nullptr;
        int const rc =
            vscore::CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(scratch_.data(), got, &header, &result, &next);
        if (rc == vscore::CParseExeCmdRes_v2::kParseComplete) {
            blockSize = static_cast<uint64_t>(next - scratch_.data());
            paces = result.remainingTime;
        } else if (rc != vscore::CParseExeCmdRes_v2::kParseNeedMore) {
            g_ScanDevApiLog.WriteLog(1, "Error: ScannerMock: unreadable scan data at offset %llu; replay ends",
                                     static_cast<unsigned long long>(start));
            std::memcpy(buffer, scratch_.data(), static_cast<size_t>(size));
            SeekToEnd();
            return size;
        } else if (got < window) {
            Seek(start);
            return 0;
        }
    }
    std::memcpy(buffer, scratch_.data(), static_cast<size_t>(size));
    partLeft_ = blockSize - static_cast<uint64_t>(size);
    partPaces_ = paces;
    Seek(start + static_cast<uint64_t>(size));
    return size;
}

int ScannerMock::ReadBlockPart(unsigned char* buffer, int size)
{
    uint64_t const want = std::min<uint64_t>(partLeft_, static_cast<uint64_t>(size));
    recording_.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(want));
    uint64_t const got = static_cast<uint64_t>(recording_.gcount());
    recording_.clear();
    // A recording that shrank under the replay ends the block where it ends.
    partLeft_ = got < want ? 0 : partLeft_ - got;
    if (partLeft_ == 0 && partPaces_ && got == want) {
        StartTimer(pacingTimer_, timings_.pacingMs);
    }
    if (partLeft_ == 0) {
        partPaces_ = false;
    }
    return static_cast<int>(got);
}

ScannerMock::Walk ScannerMock::WalkBlocks(unsigned char* data, uint64_t length)
{
    Walk walk;
    while (walk.consumed < length && !walk.paced) {
        vscore::IMAGE_HEADER header;
        vscore::PARSE_RESULT result;
        unsigned char* next = nullptr;
        int const rc = vscore::CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(
            data + walk.consumed, length - walk.consumed, &header, &result, &next);
        if (rc == vscore::CParseExeCmdRes_v2::kParseNeedMore) {
            break;
        }
        if (rc != vscore::CParseExeCmdRes_v2::kParseComplete) {
            walk.rejected = true;
            break;
        }
        walk.consumed = static_cast<uint64_t>(next - data);
        walk.paced = result.remainingTime;
    }
    return walk;
}

uint64_t ScannerMock::ReadAt(uint64_t offset, uint64_t count)
{
    scratch_.resize(static_cast<size_t>(count));
    recording_.clear();
    recording_.seekg(static_cast<std::streamoff>(offset));
    recording_.read(reinterpret_cast<char*>(scratch_.data()), static_cast<std::streamsize>(count));
    uint64_t const got = recording_.gcount() > 0 ? static_cast<uint64_t>(recording_.gcount()) : 0;
    recording_.clear();
    return got;
}

void ScannerMock::Seek(uint64_t offset)
{
    recording_.clear();
    recording_.seekg(static_cast<std::streamoff>(offset));
}

void ScannerMock::SeekToEnd()
{
    recording_.clear();
    recording_.seekg(0, std::ios::end);
}

ScannerMock::Operation ScannerMock::CheckOperation()
{
    if (abortAnswer_ != 0) {
        Operation const answer = static_cast<Operation>(abortAnswer_);
        abortAnswer_ = 0;
        return answer;
    }
    std::string const folder = GetMockFolder();
    for (const Marker& marker : kMarkers) {
        std::string const path = folder.empty() ? std::string() : Path::Append(folder, marker.name);
        if (path.empty() || !FileManager::ExistsFile(path)) {
            stuckMarkers_.erase(marker.name);
            continue;
        }
        if (stuckMarkers_.count(marker.name) != 0) {
            continue;
        }
        // With ATCN on the cover stays open until the developer removes the marker.
        if (marker.operation == OPERATION_COVEROPEN && atcnOn_) {
            return marker.operation;
        }
        try {
            FileManager::RemoveFile(path);
        } catch (const Exception& e) {
            // Seen once; it counts as consumed until it is gone.
            g_ScanDevApiLog.WriteLog(1, "Error: ScannerMock cannot remove the marker file %s: %s", path.c_str(),
                                     e.GetMessage().c_str());
            stuckMarkers_.insert(marker.name);
        }
        return marker.operation;
    }
    return coverTimer_ ? OPERATION_RECOVER : OPERATION_NONE;
}

int ScannerMock::InterruptOperation(Operation operation, bool waiting, unsigned char* buffer)
{
    switch (operation) {
    case OPERATION_ABORT:
        return Put(buffer, {0x00, 0x40});
    case OPERATION_ABORT_ATCN:
        return Put(buffer, {0x00, 0x42});
    case OPERATION_FINISH:
        return Put(buffer, {0x00, 0x20});
    case OPERATION_STOP:
        return waiting ? Put(buffer, {0x00, 0x20}) : Put(buffer, {0x00, 0x41});
    case OPERATION_COVEROPEN:
        if (waiting) {
            if (coverTimer_ && !coverTimer_->IsOver()) {
                return 0;
            }
            StartTimer(coverTimer_, timings_.coverMs);
            return Put(buffer, {0x00, 0x52, kCoverSeconds, 0x00});
        }
        if (!atcnOn_) {
            return Put(buffer, {0xA3, 0x00});
        }
        if (!coverTimer_) {
            StartTimer(coverTimer_, timings_.coverMs);
            return Put(buffer, {0x00, 0x50, kCoverSeconds, 0x00});
        }
        if (coverTimer_->IsOver()) {
            StartTimer(coverTimer_, timings_.coverMs);
            return Put(buffer, {0x00, 0x51, kCoverSeconds, 0x00});
        }
        return 0;
    case OPERATION_RECOVER: {
        coverTimer_.reset();
        if (!waiting) {
            // The device scans the document again from its start.
            Seek(0);
            partLeft_ = 0;
        }
        return atcnOn_ ? Put(buffer, {0x00, 0x52, kRecoverSeconds, 0x00}) : 0;
    }
    case OPERATION_NONE:
        break;
    }
    return 0;
}

void ScannerMock::StartTimer(std::unique_ptr<Timer>& timer, unsigned long limitMs)
{
    timer = std::make_unique<Timer>(limitMs);
}
