// The ring file against a plain in-memory model of its file: byte-exact
// contents after writes, wraps and reopens, markers cut by the search's
// block borders, bytes above 0x7F, refused settings and failed writes.
#include "vdtcl/CTRingFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>

#include "ScratchDir.h"
#include "tests/support/test_bytes/TestBytes.h"

namespace {

using vdtcl::CTRingFile;

const std::string kMarker = "########";

using testbytes::WriteFile;

// What the file must hold: the data in writing order, wrapping at the
// maximum size, one marker line behind the newest data and blanks where
// older marker texts stood.
class RingModel {
public:
    RingModel(uint64_t maxSize, std::string marker) : m_max(maxSize), m_marker(std::move(marker)) {}

    void Load(std::string bytes, bool hasMarker, uint64_t markerAt)
    {
        m_bytes = std::move(bytes);
        m_hasMarker = hasMarker;
        m_markerAt = markerAt;
        m_readAt = hasMarker ? markerAt : m_bytes.size();
    }

    void Write(const std::string& data)
    {
        uint64_t at = m_hasMarker ? m_markerAt : 0;
        if (m_hasMarker)
            Put(at, std::string(m_marker.size(), ' '));
        uint64_t start = at + data.size() > m_max ? 0 : at;
        Put(start, data);
        uint64_t end = start + data.size();
        uint64_t next = end + m_marker.size() > m_max && start > m_marker.size() ? 0 : end;
        Put(next, m_marker + "\n");
        m_hasMarker = true;
        m_markerAt = next;
        m_readAt = next;
    }

    std::string Read(size_t n)
    {
        if (m_readAt >= m_bytes.size())
            m_readAt = 0;
        std::string got = m_bytes.substr(m_readAt, n);
        m_readAt += got.size();
        return got;
    }

    // After a reopen the file rests on its marker again.
    void Reopen() { m_readAt = m_hasMarker ? m_markerAt : m_bytes.size(); }

    const std::string& Bytes() const { return m_bytes; }
    uint64_t MarkerAt() const { return m_markerAt; }

private:
    void Put(uint64_t at, const std::string& s)
    {
        if (m_bytes.size() < at + s.size())
            m_bytes.resize(at + s.size());
        m_bytes.replace(at, s.size(), s);
    }

