// Where multi-page documents land, in a private mount namespace with a
// fresh tmpfs at /tmp and a second one for the destinations (root only): a
// destination on another file system gets the complete file, an old file
// survives a failed document, and a link planted at the predictable
// temporary name is never used.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "PeerTools.h"
#include "ScratchDir.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "diagnostics/ImageFile.h"
#include "tests/VexmorApi/Utilities/TemporaryFiles.h"

namespace {

constexpr char kDestination[] = "/tmp/dest";

std::string g_setupError;  // why the namespace could not be made

class DestinationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (geteuid() != 0) {
            return;
        }
        // The engine's staging folder must be made inside the new /tmp.
        Singleton<FileManager>::Destroy();
        if (unshare(CLONE_NEWNS) != 0) {
            g_setupError = "unshare";
        } else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            g_setupError = "private /";
        } else if (mount("tmpfs", "/tmp", "tmpfs", 0, "size=32m,mode=1777") != 0) {
            g_setupError = "tmpfs /tmp";
        } else if (mkdir(kDestination, 0755) != 0 || mount("tmpfs", kDestination, "tmpfs", 0, "size=32m") != 0) {
            g_setupError = "tmpfs destination";
        }
    }
    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "mount namespaces need root";
        }
        ASSERT_EQ(g_setupError, "") << strerror(errno);
        if (!peer::HaveTool("tiffinfo") || !peer::HavePillow()) {
            GTEST_SKIP() << "tiffinfo and Pillow under /usr/bin/python3 are needed";
        }
    }
    void TearDown() override
    {
        if (!IsSkipped()) {
            EXPECT_TRUE(TemporaryFilesLeft().empty());
        }
        Singleton<FileManager>::Destroy();
    }
    static std::string Staging() { return Singleton<FileManager>::GetInstance()->GetTemporaryDirectoryPath(); }
    static ImageFile::Parameter Param(std::string const& name)
    {
        ImageFile::Parameter p;
        p.format = ImageFile::Tiff;
        p.folder = kDestination;
        p.fileName = name;
        p.numberedNames = true;
        return p;
    }
    static dev_t Device(std::string const& path)
    {
        struct stat st {};
        stat(path.c_str(), &st);
        return st.st_dev;
    }

    // A gray page with packed rows of a pattern.
    std::vector<unsigned char> MakePage(vscore::tagVS_SCAN_IMAGEDATA& page, uint32_t width, uint32_t height)
    {
        std::vector<unsigned char> pixels(size_t{width} * height);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<unsigned char>(i * 7);
        }
        page = vscore::tagVS_SCAN_IMAGEDATA{};
        page.dataSize = static_cast<uint32_t>(pixels.size());
        page.resolutionX = page.resolutionY = 200;
        page.bitsPerPixel = 8;
        page.width = width;
        page.height = height;
        page.bytesPerLine = width;
        return pixels;
    }
};

TEST_F(DestinationTest, DestinationOnAnotherFileSystemGetsTheCompleteFile)
{
    ASSERT_NE(Device(Staging()), Device(kDestination));
    vscore::tagVS_SCAN_IMAGEDATA page;
    std::vector<unsigned char> pixels = MakePage(page, 301, 97);
    page.pDataPtr = pixels.data();
    ImageFile file(Param("scan"));
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(file.Save(vscore::TRUEGRAY, page, i == 3));
    }
    std::string const name = std::string(kDestination) + "/scan1.tiff";
    EXPECT_EQ(peer::Count(peer::TiffInfo(name), "TIFF Directory"), 3u);
    EXPECT_EQ(peer::ReadWithPillow(name, 2).pixels, pixels);
    EXPECT_STREQ(file.GetFileName(1), name.c_str());
}

TEST_F(DestinationTest, OldFileSurvivesADocumentWhoseLastPageFails)
{
    std::string const name = std::string(kDestination) + "/keep1.tiff";
    FILE* old = std::fopen(name.c_str(), "w");
    ASSERT_NE(old, nullptr);
    std::fputs("old document", old);
    std::fclose(old);

    vscore::tagVS_SCAN_IMAGEDATA page;
    std::vector<unsigned char> pixels = MakePage(page, 64, 16);
    page.pDataPtr = pixels.data();
    vscore::tagVS_SCAN_IMAGEDATA broken = page;
    broken.dataSize = 10;
    ImageFile file(Param("keep"));
    ASSERT_TRUE(file.Save(vscore::TRUEGRAY, page, false));
    ASSERT_TRUE(file.Save(vscore::TRUEGRAY, page, false));
    EXPECT_FALSE(file.Save(vscore::TRUEGRAY, broken, true));
    EXPECT_EQ(ScratchDir::Read(name), "old document");
    EXPECT_EQ(file.GetSavedFileCount(), 0u);
}

TEST_F(DestinationTest, LinkAtThePredictableTemporaryNameIsNeitherFollowedNorTouched)
{
    FILE* victim = std::fopen("/tmp/victim", "w");
    ASSERT_NE(victim, nullptr);
    std::fputs("victim", victim);
    std::fclose(victim);
    ASSERT_EQ(symlink("/tmp/victim", "/tmp/link1.tiff"), 0);

    vscore::tagVS_SCAN_IMAGEDATA page;
    std::vector<unsigned char> pixels = MakePage(page, 50, 20);
    page.pDataPtr = pixels.data();
    ImageFile file(Param("link"));
    ASSERT_TRUE(file.Save(vscore::TRUEGRAY, page, false));
    ASSERT_TRUE(file.Save(vscore::TRUEGRAY, page, true));

    EXPECT_EQ(ScratchDir::Read("/tmp/victim"), "victim");
    EXPECT_EQ(std::filesystem::read_symlink("/tmp/link1.tiff"), "/tmp/victim");
    std::string const name = std::string(kDestination) + "/link1.tiff";
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(name)));
    EXPECT_EQ(peer::Count(peer::TiffInfo(name), "TIFF Directory"), 2u);
}

}  // namespace
