// The handle's SANE options: descriptors and menus built from the
// device-capability copy, value checks and dependencies, the scan area in
// millimetres and pixels, and the frame parameters.
#include "backend_source/Options.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "backend_source/BugChk.h"
#include "backend_source/DebugLog.h"
#include "backend_source/sanei/ConstrainValue.h"

namespace {

constexpr char kSource[] = "option";
constexpr int kIndent = 3;
// About 0.1 mm in SANE fixed point.
constexpr SANE_Word kGeometryQuant = 6553;
// The largest whole number of millimetres a SANE fixed number holds.
constexpr int kMaxMillimetres = 32767;
constexpr SANE_Int kModeSize = 30;
constexpr SANE_Int kSourceSize = 64;
constexpr int kDefaultBrX = 297;
constexpr int kDefaultBrY = 420;
constexpr SANE_Int kSelectDetect = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
constexpr SANE_Int kReload = SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;

const SANE_Range kPercentRange = {SANE_FIX(-50), SANE_FIX(50), SANE_FIX(1)};
const SANE_Range kSensitivityRange = {SANE_FIX(0), SANE_FIX(100), SANE_FIX(1)};

int Millimetres(int hundredths) { return std::clamp(hundredths / 100, 0, kMaxMillimetres); }

const DevCapEntry* FindEntry(const DevCapEntry* entries, int count, int id)
{
    for (int i = 0; i < count; ++i) {
        if (entries[i].id == id) {
            return &entries[i];
        }
    }
    return nullptr;
}

bool OfferedMode(const DEVCAP* dc, int id)
{
    const DevCapEntry* entry = FindEntry(dc->mode, kDevCapModes, id);
    return entry != nullptr && entry->offered;
}

// Id of the entry whose label is text, -1 when none is.
int IdOfLabel(const DevCapEntry* entries, int count, const char* text)
{
    if (text == nullptr) {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(entries[i].label, text) == 0) {
            return entries[i].id;
        }
    }
    return -1;
}

int ResolutionIdOfDpi(const DEVCAP* dc, SANE_Word dpi)
{
    for (const DevCapResolution& resolution : dc->resolution) {
        if (resolution.dpi == dpi) {
            return resolution.id;
        }
    }
    return -1;
}

// The dpi of a resolution id; 0 for an id the template does not have.
int DpiOfResolutionId(const DEVCAP* dc, int id)
{
    for (const DevCapResolution& resolution : dc->resolution) {
        if (resolution.id == id) {
            return resolution.dpi;
        }
    }
    return 0;
}

// The mode default: "24bit Color[Fast]", "24bit Color" or "Black & White",
// the first one offered; else the first offered mode.
const char* ModeDefault(const DEVCAP* dc)
{
    for (int id : {modeColorFast, modeColor, modeBlackWhite}) {
        if (OfferedMode(dc, id)) {
            return FindEntry(dc->mode, kDevCapModes, id)->label;
        }
    }
    for (const DevCapEntry& mode : dc->mode) {
        if (mode.offered) {
            return mode.label;
        }
    }
    return FindEntry(dc->mode, kDevCapModes, modeBlackWhite)->label;
}

// The source default: ADF left aligned, else "FlatBed", else the first
// offered source.
const char* SourceDefault(const DEVCAP* dc)
{
    if (dc->source[srcAdfLeft].offered) {
        return dc->source[srcAdfLeft].label;
    }
    if (dc->source[srcFlatBed].offered) {
        return dc->source[srcFlatBed].label;
    }
    for (const DevCapEntry& source : dc->source) {
        if (source.offered) {
            return source.label;
        }
    }
    return dc->source[srcFlatBed].label;
}

// The resolution default: 100 dpi, or the offered resolution nearest to it
// (the smaller of two as near), so that the default is one of the list.
SANE_Word ResolutionDefault(const DEVCAP* dc)
{
    constexpr SANE_Word kPreferred = 100;
    SANE_Word best = kPreferred;
    int bestDistance = INT_MAX;
    for (const DevCapResolution& resolution : dc->resolution) {
        int const distance = std::abs(resolution.dpi - kPreferred);
        if (resolution.offered && (distance < bestDistance || (distance == bestDistance && resolution.dpi < best))) {
            best = resolution.dpi;
            bestDistance = distance;
        }
    }
    return best;
}

