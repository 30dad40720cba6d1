// Base of the image-file writers: the base name of the files, how the name
// of each file is chosen, and the count and names of the completed files.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "vdtcl/CTImgDataInfo.h"

class FileFormatBase {
public:
    // Called by a writer once a file is complete; records its name.
    using Completion = std::function<void()>;
    // Bytes of one completed-name block, the terminating zero included.
    static constexpr size_t kNameBlockSize = 256;

    // baseName is the folder and file name joined.
    explicit FileFormatBase(std::string baseName);
    // Frees the completed-name blocks.
    virtual ~FileFormatBase();
    FileFormatBase(FileFormatBase const&) = delete;
    FileFormatBase& operator=(FileFormatBase const&) = delete;

    // Encodes the image into the file name; calls done once a file is
    // complete. The image stays the caller's.
    virtual bool SaveToFile(vdtcl::CTImgDataInfo const& image, std::string const& name, bool lastPage,
                            Completion const& done) = 0;
    // Ends what a writer still holds open; true unless a writer says else.
    virtual bool FinishSavingToFile() { return true; }
    // The extension with its dot; empty for a writer that writes nothing.
    virtual std::string GetFileExtension() const = 0;

    // Saves one page under the next numbered name or the base name. A name
    // that does not fit a name block is refused: false, nothing written.
    // One thread of pages at a time.
    bool Save(vdtcl::CTImgDataInfo const& image, bool lastPage, bool numberedNames);
    bool Finish() { return FinishSavingToFile(); }
    // Any thread may read the count.
    uint32_t GetSavedFileCount() const;
    // The live list of completed names (zero-terminated blocks owned by the
    // writer); valid while the writer lives, grown by each completed file,
    // so read it on the thread that saves.
    std::vector<char*> const& GetFileList() const { return fileList_; }
    std::string GetFileName() const { return baseName_; }
    // The base name, the number in decimal and the extension; empty when
    // the writer has no extension.
    std::string GetFileName(uint32_t number) const;

private:
    void AddCompletedName(std::string const& name);

    std::string const baseName_;
    mutable std::mutex mutex_;
    uint32_t savedFileCount_ = 0;  // guarded by mutex_
    std::vector<char*> fileList_;  // guarded by mutex_; blocks of kNameBlockSize bytes
};
