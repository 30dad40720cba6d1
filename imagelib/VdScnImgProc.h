// The page processing object of the image-processing library: one call
// takes an input BMP file through show-through removal, blank and colour
// analysis, skew measurement, orientation detection, cropping, depth
// conversion, rotation and error diffusion into the output BMP file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imagelib/NsOrientationAccs.h"
#include "imagelib/RlStcAccs.h"
#include "imagelib/SipTypes.h"
#include "imagelib/VdScnImgAna.h"
#include "imagelib/VdScnImgConv.h"
#include "imagelib/VdSipImgData.h"

// The job parameters.
struct tagSIPSCNPARADT {
    int32_t scanType;  // _SIPSCNTYPE
    uint8_t cornerFit;
    int32_t width;  // output size in pixels unless taken from the corners
    int32_t height;
    uint8_t componentAnalysis;
    uint8_t deskew;
    uint8_t orientationReport;
    uint8_t autoRotate;
    uint16_t language;  // of the orientation detector
    uint8_t showThrough;
    int32_t threshold;  // 1 to 254 for 1-bit output; else the automatic one
};

enum _SIPANALYZEDPAGEORIENTATION : int32_t {
    kSipOrientationUndetermined = 0,
    kSipOrientationUpright = 1,
    kSipOrientation90 = 2,
    kSipOrientation180 = 3,
    kSipOrientation270 = 4,
};

// What a run found.
struct tagSIPRESULT {
    int32_t component;    // _SIPANALYZEDCOMPONENTRESULT
    int32_t skew;         // 1/100 degree
    int32_t orientation;  // _SIPANALYZEDPAGEORIENTATION
    uint8_t showThroughRemoved;
};

struct tagSIPRLSTCSETTING {
    int64_t automatic;
    int64_t manual1;
    int64_t manual2;
    int64_t manual3;
    int64_t strength1;
    int64_t strength2;
};

// Files "<folder>/<name>".
struct tagSIPPROCFILELIST {
    const char* folder;
    int32_t count;
    const char* const* names;
};

class IVdScnImgProc {
public:
    virtual ~IVdScnImgProc() = default;
    virtual int32_t OpenScnImgProc(tagSIPSCNPARADT* parameters, tagSIPRLSTCSETTING* showThrough,
                                   tagSIPDETECTBLANKSETTING* blank, tagSIPDETECTCOLORTYPESETTING* color) = 0;
    virtual int32_t ExecScnImgProc(const char* inputPath, const char* outputPath, tagSIPPAPERCORNERS* corners,
                                   tagSIPIMAGEINFO* inputInfo) = 0;
    virtual int32_t GetScnImgProcResult(tagSIPRESULT* result) = 0;
    virtual int32_t CloseScnImgProc() = 0;
    virtual int32_t IsAvailableDetectBlank() = 0;
    virtual int32_t IsAvailableAutoColorType() = 0;
    virtual int32_t IsAvailableDeskew() = 0;
    virtual int32_t IsAvailableAutoPaperSize() = 0;
    virtual int32_t IsAvailableAutoRotate() = 0;
    virtual int32_t IsAvailableRemoveBacksideNoise() = 0;
    virtual int32_t IsAvailableExec1BppErrorDiffusion() = 0;
    virtual int32_t ExecNin1Proc(tagSIPPROCFILELIST* inputs, tagSIPPROCFILELIST* outputs, int32_t n,
                                 _SIPCOMBINETYPE combineType) = 0;
    virtual int32_t Exec1toNProc(tagSIPPROCFILELIST* inputs, tagSIPPROCFILELIST* outputs, int32_t n) = 0;
    virtual int32_t GetLastResult() = 0;
};

// Used by one thread at a time (the pipeline runs one object at a time under
// its own mutex). Codes: 0; 1 an image not in memory or a temporary file not
// made; 2 memory or pixels missing, or an output too large to hold; 5 bad
// argument; 8 not opened; 9 already opened; 11 nothing to write; and the
// codes of the analysis, conversion and image-data classes. Every public
// operation keeps its code as the last result.
class CVdScnImgProc : public IVdScnImgProc {
public:
    CVdScnImgProc();
    // The orientation detector's and show-through canceller's calls (kept,
    // not owned); null for the library's stand-ins.
    CVdScnImgProc(const NsOrientationCalls* orientation, const RlStcCalls* showThrough);
    ~CVdScnImgProc() override;
    CVdScnImgProc(const CVdScnImgProc&) = delete;
    CVdScnImgProc& operator=(const CVdScnImgProc&) = delete;

