// The ends of the engine's temporary folders, in folders of the test's own:
// the exit hook of a process whose threads still write pages, and the sweep
// of folders whose process is gone. The C library calls the folder code
// makes pass through this file's rmdir, flock and unlinkat, which act where
// a race would fall: a writer's page landing before the hook's rmdir,
// another remover and a starting engine between the sweep's opening of a
// lock file and its locking.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ScratchDir.h"
#include "VexmorApi/Utilities/FileManager.h"

namespace fs = std::filesystem;

namespace {

std::atomic<int> g_pagesWritten{0};                   // the writer threads of the hook's process
std::atomic<bool> g_rmdirWaitsForPages{false};        // set as that process exits
std::function<void(int)> g_beforeFlock;               // test's thread; called with each descriptor
std::vector<std::string>* g_unlinkedNames = nullptr;  // test's thread; names unlinked, not folders

template <typename Function>
Function Next(char const* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Waits, a bounded time, until the pages written reach count.
void WaitForPages(int count)
{
    for (int i = 0; i < 30000 && g_pagesWritten.load() < count; ++i) {
        usleep(1000);
    }
}

}  // namespace

extern "C" int rmdir(char const* path)
{
    if (g_rmdirWaitsForPages.load()) {
        // Five more pages: one of the four writers finished two, and began
        // its second after the folder was emptied.
        WaitForPages(g_pagesWritten.load() + 5);
    }
    static auto const real = Next<int (*)(char const*)>("rmdir");
    return real(path);
}

extern "C" int flock(int fd, int operation)
{
    if (g_beforeFlock) {
        g_beforeFlock(fd);
    }
    static auto const real = Next<int (*)(int, int)>("flock");
    return real(fd, operation);
}

extern "C" int unlinkat(int dirFd, char const* name, int flags)
{
    if (g_unlinkedNames != nullptr && flags == 0) {
        g_unlinkedNames->push_back(name);
    }
    static auto const real = Next<int (*)(int, char const*, int)>("unlinkat");
    return real(dirFd, name, flags);
}

namespace {

std::string Numbered(int n)
{
    char name[64];
    std::snprintf(name, sizeof name, "Vexmor.FileManager.Temporary.%010d", n);
    return name;
}

// A process that leaves with exit() while four threads write pages under
// the names its manager gives (by system calls: the C library's streams are
// not safe in threads while the process ends): the hook cannot remove the
// folder, whose lock file it makes again, so that the next start's sweep
// takes the folder once the process has ended.
TEST(TemporaryFolder, AFolderTheExitHookCannotRemoveKeepsALockFileForTheSweep)
{
#ifndef VEXMOR_TEST_HOOKS
    GTEST_SKIP() << "built without VEXMOR_TEST_HOOKS: the manager's folder stays under the system's temporary folder";
#else
    ScratchDir root;
    pid_t const child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(120);  // a process that fails to end ends here
        setenv("VEXMOR_TEST_TEMP_DIR", root.Path().c_str(), 1);
        FileManager* manager = Singleton<FileManager>::GetInstance();
        for (int i = 0; i < 4; ++i) {
            std::thread([manager] {
                for (int n = 0; n < 5000; ++n) {
                    std::string const path = manager->CreateTemporaryFilePath();
                    int const fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                    if (fd >= 0 && write(fd, "page", 4) == 4) {
                        ++g_pagesWritten;
                    }
                    if (fd >= 0) {
                        close(fd);
                    }
                }
            }).detach();
        }
        WaitForPages(4);
        g_rmdirWaitsForPages = true;
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the process did not end by exit()";

    std::vector<fs::path> const folders{fs::directory_iterator(root.Path()), fs::directory_iterator()};
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].filename(), Numbered(1));
    EXPECT_TRUE(ScratchDir::Exists(folders[0] / FileManager::kLockFileName));
    EXPECT_GE(std::distance(fs::directory_iterator(folders[0]), fs::directory_iterator()), 2);
    FileManager::RemoveAbandonedTemporaryDirectories(root.Path());
    EXPECT_TRUE(fs::is_empty(root.Path()));
#endif
}

// The sweep takes a folder whose lock file it could lock, the lock file
// last; a folder whose lock is held, or without a lock file, stays; so does
// a folder made afresh under the name of one that another remover took
// while this sweep was about to lock its lock file, and a folder whose lock
// file was made anew and is held meanwhile.
TEST(TemporaryFolder, TheSweepRemovesOnlyAFolderWhoseLockFileItHolds)
{
    ScratchDir root;
    auto folder = [&root](int n, bool lockFile, int pages) {
        std::string const path = root / Numbered(n);
        fs::create_directory(path);
        // The lock file amid the pages, so that neither the order of making
        // nor its reverse lists it last.
        for (int page = 1; page <= pages; ++page) {
            std::ofstream(path + "/" + std::to_string(page) + ".tmp") << "page";
            if (lockFile && page == (pages + 1) / 2) {
                std::ofstream(path + "/" + FileManager::kLockFileName);
            }
        }
        return path;
    };
    std::string const abandoned = folder(1, true, 20);
    std::string const live = folder(2, true, 1);
    std::string const unlocked = folder(3, false, 1);
    int const held = open((live + "/" + FileManager::kLockFileName).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);

    std::vector<std::string> unlinked;
    g_unlinkedNames = &unlinked;
    FileManager::RemoveAbandonedTemporaryDirectories(root.Path());
    g_unlinkedNames = nullptr;
    EXPECT_FALSE(ScratchDir::Exists(abandoned));
    EXPECT_TRUE(ScratchDir::Exists(live + "/1.tmp"));
    EXPECT_TRUE(ScratchDir::Exists(unlocked + "/1.tmp"));
    ASSERT_EQ(unlinked.size(), 21u);
    EXPECT_EQ(unlinked.back(), FileManager::kLockFileName);
    close(held);

    std::string const taken = folder(4, true, 1);
    struct stat lock = {};
    ASSERT_EQ(stat((taken + "/" + FileManager::kLockFileName).c_str(), &lock), 0);
    g_beforeFlock = [&](int fd) {
        struct stat locking = {};
        if (fstat(fd, &locking) == 0 && locking.st_dev == lock.st_dev && locking.st_ino == lock.st_ino &&
            ScratchDir::Exists(taken + "/1.tmp")) {
            fs::remove_all(taken);
            fs::create_directory(taken);
        }
    };
    FileManager::RemoveAbandonedTemporaryDirectories(root.Path());
    g_beforeFlock = nullptr;
    EXPECT_TRUE(FileManager::ExistsDirectory(taken));

    // The exit hook of a process still running gave its folder a new lock
    // file and holds it, after this sweep had opened the old one.
    std::string const relocked = folder(5, true, 1);
    std::string const lockPath = relocked + "/" + FileManager::kLockFileName;
    ASSERT_EQ(stat(lockPath.c_str(), &lock), 0);
    int newLock = -1;
    g_beforeFlock = [&](int fd) {
        struct stat locking = {};
        if (newLock < 0 && fstat(fd, &locking) == 0 && locking.st_ino == lock.st_ino) {
            unlink(lockPath.c_str());
            newLock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            flock(newLock, LOCK_EX);
        }
    };
    FileManager::RemoveAbandonedTemporaryDirectories(root.Path());
    g_beforeFlock = nullptr;
    ASSERT_GE(newLock, 0);
    EXPECT_TRUE(ScratchDir::Exists(relocked + "/1.tmp"));
    close(newLock);
}

}  // namespace
