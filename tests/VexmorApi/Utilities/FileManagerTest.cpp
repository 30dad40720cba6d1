// Folder operations and the private temporary folder: fresh numbered folders
// that never reuse another owner's entry, link-safe recursive removal,
// listings, and distinct temporary names under concurrent use.
#include "VexmorApi/Utilities/FileManager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "ScratchDir.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/Path.h"

namespace fs = std::filesystem;

namespace {

std::string Numbered(int n)
{
    char name[64];
    std::snprintf(name, sizeof name, "Vexmor.FileManager.Temporary.%010d", n);
    return name;
}

unsigned Mode(std::string const& path)
{
    struct stat info = {};
    lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(FileManager, TemporaryFolderTakesTheFirstFreeNumberWithMode0700)
{
    ScratchDir root;
    ScratchDir elsewhere;
    fs::create_directory(root / Numbered(1));                            // another process's folder
    fs::create_directory_symlink(elsewhere.Path(), root / Numbered(2));  // a planted link
    root.Write(Numbered(3), "a file");
    EXPECT_EQ(FileManager::CreateTemporaryDirectory(root.Path()), root / Numbered(4));
    EXPECT_EQ(Mode(root / Numbered(4)), 0700u);
    EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
    EXPECT_EQ(FileManager::CreateTemporaryDirectory(root.Path()), root / Numbered(5));
}

TEST(FileManager, RemoveDirectoryUnlinksLinksAndNeverDescendsThem)
{
    ScratchDir root;
    ScratchDir outside;
    std::string const keep = outside.Write("keep.txt", "keep");
    std::string const tree = root / "tree";
    fs::create_directories(tree + "/sub/deeper");
    root.Write("tree/sub/deeper/b.txt", "b");
    fs::create_directory_symlink(outside.Path(), tree + "/sub/linkToFolder");
    fs::create_symlink(keep, tree + "/linkToFile");

    FileManager::RemoveDirectory(tree);
    EXPECT_FALSE(ScratchDir::Exists(tree));
    EXPECT_EQ(ScratchDir::Read(keep), "keep");

    // A link given as the folder is not a folder to remove.
    fs::create_directory_symlink(outside.Path(), root / "link");
    try {
        FileManager::RemoveDirectory(root / "link");
        FAIL();
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetMessage(), "failed to remove directory because directory does NOT exist: " + root / "link");
        EXPECT_EQ(e.GetVSRSLT(), 0x10701003u);
    }
    EXPECT_TRUE(ScratchDir::Exists(keep));
}

TEST(FileManager, CreateDirectoryParentsAndFiles)
{
    ScratchDir root;
    std::string const nested = root / "a/b";
    try {
        FileManager::CreateDirectory(nested, false);
        FAIL();
    } catch (Exception const& e) {
        EXPECT_EQ(e.GetMessage(),
                  "failed to create directory \"" + nested + "\" because parent directory dose NOT exist.");
    }
    FileManager::CreateDirectory(nested, true);
    EXPECT_TRUE(FileManager::ExistsDirectory(nested));
    EXPECT_THROW(FileManager::CreateDirectory(nested, true), Exception);

    // A bare name has an empty parent: made in the working folder without recursing.
    fs::path const previous = fs::current_path();
    fs::current_path(root.Path());
    FileManager::CreateDirectory("bare", true);
    fs::current_path(previous);
    EXPECT_TRUE(FileManager::ExistsDirectory(root / "bare"));

    root.Write("f.bin", "old contents");
    FileManager::CreateFile(root / "f.bin", 3, reinterpret_cast<unsigned char const*>("new"));
    EXPECT_EQ(ScratchDir::Read(root / "f.bin"), "new");
    EXPECT_THROW(FileManager::CreateFile(nested, 0, nullptr), Exception);
    EXPECT_THROW(FileManager::RemoveFile(nested), Exception);
    EXPECT_THROW(FileManager::RemoveFile(root / "none"), Exception);
}

TEST(FileManager, GetFilePathsPutsSubFolderFilesFirst)
{
    ScratchDir root;
    fs::create_directories(root / "sub");
    root.Write("top.tif", "");
    root.Write("top.jpg", "");
    root.Write("sub/s.tif", "");
    EXPECT_EQ(FileManager::GetFilePaths(root.Path(), true, "tif"),
              (std::vector<std::string>{root / "sub/s.tif", root / "top.tif"}));
    EXPECT_EQ(FileManager::GetFilePaths(root.Path(), false).size(), 2u);
    EXPECT_TRUE(FileManager::GetFilePaths("relative", true).empty());
    FileManager::RemoveFiles(root.Path(), true, "tif");
    EXPECT_EQ(FileManager::GetFilePaths(root.Path(), true), std::vector<std::string>{root / "top.jpg"});
}

TEST(FileManager, SingletonHandsOutDistinctNamesAndCleansUp)
{
    SingletonFinalizer::Finalize();
    std::string const folder = Singleton<FileManager>::GetInstance()->GetTemporaryDirectoryPath();
    EXPECT_TRUE(
        std::regex_match(Path::GetLastComponent(folder), std::regex(R"(Vexmor\.FileManager\.Temporary\.\d{10})")));
    EXPECT_EQ(Path::GetWithoutLastComponent(folder), Path::GetTempDirectoryPath());
    std::ofstream(folder + "/0000000001.tmp") << "stale";

    std::vector<std::vector<std::string>> names(8);
    std::vector<std::thread> threads;
    for (auto& list : names) {
        threads.emplace_back([&list] {
            for (int i = 0; i < 200; ++i) {
                list.push_back(Singleton<FileManager>::GetInstance()->CreateTemporaryFilePath());
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    std::vector<std::string> all;
    for (auto const& list : names) {
        all.insert(all.end(), list.begin(), list.end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    EXPECT_EQ(all.front(), folder + "/0000000001.tmp");
    EXPECT_EQ(all.back(), folder + "/0000001600.tmp");
    EXPECT_FALSE(ScratchDir::Exists(all.front()));  // the stale file went

    SingletonFinalizer::Finalize();
    EXPECT_FALSE(ScratchDir::Exists(folder));
}

}  // namespace
