// The scheduler's results and the texts it writes to its log.
#include "VexmorApi/ImageProcessor/ImageProcessor.h"

#include "VexmorApi/Utilities/Formatter.h"

namespace {

std::string Grouped(unsigned bytes) { return Formatter::ToCommaSeparatedNumber(static_cast<long>(bytes), 3); }

std::string SizeText(unsigned memory, unsigned file)
{
    return "{ Memory: " + Grouped(memory) + " bytes, File: " + Grouped(file) + " bytes }";
}

}  // namespace

std::shared_ptr<ImageProcessor::Result> ImageProcessor::Result::CreateSuccessResult(std::shared_ptr<Page> page)
{
    return std::make_shared<Result>(Success, std::move(page));
}

std::shared_ptr<ImageProcessor::Result> ImageProcessor::Result::CreateCancelResult()
{
    return std::make_shared<Result>(Cancel, nullptr);
}

std::string ImageProcessor::Result::GetDescription() const
{
    return "{ type: " + GetTypeString() + ", page: " + GetPageString() + " }";
}

std::string ImageProcessor::Result::GetTypeString() const
{
    switch (type_) {
    case Success:
        return "Success";
    case Cancel:
        return "Cancel";
    }
    return "Unknown";
}

std::string ImageProcessor::Result::GetPageString() const
{
    if (!page_) {
        return "Null";
    }
    return "{ No: " + std::to_string(page_->GetPageNo()) +
           ", Image: " + SizeText(page_->GetImageSizeOnMemory(), page_->GetImageSizeOnFile()) + " }";
}

std::string ImageProcessor::CreateProcessStateString(std::string const& name,
                                                     std::vector<unsigned short> const& numbers)
{
    if (numbers.empty()) {
        return name + " is not executing.";
    }
    std::string text = name + " ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(numbers[i]);
    }
    return text + " is executing.";
}

std::string ImageProcessor::CreateFinishedImageSizeString(ImageSizes const& sizes)
{
    std::string text = "Finished Image Size: ";
    if (sizes.empty()) {
        return text + "None";
    }
    text += "{\n";
    for (auto const& [pageNo, size] : sizes) {
        text += "    Page No: " + std::to_string(pageNo) + ", Image Size: " + SizeText(size.first, size.second) + "\n";
    }
    return text + "}";
}