    uint64_t m_max;
    std::string m_marker;
    std::string m_bytes;
    bool m_hasMarker = false;
    uint64_t m_markerAt = 0;
    uint64_t m_readAt = 0;
};

TEST(CTRingFile, WorkedExampleIsByteExact)
{
    ScratchDir folder;
    std::string path = folder / "ring.log";
    CTRingFile ring;
    ASSERT_TRUE(ring.StartUsing(path.c_str(), 100, nullptr));
    EXPECT_EQ(ring.Write(std::string(80, 'a').data(), 80), 80u);
    ASSERT_TRUE(ring.Flush());
    EXPECT_EQ(ScratchDir::Read(path), std::string(80, 'a') + "########\n");

    EXPECT_EQ(ring.Write(std::string(30, 'b').data(), 30), 30u);
    ASSERT_TRUE(ring.Flush());
    EXPECT_EQ(ScratchDir::Read(path),
              std::string(30, 'b') + "########\n" + std::string(41, 'a') + std::string(8, ' ') + "\n");

    // A later process goes on behind the newest data.
    ASSERT_TRUE(ring.StopUsing());
    CTRingFile again;
    ASSERT_TRUE(again.StartUsing(path.c_str(), 100, nullptr));
    EXPECT_EQ(again.Write("ccc", 3), 3u);
    ASSERT_TRUE(again.StopUsing());
    EXPECT_EQ(ScratchDir::Read(path),
              std::string(30, 'b') + "ccc########\n" + std::string(38, 'a') + std::string(8, ' ') + "\n");
}

TEST(CTRingFile, MarkerFollowsDataThatFillsTheRing)
{
    // Data reaching the end of the ring from its beginning keeps the marker
    // line behind it instead of under its first bytes.
    struct Case {
        size_t first;
        size_t second;
        std::string expected;
    };
    const Case cases[] = {
        {95, 0, std::string(95, 'a') + kMarker + "\n"},
        {200, 0, std::string(200, 'a') + kMarker + "\n"},
        {40, 97, std::string(97, 'b') + kMarker + "\n"},
        {5, 93, std::string(5, 'a') + std::string(93, 'b') + kMarker + "\n"},
        // With room in front of the data the marker line does go round.
        {20, 75, kMarker + "\n" + std::string(11, 'a') + std::string(75, 'b')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.first << " then " << c.second);
        ScratchDir folder;
        std::string path = folder / "ring.log";
        CTRingFile ring;
        ASSERT_TRUE(ring.StartUsing(path.c_str(), 100, nullptr));
        ASSERT_EQ(ring.Write(std::string(c.first, 'a').data(), c.first), c.first);
        if (c.second > 0) {
            ASSERT_EQ(ring.Write(std::string(c.second, 'b').data(), c.second), c.second);
        }
        ASSERT_TRUE(ring.StopUsing());
        EXPECT_EQ(ScratchDir::Read(path), c.expected);
    }
}

TEST(CTRingFile, MarkerCutByABlockBorderIsFound)
{
    // Search blocks start at 0, 4088, 8176, ...: each of these markers
    // crosses, touches or just misses a border.
    for (uint64_t markerAt : {4088u, 4089u, 4093u, 4095u, 4096u, 8180u}) {
        for (bool readFirst : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "marker at " << markerAt << (readFirst ? ", after a read" : ""));
            ScratchDir folder;
            std::string path = folder / "ring.log";
            std::string bytes = std::string(markerAt, 'x') + kMarker + "\n" + std::string(600, 'y');
            WriteFile(path, bytes);
            RingModel model(20000, kMarker);
            model.Load(bytes, true, markerAt);

            CTRingFile ring;
            ASSERT_TRUE(ring.StartUsing(path.c_str(), 20000, nullptr));
            if (readFirst) {
                // Moves the position behind the marker: the write must
                // search round to the beginning.
                char buffer[20];
                EXPECT_EQ(ring.Read(buffer, sizeof buffer), sizeof buffer);
                EXPECT_EQ(std::string(buffer, sizeof buffer), model.Read(sizeof buffer));
            }
            EXPECT_EQ(ring.Write("DATA", 4), 4u);
            model.Write("DATA");
            ASSERT_TRUE(ring.StopUsing());
            EXPECT_EQ(ScratchDir::Read(path), model.Bytes());
        }
    }
}

TEST(CTRingFile, RandomWritesReadsAndReopensMatchTheModel)
{
    // Markers: the default, one that overlaps itself, one of bytes above
    // 0x7F and the longest accepted. The data holds every byte value except
    // the markers' own characters, so each marker text appears only once.
    std::string longest(CTRingFile::kMaxMarkerLength, '%');
    longest[0] = '#';
    const std::string markers[] = {kMarker, "%%%%%", "\xC3\xA9#\xFF\x80", longest};
    std::mt19937 random(20240611);
    for (int trial = 0; trial < 24; ++trial) {
        SCOPED_TRACE(trial);
        const std::string& marker = markers[trial % 4];
        uint64_t maxSize = marker.size() + 20 + random() % 12000;
        ScratchDir folder;
        std::string path = folder / "ring.log";
        RingModel model(maxSize, marker);
        CTRingFile ring;
        ASSERT_TRUE(ring.StartUsing(path.c_str(), maxSize, marker.c_str()));
        for (int step = 0; step < 60; ++step) {
            unsigned what = random() % 10;
            if (what == 0) {
                ASSERT_TRUE(ring.StopUsing());
                ASSERT_EQ(ScratchDir::Read(path), model.Bytes());
                ASSERT_TRUE(ring.StartUsing(path.c_str(), maxSize, marker.c_str()));
                model.Reopen();
            } else if (what == 1) {
                size_t n = 1 + random() % 3000;
                std::string buffer(n, '\0');
                unsigned long got = ring.Read(&buffer[0], n);
                buffer.resize(got);
                ASSERT_EQ(buffer, model.Read(n));
            } else {
                // Sometimes longer than the whole ring.
                size_t n = 1 + random() % (what == 2 ? maxSize + 50 : std::max<uint64_t>(maxSize / 4, 2));
                std::string data(n, '\0');
                for (char& c : data) {
                    c = static_cast<char>(random() & 0xFF);
                    if (c == '#' || c == '%' || c == '\xC3' || c == '\xA9' || c == '\xFF' || c == '\x80')
                        c = 'q';
                }
                ASSERT_EQ(ring.Write(data.data(), n), n);
                model.Write(data);
            }
        }
        ASSERT_TRUE(ring.StopUsing());
        ASSERT_EQ(ScratchDir::Read(path), model.Bytes());
    }
}

