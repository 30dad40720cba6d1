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
    // The lock file in each temporary folder of a manager: locked (flock)
    // from the moment it has this name until the manager or its process
    // ends, so a folder whose lock file can be locked belongs to no one.
    static constexpr char kLockFileName[] = ".lock";
    // Removes the temporary folders under root that a manager of a process
    // now gone left behind (the process was killed or crashed, or its exit
    // came while its threads wrote): real folders of that name, of this
    // user, whose lock file is there and not locked, the lock file last. A
    // folder without a lock file, and any folder whose lock is held, in this
    // process or another, stays. Never throws; any thread.
    static void RemoveAbandonedTemporaryDirectories(std::string const& root);

    // The path of the next temporary file in the manager's folder,
    // "%010d.tmp" by a counter (a stale file of that name is removed). The
    // file is not created. Any thread may call it; no two calls get the same name.
    std::string CreateTemporaryFilePath();
    // The manager's temporary folder.
    std::string GetTemporaryDirectoryPath() const { return temporaryDirectory_; }

private:
    // Clears away what managers of ended processes left under
    // Path::GetTempDirectoryPath(), makes the temporary folder there and
    // locks it. A normal exit of the process that made it (not of a forked
    // child) removes the folder when the manager has not: the process-exit
    // hook, registered once per process. A folder the hook cannot remove
    // keeps a lock file, locked until the process has ended.
    FileManager();
    // Removes the temporary folder with its contents; never throws.
    ~FileManager() override;

    // The folder's lock file, made under a name of its own, locked and only
    // then given kLockFileName; its descriptor, or -1 where that fails (the
    // file system cannot lock: the folder then has no lock file and is never
    // swept). Never throws.
    static int LockTemporaryDirectory(std::string const& directory);
    static void UnlockTemporaryDirectory(int lockFd);
    // The folder the exit hook removes (this process's), and no longer.
    static void RemoveAtExit(std::string const& directory);
    static void KeepAtExit(std::string const& directory);

    std::mutex mutex_;
    std::string temporaryDirectory_;  // set by the constructor only
    int lockFd_ = -1;                 // the folder's lock file, held for the manager's life
    int counter_ = 0;                 // guarded by mutex_
};
