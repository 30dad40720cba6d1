// Options and the device-capability copy from hand-made version-1 records:
// menus, defaults, dependencies, the scan area and the frame parameters.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "backend_source/DevCap.h"
#include "backend_source/Options.h"
#include "backend_source/sanei/ConstrainValue.h"

namespace {

using Capability = vscore::tagVS_SCANNER_CAPABILITY_VER1;

// A flatbed device of 215.9 x 355.6 mm with every mode and five resolutions.
Capability Flatbed()
{
    Capability cap{};
    const uint32_t resolutions[] = {100, 150, 200, 300, 600};
    std::memcpy(cap.resolutionList, resolutions, sizeof resolutions);
    cap.colorType.blackAndWhite = true;
    cap.colorType.errorDiffusion = true;
    cap.colorType.trueGray = true;
    cap.colorType.color24bit = true;
    cap.supportDocSizeMax.flatbed = {21590, 35560};
    cap.supportDocSizeMax.unit = vscore::MM;
    cap.paperSourceSpec.supportPaperSource.flatbed = true;
    return cap;
}

struct Handle {
    explicit Handle(const Capability& cap)
    {
        make_devcap(&devcap, &cap);
        s.devcap = &devcap;
        status = init_options(&s);
    }
    ~Handle() { free_options(&s); }
    SANE_Status Set(int n, SANE_Word word, SANE_Int* info = nullptr) { return set_option(&s, n, &word, info); }
    SANE_Status SetText(int n, const char* text, SANE_Int* info = nullptr)
    {
        char buffer[64] = {};
        std::strcpy(buffer, text);
        return set_option(&s, n, buffer, info);
    }
    std::vector<std::string> List(const SANE_String_Const* list) const
    {
        std::vector<std::string> out;
        for (size_t i = 0; list[i] != nullptr; ++i) {
            out.push_back(list[i]);
        }
        return out;
    }

