// Names of the barcode and patch-code kinds.
#include "diagnostics/CodeTypeTransformer.h"

#include <map>

namespace {

// Built on first use; read-only afterwards, so any thread may use them.
const std::map<vscore::BARCODE_TYPE, std::string>& BarcodeNames()
{
    static const std::map<vscore::BARCODE_TYPE, std::string> names = {
        {vscore::UNKNOWN_BARCODE, "UNKNOWN_BARCODE"},
        {vscore::CODE39, "CODE39"},
        {vscore::ITF, "ITF"},
        {vscore::CODE128, "CODE128"},
        {vscore::GS1_128, "GS1_128"},
        {vscore::CODABAR, "CODABAR"},
        {vscore::UPCA, "UPCA"},
        {vscore::UPCE, "UPCE"},
        {vscore::JAN8, "JAN8"},
        {vscore::JAN13, "JAN13"},
        {vscore::QR, "QR"},
        {vscore::DATAMATRIX, "DATAMATRIX"},
        {vscore::PDF417, "PDF417"},
        {vscore::CODE93, "CODE93"},
        {vscore::CHINESECODE, "CHINESECODE"},
        {vscore::BARCODE_TYPE_MAXNUM, "BARCODE_TYPE_MAXNUM"},
    };
    return names;
}

const std::map<vscore::PATCHCODE_TYPE, std::string>& PatchcodeNames()
{
    static const std::map<vscore::PATCHCODE_TYPE, std::string> names = {
        {vscore::PATCHCODE_NONE, "PATCHCODE_NONE"},
        {vscore::TYPE_1, "TYPE_1"},
        {vscore::TYPE_2, "TYPE_2"},
        {vscore::TYPE_3, "TYPE_3"},
        {vscore::TYPE_4, "TYPE_4"},
        {vscore::TYPE_T, "TYPE_T"},
        {vscore::TYPE_6, "TYPE_6"},
        {vscore::PATCHCODE_TYPE_MAXNUM, "PATCHCODE_TYPE_MAXNUM"},
    };
    return names;
}

template <class Kind>
std::string NameOf(const std::map<Kind, std::string>& names, Kind kind)
{
    auto found = names.find(kind);
    return found == names.end() ? "Unknown" : found->second;
}

// The map is ordered by value, so the first match is the lowest kind.
template <class Kind>
Kind KindOf(const std::map<Kind, std::string>& names, const std::string& text)
{
    for (const auto& entry : names) {
        if (entry.second == text) {
            return entry.first;
        }
    }
    return static_cast<Kind>(0);
}

}  // namespace

std::string BarcodeTypeTransformer::ToString(vscore::BARCODE_TYPE type) { return NameOf(BarcodeNames(), type); }

vscore::BARCODE_TYPE BarcodeTypeTransformer::FromString(const std::string& text)
{
    return KindOf(BarcodeNames(), text);
}

std::string PatchcodeTypeTransformer::ToString(vscore::PATCHCODE_TYPE type) { return NameOf(PatchcodeNames(), type); }

vscore::PATCHCODE_TYPE PatchcodeTypeTransformer::FromString(const std::string& text)
{
    return KindOf(PatchcodeNames(), text);
}