    // Copies the parameters and the settings (null settings take the
    // defaults); 5 for null parameters, 9 when open.
    int32_t OpenScnImgProc(tagSIPSCNPARADT* parameters, tagSIPRLSTCSETTING* showThrough,
                           tagSIPDETECTBLANKSETTING* blank, tagSIPDETECTCOLORTYPESETTING* color) override;
    // Processes the input file (described by inputInfo when given, else by
    // its headers) into the output file. corners: the paper, or null / all
    // zero for the whole image. A blank page gives 0 and no file; a page that
    // needs no change 11 and no file. Both image objects and the temporary
    // file are gone on return.
    int32_t ExecScnImgProc(const char* inputPath, const char* outputPath, tagSIPPAPERCORNERS* corners,
                           tagSIPIMAGEINFO* inputInfo) override;
    // The latest run's findings; 5 for null, 8 when not open.
    int32_t GetScnImgProcResult(tagSIPRESULT* result) override;
    int32_t CloseScnImgProc() override;
    int32_t IsAvailableDetectBlank() override { return 1; }
    int32_t IsAvailableAutoColorType() override { return 1; }
    int32_t IsAvailableDeskew() override { return 1; }
    int32_t IsAvailableAutoPaperSize() override { return 1; }
    int32_t IsAvailableAutoRotate() override { return 1; }
    int32_t IsAvailableRemoveBacksideNoise() override { return 1; }
    int32_t IsAvailableExec1BppErrorDiffusion() override { return 1; }
    // Two inputs per output (n must be 2), combined with centre alignment;
    // a missing second input is a white image; the shallower input is first
    // brought to the other's depth.
    int32_t ExecNin1Proc(tagSIPPROCFILELIST* inputs, tagSIPPROCFILELIST* outputs, int32_t n,
                         _SIPCOMBINETYPE combineType) override;
    // Splits each input (n must be 2, two outputs per input) into its upper
    // part (first name of the pair) and lower part, (height + 1) / 2 rows
    // each.
    int32_t Exec1toNProc(tagSIPPROCFILELIST* inputs, tagSIPPROCFILELIST* outputs, int32_t n) override;
    int32_t GetLastResult() override { return m_nLastResult; }

    // 1 gives 1, 8 gives 3, 24 gives 5, others 0.
    static int32_t GetScnTypeFromBitsPerPixel(int32_t bits);
    // Moves the file at path to path + ".tmp": that name, or empty when the
    // file cannot be read or moved.
    static std::string RenameAndGetTmpFileName(const std::string& path);

protected:
    // A new image object, owned by the caller; null when memory fails.
    virtual IVdSipImgData* CreateSipImgData();

private:
    using Image = std::unique_ptr<IVdSipImgData>;

    int32_t RunPage(const char* inputPath, const char* outputPath, const tagSIPPAPERCORNERS* corners,
                    tagSIPIMAGEINFO* inputInfo);
    int32_t RemoveShowThrough(const char* outputPath, const tagSIPIMAGEINFO& input);
    int32_t DetectOrientation(const tagSIPIMAGEINFO& input);
    int32_t AdjustParamForRotate(tagSIPPAPERCORNERS* corners) const;
    int32_t SetOutSipImageInfo(const tagSIPIMAGEINFO& input, const tagSIPPAPERCORNERS& corners, bool cornersGiven,
                               int32_t angle, tagSIPIMAGEINFO* output);
    int32_t ConvertPage(const char* outputPath, const tagSIPIMAGEINFO& input, const tagSIPIMAGEINFO& output,
                        const tagSIPPAPERCORNERS& corners, bool cornersGiven, int32_t angle);
    int32_t DiffusePage(const char* outputPath);
    int32_t ShiftImgDataPtrFromDstToSrcAndDeletePrev(const char* outputPath);
    int32_t NewImage(Image* image, const char* path, const tagSIPIMAGEINFO* info, bool reading);
    int32_t SaveOutput(IVdSipImgData* image);
    void DeleteImagesAndTmpFile();
    int32_t CombinePair(const std::string& first, const std::string* second, const std::string& blank,
                        const std::string& output, _SIPCOMBINETYPE combineType);
    int32_t ConvertColorTypeForNin1(Image* image, int32_t bits);
    int32_t SplitInput(const std::string& input, const std::string& upper, const std::string& lower);
    int32_t Keep(int32_t code) { return m_nLastResult = code; }

    CVdScnImgAna m_ana;
    CVdScnImgConv m_conv;
    CRlStcAccs m_showThrough;
    CNsOrientationAccs m_orientation;
    Image m_input;
    Image m_output;
    bool m_open = false;
    tagSIPSCNPARADT m_param{};
    tagSIPRESULT m_result{};
    std::string m_tmpPath;  // empty when there is none
    int32_t m_nLastResult = 0;
    tagSIPDETECTBLANKSETTING m_blank{};
    tagSIPDETECTCOLORTYPESETTING m_color{};
};