    DEVCAP devcap;
    My_Scanner s{};
    SANE_Status status;
};

TEST(Options, ModesOfAColourAndGrayDeviceDefaultToFastColour)
{
    Capability cap = Flatbed();
    cap.colorType = {};
    cap.colorType.color24bit = true;
    cap.colorType.trueGray = true;
    Handle h(cap);
    ASSERT_EQ(SANE_STATUS_GOOD, h.status);
    EXPECT_EQ((std::vector<std::string>{"24bit Color[Fast]", "True Gray"}), h.List(h.s.mode_list));
    EXPECT_STREQ("24bit Color[Fast]", h.s.val[optMode].s);
    EXPECT_EQ(30, h.s.opt[optMode].size);
}

TEST(Options, DefaultsFallBackToTheFirstOfferedEntry)
{
    Capability cap = Flatbed();
    cap.colorType = {};
    cap.colorType.trueGray = true;
    cap.paperSourceSpec.supportPaperSource = {};
    cap.paperSourceSpec.supportPaperSource.cardslot = true;
    Handle h(cap);
    EXPECT_STREQ("True Gray", h.s.val[optMode].s);
    EXPECT_STREQ("Card Slot", h.s.val[optScanSrc].s);
    Handle full(Flatbed());
    EXPECT_STREQ("24bit Color[Fast]", full.s.val[optMode].s);
    EXPECT_STREQ("FlatBed", full.s.val[optScanSrc].s);
}

// Every default passes its own constraint unchanged, so a front end that
// sets the options it read back gets no rounding and no refusal: an offered
// resolution nearest to 100 dpi, and br-x and br-y on their 0.1 mm grid yet
// still the device's whole area once taken to whole millimetres.
TEST(Options, EveryDefaultPassesItsOwnConstraintUnchanged)
{
    Capability noHundred = Flatbed();
    const uint32_t resolutions[11] = {150, 300, 600, 1200, 250, 0, 0, 0, 0, 0, 0};  // 250 is no template dpi
    std::memcpy(noHundred.resolutionList, resolutions, sizeof resolutions);
    Capability a3 = Flatbed();
    a3.supportDocSizeMax.flatbed = {29700, 42000};
    struct Case {
        const char* name;
        Capability cap;
        SANE_Word dpi;
        int brx, bry;  // whole millimetres
    };
    const Case cases[] = {{"no 100 dpi", noHundred, 150, 215, 355}, {"A3", a3, 100, 297, 420}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Handle h(c.cap);
        ASSERT_EQ(SANE_STATUS_GOOD, h.status);
        for (int n = optMode; n < NUM_OPTIONS; ++n) {
            if (h.s.opt[n].type == SANE_TYPE_GROUP) {
                continue;
            }
            SCOPED_TRACE(h.s.opt[n].name);
            char value[64] = {};
            ASSERT_EQ(SANE_STATUS_GOOD, get_option(&h.s, n, value));
            char const* before = h.s.opt[n].type == SANE_TYPE_STRING ? value : nullptr;
            SANE_Word const word = *reinterpret_cast<SANE_Word*>(value);
            std::string const text = before != nullptr ? before : "";
            SANE_Int info = 0;
            EXPECT_EQ(SANE_STATUS_GOOD, sanei_constrain_value(&h.s.opt[n], value, &info));
            EXPECT_EQ(0, info & SANE_INFO_INEXACT);
            if (before != nullptr) {
                EXPECT_EQ(text, value);
            } else {
                EXPECT_EQ(word, *reinterpret_cast<SANE_Word*>(value));
            }
        }
        EXPECT_EQ(c.dpi, h.s.val[optResolution].w);
        update_parameters(&h.s);
        EXPECT_EQ(c.brx, h.s.right);
        EXPECT_EQ(c.bry, h.s.bottom);
    }
}

TEST(Options, ResolutionListHoldsTheOfferedTemplateDpis)
{
    Capability cap = Flatbed();
    const uint32_t resolutions[11] = {150, 300, 600, 1200, 250, 0, 0, 0, 0, 0, 0};  // 250 is no template dpi
    std::memcpy(cap.resolutionList, resolutions, sizeof resolutions);
    Handle h(cap);
    const SANE_Word expected[] = {4, 150, 300, 600, 1200};
    EXPECT_EQ(0, std::memcmp(expected, h.s.resolution_list, sizeof expected));
    SANE_Int info = 0;
    EXPECT_EQ(SANE_STATUS_GOOD, h.Set(optResolution, 250, &info));  // nearest entry
    EXPECT_EQ(300, h.s.val[optResolution].w);
    EXPECT_EQ(SANE_INFO_INEXACT | SANE_INFO_RELOAD_PARAMS, info);
}

struct AreaCase {
    const char* mode;
    int dpi;
    double tlx, tly, brx, bry;  // millimetres
    int64_t x0, y0, x1, y1;
    SANE_Frame format;
    int depth;
    int bytesPerLine;
};

TEST(Options, ScanAreaInPixelsByModeAndResolution)
{
    // clang-format off
    const AreaCase cases[] = {
        // 210 mm at 300 dpi: 2480.3 pixels, already a multiple of 16.
        {"True Gray", 300, 0, 0, 210, 297, 0, 0, 2480, 3504, SANE_FRAME_GRAY, 8, 2480},
        // 200 dpi has id 3 at index 2: found by id. 25 mm = 196.8 -> 192 (x), y unrounded.
        {"Black & White", 200, 25, 25, 100, 50, 192, 196, 784, 393, SANE_FRAME_GRAY, 1, 74},
        {"Gray[Error Diffusion]", 150, 3, 3, 13, 13, 16, 17, 80, 76, SANE_FRAME_GRAY, 1, 8},
        {"24bit Color[Fast]", 600, 10, 10, 20, 20, 240, 240, 480, 480, SANE_FRAME_RGB, 8, 720},
        // Equal edges are reset to 0 and 10 mm.
        {"True Gray", 100, 50, 50, 50, 50, 0, 0, 32, 32, SANE_FRAME_GRAY, 8, 32},
        // Swapped edges are exchanged.
        {"True Gray", 100, 100, 80, 20, 10, 80, 32, 400, 320, SANE_FRAME_GRAY, 8, 320},
    };
    // clang-format on
    for (const AreaCase& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + std::to_string(c.dpi) + " dpi, tl-x " + std::to_string(c.tlx));
        Handle h(Flatbed());
        ASSERT_EQ(SANE_STATUS_GOOD, h.SetText(optMode, c.mode));
        ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optResolution, c.dpi));
        // Set br first so that tl never meets br on the way.
        ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optBRX, SANE_FIX(c.brx)));
        ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optBRY, SANE_FIX(c.bry)));
        ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optTLX, SANE_FIX(c.tlx)));
        ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optTLY, SANE_FIX(c.tly)));
        SANE_Parameters p;
        ASSERT_EQ(SANE_STATUS_GOOD, my_sane_get_parameters(&h.s, &p));
        EXPECT_EQ(c.x0, h.s.x0);
        EXPECT_EQ(c.y0, h.s.y0);
        EXPECT_EQ(c.x1, h.s.x1);
        EXPECT_EQ(c.y1, h.s.y1);
        EXPECT_EQ(c.x1 - c.x0, h.s.width);
        EXPECT_EQ(c.format, p.format);
        EXPECT_EQ(c.depth, p.depth);
        EXPECT_EQ(c.bytesPerLine, p.bytes_per_line);
        EXPECT_EQ(c.x1 - c.x0, p.pixels_per_line);
        EXPECT_EQ(c.y1 - c.y0, p.lines);
        EXPECT_TRUE(p.last_frame);
    }
}

