// A marker file the mock cannot remove: the event is answered once, logged,
// and not repeated while the file stays. A program of its own, because the
// engine's logs read their settings once per process. The mock runs in a
// child process, as an unprivileged user when the test runs as root (root
// may remove files from a read-only folder).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "VexmorApi/DeviceAccess/ScannerMock.h"
#include "tests/VexmorApi/DeviceAccess/MockTestSupport.h"
#include "tests/VexmorApi/Utilities/LogHome.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/mock_recording/MockRecording.h"

namespace {

using mock_recording::Bytes;

constexpr uid_t kNobody = 65534;

// What the child saw, as its exit status: 0 when all went as expected.
int RunMock()
{
    const Bytes xsc = mocktest::Frame("XSC");
    ScannerMock mock;
    if (mock.Write(xsc.data(), static_cast<int>(xsc.size())) != static_cast<int>(xsc.size())) {
        return 10;
    }
    unsigned char buffer[64];
    if (mock.Read(buffer, 64) != 2 || buffer[0] != 0x00 || buffer[1] != 0x20) {
        return 11;  // the Finish answer, once
    }
    int const got = mock.Read(buffer, 64);
    if (got != 6 || buffer[1] != 0x10) {
        return 12;  // then the recording, not the answer again
    }
    return mock.Read(buffer, 64) == 0 ? 0 : 13;
}

class ScannerMockMarkerTest : public LogHome {};

TEST_F(ScannerMockMarkerTest, UndeletableMarkerIsAnsweredOnceAndLogged)
{
    Settings("LogLevel=3\n");
    mock_recording::MockFolder folder(home_.Path());
    Bytes const notice = gen2_blocks::Notice(0x10);
    folder.Write("XSC", {notice[0], notice[1], notice[0], notice[1], notice[0], notice[1]});
    folder.PutMarker("Finish");
    // The child may read and traverse everything, write the log, and not
    // remove anything from the mock folder.
    std::filesystem::create_directories(home_ / "VdOutLog");
    ASSERT_EQ(chmod(home_.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((home_ / "VdOutLog").c_str(), 0777), 0);
    ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
    for (auto const& entry : std::filesystem::directory_iterator(folder.Path())) {
        chmod(entry.path().c_str(), 0644);
    }

    pid_t const child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(20);
        }
        _exit(RunMock());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod(folder.Path().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(folder.HasMarker("Finish"));

    bool logged = false;
    for (std::string const& line : Lines(ReadOut("CoreMainLog.kmy"))) {
        logged = logged || line.find("Error: ScannerMock cannot remove the marker file " + folder.Path() + "/Finish") !=
                               std::string::npos;
    }
    EXPECT_TRUE(logged) << ReadOut("CoreMainLog.kmy");
}

}  // namespace
