// The page processing object: the steps of one page run, the move of an
// intermediate output into the input, and the two-pages-to-one and
// one-page-to-two operations.
#include "imagelib/VdScnImgProc.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

#include "imagelib/VdSipImgDataWinBmp.h"

namespace {

constexpr double kPixelsPerMetrePerDpi = 39.4;
// The largest page the show-through canceller takes.
constexpr int32_t kShowThroughMaxWidth = 15000;
constexpr int32_t kShowThroughMaxHeight = 65535;
constexpr size_t kOrientationFlagBytes = 64;

// Defaults for a job that gives no settings: cells of 64 pixels at 300 dpi,
// the level window and background tolerance of the detection entry point.
// clang-format off
constexpr tagSIPDETECTBLANKSETTING kDefaultBlank{
    300, 64, 64, 2,
    9000, 9970, 9970,
    9000, 9970, 9970,
    48};
constexpr tagSIPDETECTCOLORTYPESETTING kDefaultColor{
    300, 64, 64, 2,
    9700, 9700,
    112, 143,  // chroma low, high
    112, 143,
    63, 224,   // gray low, high
    4000, 20, 150,
    12};
// clang-format on

int32_t Clamp32(int64_t value)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool AnyCoordinate(const tagSIPPAPERCORNERS& c)
{
    for (const tagSIPPOINT& p : {c.topLeft, c.topRight, c.bottomLeft, c.bottomRight}) {
        if (p.x != 0 || p.y != 0) {
            return true;
        }
    }
    return false;
}

tagSIPPAPERCORNERS WholeImage(const tagSIPIMAGEINFO& info)
{
    const int32_t right = info.width - 1, bottom = info.height - 1;
    return tagSIPPAPERCORNERS{{0, 0}, {right, 0}, {0, bottom}, {right, bottom}};
}

tagSIPRECT BoundingRect(const tagSIPPAPERCORNERS& c)
{
    const tagSIPPOINT points[] = {c.topLeft, c.topRight, c.bottomLeft, c.bottomRight};
    tagSIPRECT rect{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const tagSIPPOINT& p : points) {
        rect.left = std::min(rect.left, p.x);
        rect.right = std::max(rect.right, p.x);
        rect.top = std::min(rect.top, p.y);
        rect.bottom = std::max(rect.bottom, p.y);
    }
    return rect;
}

// The detector's answer (0 upright, 1 clockwise, 2 half, 3 counter-clockwise)
// as the page's orientation; anything else, the preset -1 included, is
// undetermined.
int32_t PageOrientation(int32_t detected)
{
    switch (detected) {
    case 0:
        return kSipOrientationUpright;
    case 1:
        return kSipOrientation180;
    case 2:
        return kSipOrientation270;
    case 3:
        return kSipOrientation90;
    default:
        return kSipOrientationUndetermined;
    }
}

// The depth a scan type asks for: 0 for an unknown type.
int32_t OutputBits(int32_t scanType, int32_t inputBits, int32_t component)
{
    switch (scanType) {
    case kSipScanMono:
        return 1;
    case kSipScanErrorDiffusion:
        return inputBits == 1 ? 1 : 8;
    case kSipScanTrueGray:
        return 8;
    case kSipScanColor:
        return 24;
    case kSipScanAutoColor:
        return component == kSipComponentMono ? 1 : component == kSipComponentGray ? 8 : 24;
    default:
        return 0;
    }
}

// "<folder>/<name>" of entry i; false for a missing folder or name.
bool ListPath(const tagSIPPROCFILELIST& list, int64_t i, std::string* path)
{
    if (list.folder == nullptr || list.names == nullptr || list.names[i] == nullptr) {
        return false;
    }
    *path = std::string(list.folder) + "/" + list.names[i];
    return true;
}

bool ValidList(const tagSIPPROCFILELIST* list)
{
    return list != nullptr && list->count >= 0 && (list->count == 0 || list->names != nullptr);
}

}  // namespace