// The largest value of range up to limit that lies on the range's grid, so
// that a default passes the range's own check unchanged.
SANE_Word OnGrid(const SANE_Range& range, SANE_Word limit)
{
    SANE_Word const value = std::clamp(limit, range.min, range.max);
    return range.quant > 0 ? range.min + (value - range.min) / range.quant * range.quant : value;
}

// An owned copy of text in a buffer of the option's size.
char* CopyText(const char* text, SANE_Int size)
{
    char* copy = static_cast<char*>(bugchk_malloc(static_cast<size_t>(size), __LINE__, kSource));
    if (copy != nullptr) {
        size_t length = strnlen(text, static_cast<size_t>(size) - 1);
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}

// Where an option's constraint comes from.
enum class Constraint { kNone, kModes, kSources, kResolutions, kPercent, kSensitivity, kX, kY };
// How an option's capabilities follow the device: fixed, active only when
// the device offers a feature, or the sensitivity's own rule.
enum class Activity { kFixed, kFeature, kSensitivity };

// One option as the table describes it; size 0 is one SANE word.
struct OptionRow {
    int index;
    const char* name;
    const char* title;
    const char* desc;
    SANE_Value_Type type;
    SANE_Unit unit;
    SANE_Int size;
    SANE_Int cap;
    Constraint constraint;
    Activity activity;
    int feature;  // DevCapFeature of a kFeature option
};

// Groups carry an empty name, not none: front ends leave out options
// without a name, group headings included.
// clang-format off
constexpr OptionRow kOptionRows[NUM_OPTIONS] = {
    {optCount, "", "Number of options",
     "Read-only option that specifies how many options a specific devices supports.",
     SANE_TYPE_INT, SANE_UNIT_NONE, 0, SANE_CAP_SOFT_DETECT, Constraint::kNone, Activity::kFixed, 0},
    {optGroupMode, "", "", "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, SANE_CAP_ADVANCED, Constraint::kNone,
     Activity::kFixed, 0},
    {optMode, "mode", "Scan mode", "Select the scan mode", SANE_TYPE_STRING, SANE_UNIT_NONE, kModeSize,
     kSelectDetect, Constraint::kModes, Activity::kFixed, 0},
    {optResolution, "resolution", "Scan resolution", "Sets the resolution of the scanned image.", SANE_TYPE_INT,
     SANE_UNIT_DPI, 0, kSelectDetect, Constraint::kResolutions, Activity::kFixed, 0},
    {optScanSrc, "source", "Scan source", "Selects the scan source (such as a document-feeder).", SANE_TYPE_STRING,
     SANE_UNIT_NONE, kSourceSize, kSelectDetect, Constraint::kSources, Activity::kFixed, 0},
    {optBrightness, "brightness", "Brightness", "Controls the brightness of the acquired image.", SANE_TYPE_FIXED,
     SANE_UNIT_PERCENT, 0, kSelectDetect | SANE_CAP_INACTIVE, Constraint::kPercent, Activity::kFixed, 0},
    {optContrast, "contrast", "Contrast", "Controls the contrast of the acquired image.", SANE_TYPE_FIXED,
     SANE_UNIT_PERCENT, 0, kSelectDetect | SANE_CAP_INACTIVE, Constraint::kPercent, Activity::kFixed, 0},
    {optMultiFeedDetect, "MultifeedDetection", "Multifeed Detection", "", SANE_TYPE_BOOL, SANE_UNIT_NONE, 0,
     kSelectDetect | SANE_CAP_ADVANCED, Constraint::kNone, Activity::kFeature, featureMultiFeed},
    {optSizeDetect, "AutoDocumentSize", "Auto Document Size", "", SANE_TYPE_BOOL, SANE_UNIT_NONE, 0,
     kSelectDetect | SANE_CAP_ADVANCED, Constraint::kNone, Activity::kFeature, featureSizeDetect},
    {optSkewAdjust, "AutoDeskew", "Auto Deskew", "", SANE_TYPE_BOOL, SANE_UNIT_NONE, 0,
     kSelectDetect | SANE_CAP_ADVANCED, Constraint::kNone, Activity::kFeature, featureSkewAdjust},
    {optBlankRemoval, "SkipBlankPage", "Skip Blank Page", "", SANE_TYPE_BOOL, SANE_UNIT_NONE, 0,
     kSelectDetect | SANE_CAP_ADVANCED, Constraint::kNone, Activity::kFeature, featureBlankRemoval},
    {optBlankRemovalLvl, "SkipBlankPageSensitivity", "Skip Blank Page sensitivity", "", SANE_TYPE_FIXED,
     SANE_UNIT_PERCENT, 0, 0, Constraint::kSensitivity, Activity::kSensitivity, featureBlankRemoval},
    {optGroupGeometry, "", "Geometry", "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, kSelectDetect, Constraint::kNone,
     Activity::kFixed, 0},
    {optTLX, "tl-x", "Top-left x", "Top-left x position of scan area.", SANE_TYPE_FIXED, SANE_UNIT_MM, 0,
     kSelectDetect, Constraint::kX, Activity::kFixed, 0},
    {optTLY, "tl-y", "Top-left y", "Top-left y position of scan area.", SANE_TYPE_FIXED, SANE_UNIT_MM, 0,
     kSelectDetect, Constraint::kY, Activity::kFixed, 0},
    {optBRX, "br-x", "Bottom-right x", "Bottom-right x position of scan area.", SANE_TYPE_FIXED, SANE_UNIT_MM, 0,
     kSelectDetect, Constraint::kX, Activity::kFixed, 0},
    {optBRY, "br-y", "Bottom-right y", "Bottom-right y position of scan area.", SANE_TYPE_FIXED, SANE_UNIT_MM, 0,
     kSelectDetect, Constraint::kY, Activity::kFixed, 0},
};
// clang-format on

// The capabilities of a row on this device: a feature's option is inactive
// unless the device offers the feature; the sensitivity is selectable only
// while blank pages are skipped (set_option switches it), and inactive
// without the feature or its levels.
SANE_Int CapabilitiesOf(const DEVCAP* dc, const OptionRow& row)
{
    switch (row.activity) {
    case Activity::kFeature:
        return row.cap | (dc->feature[row.feature].offered ? 0 : SANE_CAP_INACTIVE);
    case Activity::kSensitivity: {
        bool const levelsMissing =
            dc->feature[featureBlankRemoval].id == -1 || dc->blankLevelMin == -1 || dc->blankLevelMax == -1;
        return dc->feature[featureBlankRemoval].offered ? SANE_CAP_ADVANCED | (levelsMissing ? SANE_CAP_INACTIVE : 0)
                                                        : kSelectDetect | SANE_CAP_INACTIVE | SANE_CAP_ADVANCED;
    }
    case Activity::kFixed:
        break;
    }
    return row.cap;
}

// Fills the handle's descriptor of a row, with its constraint pointing at
// the handle's menus and ranges.
void Describe(My_Scanner* s, const OptionRow& row)
{
    SANE_Option_Descriptor& d = s->opt[row.index];
    d.name = row.name;
    d.title = row.title;
    d.desc = row.desc;
    d.type = row.type;
    d.unit = row.unit;
    d.size = row.size != 0 ? row.size : static_cast<SANE_Int>(sizeof(SANE_Word));
    d.cap = CapabilitiesOf(s->devcap, row);
    d.constraint_type = SANE_CONSTRAINT_RANGE;
    switch (row.constraint) {
    case Constraint::kNone:
        d.constraint_type = SANE_CONSTRAINT_NONE;
        break;
    case Constraint::kModes:
        d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
        d.constraint.string_list = s->mode_list;
        break;
    case Constraint::kSources:
        d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
        d.constraint.string_list = s->source_list;
        break;
    case Constraint::kResolutions:
        d.constraint_type = SANE_CONSTRAINT_WORD_LIST;
        d.constraint.word_list = s->resolution_list;
        break;
    case Constraint::kPercent:
        d.constraint.range = &kPercentRange;
        break;
    case Constraint::kSensitivity:
        d.constraint.range = &kSensitivityRange;
        break;
    case Constraint::kX:
        d.constraint.range = &s->x_range;
        break;
    case Constraint::kY:
        d.constraint.range = &s->y_range;
        break;
    }
}

SANE_Status BuildMenus(My_Scanner* s)
{
    DEVCAP* dc = s->devcap;
    s->mode_list =
        static_cast<SANE_String_Const*>(bugchk_calloc(kDevCapModes + 1, sizeof(SANE_String_Const), __LINE__, kSource));
    s->source_list = static_cast<SANE_String_Const*>(
        bugchk_calloc(kDevCapSources + 1, sizeof(SANE_String_Const), __LINE__, kSource));
    s->resolution_list =
        static_cast<SANE_Word*>(bugchk_calloc(kDevCapResolutions + 1, sizeof(SANE_Word), __LINE__, kSource));
    if (s->mode_list == nullptr || s->source_list == nullptr || s->resolution_list == nullptr) {
        return SANE_STATUS_NO_MEM;
    }
    int count = 0;
    for (const DevCapEntry& mode : dc->mode) {
        if (mode.offered) {
            s->mode_list[count++] = mode.label;
        }
    }
    count = 0;
    for (const DevCapEntry& source : dc->source) {
        if (source.offered) {
            s->source_list[count++] = source.label;
        }
    }
    count = 0;
    for (const DevCapResolution& resolution : dc->resolution) {
        if (resolution.offered) {
            s->resolution_list[++count] = resolution.dpi;
        }
    }
    s->resolution_list[0] = count;
    return SANE_STATUS_GOOD;
}

bool BlankRemovalOffered(const My_Scanner* s) { return s->devcap->feature[featureBlankRemoval].offered != 0; }

void SetSensitivitySelectable(My_Scanner* s, bool selectable)
{
    if (selectable) {
        s->opt[optBlankRemovalLvl].cap |= kSelectDetect;
    } else {
        s->opt[optBlankRemovalLvl].cap &= ~kSelectDetect;
    }
}

SANE_Status StoreText(My_Scanner* s, int n, const char* text)
{
    char* copy = CopyText(text, s->opt[n].size);
    if (copy == nullptr) {
        return SANE_STATUS_NO_MEM;
    }
    bugchk_free(s->val[n].s, __LINE__, kSource);
    s->val[n].s = copy;
    writelog(kSource, __LINE__, kIndent, "PUT:%s  val=%s", option_index_name(n), copy);
    return SANE_STATUS_GOOD;
}

int64_t EdgeMillimetres(SANE_Word value) { return static_cast<int64_t>(SANE_UNFIX(value) + 0.5); }

// trunc(dpi x mm x 10 / 254) with the product in single precision.
int64_t Pixels(int dpi, int64_t millimetres)
{
    float product = static_cast<float>(dpi) * static_cast<float>(millimetres);
    return static_cast<int64_t>(product * 10.0f / 254.0f);
}

int64_t RoundTo16(int64_t pixel) { return (pixel + 8) & ~int64_t{15}; }

SANE_Int ClampToInt(int64_t value) { return static_cast<SANE_Int>(std::clamp<int64_t>(value, 0, INT_MAX)); }

}  // namespace

