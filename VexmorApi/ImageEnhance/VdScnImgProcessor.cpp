// The image-library bridge: temporary BMP files around one run of the
// library's page processing object, one run at a time in the process.
#include "VexmorApi/ImageEnhance/VdScnImgProcessor.h"

#include <atomic>
#include <mutex>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/FileManager.h"
#include "VexmorApi/Utilities/OperationTrace.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr VSRSLT kNoProcessingObject = 0x2070200D;
constexpr VSRSLT kUnreadableResult = 0x10702001;
constexpr VSRSLT kMissingInputFile = 0xA070200C;
constexpr int kNothingToWrite = 11;

// Held for each whole run of the library's processing object, from its
// creation to its destruction: the library keeps process-wide state.
std::mutex g_ImageProcessingMutex;

std::unique_ptr<IVdScnImgProc> MakeLibraryObject() { return std::make_unique<CVdScnImgProc>(); }

std::atomic<VdScnImgProcessor::Factory> g_factory{&MakeLibraryObject};

// Removes a temporary file when it goes out of scope.
class TemporaryFile {
public:
    TemporaryFile() : path_(Singleton<FileManager>::GetInstance()->CreateTemporaryFilePath()) {}
    ~TemporaryFile() { VdScnImgProcessor::DeleteFile(path_); }
    TemporaryFile(TemporaryFile const&) = delete;
    TemporaryFile& operator=(TemporaryFile const&) = delete;
    std::string const& Path() const { return path_; }

private:
    std::string const path_;
};

// The page's colour type after conversion to colorType.
ImageInfo::ColorType ResultColorType(COLORTYPE colorType)
{
    switch (colorType) {
    case BLACKWHITE:
        return ImageInfo::BlackAndWhite;
    case ERRDIFFUSION:
        return ImageInfo::Gray;
    case TRUEGRAY:
    case COLOR256:
        return ImageInfo::TrueGray;
    default:
        return ImageInfo::Color;
    }
}

}  // namespace

std::unique_ptr<BitmapImage> VdScnImgProcessor::ColorConvert(std::unique_ptr<BitmapImage> page,
                                                             COLOR_CONVERT_PARAMETER const& parameter,
                                                             unsigned int& result)
{
    // No page returns without the exit line.
    OperationTrace const trace(g_ImageEnhanceLog, 1, "ColorConvert");
    trace.Enter();
    result = 0;
    if (!page) {
        return page;
    }
    ImageInfo const info = page->GetImageInfo();
    tagSIPSCNPARADT parameters =
        CreateSipScnParaDt(info.GetWidth(), info.GetHeight(), static_cast<unsigned char>(info.GetBitsPerPixel()));
    parameters.scanType = GetSipScTp(parameter.colorType);
    if (parameters.scanType == kSipScanMono) {
        parameters.threshold = parameter.value;
    }
    page = Process(std::move(page), false, parameters, nullptr, ResultColorType(parameter.colorType), result, true);
    trace.Leave();
    return page;
}

std::unique_ptr<BitmapImage> VdScnImgProcessor::FitToCorners(std::unique_ptr<BitmapImage> page,
                                                             IMAGEPROC_4CORNERS const& corners, unsigned int& result)
{
    result = 0;
    if (!page || (corners.points[3].x == 0 && corners.points[3].y == 0)) {
        return page;
    }
    OperationTrace const trace(g_ImageEnhanceLog, 1, "FitToCorners");
    trace.Enter();
    ImageInfo const info = page->GetImageInfo();
    tagSIPSCNPARADT parameters{};
    parameters.scanType = GetSipScTp(static_cast<unsigned char>(info.GetBitsPerPixel()));
    parameters.cornerFit = 1;
    parameters.deskew = corners.deskew ? 1 : 0;
    tagSIPPAPERCORNERS converted = ConvertCorners(corners, info.GetHeight());
    page = Process(std::move(page), false, parameters, &converted, info.GetColorType(), result, true);
    trace.Leave();
    return page;
}

IMAGEPROC_ORIENT_TYPE VdScnImgProcessor::DetectOrientation(std::unique_ptr<BitmapImage>& page, unsigned short language,
                                                           unsigned int& result)
{
    OperationTrace const trace(g_ImageEnhanceLog, 1, "DetectOrientation");
    trace.Enter();
    if (page) {
        ImageInfo const info = page->GetImageInfo();
        tagSIPSCNPARADT parameters =
            CreateSipScnParaDt(info.GetWidth(), info.GetHeight(), static_cast<unsigned char>(info.GetBitsPerPixel()));
        parameters.orientationReport = 1;
        parameters.language = language;
        parameters.threshold = -1;
        unsigned int code = 0;
        page = Process(std::move(page), true, parameters, nullptr, info.GetColorType(), code, false);
        result = code;
    }
    trace.LeaveResult(result);
    return orientation_;
}

