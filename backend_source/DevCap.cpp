// The device-capability template and its fill from the engine's version-1
// capability record.
#include "backend_source/DevCap.h"

#include <climits>
#include <cstring>

// clang-format off
extern "C" const DEVCAP TEMPLATE_DEVCAP = {
    {{100, 0, 0}, {150, 0, 1}, {200, 0, 3}, {300, 0, 5}, {400, 0, 6}, {600, 0, 7},
     {800, 0, 8}, {1200, 0, 9}, {2400, 0, 10}, {4800, 0, 11}, {9600, 0, 12}},
    3,
    {{"FlatBed", 0, 0},
     {"FlatBed(left aligned)", 0, 1},
     {"FlatBed(right aligned)", 0, 2},
     {"FlatBed(center aligned)", 0, 3},
     {"Automatic Document Feeder(left aligned)", 0, 4},
     {"Automatic Document Feeder(right aligned)", 0, 5},
     {"Automatic Document Feeder(center aligned)", 0, 6},
     {"Automatic Document Feeder(left aligned,Duplex)", 0, 7},
     {"Automatic Document Feeder(right aligned,Duplex)", 0, 8},
     {"Automatic Document Feeder(center aligned,Duplex)", 0, 9},
     {"Card Slot", 0, 10},
     {"Card Slot(Duplex)", 0, 11}},
    0,
    {{"24bit Color", 0, 5},
     {"24bit Color[Fast]", 0, 7},
     {"Black & White", 0, 0},
     {"True Gray", 0, 3},
     {"Gray[Error Diffusion]", 0, 1}},
    5,
    {0, 100, 0, 150},
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0,
    0, 0,
    0,
    {{"Paper size detection", 0, 0},
     {"  Skew adjust", 0, 1},
     {"Ground Color adjust", 0, 2},
     {"Multi feed detect", 0, 3},
     {"  Blank page removal", 0, -1}},
    -1, -1,
    1,
    {},
    0, 0, 0, 0,
    0, 0,
    {},
    0,
};
// clang-format on