const char* option_index_name(int n)
{
    static const struct Names {
        char padded[NUM_OPTIONS + 1][24];
        Names()
        {
            static const char* const kNames[NUM_OPTIONS + 1] = {
                "optCount",         "optGroupMode",  "optMode",         "optResolution",
                "optScanSrc",       "optBrightness", "optContrast",     "optMultiFeedDetect",
                "optSizeDetect",    "optSkewAdjust", "optBlankRemoval", "optBlankRemovalLvl",
                "optGroupGeometry", "optTLX",        "optTLY",          "optBRX",
                "optBRY",           "optUNKNOWN"};
            for (int i = 0; i <= NUM_OPTIONS; ++i) {
                std::snprintf(padded[i], sizeof padded[i], i == optBlankRemovalLvl ? "%s" : "%-19s", kNames[i]);
            }
        }
    } names;
    return names.padded[n >= 0 && n < NUM_OPTIONS ? n : NUM_OPTIONS];
}

void free_options(My_Scanner* s)
{
    bugchk_free(s->mode_list, __LINE__, kSource);
    bugchk_free(s->source_list, __LINE__, kSource);
    bugchk_free(s->resolution_list, __LINE__, kSource);
    s->mode_list = nullptr;
    s->source_list = nullptr;
    s->resolution_list = nullptr;
    bugchk_free(s->val[optMode].s, __LINE__, kSource);
    bugchk_free(s->val[optScanSrc].s, __LINE__, kSource);
    s->val[optMode].s = nullptr;
    s->val[optScanSrc].s = nullptr;
}

