// Part of the engine library alone: when the library is loaded (the start of
// an engine in a front end), the temporary folders that engines of processes
// now gone (killed, crashed) left with the user's pages are removed. Folders
// of running engines stay: their lock is held.
#include "VexmorApi/Utilities/FileManager.h"
#include "VexmorApi/Utilities/Path.h"

namespace {

struct SweepAtLoad {
    SweepAtLoad()
    {
        try {
            FileManager::RemoveAbandonedTemporaryDirectories(Path::GetTempDirectoryPath());
        } catch (...) {
            // Nothing of the engine depends on it; the next start tries again.
        }
    }
};

SweepAtLoad const g_sweepAtLoad;

}  // namespace
