// Measures how fast the generation-2 block parser walks a scan-data stream:
// 200 MiB of gray line blocks (with white lines and page ends) and 200 MiB
// of JPEG blocks, each with the logs off, on at the default level (the
// per-block lines are filtered by level) and on at level 3 (every block is
// logged). Each log setting runs in its own child process, since a log reads
// its settings once per process. Beside the bare walk: the parser over the
// same bytes arriving in 256 KiB reads (copied into the receive buffer, the
// cut block carried to its front, as the reading thread does), the same
// with every data block stored into its page's own block (the floor of
// any dispatch that keeps the data), and the generation-2 reading thread
// itself dispatching them into pages (scripted device access, page tasks
// that do nothing), with its ratios to both.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Temp/ParseExeCmdRes_v2.h"
#include "VexmorApi/Temp/ReadThread_v2.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/read_thread_rig/ReadThreadRig.h"
#include "tools/scripted_peer/ScriptedPeer.h"

namespace {

using gen2_blocks::Bytes;
using vscore::CParseExeCmdRes_v2;

struct Stream {
    const char* name;
    Bytes bytes;
    size_t blocks = 0;
};

// Pages of 2480-byte gray lines (A4 width at 300 dpi), every 50th line
// white, until size bytes are reached.
Stream LineStream(size_t size)
{
    Stream stream{"gray lines 2480 B", {}, 0};
    stream.bytes.reserve(size + 8192);
    Bytes const pixels(2480, 0x7C);
    uint8_t const gray = gen2_blocks::ImageType(false, gen2_blocks::kRaw, gen2_blocks::kGray);
    uint16_t page = 1;
    size_t line = 0;
    while (stream.bytes.size() < size) {
        Bytes const block = line % 50 == 49 ? gen2_blocks::WhiteLine(page) : gen2_blocks::Line(page, gray, pixels);
        stream.bytes.insert(stream.bytes.end(), block.begin(), block.end());
        ++stream.blocks;
        if (++line == 3508) {
            Bytes const end = gen2_blocks::PageEnd(page++);
            stream.bytes.insert(stream.bytes.end(), end.begin(), end.end());
            ++stream.blocks;
            line = 0;
        }
    }
    Bytes const all = gen2_blocks::AllPagesEnd();
    stream.bytes.insert(stream.bytes.end(), all.begin(), all.end());
    ++stream.blocks;
    return stream;
}

// JPEG blocks of 64 KiB with a page end every 40 blocks.
Stream JpegStream(size_t size)
{
    Stream stream{"JPEG blocks 64 KiB", {}, 0};
    stream.bytes.reserve(size + 80000);
    Bytes const data(65536, 0xA5);
    uint8_t const color = gen2_blocks::ImageType(false, gen2_blocks::kJpeg, gen2_blocks::kColor);
    uint16_t page = 1;
    uint32_t lines = 0;
    while (stream.bytes.size() < size) {
        lines += 16;
        Bytes const block = gen2_blocks::JpegBlock(page, color, data, lines);
        stream.bytes.insert(stream.bytes.end(), block.begin(), block.end());
        ++stream.blocks;
        if (lines == 640) {
            Bytes const end = gen2_blocks::PageEnd(page++);
            stream.bytes.insert(stream.bytes.end(), end.begin(), end.end());
            ++stream.blocks;
            lines = 0;
        }
    }
    Bytes const all = gen2_blocks::AllPagesEnd();
    stream.bytes.insert(stream.bytes.end(), all.begin(), all.end());
    ++stream.blocks;
    return stream;
}

// One walk over the stream; the number of blocks read (0 on a failure).
size_t Walk(Stream& stream)
{
    unsigned char* cursor = stream.bytes.data();
    unsigned char* const end = cursor + stream.bytes.size();
    size_t blocks = 0;
    uint64_t checksum = 0;
    while (cursor < end) {
        vscore::IMAGE_HEADER header;
        vscore::PARSE_RESULT result;
        unsigned char* next = nullptr;
        if (CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(cursor, static_cast<unsigned long>(end - cursor), &header,
                                                         &result, &next) != 0) {
            return 0;
        }
        checksum += header.dataSize + header.pageNo;
        cursor = next;
        ++blocks;
    }
    // Keeps the walk from being optimised away.
    return checksum != 0 ? blocks : 0;
}

constexpr size_t kReadSize = 0x40000;

// The walk over the stream as it arrives in reads of 256 KiB: each read is
// copied behind the carried bytes, the complete blocks are walked and the
// cut one moves to the buffer's front. The number of blocks read.
size_t WalkInReads(Stream& stream, std::vector<unsigned char>& buffer)
{
    size_t carried = 0;
    size_t blocks = 0;
    uint64_t checksum = 0;
    for (size_t offset = 0; offset < stream.bytes.size(); offset += kReadSize) {
        size_t const count = std::min(kReadSize, stream.bytes.size() - offset);
        std::memcpy(buffer.data() + carried, stream.bytes.data() + offset, count);
        unsigned char* cursor = buffer.data();
        unsigned char* const end = cursor + carried + count;
        for (;;) {
            vscore::IMAGE_HEADER header;
            vscore::PARSE_RESULT result;
            unsigned char* next = nullptr;
            int const parsed = CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(
                cursor, static_cast<unsigned long>(end - cursor), &header, &result, &next);
            if (parsed != CParseExeCmdRes_v2::kParseComplete) {
                break;
            }
            checksum += header.dataSize + header.pageNo;
            cursor = next;
            ++blocks;
        }
        carried = static_cast<size_t>(end - cursor);
        std::memmove(buffer.data(), cursor, carried);
    }
    return checksum != 0 ? blocks : 0;
}

// The floor of any dispatch that keeps the data: the walk in reads, each
// data block's bytes appended to its page's own block (sized for an A4
// page at 300 dpi, as the reading thread reserves it), a new block at each
// page end. Seconds.
double StoreSeconds(Stream& stream, std::vector<unsigned char>& buffer)
{
    std::vector<std::unique_ptr<BytesMemory>> pages;
    std::unique_ptr<BytesMemory> page;
    size_t carried = 0;
    auto const start = std::chrono::steady_clock::now();
    for (size_t offset = 0; offset < stream.bytes.size(); offset += kReadSize) {
        size_t const count = std::min(kReadSize, stream.bytes.size() - offset);
        std::memcpy(buffer.data() + carried, stream.bytes.data() + offset, count);
        unsigned char* cursor = buffer.data();
        unsigned char* const end = cursor + carried + count;
        for (;;) {
            vscore::IMAGE_HEADER header;
            vscore::PARSE_RESULT result;
            unsigned char* next = nullptr;
            if (CParseExeCmdRes_v2::ParseXSCcmdImageDataInfo(cursor, static_cast<unsigned long>(end - cursor), &header,
                                                             &result, &next) != 0) {
                break;
            }
            if (!page) {
                page = std::make_unique<BytesMemory>(2480u * 3508u);
            }
            if (header.dataSize != 0) {
                page->AppendBytes(header.dataSize, header.data);
            }
            if (result.hasStatusCode && header.statusCode > vscore::IMAGE_STATUS_EDGE_LINE) {
                pages.push_back(std::move(page));
            }
            cursor = next;
        }
        carried = static_cast<size_t>(end - cursor);
        std::memmove(buffer.data(), cursor, carried);
    }
    std::chrono::duration<double> const took = std::chrono::steady_clock::now() - start;
    return took.count();
}

// Seconds the generation-2 reading thread takes from its start until its
// receive loop has ended, the stream arriving in 256 KiB reads; negative
// when it did not end with all pages received.
double DispatchSeconds(const Stream& stream)
{
    read_thread_rig::Rig rig;
    // A4 at 300 dpi, the lines of the gray stream.
    rig.parameters.scanAreaInfo.areaSelected = true;
    rig.parameters.scanAreaInfo.selectArea = vscore::SCANAREA{0, 0, 2480, 3508, vscore::PIXEL};
    for (size_t offset = 0; offset < stream.bytes.size(); offset += kReadSize) {
        size_t const count = std::min(kReadSize, stream.bytes.size() - offset);
        rig.device.QueueData(Bytes(stream.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                   stream.bytes.begin() + static_cast<std::ptrdiff_t>(offset + count)));
    }
    auto thread = rig.Make<vscore::CReadThread_v2>();
    // Tasks that do nothing: only the reading thread is measured.
    thread->SetImageProcessTaskFactory(std::make_shared<fake_tasks::RecordingTaskFactory>());
    auto const start = std::chrono::steady_clock::now();
    if (rig.Start(*thread) != 0) {
        return -1;
    }
    while (!thread->LoopEnded()) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::chrono::duration<double> const took = std::chrono::steady_clock::now() - start;
    return thread->GetVSRSLTCode() == 0 ? took.count() : -1;
}

// Runs in a child whose HOME holds the log settings (or none).
void Measure(std::vector<Stream>& streams, const char* setting)
{
    for (Stream& stream : streams) {
        double best = 1e30;
        size_t blocks = 0;
        for (int round = 0; round < 3; ++round) {
            auto const start = std::chrono::steady_clock::now();
            blocks = Walk(stream);
            std::chrono::duration<double> const took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
        }
        if (blocks != stream.blocks) {
            std::printf("%-22s %-20s FAILED: %zu of %zu blocks read\n", setting, stream.name, blocks, stream.blocks);
            continue;
        }
        double const mib = static_cast<double>(stream.bytes.size()) / (1024.0 * 1024.0);
        std::printf("%-22s %-20s %8.1f MiB  %9zu blocks  %9.0f MiB/s  %7.1f ns/block\n", setting, stream.name, mib,
                    blocks, mib / best, best * 1e9 / static_cast<double>(blocks));

        std::vector<unsigned char> buffer(vscore::CReadThread_base::kReceiveBufferSize);
        double bestReads = 1e30;
        double bestStore = 1e30;
        double bestDispatch = 1e30;
        for (int round = 0; round < 3; ++round) {
            auto const start = std::chrono::steady_clock::now();
            size_t const walked = WalkInReads(stream, buffer);
            std::chrono::duration<double> const took = std::chrono::steady_clock::now() - start;
            if (walked != stream.blocks) {
                std::printf("%-22s %-20s FAILED: %zu of %zu blocks read in reads\n", setting, stream.name, walked,
                            stream.blocks);
                std::fflush(stdout);
                return;
            }
            bestReads = std::min(bestReads, took.count());
            bestStore = std::min(bestStore, StoreSeconds(stream, buffer));
            double const dispatch = DispatchSeconds(stream);
            if (dispatch < 0) {
                std::printf("%-22s %-20s FAILED: the reading thread did not receive every page\n", setting,
                            stream.name);
                std::fflush(stdout);
                return;
            }
            bestDispatch = std::min(bestDispatch, dispatch);
        }
        std::printf("%-22s %-20s   parser in 256 KiB reads %9.0f MiB/s\n", setting, stream.name, mib / bestReads);
        std::printf("%-22s %-20s   and into page blocks    %9.0f MiB/s\n", setting, stream.name, mib / bestStore);
        std::printf(
            "%-22s %-20s   reading thread          %9.0f MiB/s  %5.2f x the parser in reads, %5.2f x into "
            "page blocks\n",
            setting, stream.name, mib / bestDispatch, bestReads / bestDispatch, bestStore / bestDispatch);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    static char const usage[] =
        "usage: bench_gen2_blocks [SIZE]\n"
        "  SIZE  bytes of each synthetic stream (default 200M, at most 16G); may end in K, M or G (binary units)\n";
    uint64_t size = 200ull << 20;
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc > 2 ||
        (argc == 2 && (!scriptedpeer::ParseByteCount(argv[1], size) || size == 0 || size > (16ull << 30)))) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::vector<Stream> streams;
    streams.push_back(LineStream(static_cast<size_t>(size)));
    streams.push_back(JpegStream(static_cast<size_t>(size)));

    char folder[] = "/tmp/bench_gen2_blocks.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    struct Setting {
        const char* name;
        const char* settings;  // the settings file's text, null for none
    };
    const Setting settings[] = {
        {"logs off", nullptr},
        {"logs on, level 2", "LogLevel=2\n"},
        {"logs on, level 3", "LogLevel=3\n"},
    };
    int status = 0;
    for (const Setting& setting : settings) {
        std::string const home = std::string(folder) + "/" + std::to_string(&setting - settings);
        std::filesystem::create_directories(home);
        if (setting.settings != nullptr) {
            std::ofstream(home + "/VdSetupLog.txt") << setting.settings;
        }
        std::fflush(stdout);
        pid_t const child = fork();
        if (child == 0) {
            setenv("HOME", home.c_str(), 1);
            Measure(streams, setting.name);
            std::_Exit(0);
        }
        int childStatus = 0;
        if (child < 0 || waitpid(child, &childStatus, 0) != child || !WIFEXITED(childStatus) ||
            WEXITSTATUS(childStatus) != 0) {
            std::fprintf(stderr, "%s: measurement failed\n", setting.name);
            status = 1;
        }
        std::error_code ignored;
        std::uintmax_t const logBytes = std::filesystem::exists(home + "/VdOutLog/ReadLog.kmy", ignored)
                                            ? std::filesystem::file_size(home + "/VdOutLog/ReadLog.kmy", ignored)
                                            : 0;
        std::printf("%-22s read log written: %ju bytes\n", setting.name, logBytes);
    }
    std::filesystem::remove_all(folder);
    return status;
}