SANE_Status init_options(My_Scanner* s)
{
    writelog(kSource, __LINE__, kIndent, "InitOptions (My_Scanner *this)");
    if (s->devcap == nullptr) {
        error_detect(kSource, __LINE__);
        return SANE_STATUS_INVAL;
    }
    free_options(s);
    std::memset(s->opt, 0, sizeof s->opt);
    std::memset(s->val, 0, sizeof s->val);
    const DEVCAP* dc = s->devcap;

    int maxWidth = Millimetres(std::max(dc->flatbedMaxWidth, dc->adfSimplexMaxWidth));
    int maxHeight = Millimetres(std::max(dc->flatbedMaxHeight, dc->adfSimplexMaxHeight));
    s->x_range = SANE_Range{0, SANE_FIX(maxWidth), kGeometryQuant};
    s->y_range = SANE_Range{0, SANE_FIX(maxHeight), kGeometryQuant};
    if (BuildMenus(s) != SANE_STATUS_GOOD) {
        error_detect(kSource, __LINE__);
        free_options(s);
        return SANE_STATUS_NO_MEM;
    }
    for (const OptionRow& row : kOptionRows) {
        Describe(s, row);
    }

    const char* mode = ModeDefault(dc);
    writelog(kSource, __LINE__, kIndent, "MODE : default = %s\n", mode);
    s->val[optCount].w = NUM_OPTIONS;
    s->val[optMode].s = CopyText(mode, kModeSize);
    s->val[optScanSrc].s = CopyText(SourceDefault(dc), kSourceSize);
    if (s->val[optMode].s == nullptr || s->val[optScanSrc].s == nullptr) {
        error_detect(kSource, __LINE__);
        free_options(s);
        return SANE_STATUS_NO_MEM;
    }
    s->val[optResolution].w = ResolutionDefault(dc);
    s->val[optBlankRemovalLvl].w = SANE_FIX(50);
    // The defaults cover the device's whole area, down to the grid step
    // below its edge; an edge in whole millimetres rounds back to it.
    s->val[optBRX].w = OnGrid(s->x_range, SANE_FIX(kDefaultBrX));
    s->val[optBRY].w = OnGrid(s->y_range, SANE_FIX(kDefaultBrY));

    writelog(kSource, __LINE__, kIndent, "InitOptions (My_Scanner *this) end");
    return SANE_STATUS_GOOD;
}

