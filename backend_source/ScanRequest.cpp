// The scan request, step by step. Lengths are hundredths of a millimetre
// unless a name says otherwise; the handle's area edges are whole
// millimetres.
#include "backend_source/ScanRequest.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "backend_source/DebugLog.h"
#include "backend_source/DriverPaths.h"
#include "backend_source/IniFile.h"
#include "backend_source/Options.h"

namespace {

constexpr char kSource[] = "scan";
constexpr int kIndent = 3;

std::atomic<bool> g_marginTrace{false};

// The device's limits for the request: the largest width and height of the
// source, and the paper size the request names.
struct Limits {
    int64_t maxWidth;
    int64_t maxHeight;
    int64_t customWidth;
    int64_t customHeight;
};

// The scan area as it is adjusted, with the values it started from for the
// trace.
struct Area {
    int64_t offsetX, offsetY, width, height;
    int64_t offsetX0, offsetY0, width0, height0;
};

enum class Align { kLeft, kCentre, kRight };

// Margin trace lines go to standard error only with the trace on.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Trace(const char* format, ...)
{
    if (!g_marginTrace.load()) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fflush(stderr);
}

int32_t ClampToInt32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

int DpiOfSelectedResolution(const DEVCAP* dc)
{
    for (const DevCapResolution& resolution : dc->resolution) {
        if (resolution.id == dc->resolutionSelected) {
            return resolution.dpi;
        }
    }
    return 0;
}

bool ColorTypeOfMode(int mode, vscore::COLORTYPE* type)
{
    switch (mode) {
    case modeBlackWhite:
        *type = vscore::BLACKWHITE;
        return true;
    case modeErrorDiffusion:
        *type = vscore::ERRDIFFUSION;
        return true;
    case modeTrueGray:
        *type = vscore::TRUEGRAY;
        return true;
    case 4:
        *type = vscore::COLOR256;
        return true;
    case modeColor:
    case modeColorFast:
        *type = vscore::COLOR24BIT;
        return true;
    default:
        return false;
    }
}

// Resolution and colour type from the selected resolution and mode; INVAL
// for an id the template does not know.
SANE_Status RequestResolutionAndColour(const DEVCAP* dc, vscore::VS_SCANNER_PARAMETERS* p)
{
    int dpi = DpiOfSelectedResolution(dc);
    vscore::COLORTYPE colorType;
    if (dpi <= 0 || !ColorTypeOfMode(dc->modeSelected, &colorType)) {
        writelog(kSource, __LINE__, kIndent, "unknown resolution %d or mode %d\n", dc->resolutionSelected,
                 dc->modeSelected);
        return SANE_STATUS_INVAL;
    }
    p->resolutionX = static_cast<uint32_t>(dpi);
    p->resolutionY = static_cast<uint32_t>(dpi);
    p->colortype = colorType;
    return SANE_STATUS_GOOD;
}

// Duplex and paper source from the selected source; a push scan takes the
// source the device chooses and the duplex type of its panel, which may
// select a duplex source. Returns the source id in force.
int RequestSourceAndDuplex(DEVCAP* dc, const JobInputs& inputs, vscore::VS_SCANNER_PARAMETERS* p)
{
    int source = dc->sourceSelected;
    bool duplexSource = source == srcAdfLeftDuplex || source == srcAdfRightDuplex || source == srcAdfCenterDuplex ||
                        source == srcCardSlotDuplex;
    p->duplextype = duplexSource ? vscore::DUPLEX_LONG : vscore::SIMPLEX;
    if (source <= srcFlatBedCenter) {
        p->paperSource = vscore::FLATBED;
    } else if (source <= srcAdfCenterDuplex) {
        p->paperSource = vscore::ADF;
    } else {
        p->paperSource = vscore::CARDSLOT;
    }
    if (!inputs.push) {
        return source;
    }
    const bool adfCenter = dc->source[srcAdfCenter].offered != 0;
    const bool adfLeft = dc->source[srcAdfLeft].offered != 0;
    p->paperSource = vscore::SOURCEAUTO;
    unsigned char isSet = 0;
    if (inputs.pushInfo != nullptr) {
        std::memcpy(&isSet, &inputs.pushInfo->duplex.isSet, 1);
    }
    if (isSet != 0) {
        p->duplextype = inputs.pushInfo->duplex.value;
        if (p->duplextype != vscore::SIMPLEX) {
            writelog(kSource, __LINE__, kIndent, "vssdkwrapper_StartScanning PushScan duplex\n");
            dc->sourceSelected = source = (!adfCenter && adfLeft) ? srcAdfLeftDuplex : srcAdfCenterDuplex;
        }
    }
    return source;
}

// The paper type and the source's limits: size detection asks for the
// detected size within the flatbed's maximum; otherwise a custom size of
// the source's maximum (the scan area's own edges for a left-aligned duplex
// scan).
Limits RequestPaperLimits(const My_Scanner* s, int source, bool autoSize, bool flatbedLike,
                          vscore::VS_SCANNER_PARAMETERS* p)
{
    const DEVCAP* dc = s->devcap;
    vscore::tagSCANAREAINFO& area = p->scanAreaInfo;
    Limits limits{dc->flatbedMaxWidth, dc->flatbedMaxHeight, dc->flatbedMaxWidth, dc->flatbedMaxHeight};
    if (autoSize) {
        area.papertype = vscore::AUTOSIZE;
        area.areaSelected = false;
    } else {
        area.papertype = vscore::CUSTOMSIZE;
        area.areaSelected = true;
        if (flatbedLike) {
            Trace("max_height FB %d (0.01mm unit)\n", static_cast<int>(limits.maxHeight));
        } else if (p->duplextype != vscore::SIMPLEX) {
            limits.maxWidth = limits.customWidth = dc->adfDuplexMaxWidth;
            limits.maxHeight = limits.customHeight = dc->adfDuplexMaxHeight;
            if (source == srcAdfLeftDuplex) {
                limits.customWidth = s->right * 100;
                limits.customHeight = s->bottom * 100;
            }
            Trace("max_height ADF D %d (0.01mm unit)\n", static_cast<int>(limits.maxHeight));
        } else {
            limits.maxWidth = limits.customWidth = dc->adfSimplexMaxWidth;
            limits.maxHeight = limits.customHeight = dc->adfSimplexMaxHeight;
            Trace("max_height ADF S %d (0.01mm unit)\n", static_cast<int>(limits.maxHeight));
        }
    }
    area.customPaperSize.size.x = static_cast<uint32_t>(std::clamp<int64_t>(limits.customWidth, 0, UINT32_MAX));
    area.customPaperSize.size.y = static_cast<uint32_t>(std::clamp<int64_t>(limits.customHeight, 0, UINT32_MAX));
    area.customPaperSize.unit = vscore::MM;
    if (area.papertype == vscore::AUTOSIZE) {
        area.areaSelected = false;
    }
    // A card is as large as the area's far edges.
    if (source == srcCardSlot || source == srcCardSlotDuplex) {
        area.customPaperSize.size.x = static_cast<uint32_t>(std::clamp<int64_t>(s->right * 100, 0, UINT32_MAX));
        area.customPaperSize.size.y = static_cast<uint32_t>(std::clamp<int64_t>(s->bottom * 100, 0, UINT32_MAX));
        area.areaSelected = false;
    }
    return limits;
}

// The alignment of the source; a push scan with a document in the feeder
// takes the feeder's centre, else its left.
Align AlignmentOf(const DEVCAP* dc, const JobInputs& inputs, int source)
{
    Align align = Align::kLeft;
    if (source == srcFlatBedRight || source == srcAdfRight || source == srcAdfRightDuplex) {
        align = Align::kRight;
    } else if (source == srcFlatBedCenter || source == srcAdfCenter || source == srcAdfCenterDuplex) {
        align = Align::kCentre;
    }
    if (inputs.push && inputs.adfInserted) {
        if (dc->source[srcAdfCenter].offered != 0) {
            align = Align::kCentre;
        } else if (dc->source[srcAdfLeft].offered != 0) {
            align = Align::kLeft;
        }
    }
    return align;
}

// Moves the area to its alignment within the maximum width; INVAL when it
// starts beyond the device (unless the device detects the size).
SANE_Status AlignArea(const My_Scanner* s, Align align, bool autoSize, int64_t maxWidth, Area& a)
{
    if (align == Align::kCentre) {
        a.offsetX += ((s->left - s->right) * 100 + maxWidth) / 2;
    } else if (align == Align::kRight) {
        a.offsetX += (s->left - s->right) * 100 + maxWidth;
    }
    if (!autoSize && a.offsetX > maxWidth) {
        writelog(kSource, __LINE__, kIndent, "offsetX %lld beyond the maximum width %lld\n",
                 static_cast<long long>(a.offsetX), static_cast<long long>(maxWidth));
        return SANE_STATUS_INVAL;
    }
    if (a.offsetX < 0) {
        a.offsetX = 0;
    }
    return SANE_STATUS_GOOD;
}

// Keeps the device's minimum margins: a margin too small takes its
// shortfall off the width or height; on a feeder a left margin that
// suffices moves the area left by the minimum instead, and a right edge
// beyond the feeder's width ends the area at it.
void ShrinkToMargins(const My_Scanner* s, const Limits& limits, bool adfLike, Area& a)
{
    const DEVCAP* dc = s->devcap;
    int64_t mLeft = a.offsetX;
    int64_t mTop = a.offsetY;
    int64_t mRight = limits.maxWidth - a.offsetX - a.width;
    int64_t mBottom = limits.maxHeight - a.offsetY - a.height;
    Trace("m_right = %d(%d - %d - %d) m_bottom = %d(%d - %d - %d)\n", static_cast<int>(mRight),
          static_cast<int>(limits.maxWidth), static_cast<int>(a.offsetX), static_cast<int>(a.width),
          static_cast<int>(mBottom), static_cast<int>(limits.maxHeight), static_cast<int>(a.offsetY),
          static_cast<int>(a.height));
    if (mLeft < dc->marginLeft) {
        a.width -= dc->marginLeft - mLeft;
    } else if (adfLike) {
        a.offsetX -= dc->marginLeft;
    }
    if (mTop < dc->marginTop) {
        a.height -= dc->marginTop - mTop;
    }
    if (mRight < dc->marginRight) {
        a.width -= dc->marginRight - mRight;
        Trace("Right --(%ld)\n", static_cast<long>(dc->marginRight - mRight));
        if (adfLike && s->right * 100 > limits.maxWidth) {
            a.width = limits.maxWidth - s->left * 100;
        }
    }
    if (mBottom < dc->marginBottom) {
        a.height -= dc->marginBottom - mBottom;
        Trace("Bottom --(%ld)\n", static_cast<long>(dc->marginBottom - mBottom));
    }
    if (a.offsetX + a.width > limits.maxWidth) {
        a.width = limits.maxWidth - a.offsetX;
    }
}

void TraceArea(const Area& a, const Limits& limits)
{
    Trace("offsetX    : %d -> %d (%ld)\n", static_cast<int>(a.offsetX0), static_cast<int>(a.offsetX),
          static_cast<long>(a.offsetX - a.offsetX0));
    Trace("offsetY    : %d -> %d (%ld)\n", static_cast<int>(a.offsetY0), static_cast<int>(a.offsetY),
          static_cast<long>(a.offsetY - a.offsetY0));
    Trace("width      : %d(%d) -> %d (%ld)\n", static_cast<int>(a.width0), static_cast<int>(limits.maxWidth),
          static_cast<int>(a.width), static_cast<long>(a.width - a.width0));
    Trace("height     : %d(%d) -> %d (%ld)\n", static_cast<int>(a.height0), static_cast<int>(limits.maxHeight),
          static_cast<int>(a.height), static_cast<long>(a.height - a.height0));
}

// Brightness, contrast and the device's own enhancements.
void RequestEnhancement(My_Scanner* s, vscore::VS_SCANNER_PARAMETERS* p)
{
    const DEVCAP* dc = s->devcap;
    p->brightness = dc->brightness;
    p->contrast = dc->contrast;
    p->landscapeMode = false;
    p->enhanced.autocrop = false;
    p->enhanced.deskew = s->val[optSkewAdjust].w == SANE_TRUE;
    p->enhanced.multifeedDetect = s->val[optMultiFeedDetect].w == SANE_TRUE;
    bool remove = false;
    int level = 0;
    blank_removal_request(s, &remove, &level);
    p->enhanced.blankRemoval.remove = remove;
    p->enhanced.blankRemoval.level = level;
}

}  // namespace

