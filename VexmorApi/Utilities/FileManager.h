// Folder and file operations of the engine, and the process-wide manager of
// its private temporary folder and numbered temporary file names.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "VexmorApi/Utilities/Singleton.h"

class FileManager : private Singleton<FileManager> {
    friend class Singleton<FileManager>;

public:
    // The path exists (following links) and is a directory.
    static bool ExistsDirectory(std::string const& path);
    // The path exists (following links) and is not a directory.
    static bool ExistsFile(std::string const& path);
    // Makes the directory (mode 0777 before the umask); with createParents
    // also its missing parents. Throws FailedToOperateDirectory.
    static void CreateDirectory(std::string const& path, bool createParents);
    // Removes the directory and everything in it. Symbolic links inside are
    // removed, never followed; a link given as path is not a directory here.
    // Throws FailedToOperateDirectory; failed unlinks of entries are ignored.
    static void RemoveDirectory(std::string const& path);
    // A new file holding exactly the size bytes at data (an existing file is
    // replaced). Throws FailedToOperateFile.
    static void CreateFile(std::string const& path, unsigned long size, unsigned char const* data);
    // Throws FailedToOperateFile for a directory, a missing file or a failure.
    static void RemoveFile(std::string const& path);
    // The files of an absolute directory (a relative or unreadable one gives
    // none), with the files of sub-directories in front when recursive; the
    // extension filter compares the text after the last "." exactly.
    static std::vector<std::string> GetFilePaths(std::string const& directory, bool recursive);
    static std::vector<std::string> GetFilePaths(std::string const& directory, bool recursive,
                                                 std::string const& extension);
    // RemoveFile on every path GetFilePaths gives.
    static void RemoveFiles(std::string const& directory, bool recursive);
    static void RemoveFiles(std::string const& directory, bool recursive, std::string const& extension);

    // Makes a fresh folder "Vexmor.FileManager.Temporary.%010d" under root
    // with mode 0700, taking the first number whose name is free; an existing
    // entry of that name is never reused. Returns its path.
    static std::string CreateTemporaryDirectory(std::string const& root);

    // The path of the next temporary file in the manager's folder,
    // "%010d.tmp" by a counter (a stale file of that name is removed). The
    // file is not created. Any thread may call it; no two calls get the same name.
    std::string CreateTemporaryFilePath();
    // The manager's temporary folder.
    std::string GetTemporaryDirectoryPath() const { return temporaryDirectory_; }

private:
    // Makes the temporary folder under Path::GetTempDirectoryPath().
    FileManager();
    // Removes the temporary folder with its contents; never throws.
    ~FileManager() override;

    std::mutex mutex_;
    std::string const temporaryDirectory_;
    int counter_ = 0;  // guarded by mutex_
};
