// Streams, file operations and directories on real files: line ends, the
// open-state errors, failures of a full device, copies that must not eat
// their source, moves across file systems and directory paths.
#include "vdtcl/CTDirFnc.h"
#include "vdtcl/CTFileFnc.h"
#include "vdtcl/CTFileIo.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ScratchDir.h"
#include "tests/support/test_bytes/TestBytes.h"

namespace {

namespace fs = std::filesystem;
using vdtcl::CTDirFnc;
using vdtcl::CTFileFnc;
using vdtcl::CTFileIo;

using testbytes::WriteFile;

std::string RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST(CTFileIo, ReadLineStripsLineEnds)
{
    ScratchDir folder;
    std::string path = folder / "lines.txt";
    WriteFile(path, "abc\r\nde\n\rfg\rh\nlast\r");
    struct Case {
        bool strip;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {true, {"abc", "de", "\rfg\rh", "last"}},
        {false, {"abc\r\n", "de\n", "\rfg\rh\n", "last\r"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strip);
        CTFileIo file;
        ASSERT_TRUE(file.Open(path.c_str(), CTFileIo::OPEN_READ));
        char buffer[64];
        std::vector<std::string> lines;
        long length;
        while ((length = file.ReadLine(buffer, sizeof buffer, c.strip)) >= 0) {
            EXPECT_EQ(static_cast<size_t>(length), strlen(buffer));
            lines.emplace_back(buffer);
        }
        EXPECT_EQ(length, -1);
        EXPECT_EQ(file.GetLastError(), 0);
        EXPECT_TRUE(file.IsEndOfFile());
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(CTFileIo, ItemsRoundTripAndEndOfFileReadsMinusOne)
{
    ScratchDir folder;
    std::string path = folder / "items.bin";
    const uint32_t items[3] = {0x11223344u, 0xA5A5A5A5u, 0xFFFFFFFFu};
    CTFileIo file;
    ASSERT_TRUE(file.Create(path.c_str()));
    EXPECT_EQ(file.Write(items, 3, CTFileIo::ItemSize(sizeof items[0])), 3);
    EXPECT_EQ(file.Write("xy", 2), 2);
    ASSERT_TRUE(file.SeekToBegin());
    uint32_t back[3] = {};
    EXPECT_EQ(file.Read(back, 3, CTFileIo::ItemSize(sizeof back[0])), 3);
    EXPECT_EQ(std::vector<uint32_t>(back, back + 3), std::vector<uint32_t>(items, items + 3));
    char rest[8] = {};
    EXPECT_EQ(file.Read(rest, sizeof rest), 2);
    EXPECT_EQ(file.Read(rest, sizeof rest), -1);
    EXPECT_EQ(file.GetLastError(), 0);
}

TEST(CTFileIo, OpenStateIsChecked)
{
    ScratchDir folder;
    std::string first = folder / "first.txt";
    std::string second = folder / "second.txt";
    WriteFile(first, "one\n");
    WriteFile(second, "two\n");
    CTFileIo file;
    char buffer[8];
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(file.GetLastError(), 63);
    ASSERT_TRUE(file.Open(first.c_str(), CTFileIo::OPEN_READ));
    EXPECT_FALSE(file.Create(second.c_str()));
    EXPECT_EQ(file.GetLastError(), 114);
    EXPECT_EQ(ScratchDir::Read(second), "two\n");
    EXPECT_EQ(file.ReadLine(buffer, sizeof buffer, true), 3);
    EXPECT_STREQ(buffer, "one");
}

TEST(CTFileIo, WritesToAFullDeviceReportNoSpace)
{
    CTFileIo file;
    ASSERT_TRUE(file.Open("/dev/full", CTFileIo::OPEN_READWRITE));
    // Larger than the stream's buffer: fails at once.
    std::string big(1 << 20, 'x');
    EXPECT_LT(file.Write(big.data(), big.size()), static_cast<long>(big.size()));
    EXPECT_EQ(file.GetLastError(), ENOSPC);
    long put = file.WriteLine(big.c_str());
    EXPECT_LT(put, static_cast<long>(big.size() + 1));
    EXPECT_EQ(file.GetLastError(), ENOSPC);
    // Small enough to be buffered: the failure shows at the flush.
    EXPECT_EQ(file.WriteLine("short"), 6);
    EXPECT_FALSE(file.Flush());
    EXPECT_EQ(file.GetLastError(), ENOSPC);
    EXPECT_EQ(file.Write("abc", 3), 3);
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(file.GetLastError(), ENOSPC);
}

TEST(CTFileFnc, CopyKeepsItsSourceAndRespectsOverwrite)
{
    ScratchDir folder;
    std::string source = folder / "source.bin";
    std::string target = folder / "target.bin";
    std::string content = RandomBytes(5000, 7);
    WriteFile(source, content);
    CTFileFnc files;
    EXPECT_FALSE(files.IsExistsFile(folder.Path().c_str()));
    EXPECT_EQ(files.GetLastError(), 21);

    WriteFile(target, "old");
    EXPECT_FALSE(files.Copy(source.c_str(), target.c_str(), false));
    EXPECT_EQ(files.GetLastError(), 17);
    EXPECT_EQ(ScratchDir::Read(target), "old");
    EXPECT_TRUE(files.Copy(source.c_str(), target.c_str(), true));
    EXPECT_EQ(ScratchDir::Read(target), content);

    // The same file under two names, and through a hard link.
    std::string sameFile = folder.Path() + "/./source.bin";
    std::string link = folder / "link.bin";
    ASSERT_EQ(::link(source.c_str(), link.c_str()), 0);
    for (const std::string& other : {source, sameFile, link}) {
        SCOPED_TRACE(other);
        EXPECT_FALSE(files.Copy(source.c_str(), other.c_str(), true));
        EXPECT_EQ(files.GetLastError(), 22);
        EXPECT_EQ(ScratchDir::Read(source), content);
    }

    // A source that cannot be opened leaves no target behind.
    std::string fresh = folder / "fresh.bin";
    EXPECT_FALSE(files.Copy((folder / "none").c_str(), fresh.c_str(), true));
    EXPECT_EQ(files.GetLastError(), ENOENT);
    EXPECT_FALSE(fs::exists(fresh));

    EXPECT_FALSE(files.Copy(source.c_str(), "/dev/full", true));
    EXPECT_EQ(files.GetLastError(), ENOSPC);
    EXPECT_FALSE(files.Copy("", target.c_str(), true));
    EXPECT_EQ(files.GetLastError(), 22);
}

// A folder on another file system than the temporary folder, or empty.
std::string OtherFileSystemFolder(const std::string& near)
{
    struct stat a;
    struct stat b;
    if (stat(near.c_str(), &a) != 0 || stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        return std::string();
    return "/dev/shm";
}

// Child process of a death test: moves with the file size limited, exits
// 0 when the move failed with EFBIG.
void MoveUnderFileSizeLimit(const std::string& source, const std::string& target, rlim_t limit)
{
    signal(SIGXFSZ, SIG_IGN);
    rlimit size = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &size);
    CTFileFnc files;
    bool moved = files.Move(source.c_str(), target.c_str());
    _exit(!moved && files.GetLastError() == EFBIG ? 0 : 1);
}

TEST(CTFileFnc, MoveAcrossFileSystemsCopiesThenRemoves)
{
    ScratchDir folder;
    std::string otherRoot = OtherFileSystemFolder(folder.Path());
    if (otherRoot.empty())
        GTEST_SKIP() << "no second file system";
    std::string other = otherRoot + "/vdtcl-move-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
    std::string source = folder / "source.bin";
    std::string target = other + "/target.bin";
    std::string content = RandomBytes(70000, 11);
    WriteFile(source, content);
    ASSERT_EQ(chmod(source.c_str(), 0640), 0);
    WriteFile(target, "old");

    CTFileFnc files;
    EXPECT_TRUE(files.Move(source.c_str(), target.c_str()));
    EXPECT_EQ(files.GetLastError(), 0);
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(ScratchDir::Read(target), content);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A copy that fails half-way (file size limit) leaves both files as
    // they were and no temporary file behind.
    WriteFile(source, content);
    WriteFile(target, "old");
    EXPECT_EXIT(MoveUnderFileSizeLimit(source, target, 4096), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ScratchDir::Read(source), content);
    EXPECT_EQ(ScratchDir::Read(target), "old");
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(other)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
    fs::remove_all(other);
}

TEST(CTDirFnc, CreateDirPathCreatesTheMissingFolders)
{
    ScratchDir folder;
    std::string base = folder.Path();
    WriteFile(folder / "file", "x");
    struct Case {
        std::string path;
        bool result;
        int error;
        std::vector<std::string> exist;
    };
    const Case cases[] = {
        {base + "/a/b/c", true, 0, {base + "/a", base + "/a/b", base + "/a/b/c"}},
        {base + "/a/b/c", false, 17, {}},
        {base + "/a/b/d/", true, 0, {base + "/a/b/d"}},
        {base + "/e", true, 0, {base + "/e"}},
        {base + "/file/sub", false, 17, {}},
        {"/vdtcl-missing-" + std::to_string(getpid()) + "/y", false, 2, {}},
        {"/", false, 22, {}},
        {"", false, 22, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CTDirFnc dirs;
        EXPECT_EQ(dirs.CreateDirPath(c.path.c_str()), c.result);
        EXPECT_EQ(dirs.GetLastError(), c.error);
        for (const std::string& path : c.exist)
            EXPECT_TRUE(fs::is_directory(path)) << path;
    }
    EXPECT_FALSE(fs::exists("/vdtcl-missing-" + std::to_string(getpid())));
}

TEST(CTDirFnc, CreateDirPathOfARelativePathStartsAtItsFirstComponent)
{
    ScratchDir folder;
    fs::path previous = fs::current_path();
    fs::current_path(folder.Path());
    CTDirFnc dirs;
    bool created = dirs.CreateDirPath("a/b/c");
    fs::current_path(previous);
    EXPECT_TRUE(created);
    EXPECT_TRUE(fs::is_directory(folder / "a/b/c"));
}

}  // namespace
