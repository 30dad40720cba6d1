// Enumeration names and one-line record texts of the engine interface.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/CodeTypeTransformer.h"
#include "diagnostics/VdCommonDefDescriptor.h"

namespace {

using namespace vscore;
using D = VdCommonDefDescriptor;

struct EnumTable {
    const char* enumeration;
    std::function<std::string(int32_t)> describe;
    std::vector<std::pair<int32_t, const char*>> names;
    const char* fallback;
};

// Names of values 0, 1, 2, ...
std::vector<std::pair<int32_t, const char*>> FromZero(std::initializer_list<const char*> names)
{
    std::vector<std::pair<int32_t, const char*>> numbered;
    for (const char* name : names) {
        numbered.emplace_back(static_cast<int32_t>(numbered.size()), name);
    }
    return numbered;
}

#define DESCRIBE(operation, Type) [](int32_t value) { return D::operation(static_cast<Type>(value)); }

std::vector<EnumTable> EnumTables()
{
    return {
        {"CAPSUPPORT", DESCRIBE(GetCapSupportString, CAPSUPPORT), FromZero({"UNKNOWN", "UNSUPPORT", "SUPPORT"}),
         "Unknown"},
        {"UNITTYPE", DESCRIBE(GetUnitTypeString, UNITTYPE), FromZero({"INCH", "MM", "PIXEL"}), "Unknown"},
        {"COLORTYPE", DESCRIBE(GetColorTypeString, COLORTYPE),
         FromZero({"AUTOCOLOR", "BLACKWHITE", "ERRDIFFUSION", "TRUEGRAY", "COLOR256", "COLOR24BIT", "COLORTYPENUM"}),
         "Unknown"},
        {"LINEDIRECTION", DESCRIBE(GetLineDirectionString, LINEDIRECTION),
         FromZero({"LINE_VERTICAL", "LINE_HORIZONTAL", "LINE_VERTICAL_HORIZONAL"}), "Unknown"},
        {"DEVICECATEGORY", DESCRIBE(GetDeviceCategoryString, DEVICECATEGORY),
         FromZero({"LASER", "INK", "DOCUMENTSCANNER", "HERON"}), "Unknown"},
        {"POSITION", DESCRIBE(GetPositionString, POSITION), FromZero({"LEFT", "CENTER", "RIGHT", "TOP", "BOTTOM"}),
         "Unknown"},
        {"DUPLEXSCANTYPE", DESCRIBE(GetDuplexScanTypeString, DUPLEXSCANTYPE), FromZero({"SWITCHBACK", "WCIS"}),
         "Unknown"},
        {"CardModeType", DESCRIBE(GetCardModeTypeString, CardModeType),
         FromZero({"NoCardMode", "AutoSize600dpiInADF", "AutoSizeInADF", "AutoSizeInSlot", "CardSize"}), "Unknown"},
        {"BLANKREMOVALSYSTEM", DESCRIBE(GetBlankRemovalSystemString, BLANKREMOVALSYSTEM),
         FromZero({"DETECTONLY", "DETECTANDREMOVE"}), "Unknown"},
        {"XFERCOUNTSYSTEM", DESCRIBE(GetXferCountSystemString, XFERCOUNTSYSTEM),
         FromZero({"NOXFERCOUNT", "ONESHEETXFERCOUNTONLY", "MULTISHEETXFERCOUNT"}), "Unknown"},
        {"AUTOCONTINUOUSSCANDEVICESUPPORT",
         DESCRIBE(GetAutoContinuousScanDeviceSupportString, AUTOCONTINUOUSSCANDEVICESUPPORT),
         FromZero({"UNSUPPORT_WITH_DEVICE", "WAIT_AT_DEVICE", "DISPLAY_WAITING_AT_DEVICE"}), "Unknown"},
        {"BARCODE_DIRECTION", DESCRIBE(GetBarcodeDirectionString, BARCODE_DIRECTION),
         FromZero({"BARCODE_AUTO", "BARCODE_VERTICAL", "BARCODE_HORIZONTAL"}), "Unknown"},
        {"DUPLEXTYPE", DESCRIBE(GetDuplexTypeString, DUPLEXTYPE), FromZero({"SIMPLEX", "DUPLEX_LONG", "DUPLEX_SHORT"}),
         "Unknown"},
        {"PAPERSOURCESELECT", DESCRIBE(GetPaperSourceSelectString, PAPERSOURCESELECT),
         FromZero({"SOURCEAUTO", "FLATBED", "ADF", "CARDSLOT"}), "Unknown"},
        {"IMAGEORIENTATION", DESCRIBE(GetImageOrientationString, IMAGEORIENTATION),
         FromZero({"ROT0", "ROT90", "ROT180", "ROT270"}), "Unknown"},
        {"SELECTCOLOR", DESCRIBE(GetSelectColorString, SELECTCOLOR),
         FromZero({"WHITE", "GRAY", "BLACK", "RED", "GREEN", "BLUE", "NEARBYCOLOR"}), "Unknown"},
        {"IMAGEMERGETYPE", DESCRIBE(GetImageMergeTypeString, IMAGEMERGETYPE),
         FromZero({"MERGE_NONE", "MERGE_FRONTPAGEONLEFT", "MERGE_FRONTPAGEONTOP", "MERGE_FRONTPAGEONRIGHT",
                   "MERGE_FRONTPAGEONBOTTOM"}),
         "Unknown"},
        {"IMAGEDIVIDETYPE", DESCRIBE(GetImageDivideTypeString, IMAGEDIVIDETYPE),
         FromZero({"DIVIDE_NONE", "DIVIDE_LEFTRIGHT", "DIVIDE_TOPBOTTOM"}), ""},
        {"devif_type", DESCRIBE(GetIFTypeString, devif_type), {{1, "USB"}, {2, "NETWORK"}, {3, "WINSTI"}}, "UNKNOWN"},
        {"devid_type",
         DESCRIBE(GetIDTypeString, devid_type),
         {{1, "DeviceName"}, {2, "USB ID"}, {3, "NodeName or IP-Address"}, {4, "Location ID"}, {5, "USB Port Name"}},
         "UNKNOWN"},
        {"bootmethod_type",
         DESCRIBE(GetBootMethodTypeString, bootmethod_type),
         {{0, "AUTO"}, {3, "DHCP"}, {7, "STATIC"}},
         "OTHER"},
        {"BARCODE_TYPE", DESCRIBE(GetBarcodeTypeString, BARCODE_TYPE),
         FromZero({"UNKNOWN_BARCODE", "CODE39", "ITF", "CODE128", "GS1_128", "CODABAR", "UPCA", "UPCE", "JAN8", "JAN13",
                   "QR", "DATAMATRIX", "PDF417", "CODE93", "CHINESECODE", "BARCODE_TYPE_MAXNUM"}),
         "Unknown"},
        {"PATCHCODE_TYPE", DESCRIBE(GetPatchcodeTypeString, PATCHCODE_TYPE),
         FromZero(
             {"PATCHCODE_NONE", "TYPE_1", "TYPE_2", "TYPE_3", "TYPE_4", "TYPE_T", "TYPE_6", "PATCHCODE_TYPE_MAXNUM"}),
         "Unknown"},
        {"PAPERTYPE", DESCRIBE(GetPaperTypeString, PAPERTYPE),
         FromZero({"AUTOSIZE",       "A4",         "LETTER",     "LEGAL",        "A3",         "LEDGER",
                   "JISB4",          "JISB5",      "A5",         "JISB6",        "A6",         "EXECUTIVE",
                   "PHOTO",          "INDEXCARD",  "PHOTOL",     "PHOTO2L",      "POSTCARD",   "POSTCARD2",
                   "BCARD90X60",     "BCARD60X90", "FOLIO",      "MEXICANLEGAL", "INDIALEGAL", "LONGPAPER_NARROW",
                   "LONGPAPER_WIDE", "DEVICEMAX",  "CUSTOMSIZE", "PAPERTYPENUM"}),
         "Unknown"},
    };
}

TEST(EnumerationDescriptor, EveryValuePrintsItsNameAndEveryOtherValueTheFallback)
{
    for (const EnumTable& table : EnumTables()) {
        SCOPED_TRACE(table.enumeration);
        std::vector<int32_t> others = {INT32_MIN, -1, 100, INT32_MAX};
        for (const auto& entry : table.names) {
            EXPECT_EQ(entry.second, table.describe(entry.first)) << entry.first;
        }
        // Every gap between and just after the named values.
        for (int32_t value = 0; value <= table.names.back().first + 1; ++value) {
            bool named = false;
            for (const auto& entry : table.names) {
                named = named || entry.first == value;
            }
            if (!named) {
                others.push_back(value);
            }
        }
        for (int32_t value : others) {
            EXPECT_EQ(table.fallback, table.describe(value)) << value;
        }
    }
}

TEST(EnumerationDescriptor, CommandVersionPrintsNameAndFourHexDigits)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0, "CommandVersion_1999 (0x0000)"},
        {12, "CommandVersion_2014_2 (0x000c)"},
        {13, "CommandVersion_2017 (0x000d)"},
        {14, "Unknown (0x000e)"},
        {15, "Unknown (0x000f)"},
        {16, "CommandVersion_OLD_TARN (0x0010)"},
        {256, "Unknown (0x0100)"},
        {257, "CommandVersion_TARN (0x0101)"},
        {264, "CommandVersion_OSIER (0x0108)"},
        {265, "Unknown (0x0109)"},
        {266, "CommandVersion_RUSH (0x010a)"},
        {267, "CommandVersion_SEDGE2 (0x010b)"},
        {268, "Unknown (0x010c)"},
        {0x12345, "Unknown (0x12345)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, D::GetCommandVersion(static_cast<CommandVersion>(c.first)));
    }
}