bool push_scan_wanted(const DEVCAP* dc)
{
    char callerApp[256] = "";
    ssize_t length = readlink("/proc/self/exe", callerApp, sizeof callerApp - 1);
    callerApp[length > 0 ? length : 0] = '\0';
    char skeyApp[256] = "";
    get_inifile_string_at(driver_ini_path(), "SKEYAPP", skeyApp, sizeof skeyApp, "");
    int dsEnable = get_inifile_int_at(driver_ini_path(), "SKEYDSENABLE", 0);
    writelog(kSource, __LINE__, kIndent, "callerapp = [%s]\nskeyapp = [%s]\ndsenable = %d\n", callerApp, skeyApp,
             dsEnable);
    if (!dc->adfSimplex && !dc->adfDuplex) {
        writelog(kSource, __LINE__, kIndent, "sourceAdfDuplex != TRUE [0]\n");
        return false;
    }
    if (skeyApp[0] != '\0' && std::strcmp(skeyApp, callerApp) != 0) {
        writelog(kSource, __LINE__, kIndent, "skeyapp is specified but  not matched [0]\n");
        return false;
    }
    if (dsEnable == 1) {
        writelog(kSource, __LINE__, kIndent, "skeyapp is matched or not specified  [1]\n");
        return true;
    }
    if (dc->deviceCategory == vscore::DOCUMENTSCANNER) {
        writelog(kSource, __LINE__, kIndent, "DeviceCategory == DOCUMENTSCANNER [0]\n");
        return false;
    }
    writelog(kSource, __LINE__, kIndent, "DeviceCategory != DOCUMENTSCANNER [1]\n");
    return true;
}