std::unique_ptr<BitmapImage> VdScnImgProcessor::Process(std::unique_ptr<BitmapImage> page, bool invert,
                                                        tagSIPSCNPARADT& parameters, tagSIPPAPERCORNERS* corners,
                                                        ImageInfo::ColorType colorType, unsigned int& result,
                                                        bool readBack)
{
    TemporaryFile input;
    TemporaryFile output;
    try {
        page->WriteAsWinBmp(input.Path(), invert);
    } catch (Exception const& e) {
        g_ImageEnhanceLog.WriteLog(1, "Error: Cannot write the input image: %s", e.GetMessage().c_str());
    }
    if (!FileManager::ExistsFile(input.Path())) {
        result = kMissingInputFile;
        return page;
    }
    int const code = MultiImageProcessing(input.Path(), output.Path(), &parameters, corners);
    if (code != 0) {
        result = ToResult(code);
        if (code != kNothingToWrite) {
            g_ImageEnhanceLog.WriteLog(1, "Error: image processing failed, code = %d, ret[VSRSLT] = 0x%08X", code,
                                       result);
        }
        return page;
    }
    if (!readBack) {
        result = 0;
        return page;
    }
    try {
        auto converted = std::make_unique<BitmapImage>(output.Path(), colorType);
        result = 0;
        return converted;
    } catch (Exception const& e) {
        g_ImageEnhanceLog.WriteLog(1, "Error: Cannot read the processed image: %s", e.GetMessage().c_str());
        result = kUnreadableResult;
        return page;
    }
}

int VdScnImgProcessor::MultiImageProcessing(std::string const& inputPath, std::string const& outputPath,
                                            tagSIPSCNPARADT* parameters, tagSIPPAPERCORNERS* corners)
{
    std::lock_guard<std::mutex> lock(g_ImageProcessingMutex);
    std::unique_ptr<IVdScnImgProc> processor = g_factory.load()();
    if (!processor) {
        return static_cast<int>(kNoProcessingObject);
    }
    int code = processor->OpenScnImgProc(parameters, nullptr, nullptr, nullptr);
    if (code != 0) {
        return code;
    }
    code = processor->ExecScnImgProc(inputPath.c_str(), outputPath.c_str(), corners, nullptr);
    if (code == kNothingToWrite) {
        g_ImageEnhanceLog.WriteLog(2, "Auto rotate convert is unnecessary");
    }
    tagSIPRESULT analysis{};
    if (processor->GetScnImgProcResult(&analysis) != 0) {
        g_ImageEnhanceLog.WriteLog(1, "Error: Cannnot get analysis result");
        return static_cast<int>(kUnreadableResult);
    }
    orientation_ = ConvertOrientation(static_cast<_SIPANALYZEDPAGEORIENTATION>(analysis.orientation));
    return code;
}

tagSIPSCNPARADT VdScnImgProcessor::CreateSipScnParaDt(unsigned int width, unsigned int height,
                                                      unsigned char bitsPerPixel)
{
    tagSIPSCNPARADT parameters{};
    parameters.scanType = GetSipScTp(bitsPerPixel);
    parameters.width = static_cast<int32_t>(width);
    parameters.height = static_cast<int32_t>(height);
    return parameters;
}

_SIPSCNTYPE VdScnImgProcessor::GetSipScTp(unsigned char bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return kSipScanMono;
    case 8:
        return kSipScanTrueGray;
    default:
        return kSipScanColor;
    }
}

_SIPSCNTYPE VdScnImgProcessor::GetSipScTp(COLORTYPE colorType)
{
    switch (colorType) {
    case AUTOCOLOR:
        return kSipScanAutoColor;
    case BLACKWHITE:
        return kSipScanMono;
    case ERRDIFFUSION:
        return kSipScanErrorDiffusion;
    case TRUEGRAY:
        return kSipScanTrueGray;
    default:
        return kSipScanColor;
    }
}

tagSIPPAPERCORNERS VdScnImgProcessor::ConvertCorners(IMAGEPROC_4CORNERS const& corners, unsigned int height)
{
    // y counted from the bottom; height - y as the device's corners are
    // given, not height - 1 - y.
    auto const flip = [height](AXIS_SIGNED const& p) {
        return tagSIPPOINT{p.x, static_cast<int32_t>(int64_t{height} - p.y)};
    };
    return tagSIPPAPERCORNERS{flip(corners.points[2]), flip(corners.points[3]), flip(corners.points[0]),
                              flip(corners.points[1])};
}

IMAGEPROC_ORIENT_TYPE VdScnImgProcessor::ConvertOrientation(_SIPANALYZEDPAGEORIENTATION orientation)
{
    switch (orientation) {
    case kSipOrientation90:
        return IMAGEPROC_ORIENT_270;
    case kSipOrientation180:
        return IMAGEPROC_ORIENT_180;
    case kSipOrientation270:
        return IMAGEPROC_ORIENT_90;
    default:
        return IMAGEPROC_ORIENT_NONE;
    }
}

VSRSLT VdScnImgProcessor::ToResult(int code)
{
    uint32_t const value = static_cast<uint32_t>(code);
    if (value == 0 || value == kNothingToWrite) {
        return 0;
    }
    if ((value & ~0xFFFu) != 0) {
        // Already a result code (the bridge's own).
        return value;
    }
    switch (value) {
    case 2:
        return 0x30702002;
    case 3:
        return 0xB0702003;
    case 4:
        return 0x10702004;
    case 5:
        return 0x10702005;
    case 6:
        return 0xA0702006;
    case 7:
        return 0x80702007;
    case 10:
        return 0x8070200A;
    default:
        return 0x10702000 + value;
    }
}

void VdScnImgProcessor::DeleteFile(std::string const& path)
{
    try {
        if (FileManager::ExistsFile(path)) {
            FileManager::RemoveFile(path);
        }
    } catch (Exception const& e) {
        g_ImageEnhanceLog.WriteLog(1, "Error: Cannot remove %s: %s", path.c_str(), e.GetMessage().c_str());
    }
}

VdScnImgProcessor::Factory VdScnImgProcessor::SetProcessingObjectFactory(Factory factory)
{
    return g_factory.exchange(factory != nullptr ? factory : &MakeLibraryObject);
}

}  // namespace vscore
