// Folder operations of the file manager over POSIX: existence, creation,
// link-safe recursive removal, listing and the private temporary folder.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

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

}  // namespace

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