CVdScnImgProc::CVdScnImgProc() : CVdScnImgProc(nullptr, nullptr) {}

CVdScnImgProc::CVdScnImgProc(const NsOrientationCalls* orientation, const RlStcCalls* showThrough)
    : m_showThrough(showThrough), m_orientation(orientation)
{
}

CVdScnImgProc::~CVdScnImgProc()
{
    if (m_open) {
        CloseScnImgProc();
    }
    DeleteImagesAndTmpFile();
}

IVdSipImgData* CVdScnImgProc::CreateSipImgData() { return new (std::nothrow) CVdSipImgDataWinBmp; }

int32_t CVdScnImgProc::OpenScnImgProc(tagSIPSCNPARADT* parameters, tagSIPRLSTCSETTING* showThrough,
                                      tagSIPDETECTBLANKSETTING* blank, tagSIPDETECTCOLORTYPESETTING* color)
{
    if (parameters == nullptr) {
        return Keep(kSipBadArgument);
    }
    if (m_open) {
        return Keep(kSipAlreadyOpened);
    }
    m_param = *parameters;
    m_open = true;
    if (m_param.showThrough != 0) {
        if (showThrough != nullptr) {
            m_showThrough.InitRlStc(showThrough->automatic != 0, Clamp32(showThrough->manual1),
                                    Clamp32(showThrough->manual2), Clamp32(showThrough->manual3),
                                    Clamp32(showThrough->strength1), Clamp32(showThrough->strength2));
        } else {
            m_showThrough.InitRlStc(true, 0, 0, 0, 5000, 1000);
        }
    }
    if (m_param.orientationReport != 0 || m_param.autoRotate != 0) {
        m_orientation.InitNsOrientation(m_param.language);
    }
    if (m_param.componentAnalysis != 0 || m_param.scanType == kSipScanAutoColor) {
        m_blank = blank != nullptr ? *blank : kDefaultBlank;
        m_color = color != nullptr ? *color : kDefaultColor;
    }
    m_conv.SetBinarizationThreshold(m_param.threshold);
    return Keep(kSipOk);
}

int32_t CVdScnImgProc::GetScnImgProcResult(tagSIPRESULT* result)
{
    if (result == nullptr) {
        return Keep(kSipBadArgument);
    }
    if (!m_open) {
        return Keep(kSipNotOpened);
    }
    *result = m_result;
    return Keep(kSipOk);
}

int32_t CVdScnImgProc::CloseScnImgProc()
{
    m_param = tagSIPSCNPARADT{};
    m_result = tagSIPRESULT{};
    DeleteImagesAndTmpFile();
    m_open = false;
    m_orientation.TermNsOrientation();
    return Keep(kSipOk);
}

void CVdScnImgProc::DeleteImagesAndTmpFile()
{
    m_input.reset();
    m_output.reset();
    if (!m_tmpPath.empty()) {
        std::remove(m_tmpPath.c_str());
        m_tmpPath.clear();
    }
}

int32_t CVdScnImgProc::ExecScnImgProc(const char* inputPath, const char* outputPath, tagSIPPAPERCORNERS* corners,
                                      tagSIPIMAGEINFO* inputInfo)
{
    // Both images and the temporary file go on every exit.
    struct Cleanup {
        CVdScnImgProc* self;
        ~Cleanup() { self->DeleteImagesAndTmpFile(); }
    } cleanup{this};
    int32_t code;
    try {
        code = RunPage(inputPath, outputPath, corners, inputInfo);
    } catch (const std::bad_alloc&) {
        code = kSipNoMemory;
    }
    return Keep(code);
}