void log_scan_request(const vscore::VS_SCANNER_PARAMETERS& p)
{
    const vscore::tagSCANAREAINFO& a = p.scanAreaInfo;
    writelog(kSource, __LINE__, kIndent, "pScanParam->resolutionX  %d %d\n", p.resolutionX, p.resolutionY);
    writelog(kSource, __LINE__, kIndent, "pScanParam->colortype  %d\n", p.colortype);
    writelog(kSource, __LINE__, kIndent, "pScanParam->duplextype  %d\n", p.duplextype);
    writelog(kSource, __LINE__, kIndent, "pScanParam->paperSource  %d\n", p.paperSource);
    writelog(kSource, __LINE__, kIndent, "pScanParam->brightness  %d contrast %d\n", p.brightness, p.contrast);
    writelog(kSource, __LINE__, kIndent, "pScanParam->scanAreaInfo.papertype =%d\n", a.papertype);
    writelog(kSource, __LINE__, kIndent, "pScanParam->scanAreaInfo.customPaperSize =%d %d (%d)\n",
             a.customPaperSize.size.x, a.customPaperSize.size.y, a.customPaperSize.unit);
    writelog(kSource, __LINE__, kIndent, "pScanParam->scanAreaInfo.selectArea =%d %d %d %d (%d)\n",
             a.selectArea.offsetX, a.selectArea.offsetY, a.selectArea.width, a.selectArea.height, a.selectArea.unit);
    writelog(kSource, __LINE__, kIndent, "pScanParam->scanAreaInfo.areaSelected =%d\n", a.areaSelected ? 1 : 0);
}

