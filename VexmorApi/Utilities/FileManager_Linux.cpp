// Folder operations of the file manager over POSIX: existence, creation,
// link-safe recursive removal, listing, the private temporary folder with its
// lock, the sweep of folders whose process is gone and the process-exit hook.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "VexmorApi/Utilities/Path.h"

namespace {

constexpr char kOrigin[] = "VexmorApi/Utilities/FileManager_Linux";

// Owns a directory stream (and the descriptor below it).
struct DirStream {
    DIR* dir;
    explicit DirStream(DIR* d) : dir(d) {}
    ~DirStream()
    {
        if (dir) {
            closedir(dir);
        }
    }
    DirStream(DirStream const&) = delete;
    DirStream& operator=(DirStream const&) = delete;
};

bool IsDotOrDotDot(char const* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Whether the entry is a directory itself (a link to one is not), asking the
// file system when the listing does not tell.
bool IsRealDirectory(int dirFd, dirent const* entry)
{
    if (entry->d_type != DT_UNKNOWN) {
        return entry->d_type == DT_DIR;
    }
    struct stat info;
    return fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

[[noreturn]] void ThrowRemoveFailed(std::string const& path, char const* function)
{
    VEXMOR_THROW(kOrigin, function, Exception::FailedToOperateDirectory, "failed to remove directory: " + path);
}

// Empties the directory open at dirFd (owned by this call), descending only
// into real sub-directories, each opened without following a link.
void RemoveContents(int dirFd, std::string const& path, char const* function)
{
    DirStream stream(fdopendir(dirFd));
    if (!stream.dir) {
        close(dirFd);
        ThrowRemoveFailed(path, function);
    }
    while (dirent* entry = readdir(stream.dir)) {
        if (IsDotOrDotDot(entry->d_name)) {
            continue;
        }
        std::string const child = Path::Append(path, entry->d_name);
        if (IsRealDirectory(dirfd(stream.dir), entry)) {
            int childFd = openat(dirfd(stream.dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd < 0) {
                ThrowRemoveFailed(child, function);
            }
            RemoveContents(childFd, child, function);
            if (unlinkat(dirfd(stream.dir), entry->d_name, AT_REMOVEDIR) != 0) {
                ThrowRemoveFailed(child, function);
            }
        } else {
            // A file, a link or anything else: the entry itself goes.
            unlinkat(dirfd(stream.dir), entry->d_name, 0);
        }
    }
}

constexpr char kTemporaryPrefix[] = "Vexmor.FileManager.Temporary.";
// The lock file's name until it is locked: a sweep never takes it for a lock.
constexpr char kLockStagingName[] = ".lock.new";

// Empties the directory open at dirFd (owned by this call) as RemoveContents
// does, without throwing, leaving alone the entry named keep (when given) of
// the directory itself; false when anything else stayed.
bool EmptyQuietly(int dirFd, char const* keep = nullptr)
{
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return false;
    }
    bool emptied = true;
    while (dirent* entry = readdir(dir)) {
        if (IsDotOrDotDot(entry->d_name) || (keep != nullptr && std::strcmp(entry->d_name, keep) == 0)) {
            continue;
        }
        if (IsRealDirectory(dirfd(dir), entry)) {
            int childFd = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            emptied = childFd >= 0 && EmptyQuietly(childFd) && emptied;
            emptied = unlinkat(dirfd(dir), entry->d_name, AT_REMOVEDIR) == 0 && emptied;
        } else {
            emptied = unlinkat(dirfd(dir), entry->d_name, 0) == 0 && emptied;
        }
    }
    closedir(dir);
    return emptied;
}

// Empties the temporary folder open at dirFd (which stays open), its lock
// file last: a removal that stops half-way, its process killed, leaves the
// folder to a later sweep. False, the lock file still there, when anything
// else stayed.
bool EmptyLockFileLast(int dirFd)
{
    int const contentsFd = dup(dirFd);
    if (contentsFd < 0 || !EmptyQuietly(contentsFd, FileManager::kLockFileName)) {
        return false;
    }
    unlinkat(dirFd, FileManager::kLockFileName, 0);
    return true;
}

// Gives the folder open at dirFd a lock file, made under a name of its own,
// locked and only then named kLockFileName; its descriptor, or -1. Only
// system calls.
int LockFolder(int dirFd)
{
    int lockFd = openat(dirFd, kLockStagingName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockFd >= 0 && (flock(lockFd, LOCK_EX | LOCK_NB) != 0 ||
                        renameat(dirFd, kLockStagingName, dirFd, FileManager::kLockFileName) != 0)) {
        close(lockFd);
        unlinkat(dirFd, kLockStagingName, 0);
        lockFd = -1;
    }
    return lockFd;
}

// Removes the folder at path (a link is not followed) with everything in
// it; a writer that adds a file meanwhile makes it try again, a few times.
// A folder that stays gets a lock file again, held until the process ends,
// so that the next start's sweep takes it once the writers are gone. Only
// system calls: safe while the process ends.
void RemoveDirectoryQuietly(char const* path)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        int dirFd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dirFd < 0) {
            return;  // gone already
        }
        bool const emptied = EmptyLockFileLast(dirFd);
        bool const removed = emptied && (rmdir(path) == 0 || errno == ENOENT);
        if (emptied && !removed) {
            LockFolder(dirFd);  // its descriptor stays open: the lock is the process's
        }
        close(dirFd);
        if (removed) {
            return;
        }
    }
}