int32_t CVdScnImgProc::RunPage(const char* inputPath, const char* outputPath, const tagSIPPAPERCORNERS* corners,
                               tagSIPIMAGEINFO* inputInfo)
{
    if (inputPath == nullptr || outputPath == nullptr) {
        return kSipBadArgument;
    }
    if (!m_open) {
        return kSipNotOpened;
    }
    m_result = tagSIPRESULT{};
    if (m_input || m_output) {
        return kSipImageExists;
    }
    if (const int32_t code = NewImage(&m_input, inputPath, inputInfo, true); code != kSipOk) {
        return code;
    }
    tagSIPIMAGEINFO input{};
    if (const int32_t code = m_input->GetImageInfo(&input); code != kSipOk) {
        return code;
    }
    if (input.width <= 0 || input.height <= 0) {
        return kSipBadArgument;
    }

    if (m_param.showThrough != 0) {
        if (const int32_t code = RemoveShowThrough(outputPath, input); code != kSipOk) {
            return code;
        }
    }

    const bool cornersGiven = corners != nullptr && AnyCoordinate(*corners);
    tagSIPPAPERCORNERS paper = cornersGiven ? *corners : WholeImage(input);

    const bool autoColor = m_param.scanType == kSipScanAutoColor;
    if (m_param.componentAnalysis != 0 || autoColor) {
        const int32_t mode = m_param.componentAnalysis == 0 ? kSipAnalyzeColor
                             : autoColor                    ? kSipAnalyzeBlankAndColor
                                                            : kSipAnalyzeBlank;
        if (const int32_t code =
                m_ana.AnalyzeComponent(m_input.get(), mode, &m_result.component, &paper, &m_blank, &m_color);
            code != kSipOk) {
            return code;
        }
        if (m_result.component == kSipComponentBlank) {
            return kSipOk;
        }
    }
    if (m_param.deskew != 0) {
        m_ana.AnalyzePaperCorners(&paper, &m_result.skew);
    }
    if (m_param.orientationReport != 0 || m_param.autoRotate != 0) {
        if (const int32_t code = DetectOrientation(input); code != kSipOk) {
            return code;
        }
    }

    const int32_t angle = AdjustParamForRotate(&paper);
    tagSIPIMAGEINFO output{};
    if (const int32_t code = SetOutSipImageInfo(input, paper, cornersGiven, angle, &output); code != kSipOk) {
        return code;
    }
    if (const int32_t code = ConvertPage(outputPath, input, output, paper, cornersGiven, angle); code != kSipOk) {
        return code;
    }
    if (m_param.scanType == kSipScanErrorDiffusion && output.bitsPerPixel == 8) {
        if (const int32_t code = DiffusePage(outputPath); code != kSipOk) {
            return code;
        }
    }

    if (m_output) {
        return SaveOutput(m_output.get());
    }
    // A show-through result is the input now, carrying the output path.
    if (m_result.showThroughRemoved != 0) {
        return SaveOutput(m_input.get());
    }
    return kSipNothingToWrite;
}

int32_t CVdScnImgProc::NewImage(Image* image, const char* path, const tagSIPIMAGEINFO* info, bool reading)
{
    image->reset(CreateSipImgData());
    if (!*image) {
        return kSipNoMemory;
    }
    tagSIPIMAGEINFO copy{};
    tagSIPIMAGEINFO* description = nullptr;
    if (info != nullptr) {
        copy = *info;
        description = &copy;
    }
    const int32_t code =
        reading ? (*image)->InitializeWithFile(path, description) : (*image)->InitializeToFile(path, description);
    if (code != kSipOk) {
        image->reset();
    }
    return code;
}

// An image in memory is written now; one written row by row already is.
int32_t CVdScnImgProc::SaveOutput(IVdSipImgData* image)
{
    return image->IsAvailablePageAccess() ? image->SaveImgData() : kSipOk;
}