namespace {

// A flag of the engine's record, read as its byte: a record the engine did not
// clear may hold any byte there.
bool Flag(const bool& flag)
{
    unsigned char byte;
    std::memcpy(&byte, &flag, 1);
    return byte != 0;
}

// A length in hundredths of a millimetre: unit 0 (thousandths of an inch) is
// converted, any other unit taken as is; kept within int.
int64_t Length(int64_t value, vscore::UNITTYPE unit)
{
    if (unit == vscore::INCH) {
        value = value * 254 / 100;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return value;
}

int Size(uint32_t value, vscore::UNITTYPE unit) { return static_cast<int>(Length(value, unit)); }

void Sizes(const vscore::AXIS& size, vscore::UNITTYPE unit, int* width, int* height)
{
    *width = Size(size.x, unit);
    *height = Size(size.y, unit);
}

bool ListsPaperType(const vscore::tagVS_SCANNER_CAPABILITY_VER1& cap, vscore::PAPERTYPE type)
{
    uint32_t count = cap.paperNum < 27 ? cap.paperNum : 27;
    for (uint32_t i = 0; i < count; ++i) {
        if (cap.paperTypeList[i] == type) {
            return true;
        }
    }
    return false;
}

void Offer(DEVCAP* devcap, int sourceId) { devcap->source[sourceId].offered = 1; }

void FillSources(DEVCAP* devcap, const vscore::tagVS_SCANNER_CAPABILITY_VER1& cap)
{
    const vscore::SUPPORTPAPERSOURCES& sources = cap.paperSourceSpec.supportPaperSource;
    vscore::POSITION adfX = cap.paperPosition.adfX;
    if (Flag(sources.flatbed)) {
        Offer(devcap, srcFlatBed);
    }
    if (Flag(sources.adfSimplex)) {
        if (adfX == vscore::LEFT) {
            Offer(devcap, srcAdfLeft);
        } else if (adfX == vscore::CENTER) {
            Offer(devcap, srcAdfCenter);
            Offer(devcap, srcAdfLeft);
        } else {
            Offer(devcap, srcAdfCenter);
        }
    }
    if (Flag(sources.adfDuplex)) {
        if (adfX == vscore::LEFT) {
            Offer(devcap, srcAdfLeft);
            Offer(devcap, srcAdfLeftDuplex);
        } else {
            Offer(devcap, srcAdfCenter);
            Offer(devcap, srcAdfCenterDuplex);
            Offer(devcap, srcAdfLeft);
            Offer(devcap, srcAdfLeftDuplex);
        }
    }
    if (Flag(sources.cardslot)) {
        Offer(devcap, srcCardSlot);
        if (Flag(sources.adfDuplex)) {
            Offer(devcap, srcCardSlotDuplex);
        }
    }
}

void FillFeatures(DEVCAP* devcap, const vscore::tagVS_SCANNER_CAPABILITY_VER1& cap)
{
    DevCapEntry* feature = devcap->feature;
    feature[featureSkewAdjust].offered = cap.deskew.cap == vscore::SUPPORT;
    if (ListsPaperType(cap, vscore::AUTOSIZE)) {
        feature[featureSizeDetect].offered = 1;
    } else {
        devcap->sizeDetectCoupling = 0;
    }
    feature[featureMultiFeed].offered = cap.multifeedDetect == vscore::SUPPORT;
    if (cap.blankRemoval.cap == vscore::SUPPORT) {
        feature[featureBlankRemoval].offered = 1;
        const vscore::BLANKREMOVALLEVEL& level = cap.blankRemoval.blankLevel;
        bool levels = level.cap == vscore::SUPPORT;
        feature[featureBlankRemoval].id = levels ? level.levelDef : -1;
        devcap->blankLevelMin = levels ? level.levelMin : -1;
        devcap->blankLevelMax = levels ? level.levelMax : -1;
    }
    const vscore::BACKGROUNDREMOVALSUPPORT& ground = cap.backgroundRemoval;
    feature[featureGroundColor].offered =
        ground.blackAndWhite.cap == vscore::SUPPORT || ground.errorDiffusion.cap == vscore::SUPPORT ||
        ground.trueGray.cap == vscore::SUPPORT || ground.color24bit.cap == vscore::SUPPORT;
}

void OfferMode(DEVCAP* devcap, int modeId)
{
    for (DevCapEntry& mode : devcap->mode) {
        if (mode.id == modeId) {
            mode.offered = 1;
        }
    }
}

}  // namespace

void make_devcap(DEVCAP* devcap, const vscore::tagVS_SCANNER_CAPABILITY_VER1* capability)
{
    *devcap = TEMPLATE_DEVCAP;
    if (capability == nullptr) {
        return;
    }
    const vscore::tagVS_SCANNER_CAPABILITY_VER1& cap = *capability;

    // The record's groups order their sizes flatbed, simplex, duplex and
    // their margins left, right, top, bottom; the copy is filled by name.
    const vscore::DEVICESCANSIZES& max = cap.supportDocSizeMax;
    Sizes(max.flatbed, max.unit, &devcap->flatbedMaxWidth, &devcap->flatbedMaxHeight);
    Sizes(max.duplex, max.unit, &devcap->adfDuplexMaxWidth, &devcap->adfDuplexMaxHeight);
    Sizes(max.simplex, max.unit, &devcap->adfSimplexMaxWidth, &devcap->adfSimplexMaxHeight);
    const vscore::DEVICESCANSIZES& min = cap.deviceScanSizeMin;
    Sizes(min.flatbed, min.unit, &devcap->flatbedMinWidth, &devcap->flatbedMinHeight);
    Sizes(min.duplex, min.unit, &devcap->adfDuplexMinWidth, &devcap->adfDuplexMinHeight);
    Sizes(min.simplex, min.unit, &devcap->adfSimplexMinWidth, &devcap->adfSimplexMinHeight);
    if (ListsPaperType(cap, vscore::LONGPAPER_NARROW) || ListsPaperType(cap, vscore::LONGPAPER_WIDE)) {
        devcap->longPaperSimplexMax = Size(cap.longPaper.simplexMaxLength, cap.longPaper.unit);
        devcap->longPaperDuplexMax = Size(cap.longPaper.duplexMaxLength, cap.longPaper.unit);
    }
    const vscore::MARGINSIZE& margin = cap.marginSize;
    devcap->marginLeft = Length(margin.left, margin.unit);
    devcap->marginTop = Length(margin.top, margin.unit);
    devcap->marginRight = Length(margin.right, margin.unit);
    devcap->marginBottom = Length(margin.bottom, margin.unit);

    for (uint32_t dpi : cap.resolutionList) {
        for (DevCapResolution& resolution : devcap->resolution) {
            if (dpi == static_cast<uint32_t>(resolution.dpi)) {
                resolution.offered = 1;
            }
        }
    }
    FillSources(devcap, cap);
    FillFeatures(devcap, cap);

    const vscore::SUPPORTCOLORTYPES& colors = cap.colorType;
    if (Flag(colors.blackAndWhite)) {
        OfferMode(devcap, modeBlackWhite);
    }
    if (Flag(colors.errorDiffusion)) {
        OfferMode(devcap, modeErrorDiffusion);
    }
    if (Flag(colors.trueGray)) {
        OfferMode(devcap, modeTrueGray);
    }
    if (Flag(colors.color24bit)) {
        OfferMode(devcap, modeColorFast);
    }
    devcap->adfDuplex = Flag(cap.paperSourceSpec.supportPaperSource.adfDuplex);
    devcap->adfSimplex = Flag(cap.paperSourceSpec.supportPaperSource.adfSimplex);
    devcap->deviceCategory = cap.deviceCategory;
}