// A name the manager gives its folders: the prefix and ten digits.
bool IsTemporaryDirectoryName(char const* name)
{
    size_t const prefix = sizeof kTemporaryPrefix - 1;
    if (std::strncmp(name, kTemporaryPrefix, prefix) != 0 || std::strlen(name) != prefix + 10) {
        return false;
    }
    for (size_t i = prefix; i < prefix + 10; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

// The folder the exit hook removes. Plain data that no destructor touches,
// so the hook may run at any point of the process's end; the path is taken
// out under the mutex, so it is removed at most once.
struct ExitRemoval {
    pthread_mutex_t mutex;
    std::atomic<pid_t> owner;  // the process that made the folder
    bool registered;           // guarded by mutex
    char path[PATH_MAX];       // guarded by mutex; empty: nothing to remove
};
ExitRemoval g_exitRemoval = {PTHREAD_MUTEX_INITIALIZER, {0}, false, {}};

// The process-exit hook (atexit; in the shared engine library also run when
// the library is unloaded). A forked child that exits leaves the folder to
// the process that made it.
void RemoveTemporaryDirectoryAtExit()
{
    if (g_exitRemoval.owner.load() != getpid()) {
        return;
    }
    char path[PATH_MAX];
    pthread_mutex_lock(&g_exitRemoval.mutex);
    std::memcpy(path, g_exitRemoval.path, sizeof path);
    g_exitRemoval.path[0] = '\0';
    pthread_mutex_unlock(&g_exitRemoval.mutex);
    if (path[0] != '\0') {
        RemoveDirectoryQuietly(path);
    }
}

}  // namespace

void FileManager::RemoveAtExit(std::string const& directory)
{
    if (directory.size() >= PATH_MAX) {
        return;  // no path the system takes; nothing is made under it
    }
    pthread_mutex_lock(&g_exitRemoval.mutex);
    std::memcpy(g_exitRemoval.path, directory.c_str(), directory.size() + 1);
    g_exitRemoval.owner.store(getpid());
    if (!g_exitRemoval.registered) {
        g_exitRemoval.registered = std::atexit(RemoveTemporaryDirectoryAtExit) == 0;
    }
    pthread_mutex_unlock(&g_exitRemoval.mutex);
}

void FileManager::KeepAtExit(std::string const& directory)
{
    pthread_mutex_lock(&g_exitRemoval.mutex);
    if (directory == g_exitRemoval.path) {
        g_exitRemoval.path[0] = '\0';
    }
    pthread_mutex_unlock(&g_exitRemoval.mutex);
}

int FileManager::LockTemporaryDirectory(std::string const& directory)
{
    int dirFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        return -1;
    }
    int const lockFd = LockFolder(dirFd);
    close(dirFd);
    return lockFd;
}

void FileManager::UnlockTemporaryDirectory(int lockFd)
{
    if (lockFd >= 0) {
        close(lockFd);
    }
}

