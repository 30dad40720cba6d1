// The per-page scheduler's interface: pages of one scan go in with their
// decode and enhancement parameters, and each page's result comes out by
// page number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "VexmorApi/Pages/Page.h"
#include "VexmorApi/Tasks/DecodeParameter.h"
#include "VexmorApi/Temp/ImageProcParam.h"

class ImageProcessor {
public:
    // The outcome of one page: a copyable value, handed out in a shared
    // pointer that the caller may keep.
    class Result {
    public:
        enum Type : int32_t { Success = 0, Cancel = 1 };

        Result(Type type, std::shared_ptr<Page> page) : type_(type), page_(std::move(page)) {}
        virtual ~Result() = default;
        Result(Result const&) = default;
        Result& operator=(Result const&) = default;
        Result(Result&&) = default;
        Result& operator=(Result&&) = default;

        // {Success, page}; {Cancel, no page}.
        static std::shared_ptr<Result> CreateSuccessResult(std::shared_ptr<Page> page);
        static std::shared_ptr<Result> CreateCancelResult();

        Type GetType() const { return type_; }
        // May be empty.
        std::shared_ptr<Page> GetPage() const { return page_; }
        // "{ type: " + GetTypeString() + ", page: " + GetPageString() + " }".
        std::string GetDescription() const;
        // "Success", "Cancel", "Unknown" for any other value.
        std::string GetTypeString() const;
        // "Null", else "{ No: 1, Image: { Memory: 1,024 bytes, File: 0 bytes } }".
        std::string GetPageString() const;

    private:
        Type type_;
        std::shared_ptr<Page> page_;
    };

    // Bytes in memory and on file of a finished page's image, by page number.
    using ImageSizes = std::map<unsigned short, std::pair<unsigned, unsigned>>;

    virtual ~ImageProcessor() = default;

    virtual void AddPage(std::shared_ptr<Page> page, DecodeParameter const& decodeParameter,
                         vscore::_IMAGEPROC_PARAM const& imageProcParam, unsigned short resolution) = 0;
    virtual size_t GetAddedPageCount() = 0;
    virtual void WaitUntilProcessIsFinished(unsigned short pageNo) = 0;
    virtual void WaitUntilAllProcessesAreFinished() = 0;
    virtual void CancelAllProcesses() = 0;
    // Cancels every page, waits for their threads and lets go of every page
    // the processor holds (device data, images, their temporary files); the
    // pages' results read Cancel from then on and the counts stay. For a
    // scan whose remaining pages nobody will take.
    virtual void DropAllPages() = 0;
    virtual std::shared_ptr<Result> GetResult(unsigned short pageNo) = 0;
    virtual size_t GetResultCount() = 0;
    virtual bool IsFinishedProcess(unsigned short pageNo) = 0;
    virtual bool IsAllProcessesAreFinished() = 0;
    virtual bool IsExistProcess(unsigned short pageNo) = 0;
    virtual bool IsExecutingProcess(unsigned short pageNo) = 0;

    // name + " is not executing." without numbers, else name, " ", the
    // numbers joined by ", " and " is executing.".
    static std::string CreateProcessStateString(std::string const& name, std::vector<unsigned short> const& numbers);
    // "Finished Image Size: None", or "Finished Image Size: {\n", one line
    // per page ("    Page No: 1, Image Size: { Memory: 1,024 bytes, File: 0
    // bytes }\n") and "}".
    static std::string CreateFinishedImageSizeString(ImageSizes const& sizes);
};