TEST(CodeTypeTransformer, NamesRoundTripAndLookupIsExact)
{
    for (int32_t kind = 0; kind <= BARCODE_TYPE_MAXNUM; ++kind) {
        auto type = static_cast<BARCODE_TYPE>(kind);
        EXPECT_EQ(type, BarcodeTypeTransformer::FromString(BarcodeTypeTransformer::ToString(type)));
    }
    for (int32_t kind = 0; kind <= PATCHCODE_TYPE_MAXNUM; ++kind) {
        auto type = static_cast<PATCHCODE_TYPE>(kind);
        EXPECT_EQ(type, PatchcodeTypeTransformer::FromString(PatchcodeTypeTransformer::ToString(type)));
    }
    EXPECT_EQ(QR, BarcodeTypeTransformer::FromString("QR"));
    EXPECT_EQ(UNKNOWN_BARCODE, BarcodeTypeTransformer::FromString("qr"));
    EXPECT_EQ(UNKNOWN_BARCODE, BarcodeTypeTransformer::FromString("Unknown"));
    EXPECT_EQ("Unknown", BarcodeTypeTransformer::ToString(BARCODE_TYPE(16)));
    EXPECT_EQ(PATCHCODE_NONE, PatchcodeTypeTransformer::FromString(""));
    EXPECT_EQ(TYPE_T, PatchcodeTypeTransformer::FromString("TYPE_T"));
    EXPECT_EQ("Unknown", PatchcodeTypeTransformer::ToString(PATCHCODE_TYPE(-1)));
}