int32_t CVdScnImgProc::RemoveShowThrough(const char* outputPath, const tagSIPIMAGEINFO& input)
{
    if (const int32_t code = NewImage(&m_output, outputPath, &input, false); code != kSipOk) {
        return code;
    }
    const bool fits = input.width <= kShowThroughMaxWidth && input.height <= kShowThroughMaxHeight &&
                      (input.bitsPerPixel == 24 || input.bitsPerPixel == 8) &&
                      (input.rgbOrder == kSipOrderBgr || input.rgbOrder == kSipOrderRgb);
    if (fits) {
        const auto stride = static_cast<int32_t>(SipStride(static_cast<uint64_t>(input.width), input.bitsPerPixel));
        const int32_t answer = m_showThrough.GetSTCImage(input.width, input.height, input.bitsPerPixel == 8 ? 1 : 0,
                                                         input.rgbOrder == kSipOrderBgr ? 1 : 0, stride,
                                                         m_input->GetImageDataPtr(), m_output->GetImageDataPtr());
        if (answer == 1) {
            m_result.showThroughRemoved = 1;
            return ShiftImgDataPtrFromDstToSrcAndDeletePrev(outputPath);
        }
    }
    m_result.showThroughRemoved = 0;
    m_output.reset();
    return kSipOk;
}

// The detector reads a 1-bit image whose zero is white.
int32_t CVdScnImgProc::DetectOrientation(const tagSIPIMAGEINFO& input)
{
    IVdSipImgData* image = m_input.get();
    Image made;
    if (input.bitsPerPixel != 1 || input.zeroIsWhite == 0) {
        tagSIPIMAGEINFO info = input;
        info.bitsPerPixel = 1;
        info.zeroIsWhite = 1;
        made.reset(new (std::nothrow) CVdSipImgDataWinBmp);
        if (!made) {
            return kSipNoMemory;
        }
        if (const int32_t code = made->InitializeToFile(nullptr, &info); code != kSipOk) {
            return code;
        }
        if (input.bitsPerPixel == 1) {
            const uint8_t* source = m_input->GetImageDataPtr();
            uint8_t* destination = made->GetImageDataPtr();
            if (source == nullptr || destination == nullptr) {
                return kSipNoMemory;
            }
            const uint64_t size =
                SipStride(static_cast<uint64_t>(input.width), 1) * static_cast<uint64_t>(input.height);
            for (uint64_t i = 0; i < size; ++i) {
                destination[i] = static_cast<uint8_t>(~source[i]);
            }
        } else if (m_conv.ConvertColorType(m_input.get(), m_param.scanType, made.get()) != kSipOk) {
            return kSipNoMemory;
        }
        image = made.get();
    }
    const uint8_t* pixels = image->GetImageDataPtr();
    if (pixels == nullptr) {
        return kSipNoMemory;
    }
    const auto stride = SipStride(static_cast<uint64_t>(input.width), 1);
    int32_t detected = -1;
    unsigned char flags[kOrientationFlagBytes] = {};
    m_orientation.GetDocumentOrientation(pixels, input.width, input.height, Clamp32(static_cast<int64_t>(stride)),
                                         static_cast<int32_t>(input.xResolution / kPixelsPerMetrePerDpi), &detected,
                                         flags);
    m_result.orientation = PageOrientation(detected);
    return kSipOk;
}

// Squares up an unskewed page's corners and, for a page to be turned
// upright, renumbers them from its top-left as read; the rotation angle.
int32_t CVdScnImgProc::AdjustParamForRotate(tagSIPPAPERCORNERS* c) const
{
    if (m_result.skew == 0) {
        c->topLeft.x = c->bottomLeft.x = std::min(c->topLeft.x, c->bottomLeft.x);
        c->topRight.x = c->bottomRight.x = std::max(c->topRight.x, c->bottomRight.x);
        c->topLeft.y = c->topRight.y = std::min(c->topLeft.y, c->topRight.y);
        c->bottomLeft.y = c->bottomRight.y = std::max(c->bottomLeft.y, c->bottomRight.y);
    }
    const int32_t angle = -m_result.skew;
    if (m_param.autoRotate == 0) {
        return angle;
    }
    const tagSIPPAPERCORNERS old = *c;
    switch (m_result.orientation) {
    case kSipOrientation90:
        *c = tagSIPPAPERCORNERS{old.topRight, old.bottomRight, old.topLeft, old.bottomLeft};
        return angle - 9000;
    case kSipOrientation180:
        *c = tagSIPPAPERCORNERS{old.bottomRight, old.bottomLeft, old.topRight, old.topLeft};
        return angle - 18000;
    case kSipOrientation270:
        *c = tagSIPPAPERCORNERS{old.bottomLeft, old.topLeft, old.bottomRight, old.topRight};
        return angle - 27000;
    default:
        return angle;
    }
}