TEST(Options, EqualTopAndBottomBecome0To10Millimetres)
{
    Handle h(Flatbed());
    ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optBRY, SANE_FIX(50)));
    ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optTLY, SANE_FIX(50)));
    EXPECT_EQ(0, h.s.val[optTLY].w);
    EXPECT_EQ(SANE_FIX(10), h.s.val[optBRY].w);
    EXPECT_EQ(0, h.s.top);
    EXPECT_EQ(10, h.s.bottom);
}

TEST(Options, WhileScanningTheFrameComesFromTheCurrentPage)
{
    Handle h(Flatbed());
    ASSERT_EQ(SANE_STATUS_GOOD, h.SetText(optMode, "24bit Color[Fast]"));
    PageLink page{};
    page.width = 1000;
    page.height = 700;
    page.bits = 24;
    h.s.scanning = 1;
    h.s.current = &page;
    SANE_Parameters p;
    my_sane_get_parameters(&h.s, &p);
    EXPECT_EQ(1000, p.pixels_per_line);
    EXPECT_EQ(700, p.lines);
    EXPECT_EQ(8, p.depth);
    EXPECT_EQ(3000, p.bytes_per_line);
}

TEST(Options, SkewAndBlankRemovalImplyDocumentSizeDetection)
{
    Capability cap = Flatbed();
    cap.paperTypeList[0] = vscore::A4;
    cap.paperTypeList[1] = vscore::AUTOSIZE;
    cap.paperNum = 2;
    cap.deskew.cap = vscore::SUPPORT;
    cap.blankRemoval.cap = vscore::SUPPORT;
    cap.blankRemoval.blankLevel = {vscore::SUPPORT, false, {}, 9, 1, 5};
    Handle h(cap);
    const SANE_Int selectDetect = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    EXPECT_EQ(SANE_CAP_ADVANCED, h.s.opt[optBlankRemovalLvl].cap);
    SANE_Int info = 0;
    ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optSkewAdjust, SANE_TRUE, &info));
    EXPECT_EQ(SANE_TRUE, h.s.val[optSizeDetect].w);
    EXPECT_EQ(SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS, info);
    ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optBlankRemoval, SANE_TRUE, &info));
    EXPECT_EQ(selectDetect, h.s.opt[optBlankRemovalLvl].cap & selectDetect);

    const struct {
        double sensitivity;
        int level;
    } levels[] = {{75, 7}, {25, 3}, {50, 5}, {100, 9}, {0, 1}};
    for (const auto& c : levels) {
        ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optBlankRemovalLvl, SANE_FIX(c.sensitivity)));
        bool remove = false;
        int level = -2;
        blank_removal_request(&h.s, &remove, &level);
        EXPECT_TRUE(remove);
        EXPECT_EQ(c.level, level) << c.sensitivity;
    }

    ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optSizeDetect, SANE_FALSE, &info));
    EXPECT_EQ(SANE_FALSE, h.s.val[optSkewAdjust].w);
    EXPECT_EQ(SANE_FALSE, h.s.val[optBlankRemoval].w);
    EXPECT_EQ(0, h.s.opt[optBlankRemovalLvl].cap & selectDetect);
    EXPECT_EQ(SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS, info);
    EXPECT_EQ(SANE_STATUS_INVAL, h.Set(optBlankRemovalLvl, SANE_FIX(60)));  // not selectable now
    bool remove = true;
    int level = -2;
    blank_removal_request(&h.s, &remove, &level);
    EXPECT_FALSE(remove);
    EXPECT_EQ(0, level);
}