TEST(RecordDescriptor, OneLineTexts)
{
    BARCODEPARAMETER barcode{};
    barcode.execute = true;
    barcode.maxNum = 3;
    barcode.searchDirection = BARCODE_HORIZONTAL;
    barcode.retryNum = 250;
    barcode.area = {-1, 2, 300, 400, PIXEL};
    barcode.types[0] = QR;
    barcode.types[1] = CODE39;
    barcode.types[2] = JAN13;  // beyond typesNum: not listed
    barcode.typesNum = 2;

    BARCODESUPPORT barcodeSupport{};
    barcodeSupport.cap = UNSUPPORT;
    barcodeSupport.types[14] = CHINESECODE;

    PATCHCODESUPPORT patchSupport{};
    patchSupport.types[6] = TYPE_6;

    tagCOLORDROP_CUSTOMCOLOR custom{};
    custom.redVal = 255;
    custom.level = 7;
    COLORDROPPARAM colorDrop{};
    colorDrop.dropBlue = true;
    colorDrop.customColor = custom;

    struct Case {
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {D::GetAxisString({4294967295u, 0}), "{ x: 4294967295, y: 0 }"},
        {D::GetAxisSignedString({-2, 3}), "{ x: -2, y: 3 }"},
        {D::GetRectString({1, -2, 3, -4}), "{ left: 1, top: -2, right: 3, bottom: -4 }"},
        {D::GetMarginSizeString({-1, 2, -3, 4, MM}), "{ left: -1, right: 2, top: -3, bottom: 4, unit: MM }"},
        {D::GetSupportPowerSource({true, false, true, false}),
         "{ ac: true, usb: false, usbWithCapacitor: true, battery: false }"},
        {D::GetLongPaperSupportString({1000, 2000, MM, 300}),
         "{ simplexMaxLength: 1000, duplexMaxLength: 2000, maxResolution: 300, unit: MM }"},
        {D::GetAutoDeskewSupportString({SUPPORT, {false, true, false, false}, 600}),
         "{ cap: SUPPORT, supportPaperSource: { flatbed: false, adfSimplex: true, adfDuplex: false, cardslot: false }, "
         "maxResolution: 600 }"},
        {D::GetEdgeFillSupportString({UNSUPPORT, {SUPPORT, true, false, {}}}),
         "{ automatic: UNSUPPORT, specifiedArea: { cap: SUPPORT, white: true, black: false } }"},
        {D::GetAutoContinuousScanSupportString({WAIT_AT_DEVICE, 5, 30, 0, 5}),
         "{ support: WAIT_AT_DEVICE, timeoutMin: 5, timeoutMax: 30, feedDelayMin: 0, feedDelayMax: 5 }"},
        {D::GetBlankRemovalSupportString({SUPPORT, DETECTANDREMOVE, {SUPPORT, true, {}, 10, 0, 5}}),
         "{ cap: SUPPORT, systemType: DETECTANDREMOVE, blankLevel: { cap: SUPPORT, blankRemovDef: true, levelMax: 10, "
         "levelMin: 0, levelDef: 5 } }"},
        {D::GetCombineImagesTypeString({true, {}, 1, 2, 3, PIXEL}),
         "{execute: true, width: 1, height: 2, space: 3, unit: PIXEL}"},
        {D::GetColorDropParamString(colorDrop),
         "{ drop: false, chromaticColor: false, dropRed: false, dropGreen: false, dropBlue: true, custom: false, "
         "customColor: { redVal: 255, greenVal: 0, blueVal: 0, level: 7, keepDarkColor: false } }"},
        {D::GetAutocontinuousScanParamString({true, 200, 3}), "{ execute: true, timeout: 200, feedDelay: 3 }"},
        {D::GetScanAreaInfoString({CUSTOMSIZE, {{21000, 29700}, MM}, true, {}, {0, 10, 100, 200, MM}}),
         "{ papertype: CUSTOMSIZE, customPaperSize: { size: { x: 21000, y: 29700 }, unit: MM }, areaSelected: true, "
         "selectArea: { offsetX: 0, offsetY: 10, width: 100, height: 200, unit: MM } }"},
        {D::GetBarcodeParameterString(barcode),
         "{ execute: true, maxNum: 3, searchDirection: BARCODE_HORIZONTAL, retryNum: 250, specifyArea: false, "
         "area: { offsetX: -1, offsetY: 2, width: 300, height: 400, unit: PIXEL }, addStartStopToCodabar: false, "
         "typesNum: 2, types: { QR, CODE39 } }"},
        {D::GetBarcodeSupportString(barcodeSupport),
         "{ cap: UNSUPPORT, retryMax: 0, maxNum: 0, types: { UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, "
         "UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, "
         "UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, UNKNOWN_BARCODE, CHINESECODE } }"},
        {D::GetPatchcodeSupportString(patchSupport),
         "{ cap: UNKNOWN, types: { PATCHCODE_NONE, PATCHCODE_NONE, PATCHCODE_NONE, PATCHCODE_NONE, PATCHCODE_NONE, "
         "PATCHCODE_NONE, TYPE_6 } }"},
        {D::GetPatchcodeParameterString({}), "{ execute: false, typesNum: 0, types: {  } }"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, c.actual);
    }
}