void scan_set_margin_trace(bool on) { g_marginTrace.store(on); }

SANE_Status fill_scan_parameters(My_Scanner* s, const JobInputs& inputs, vscore::VS_SCANNER_PARAMETERS* p)
{
    SANE_Status status = RequestResolutionAndColour(s->devcap, p);
    if (status != SANE_STATUS_GOOD) {
        return status;
    }
    int const source = RequestSourceAndDuplex(s->devcap, inputs, p);
    const bool autoSize = s->val[optSizeDetect].w == SANE_TRUE;
    const bool flatbedLike =
        p->paperSource == vscore::FLATBED || (p->paperSource == vscore::SOURCEAUTO && !inputs.adfInserted);
    const bool adfLike = !flatbedLike && p->paperSource != vscore::CARDSLOT;
    Limits const limits = RequestPaperLimits(s, source, autoSize, flatbedLike, p);

    Area a;
    a.offsetX = a.offsetX0 = s->left * 100;
    a.offsetY = a.offsetY0 = s->top * 100;
    a.width = a.width0 = (s->right - s->left) * 100;
    a.height = a.height0 = (s->bottom - s->top) * 100;
    status = AlignArea(s, AlignmentOf(s->devcap, inputs, source), autoSize, limits.maxWidth, a);
    if (status != SANE_STATUS_GOOD) {
        return status;
    }
    ShrinkToMargins(s, limits, adfLike, a);
    if (!autoSize && a.offsetX + a.width < 0) {
        writelog(kSource, __LINE__, kIndent, "the area lies left of the device\n");
        return SANE_STATUS_INVAL;
    }
    TraceArea(a, limits);
    vscore::tagSCANAREAINFO& area = p->scanAreaInfo;
    if (area.areaSelected && (a.width <= 0 || a.height <= 0)) {
        writelog(kSource, __LINE__, kIndent, "the margins leave no area: %lld x %lld\n",
                 static_cast<long long>(a.width), static_cast<long long>(a.height));
        return SANE_STATUS_INVAL;
    }
    area.selectArea.offsetX = ClampToInt32(a.offsetX);
    area.selectArea.offsetY = ClampToInt32(a.offsetY);
    area.selectArea.width = ClampToInt32(a.width);
    area.selectArea.height = ClampToInt32(a.height);
    area.selectArea.unit = vscore::MM;
    RequestEnhancement(s, p);
    return SANE_STATUS_GOOD;
}