TEST(Options, WithoutAutosizeNothingIsCoupled)
{
    Capability cap = Flatbed();
    cap.deskew.cap = vscore::SUPPORT;
    cap.blankRemoval.cap = vscore::SUPPORT;  // no levels: sensitivity stays inactive
    Handle h(cap);
    EXPECT_EQ(0, h.devcap.sizeDetectCoupling);
    EXPECT_TRUE(h.s.opt[optSizeDetect].cap & SANE_CAP_INACTIVE);
    EXPECT_EQ(SANE_CAP_ADVANCED | SANE_CAP_INACTIVE, h.s.opt[optBlankRemovalLvl].cap);
    SANE_Int info = 0;
    ASSERT_EQ(SANE_STATUS_GOOD, h.Set(optSkewAdjust, SANE_TRUE, &info));
    EXPECT_EQ(SANE_FALSE, h.s.val[optSizeDetect].w);
    EXPECT_EQ(0, info);
}

TEST(Options, SourcesOfferedByFeederPositionDuplexAndCardSlot)
{
    const char* const F = "FlatBed";
    const char* const L = "Automatic Document Feeder(left aligned)";
    const char* const C = "Automatic Document Feeder(center aligned)";
    const char* const LD = "Automatic Document Feeder(left aligned,Duplex)";
    const char* const CD = "Automatic Document Feeder(center aligned,Duplex)";
    const char* const K = "Card Slot";
    const char* const KD = "Card Slot(Duplex)";
    const struct {
        bool flatbed, simplex, duplex, card;
        vscore::POSITION adfX;
        std::vector<std::string> sources;  // template order
        const char* chosen;
    } cases[] = {
        {true, false, false, false, vscore::LEFT, {F}, F},
        {false, true, false, false, vscore::LEFT, {L}, L},
        {false, true, false, false, vscore::CENTER, {L, C}, L},
        {false, true, false, false, vscore::RIGHT, {C}, C},
        {false, false, true, false, vscore::LEFT, {L, LD}, L},
        {false, false, true, false, vscore::CENTER, {L, C, LD, CD}, L},
        {false, false, true, false, vscore::RIGHT, {L, C, LD, CD}, L},
        {true, false, false, true, vscore::LEFT, {F, K}, F},
        {false, false, true, true, vscore::LEFT, {L, LD, K, KD}, L},
    };
    for (const auto& c : cases) {
        Capability cap = Flatbed();
        cap.paperSourceSpec.supportPaperSource = {c.flatbed, c.simplex, c.duplex, c.card};
        cap.paperPosition.adfX = c.adfX;
        Handle h(cap);
        SCOPED_TRACE(c.sources.size());
        EXPECT_EQ(c.sources, h.List(h.s.source_list));
        EXPECT_STREQ(c.chosen, h.s.val[optScanSrc].s);
        EXPECT_EQ(c.duplex, h.devcap.adfDuplex);
        EXPECT_EQ(c.simplex, h.devcap.adfSimplex);
    }
}

TEST(Options, LengthsInThousandthsOfAnInchBecomeHundredthsOfAMillimetre)
{
    Capability cap = Flatbed();
    cap.supportDocSizeMax = {{8500, 14000}, {8500, 14000}, {8500, 11000}, {}, vscore::INCH};
    cap.deviceScanSizeMin = {{1000, 1000}, {2000, 2000}, {2000, 3000}, {}, vscore::INCH};
    cap.longPaper = {100000, 50000, vscore::INCH, 0};
    cap.paperTypeList[0] = vscore::LONGPAPER_WIDE;
    cap.paperNum = 1;
    cap.marginSize = {-100, 300, 500, 700, vscore::INCH};  // left, right, top, bottom
    DEVCAP d;
    make_devcap(&d, &cap);
    EXPECT_EQ(21590, d.flatbedMaxWidth);
    EXPECT_EQ(35560, d.flatbedMaxHeight);
    EXPECT_EQ(21590, d.adfSimplexMaxWidth);
    EXPECT_EQ(27940, d.adfDuplexMaxHeight);
    EXPECT_EQ(2540, d.flatbedMinWidth);
    EXPECT_EQ(7620, d.adfDuplexMinHeight);
    EXPECT_EQ(254000, d.longPaperSimplexMax);
    EXPECT_EQ(127000, d.longPaperDuplexMax);
    EXPECT_EQ(-254, d.marginLeft);
    EXPECT_EQ(1270, d.marginTop);
    EXPECT_EQ(762, d.marginRight);
    EXPECT_EQ(1778, d.marginBottom);
    cap.paperNum = 0;  // long paper only when listed
    make_devcap(&d, &cap);
    EXPECT_EQ(0, d.longPaperSimplexMax);
}

