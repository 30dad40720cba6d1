// File creation and removal, and the temporary-file names of the manager.
#include "VexmorApi/Utilities/FileManager.h"

#include <cstdio>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/File.h"
#include "VexmorApi/Utilities/Path.h"

namespace {
constexpr char kOrigin[] = "VexmorApi/Utilities/FileManager";
}  // namespace

FileManager::FileManager()
{
    std::string const root = Path::GetTempDirectoryPath();
    RemoveAbandonedTemporaryDirectories(root);
    temporaryDirectory_ = CreateTemporaryDirectory(root);
    lockFd_ = LockTemporaryDirectory(temporaryDirectory_);
    RemoveAtExit(temporaryDirectory_);
}

FileManager::~FileManager()
{
    KeepAtExit(temporaryDirectory_);
    try {
        if (ExistsDirectory(temporaryDirectory_)) {
            RemoveDirectory(temporaryDirectory_);
        }
    } catch (...) {
    }
    UnlockTemporaryDirectory(lockFd_);
}

std::string FileManager::CreateTemporaryFilePath()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++counter_;
    char name[32];
    std::snprintf(name, sizeof name, "%010d.tmp", counter_);
    std::string const path = Path::Append(temporaryDirectory_, name);
    if (ExistsFile(path)) {
        RemoveFile(path);
    }
    return path;
}

void FileManager::CreateFile(std::string const& path, unsigned long size, unsigned char const* data)
{
    if (ExistsDirectory(path)) {
        VEXMOR_THROW(kOrigin, "CreateFile", Exception::FailedToOperateFile,
                     "failed to create file because same name directory already exist: " + path);
    }
    File file(path);
    file.Remove();
    file.WriteBinary(size, data);
    if (!file.Exists()) {
        VEXMOR_THROW(kOrigin, "CreateFile", Exception::FailedToOperateFile, "failed to create file: " + path);
    }
}

void FileManager::RemoveFile(std::string const& path)
{
    if (ExistsDirectory(path)) {
        VEXMOR_THROW(kOrigin, "RemoveFile", Exception::FailedToOperateFile,
                     "failed to remove file because same name directory already exist: " + path);
    }
    if (!File(path).Remove()) {
        VEXMOR_THROW(kOrigin, "RemoveFile", Exception::FailedToOperateFile, "failed to remove file: " + path);
    }
}

std::vector<std::string> FileManager::GetFilePaths(std::string const& directory, bool recursive)
{
    return GetFilePaths(directory, recursive, "");
}

void FileManager::RemoveFiles(std::string const& directory, bool recursive) { RemoveFiles(directory, recursive, ""); }

void FileManager::RemoveFiles(std::string const& directory, bool recursive, std::string const& extension)
{
    for (std::string const& path : GetFilePaths(directory, recursive, extension)) {
        RemoveFile(path);
    }
}