int32_t CVdScnImgProc::SetOutSipImageInfo(const tagSIPIMAGEINFO& input, const tagSIPPAPERCORNERS& corners,
                                          bool cornersGiven, int32_t angle, tagSIPIMAGEINFO* output)
{
    *output = input;
    if (m_param.cornerFit != 0 || (m_param.deskew != 0 && !cornersGiven)) {
        if (const int32_t code = CVdScnImgConv::GetRotatedImageSize(angle, &corners, &output->width, &output->height);
            code != kSipOk) {
            return code;
        }
    } else {
        output->width = m_param.width;
        output->height = m_param.height;
        const bool quarterTurn =
            m_result.orientation == kSipOrientation90 || m_result.orientation == kSipOrientation270;
        if (m_param.autoRotate != 0 && quarterTurn) {
            std::swap(output->width, output->height);
        }
    }
    output->bitsPerPixel = OutputBits(m_param.scanType, input.bitsPerPixel, m_result.component);
    if (output->bitsPerPixel == 0 || output->width <= 0 || output->height <= 0) {
        return kSipBadArgument;
    }
    const uint64_t bytes =
        SipStride(static_cast<uint64_t>(output->width), output->bitsPerPixel) * static_cast<uint64_t>(output->height);
    return bytes > kSipMaxImageBytes ? kSipNoMemory : kSipOk;
}

int32_t CVdScnImgProc::ConvertPage(const char* outputPath, const tagSIPIMAGEINFO& input, const tagSIPIMAGEINFO& output,
                                   const tagSIPPAPERCORNERS& corners, bool cornersGiven, int32_t angle)
{
    const bool otherArea = cornersGiven || output.width != input.width || output.height != input.height;
    const bool sameDepth = output.bitsPerPixel == input.bitsPerPixel;
    if (angle == 0 && sameDepth && !otherArea) {
        return kSipOk;
    }
    if (const int32_t code = NewImage(&m_output, outputPath, &output, false); code != kSipOk) {
        return code;
    }
    if (angle == 0 && sameDepth) {
        const tagSIPRECT rect = BoundingRect(corners);
        return m_conv.TrimRectangle(m_input.get(), &rect, kSipAlignCenter, m_output.get());
    }
    if (angle == 0 && !otherArea) {
        return m_conv.ConvertColorType(m_input.get(), m_param.scanType, m_output.get());
    }
    return m_conv.RotateDegree(m_input.get(), angle, &corners, false, 0, 0, m_param.scanType, kSipAlignCenter,
                               m_output.get());
}

int32_t CVdScnImgProc::DiffusePage(const char* outputPath)
{
    if (const int32_t code = ShiftImgDataPtrFromDstToSrcAndDeletePrev(outputPath); code != kSipOk) {
        return code;
    }
    tagSIPIMAGEINFO info{};
    if (const int32_t code = m_input->GetImageInfo(&info); code != kSipOk) {
        return code;
    }
    info.bitsPerPixel = 1;
    if (const int32_t code = NewImage(&m_output, outputPath, &info, false); code != kSipOk) {
        return code;
    }
    return m_conv.BinarizeErrorDiffusion(m_input.get(), m_output.get());
}

