// Naming of the files of the image-file writers and the record of the files
// they completed.
#include "diagnostics/FileFormatBase.h"

#include <algorithm>
#include <cstring>
#include <new>

FileFormatBase::FileFormatBase(std::string baseName) : baseName_(std::move(baseName)) {}

FileFormatBase::~FileFormatBase()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (char* block : fileList_) {
        delete[] block;
    }
    fileList_.clear();
}

bool FileFormatBase::Save(vdtcl::CTImgDataInfo const& image, bool lastPage, bool numberedNames)
{
    // The count changes only in this writer's own completion call, on the
    // thread that saves, so it is read here without the lock.
    std::string const name = numberedNames ? GetFileName(savedFileCount_ + 1) : baseName_;
    if (name.size() >= kNameBlockSize) {
        return false;
    }
    Completion const done = [this, name] { AddCompletedName(name); };
    return SaveToFile(image, name, lastPage, done);
}

uint32_t FileFormatBase::GetSavedFileCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return savedFileCount_;
}

std::string FileFormatBase::GetFileName(uint32_t number) const
{
    std::string const extension = GetFileExtension();
    if (extension.empty()) {
        return "";
    }
    return baseName_ + std::to_string(number) + extension;
}

// Count and list change together or not at all.
void FileFormatBase::AddCompletedName(std::string const& name)
{
    char* block = new (std::nothrow) char[kNameBlockSize]();
    if (block == nullptr) {
        return;
    }
    std::memcpy(block, name.data(), std::min(name.size(), kNameBlockSize - 1));
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        fileList_.push_back(block);
    } catch (std::bad_alloc const&) {
        delete[] block;
        return;
    }
    ++savedFileCount_;
}