SANE_Status get_option(My_Scanner* s, int n, void* value)
{
    if (n < 0 || n >= NUM_OPTIONS || n == optGroupMode || n == optGroupGeometry || value == nullptr) {
        return SANE_STATUS_INVAL;
    }
    if (n == optMode || n == optScanSrc) {
        const char* text = s->val[n].s != nullptr ? s->val[n].s : "";
        size_t length = strnlen(text, static_cast<size_t>(s->opt[n].size) - 1);
        std::memcpy(value, text, length);
        static_cast<char*>(value)[length] = '\0';
        writelog(kSource, __LINE__, kIndent, "GET:%s  val=%s", option_index_name(n), text);
    } else {
        *static_cast<SANE_Word*>(value) = s->val[n].w;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status set_option(My_Scanner* s, int n, void* value, SANE_Int* info)
{
    SANE_Int ignored = 0;
    if (info == nullptr) {
        info = &ignored;
    }
    *info = 0;
    if (n < 0 || n >= NUM_OPTIONS || value == nullptr || !(s->opt[n].cap & SANE_CAP_SOFT_SELECT)) {
        return SANE_STATUS_INVAL;
    }
    SANE_Status status = sanei_constrain_value(&s->opt[n], value, info);
    if (status != SANE_STATUS_GOOD) {
        return status;
    }
    // Text options' buffers may be shorter than a word.
    SANE_Word word = s->opt[n].type == SANE_TYPE_STRING ? 0 : *static_cast<SANE_Word*>(value);
    bool coupling = s->devcap->sizeDetectCoupling != 0;
    switch (n) {
    case optMode:
        *info |= kReload;
        if (IdOfLabel(s->devcap->mode, kDevCapModes, static_cast<const char*>(value)) < 0) {
            return SANE_STATUS_INVAL;
        }
        status = StoreText(s, n, static_cast<const char*>(value));
        break;
    case optScanSrc:
        status = StoreText(s, n, static_cast<const char*>(value));
        break;
    case optResolution:
    case optTLX:
    case optTLY:
    case optBRX:
    case optBRY:
        *info |= SANE_INFO_RELOAD_PARAMS;
        s->val[n].w = word;
        writelog(kSource, __LINE__, kIndent, "PUT:%s  val=%d", option_index_name(n), word);
        break;
    case optBrightness:
    case optContrast:
    case optMultiFeedDetect:
    case optBlankRemovalLvl:
        s->val[n].w = word;
        break;
    case optSizeDetect:
        s->val[n].w = word;
        if (coupling && word == SANE_FALSE) {
            s->val[optSkewAdjust].w = SANE_FALSE;
            s->val[optBlankRemoval].w = SANE_FALSE;
            if (BlankRemovalOffered(s)) {
                SetSensitivitySelectable(s, false);
            }
            *info |= kReload;
        }
        break;
    case optSkewAdjust:
    case optBlankRemoval:
        s->val[n].w = word;
        if (coupling && word == SANE_TRUE) {
            s->val[optSizeDetect].w = SANE_TRUE;
            *info |= kReload;
        }
        if (n == optBlankRemoval && BlankRemovalOffered(s)) {
            SetSensitivitySelectable(s, word == SANE_TRUE);
            *info |= kReload;
        }
        break;
    default:
        return SANE_STATUS_INVAL;
    }
    if (status != SANE_STATUS_GOOD) {
        return status;
    }
    update_parameters(s);
    return SANE_STATUS_GOOD;
}

void update_parameters(My_Scanner* s)
{
    DEVCAP* dc = s->devcap;
    if (dc == nullptr) {
        return;
    }
    dc->modeSelected = IdOfLabel(dc->mode, kDevCapModes, s->val[optMode].s);
    dc->resolutionSelected = ResolutionIdOfDpi(dc, s->val[optResolution].w);
    int source = IdOfLabel(dc->source, kDevCapSources, s->val[optScanSrc].s);
    if (source < 0) {
        error_detect(kSource, __LINE__);
        source = 0;
    }
    dc->sourceSelected = source;
    dc->contrast = static_cast<int>(SANE_UNFIX(s->val[optContrast].w));
    dc->brightness = static_cast<int>(SANE_UNFIX(s->val[optBrightness].w));

    Option_Value* val = s->val;
    if (val[optTLX].w == val[optBRX].w) {
        val[optTLX].w = 0;
        val[optBRX].w = SANE_FIX(10);
    }
    if (val[optTLY].w == val[optBRY].w) {
        val[optTLY].w = 0;
        val[optBRY].w = SANE_FIX(10);
    }
    s->left = EdgeMillimetres(val[optTLX].w);
    s->top = EdgeMillimetres(val[optTLY].w);
    s->right = EdgeMillimetres(val[optBRX].w);
    s->bottom = EdgeMillimetres(val[optBRY].w);
    if (s->left < 0 || s->right < 1 || s->top < 0 || s->bottom < 1) {
        s->left = 0;
        s->top = 0;
        s->right = 210;
        s->bottom = 297;
    }
    if (s->left > s->right) {
        std::swap(s->left, s->right);
    }
    if (s->top > s->bottom) {
        std::swap(s->top, s->bottom);
    }

    int dpi = DpiOfResolutionId(dc, dc->resolutionSelected);
    if (dpi == 0) {
        error_detect(kSource, __LINE__);
    }
    s->x0 = Pixels(dpi, s->left);
    s->y0 = Pixels(dpi, s->top);
    s->x1 = Pixels(dpi, s->right);
    s->y1 = Pixels(dpi, s->bottom);
    int mode = dc->modeSelected;
    if (mode == modeTrueGray || mode == modeColor || mode == modeColorFast) {
        s->x0 = RoundTo16(s->x0);
        s->y0 = RoundTo16(s->y0);
        s->x1 = RoundTo16(s->x1);
        s->y1 = RoundTo16(s->y1);
    } else if (mode == modeBlackWhite || mode == modeErrorDiffusion) {
        s->x0 = RoundTo16(s->x0);
        s->x1 = RoundTo16(s->x1);
    }
    if (s->y1 == s->y0) {
        s->y1 = s->y0 + 16;
    }
    if (s->x1 == s->x0) {
        s->x1 = s->x0 + 16;
    }
    s->width = s->x1 - s->x0;
    s->height = s->y1 - s->y0;
}

void blank_removal_request(const My_Scanner* s, bool* remove, int* level)
{
    if (s->val[optBlankRemoval].w == SANE_FALSE) {
        *remove = false;
        *level = 0;
        return;
    }
    *remove = true;
    const DEVCAP* dc = s->devcap;
    float sensitivity = static_cast<float>(SANE_UNFIX(s->val[optBlankRemovalLvl].w));
    float def = static_cast<float>(dc->feature[featureBlankRemoval].id);
    float min = static_cast<float>(dc->blankLevelMin);
    float max = static_cast<float>(dc->blankLevelMax);
    if (sensitivity == 50.0f) {
        *level = dc->feature[featureBlankRemoval].id;
    } else if (sensitivity > 50.0f) {
        *level = static_cast<int>(def + (sensitivity - 50.0f) * (max - def) / 50.0f);
    } else {
        *level = static_cast<int>(min + (def - min) * (sensitivity / 50.0f));
    }
}

SANE_Status my_sane_get_parameters(My_Scanner* s, SANE_Parameters* params)
{
    update_parameters(s);
    std::memset(params, 0, sizeof *params);
    params->last_frame = SANE_TRUE;
    int64_t pixels = s->x1 - s->x0;
    int64_t lines = s->y1 - s->y0;
    // While a page is delivered the frame is the one sane_read gives: the
    // page's own geometry and depth. Before a first start, after a cancel, a
    // failed start or the last page it is the estimate from the options. A
    // cancel ends the page here through its own flag, so a signal handler
    // has nothing more to store.
    int mode = s->devcap != nullptr ? s->devcap->modeSelected : -1;
    if (s->scanning && s->cancel.load() == 0 && s->current != nullptr) {
        pixels = s->current->width;
        lines = s->current->height;
        if (s->current->bits == 1) {
            mode = modeBlackWhite;
        } else if (s->current->bits == 8) {
            mode = modeTrueGray;
        } else if (s->current->bits == 24) {
            mode = modeColor;
        }
    }
    if (mode == modeBlackWhite || mode == modeErrorDiffusion) {
        params->format = SANE_FRAME_GRAY;
        params->depth = 1;
        params->bytes_per_line = ClampToInt((pixels + 7) / 8);
    } else if (mode == modeTrueGray) {
        params->format = SANE_FRAME_GRAY;
        params->depth = 8;
        params->bytes_per_line = ClampToInt(pixels);
    } else if (mode == modeColor || mode == modeColorFast) {
        params->format = SANE_FRAME_RGB;
        params->depth = 8;
        params->bytes_per_line = ClampToInt(3 * pixels);
    }
    params->pixels_per_line = ClampToInt(pixels);
    params->lines = ClampToInt(lines);
    writelog(kSource, __LINE__, 0, "<<< my_sane_get_parameters end (%x)(bytes_per_line=%d, lines=%d) >>> ",
             SANE_STATUS_GOOD, params->bytes_per_line, params->lines);
    return SANE_STATUS_GOOD;
}