void FileManager::RemoveAbandonedTemporaryDirectories(std::string const& root)
{
    DirStream stream(opendir(root.c_str()));
    if (!stream.dir) {
        return;
    }
    int const rootFd = dirfd(stream.dir);
    uid_t const user = geteuid();
    while (dirent* entry = readdir(stream.dir)) {
        struct stat info;
        if (!IsTemporaryDirectoryName(entry->d_name) ||
            fstatat(rootFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != user) {
            continue;
        }
        int const dirFd = openat(rootFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dirFd < 0) {
            continue;
        }
        int const lockFd = openat(dirFd, kLockFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat lock;
        // The lock is held while the folder goes, so no other sweep takes
        // it meanwhile. It must still be the folder's lock file: one that a
        // sweep or a manager holding it first has removed, with or without
        // its folder, leaves nothing to this sweep, and the name may by now
        // be a starting engine's new folder. A folder keeps its lock file
        // until the one holding it removes the folder, so the removal by
        // name below meets this folder.
        struct stat named;
        if (lockFd >= 0 && fstat(lockFd, &lock) == 0 && S_ISREG(lock.st_mode) && lock.st_uid == user &&
            flock(lockFd, LOCK_EX | LOCK_NB) == 0 && fstatat(dirFd, kLockFileName, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == lock.st_dev && named.st_ino == lock.st_ino && EmptyLockFileLast(dirFd)) {
            unlinkat(rootFd, entry->d_name, AT_REMOVEDIR);
        }
        if (lockFd >= 0) {
            close(lockFd);
        }
        close(dirFd);
    }
}

bool FileManager::ExistsDirectory(std::string const& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileManager::ExistsFile(std::string const& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void FileManager::CreateDirectory(std::string const& path, bool createParents)
{
    std::string const parent = Path::GetWithoutLastComponent(path);
    // An empty parent is the working folder; there is nothing above it to make.
    if (!parent.empty() && !ExistsDirectory(parent)) {
        if (!createParents) {
            VEXMOR_THROW(kOrigin, "CreateDirectory", Exception::FailedToOperateDirectory,
                         "failed to create directory \"" + path + "\" because parent directory dose NOT exist.");
        }
        CreateDirectory(parent, true);
    }
    if (mkdir(path.c_str(), 0777) != 0) {
        VEXMOR_THROW(kOrigin, "CreateDirectory", Exception::FailedToOperateDirectory,
                     "failed to create directory: " + path);
    }
}

void FileManager::RemoveDirectory(std::string const& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        VEXMOR_THROW(kOrigin, "RemoveDirectory", Exception::FailedToOperateDirectory,
                     "failed to remove directory because directory does NOT exist: " + path);
    }
    int dirFd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        ThrowRemoveFailed(path, "RemoveDirectory");
    }
    RemoveContents(dirFd, path, "RemoveDirectory");
    if (rmdir(path.c_str()) != 0) {
        ThrowRemoveFailed(path, "RemoveDirectory");
    }
}

std::vector<std::string> FileManager::GetFilePaths(std::string const& directory, bool recursive,
                                                   std::string const& extension)
{
    std::vector<std::string> paths;
    if (!Path::IsAbsolute(directory)) {
        return paths;
    }
    DirStream stream(opendir(directory.c_str()));
    if (!stream.dir) {
        return paths;
    }
    while (dirent* entry = readdir(stream.dir)) {
        if (IsRealDirectory(dirfd(stream.dir), entry)) {
            if (recursive && !IsDotOrDotDot(entry->d_name)) {
                std::vector<std::string> inner = GetFilePaths(directory + "/" + entry->d_name, true, extension);
                paths.insert(paths.begin(), inner.begin(), inner.end());
            }
            continue;
        }
        std::string const name = entry->d_name;
        size_t const dot = name.rfind('.');
        std::string const entryExtension = dot == std::string::npos ? name : name.substr(dot + 1);
        if (extension.empty() || extension == entryExtension) {
            paths.push_back(directory + "/" + name);
        }
    }
    return paths;
}

std::string FileManager::CreateTemporaryDirectory(std::string const& root)
{
    if (!ExistsDirectory(root)) {
        CreateDirectory(root, true);
    }
    for (int number = 1; number > 0 && number < INT_MAX; ++number) {
        char name[64];
        std::snprintf(name, sizeof name, "Vexmor.FileManager.Temporary.%010d", number);
        std::string const path = Path::Append(root, name);
        // mkdir never follows or reuses an existing entry: another owner's
        // folder, file or link of that name makes it fail with EEXIST.
        if (mkdir(path.c_str(), 0700) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            VEXMOR_THROW(kOrigin, "CreateTemporaryDirectory", Exception::FailedToOperateDirectory,
                         "failed to create directory: " + path);
        }
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
            VEXMOR_THROW(kOrigin, "CreateTemporaryDirectory", Exception::FailedToOperateDirectory,
                         "failed to create directory: " + path);
        }
        return path;
    }
    VEXMOR_THROW(kOrigin, "CreateTemporaryDirectory", Exception::FailedToOperateDirectory,
                 "failed to create directory under " + root);
}