TEST(Options, AnUnknownModeIsRefusedAndTheOldValueKept)
{
    Handle h(Flatbed());
    ASSERT_EQ(SANE_STATUS_GOOD, h.SetText(optMode, "true gray"));
    EXPECT_STREQ("True Gray", h.s.val[optMode].s);
    EXPECT_EQ(SANE_STATUS_INVAL, h.SetText(optMode, "Color"));  // no entry begins with it
    EXPECT_EQ(SANE_STATUS_INVAL, h.SetText(optMode, "Sepia"));
    EXPECT_STREQ("True Gray", h.s.val[optMode].s);
    char text[64];
    ASSERT_EQ(SANE_STATUS_GOOD, get_option(&h.s, optMode, text));
    EXPECT_STREQ("True Gray", text);
    SANE_Word word = 0;
    EXPECT_EQ(SANE_STATUS_INVAL, get_option(&h.s, optGroupGeometry, &word));
    EXPECT_EQ(SANE_STATUS_INVAL, get_option(&h.s, NUM_OPTIONS, &word));
    EXPECT_EQ(SANE_STATUS_INVAL, h.Set(optCount, 3));
    EXPECT_EQ(SANE_STATUS_INVAL, h.Set(optGroupGeometry, 0));
    EXPECT_EQ(SANE_STATUS_INVAL, h.Set(-1, 0));
    EXPECT_EQ(SANE_STATUS_GOOD, h.Set(optSizeDetect, SANE_TRUE));  // inactive, yet selectable
    EXPECT_EQ(SANE_STATUS_INVAL, h.Set(optSizeDetect, 2));
    ASSERT_EQ(SANE_STATUS_GOOD, get_option(&h.s, optCount, &word));
    EXPECT_EQ(17, word);
}

TEST(Options, AnUnclearedRecordGivesBoundedOptions)
{
    Capability cap;
    std::memset(static_cast<void*>(&cap), 0xFE, sizeof cap);  // an engine that wrote nothing
    Handle h(cap);
    ASSERT_EQ(SANE_STATUS_GOOD, h.status);
    EXPECT_EQ(0, h.s.resolution_list[0]);
    EXPECT_EQ(SANE_FIX(32767), h.s.x_range.max);
    EXPECT_EQ(297, static_cast<int>(SANE_UNFIX(h.s.val[optBRX].w) + 0.5));
    EXPECT_EQ(4u, h.List(h.s.mode_list).size());
    EXPECT_EQ(0, h.devcap.feature[featureSizeDetect].offered);
}

TEST(Options, EachHandleKeepsItsOwnMenusAndDefaults)
{
    Capability small = Flatbed();
    small.supportDocSizeMax.flatbed = {10000, 15000};
    small.colorType = {};
    small.colorType.trueGray = true;
    auto first = std::make_unique<Handle>(Flatbed());
    auto second = std::make_unique<Handle>(small);
    EXPECT_EQ(100, static_cast<int>(SANE_UNFIX(second->s.val[optBRX].w) + 0.5));
    first.reset();  // sane_close of the first handle
    EXPECT_EQ((std::vector<std::string>{"True Gray"}), second->List(second->s.mode_list));
    EXPECT_EQ((std::vector<std::string>{"FlatBed"}), second->List(second->s.source_list));
    auto third = std::make_unique<Handle>(Flatbed());
    EXPECT_EQ(215, static_cast<int>(SANE_UNFIX(third->s.val[optBRX].w) + 0.5));  // not lowered by the small device
    EXPECT_EQ(SANE_STATUS_GOOD, second->SetText(optMode, "True Gray"));
}

TEST(Options, IndexNamesArePaddedForTheLog)
{
    EXPECT_STREQ("optMode            ", option_index_name(optMode));
    EXPECT_STREQ("optBlankRemovalLvl", option_index_name(optBlankRemovalLvl));
    EXPECT_STREQ("optUNKNOWN         ", option_index_name(99));
}

}  // namespace