// Counts and texts come from records a caller or a device filled: a count
// beyond the array and a text without terminator must stay inside the record.
TEST(RecordDescriptor, CountsAndTextsStayInsideTheRecord)
{
    BARCODEPARAMETER barcode{};
    barcode.typesNum = 60000;
    for (int i = 0; i < 15; ++i) {
        barcode.types[i] = CODE128;
    }
    const std::string barcodeText = D::GetBarcodeParameterString(barcode);
    EXPECT_NE(std::string::npos, barcodeText.find("typesNum: 60000, types: { CODE128"));
    std::size_t listed = 0;
    for (std::size_t at = barcodeText.find("CODE128"); at != std::string::npos;
         at = barcodeText.find("CODE128", at + 1)) {
        ++listed;
    }
    EXPECT_EQ(15u, listed);

    PATCHCODEPARAMETER patch{};
    patch.typesNum = 8;
    for (auto& type : patch.types) {
        type = TYPE_2;
    }
    EXPECT_EQ("{ execute: false, typesNum: 8, types: { TYPE_2, TYPE_2, TYPE_2, TYPE_2, TYPE_2, TYPE_2, TYPE_2 } }",
              D::GetPatchcodeParameterString(patch));

    _VS_DEVICE_INFO device{};
    std::memset(device.nameDevice, 'n', sizeof device.nameDevice);
    std::memset(device.usb.nameUsbPort, 'p', sizeof device.usb.nameUsbPort);
    std::memset(device.net.macAddress, 'm', sizeof device.net.macAddress);
    const std::string deviceText = D::GetDeviceInfoString(device);
    EXPECT_NE(std::string::npos,
              deviceText.find("    nameDevice: " + std::string(128, 'n') + "\n    ifType: UNKNOWN\n"));
    EXPECT_NE(std::string::npos, deviceText.find("nameUsbPort: " + std::string(128, 'p') + ", idLocation: 0 }"));
    EXPECT_NE(std::string::npos, deviceText.find("macAddress: " + std::string(128, 'm') + " }\n}"));

    _VS_SELECT_DEVICE_INFO selection{};
    std::memset(selection.addrNetwork, 'a', sizeof selection.addrNetwork);
    EXPECT_NE(std::string::npos, D::GetSelectDeviceInfoString(selection).find(
                                     "    addrNetwork: " + std::string(128, 'a') + "\n    usbId"));
}