// The output becomes the input. In memory the object moves; otherwise its
// finished file moves to "<output>.tmp" and is read from there.
int32_t CVdScnImgProc::ShiftImgDataPtrFromDstToSrcAndDeletePrev(const char* outputPath)
{
    if (!m_output) {
        return kSipOk;
    }
    if (m_input->IsAvailablePageAccess()) {
        m_input = std::move(m_output);
        return kSipOk;
    }
    m_input.reset();
    m_output.reset();
    if (!m_tmpPath.empty()) {
        std::remove(m_tmpPath.c_str());  // a failure leaves it to be replaced below
        m_tmpPath.clear();
    }
    m_tmpPath = RenameAndGetTmpFileName(outputPath);
    if (m_tmpPath.empty()) {
        return kSipNotInMemory;
    }
    return NewImage(&m_input, m_tmpPath.c_str(), nullptr, true);
}

std::string CVdScnImgProc::RenameAndGetTmpFileName(const std::string& path)
{
    const std::string name = path + ".tmp";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::string();
    }
    std::fclose(file);
    return std::rename(path.c_str(), name.c_str()) == 0 ? name : std::string();
}

int32_t CVdScnImgProc::GetScnTypeFromBitsPerPixel(int32_t bits)
{
    switch (bits) {
    case 1:
        return kSipScanMono;
    case 8:
        return kSipScanTrueGray;
    case 24:
        return kSipScanColor;
    default:
        return 0;
    }
}

int32_t CVdScnImgProc::ExecNin1Proc(tagSIPPROCFILELIST* inputs, tagSIPPROCFILELIST* outputs, int32_t n,
                                    _SIPCOMBINETYPE combineType)
{
    if (n != 2 || !ValidList(inputs) || !ValidList(outputs) ||
        int64_t{inputs->count} < 2 * int64_t{outputs->count} - 1) {
        return Keep(kSipBadArgument);
    }
    try {
        for (int64_t i = 0; i < outputs->count; ++i) {
            std::string first, second, output;
            if (!ListPath(*inputs, 2 * i, &first) || !ListPath(*outputs, i, &output)) {
                return Keep(kSipBadArgument);
            }
            const bool hasSecond = 2 * i + 1 < inputs->count;
            if (hasSecond && !ListPath(*inputs, 2 * i + 1, &second)) {
                return Keep(kSipBadArgument);
            }
            const std::string blank = first + ".tmp";
            if (const int32_t code = CombinePair(first, hasSecond ? &second : nullptr, blank, output, combineType);
                code != kSipOk) {
                return Keep(code);
            }
        }
    } catch (const std::bad_alloc&) {
        return Keep(kSipNoMemory);
    }
    return Keep(kSipOk);
}

int32_t CVdScnImgProc::CombinePair(const std::string& first, const std::string* second, const std::string& blank,
                                   const std::string& output, _SIPCOMBINETYPE combineType)
{
    Image a, b, out;
    tagSIPIMAGEINFO infoA{}, infoB{};
    if (const int32_t code = NewImage(&a, first.c_str(), nullptr, true); code != kSipOk) {
        return code;
    }
    if (const int32_t code = a->GetImageInfo(&infoA); code != kSipOk) {
        return code;
    }
    // A missing second page is white, of the first one's description; it
    // stays in memory.
    const int32_t code =
        second != nullptr ? NewImage(&b, second->c_str(), nullptr, true) : NewImage(&b, blank.c_str(), &infoA, false);
    if (code != kSipOk) {
        return code;
    }
    if (const int32_t code = b->GetImageInfo(&infoB); code != kSipOk) {
        return code;
    }
    if (infoA.bitsPerPixel < infoB.bitsPerPixel) {
        if (const int32_t code = ConvertColorTypeForNin1(&a, infoB.bitsPerPixel); code != kSipOk) {
            return code;
        }
    } else if (infoB.bitsPerPixel < infoA.bitsPerPixel) {
        if (const int32_t code = ConvertColorTypeForNin1(&b, infoA.bitsPerPixel); code != kSipOk) {
            return code;
        }
    }
    tagSIPIMAGEINFO info{};
    if (const int32_t code = a->GetImageInfo(&info); code != kSipOk) {
        return code;
    }
    if (const int32_t code = CVdScnImgConv::GetCombinedImageSize(infoA.width, infoA.height, infoB.width, infoB.height,
                                                                 combineType, &info.width, &info.height);
        code != kSipOk) {
        return code;
    }
    if (const int32_t code = NewImage(&out, output.c_str(), &info, false); code != kSipOk) {
        return code;
    }
    if (const int32_t code = m_conv.CombineImage(a.get(), b.get(), combineType, kSipAlignCenter, out.get());
        code != kSipOk) {
        return code;
    }
    return out->SaveImgData();
}