TEST(CTRingFile, BadSettingsAndArgumentsAreRefused)
{
    ScratchDir folder;
    std::string path = folder / "ring.log";
    std::string longest(CTRingFile::kMaxMarkerLength, 'M');
    std::string tooLong(CTRingFile::kMaxMarkerLength + 1, 'M');
    struct Case {
        const char* path;
        unsigned long maxSize;
        const char* marker;
        bool accepted;
    };
    const Case cases[] = {
        {path.c_str(), 100, nullptr, true},
        {nullptr, 100, nullptr, false},
        {"", 100, nullptr, false},
        {path.c_str(), 0, nullptr, false},
        {path.c_str(), 8, nullptr, false},
        {path.c_str(), 9, nullptr, true},
        {path.c_str(), 100, "", false},
        {path.c_str(), 100000, tooLong.c_str(), false},
        {path.c_str(), CTRingFile::kMaxMarkerLength, longest.c_str(), false},
        {path.c_str(), 100000, longest.c_str(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.maxSize << " " << (c.marker ? strlen(c.marker) : 0));
        CTRingFile ring;
        EXPECT_EQ(ring.StartUsing(c.path, c.maxSize, c.marker), c.accepted);
        EXPECT_EQ(ring.GetLastError(), c.accepted ? 0 : 22);
    }

    CTRingFile ring;
    EXPECT_EQ(ring.Write("x", 1), 0u);
    EXPECT_EQ(ring.GetLastError(), 63);
    ASSERT_TRUE(ring.StartUsing(path.c_str(), 100, nullptr));
    EXPECT_FALSE(ring.StartUsing(path.c_str(), 100, nullptr));
    EXPECT_EQ(ring.Write("x", 0), 0u);
    EXPECT_EQ(ring.GetLastError(), 22);
    EXPECT_EQ(ring.Write(nullptr, 5), 0u);
    EXPECT_EQ(ring.GetLastError(), 22);
    EXPECT_FALSE(ring.StartUsing((folder / "sub/none.log").c_str(), 100, nullptr));
}

// Child process of a death test: one write of n bytes with the file size
// limited; exits 0 when the write failed with EFBIG.
void WriteUnderFileSizeLimit(const std::string& path, rlim_t limit, size_t n)
{
    signal(SIGXFSZ, SIG_IGN);
    rlimit size = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &size);
    CTRingFile ring;
    if (!ring.StartUsing(path.c_str(), 100000, nullptr))
        _exit(2);
    std::string big(n, 'b');
    unsigned long put = ring.Write(big.data(), big.size());
    int error = ring.GetLastError();
    ring.StopUsing();
    _exit(put == 0 && error == EFBIG ? 0 : 1);
}

TEST(CTRingFile, FailedWriteLeavesAMarkerToGoOnFrom)
{
    ScratchDir folder;
    std::string path = folder / "ring.log";
    RingModel model(100000, kMarker);
    {
        CTRingFile ring;
        ASSERT_TRUE(ring.StartUsing(path.c_str(), 100000, nullptr));
        ASSERT_EQ(ring.Write(std::string(1000, 'a').data(), 1000), 1000u);
        model.Write(std::string(1000, 'a'));
    }
    // The file may not grow past 2000 bytes: the 20000-byte write fails.
    EXPECT_EXIT(WriteUnderFileSizeLimit(path, 2000, 20000), ::testing::ExitedWithCode(0), "");

    CTRingFile ring;
    ASSERT_TRUE(ring.StartUsing(path.c_str(), 100000, nullptr));
    EXPECT_EQ(ring.Write("after", 5), 5u);
    ASSERT_TRUE(ring.StopUsing());
    std::string bytes = ScratchDir::Read(path);
    ASSERT_GE(bytes.size(), 1014u);
    EXPECT_EQ(bytes.substr(1000, 14), "after########\n");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '#'), 8);
}

}  // namespace