TEST(RecordDescriptor, MultiLineTexts)
{
    _VS_DEVICE_INFO device{};
    std::strcpy(device.nameDevice, "bus1;dev4");
    device.ifType = NETWORK;
    device.usb.idVender = 0x1234;
    device.usb.idProduct = 65535;
    device.usb.idLocation = 7;
    device.net.bootMethod = bootmethod_type(1);
    std::strcpy(device.net.nameNode, "node");
    std::strcpy(device.net.ipAddress, "192.0.2.10");
    EXPECT_EQ(
        "{\n"
        "    nameDevice: bus1;dev4\n"
        "    ifType: NETWORK\n"
        "    usb: { idVender: 4660, idProduct: 65535, nameUsbPort: , idLocation: 7 }\n"
        "    net: { bootMethod: OTHER, nameNode: node, ipAddress: 192.0.2.10, macAddress:  }\n"
        "}",
        D::GetDeviceInfoString(device));

    _VS_SELECT_DEVICE_INFO selection{};
    selection.typeDeviceIf = USB;
    selection.typeDeviceId = UsbId;
    selection.usbId = {0x04f9, 0x60e0};
    EXPECT_EQ(
        "{\n"
        "    typeDeviceIf: USB\n"
        "    typeDeviceId: USB ID\n"
        "    nameDevice: \n"
        "    addrNetwork: \n"
        "    usbId: { idVendor: 1273, idProduct: 24800 }\n"
        "    idLocation: 0\n"
        "}",
        D::GetSelectDeviceInfoString(selection));

    COLORTONESUPPORT tone{};
    tone.cap = SUPPORT;
    tone.autoToneDef = true;
    tone.manualBrightnessLevelMax = 50;
    tone.manualBrightnessLevelMin = -50;
    tone.manualGammaLevelDef = 12345;
    EXPECT_EQ(
        "{\n"
        "        cap: SUPPORT\n"
        "        autoToneDef: true\n"
        "        manualBrightnessLevelMax:   50, manualBrightnessLevelMin:  -50, manualBrightnessLevelDef:    0\n"
        "        manualContrastLevelMax:      0, manualContrastLevelMin:      0, manualContrastLevelDef:      0\n"
        "        manualShadowLevelMax:        0, manualShadowLevelMin:        0, manualShadowLevelDef:        0\n"
        "        manualHighlightLevelMax:     0, manualHighlightLevelMin:     0, manualHighlightLevelDef:     0\n"
        "        manualGammaLevelMax:         0, manualGammaLevelMin:         0, manualGammaLevelDef:      12345\n"
        "    }",
        D::GetColorToneSupportString(tone));

    REMOVELINESUPPORT line{};
    line.directionDef = LINE_VERTICAL_HORIZONAL;
    line.minLengthMaxMm = 100;
    line.dashedLengthDefInch = 7;
    EXPECT_EQ(
        "{\n"
        "        cap: UNKNOWN\n"
        "        directionDef: LINE_VERTICAL_HORIZONAL\n"
        "        minLengthMaxMm:      100, minLengthMinMm:      0, minLengthDefMm:      0\n"
        "        dashedLengthMaxMm:   0, dashedLengthMinMm:   0, dashedLengthDefMm:   0\n"
        "        minLengthMaxInch:    0, minLengthMinInch:    0, minLengthDefInch:    0\n"
        "        dashedLengthMaxInch: 0, dashedLengthMinInch: 0, dashedLengthDefInch: 7\n"
        "    }",
        D::GetRemoveLineSupportString(line));
}

}  // namespace