// Replaces the image by a copy at the given depth, in memory.
int32_t CVdScnImgProc::ConvertColorTypeForNin1(Image* image, int32_t bits)
{
    tagSIPIMAGEINFO info{};
    if (const int32_t code = (*image)->GetImageInfo(&info); code != kSipOk) {
        return code;
    }
    info.bitsPerPixel = bits;
    Image converted;
    if (const int32_t code = NewImage(&converted, nullptr, &info, false); code != kSipOk) {
        return code;
    }
    const int32_t scanType = bits == 8 ? kSipScanTrueGray : bits == 24 ? kSipScanColor : kSipScanMono;
    if (const int32_t code = m_conv.ConvertColorType(image->get(), scanType, converted.get()); code != kSipOk) {
        return code;
    }
    *image = std::move(converted);
    return kSipOk;
}

int32_t CVdScnImgProc::Exec1toNProc(tagSIPPROCFILELIST* inputs, tagSIPPROCFILELIST* outputs, int32_t n)
{
    if (n != 2 || !ValidList(inputs) || !ValidList(outputs) || int64_t{outputs->count} != 2 * int64_t{inputs->count}) {
        return Keep(kSipBadArgument);
    }
    try {
        for (int64_t i = int64_t{inputs->count} - 1; i >= 0; --i) {
            std::string input, upper, lower;
            if (!ListPath(*inputs, i, &input) || !ListPath(*outputs, 2 * i, &upper) ||
                !ListPath(*outputs, 2 * i + 1, &lower)) {
                return Keep(kSipBadArgument);
            }
            if (const int32_t code = SplitInput(input, upper, lower); code != kSipOk) {
                return Keep(code);
            }
        }
    } catch (const std::bad_alloc&) {
        return Keep(kSipNoMemory);
    }
    return Keep(kSipOk);
}

int32_t CVdScnImgProc::SplitInput(const std::string& input, const std::string& upper, const std::string& lower)
{
    Image source;
    tagSIPIMAGEINFO info{};
    if (const int32_t code = NewImage(&source, input.c_str(), nullptr, true); code != kSipOk) {
        return code;
    }
    if (const int32_t code = source->GetImageInfo(&info); code != kSipOk) {
        return code;
    }
    const int32_t half = static_cast<int32_t>((int64_t{info.height} + 1) / 2);
    const tagSIPRECT parts[2] = {{0, 0, info.width - 1, half - 1},
                                 {0, info.height - half, info.width - 1, info.height - 1}};
    const std::string* paths[2] = {&upper, &lower};
    tagSIPIMAGEINFO partInfo = info;
    partInfo.height = half;
    for (int k = 0; k < 2; ++k) {
        Image part;
        if (const int32_t code = NewImage(&part, paths[k]->c_str(), &partInfo, false); code != kSipOk) {
            return code;
        }
        if (const int32_t code = m_conv.TrimRectangle(source.get(), &parts[k], kSipAlignLeft, part.get());
            code != kSipOk) {
            return code;
        }
        if (const int32_t code = SaveOutput(part.get()); code != kSipOk) {
            return code;
        }
    }
    return kSipOk;
}
