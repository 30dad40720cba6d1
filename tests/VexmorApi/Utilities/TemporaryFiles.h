// The temporary files a test may leave in the folder of the engine's
// temporary-file manager: everything there but the folder's lock file.
#pragma once

#include <string>
#include <vector>

#include "VexmorApi/Utilities/FileManager.h"
#include "VexmorApi/Utilities/Path.h"

inline std::vector<std::string> TemporaryFilesLeft()
{
    std::vector<std::string> files;
    std::string const folder = Singleton<FileManager>::GetInstance()->GetTemporaryDirectoryPath();
    for (std::string const& path : FileManager::GetFilePaths(folder, true)) {
        if (Path::GetLastComponent(path) != FileManager::kLockFileName) {
            files.push_back(path);
        }
    }
    return files;
}
