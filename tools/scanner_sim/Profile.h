// What the simulated device is: its built-in profiles (two generation-2
// document scanners and two generation-1 devices), the items a profile file
// or a command line may change, the sheets a job feeds, and the capability
// answers (Q, QDI, GKP, K) made from them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/gen1_encoders/Gen1Wire.h"

namespace scanner_sim {

using Bytes = std::vector<uint8_t>;

// Where a trigger of a sheet's fault counts its lines: the sheet's front
// or back page.
struct SheetFault {
    std::string spec;  // a fault spec without trigger (see Faults.h)
    bool back = false;
    uint32_t line = 0;
};

// One sheet of a job. Sizes are tenths of a millimetre.
struct Sheet {
    uint32_t width = 1050;     // A6 by default: small pages keep tests quick
    uint32_t height = 1480;    //
    uint8_t paperCode = 0x14;  // the size code GDS reports (0x14 A6, 0x13 A5, 0x12 A4 ...)
    bool blankFront = false;
    bool blankBack = false;
    double skew = 0;  // degrees the sheet lies turned clockwise, -45..45
    std::vector<SheetFault> faults;

    // SIZE[:blank|:blank=front|:blank=back][:skew=DEGREES][:fault=SPEC[@line=L|@back-line=L]]...
    // SIZE: A3 A4 A5 A6 B5 LETTER LEGAL CARD, or WxH in millimetres (the
    // code is then 0x00); DEGREES a decimal number, negative turning the
    // sheet anticlockwise. False, with a reason, for anything else.
    static bool Parse(const std::string& text, Sheet& sheet, std::string& error);
};

// Where a sheet lies in the device's picture at a resolution, in pixels:
// its own size, the box it covers turned by its skew (from the picture's
// origin), and the two ends of its leading edge, as the device's paper
// detection reports them (the left end first). A sheet the device
// straightens lies as if without skew.
struct SheetGeometry {
    double width = 0;
    double height = 0;
    uint64_t boxWidth = 0;
    uint64_t boxHeight = 0;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    double sine = 0;  // of the skew
    double cosine = 1;
};
SheetGeometry GeometryOf(const Sheet& sheet, uint32_t resX, uint32_t resY, bool straightened = false);

enum class Generation { kOne = 1, kTwo = 2 };

// A source's largest scan area, tenths of a millimetre.
struct Extent {
    uint32_t width = 0;
    uint32_t height = 0;
};

struct Profile {
    std::string name;
    Generation generation = Generation::kTwo;
    std::string model;
    std::string node;
    std::array<uint8_t, 6> mac{};
    bool flatbed = false;
    bool feeder = true;
    bool duplex = true;
    Extent flatbedMax;
    Extent feederMax;
    Sheet flatbedDocument;              // what lies on the glass
    Sheet defaultSheet;                 // what --sheets N loads
    std::vector<uint32_t> resolutions;  // ascending
    uint16_t commandVersion = 259;      // QDI 0x0001, or the Q answer's first byte
    uint8_t emptyStatus = 0xC2;         // generation-1 D status of an empty source (or 0xEE)
    uint32_t panelResolution = 200;
    std::string panelColor = "C24BIT";  // TEXT, GRAY256 or C24BIT
    bool panelDuplex = false;
    bool detect = false;       // generation 2: paper, size and multifeed detection and deskew
    uint32_t sheetMs = 0;      // the time the feeder takes to bring in each sheet
    size_t jpegBlock = 16384;  // bytes of JPEG per data block
    int jpegQuality = 92;
    // Items set by name over what the fields above make of the answers:
    // they change what the device reports, not how it behaves.
    std::vector<std::pair<std::string, int64_t>> qdiItems;
    std::vector<std::pair<std::string, int64_t>> gkpItems;
    std::vector<std::pair<std::string, int64_t>> qItems;

    // gen2-adf, gen2-adf-detect, gen1-adf or gen1-fb-adf.
    static bool Builtin(const std::string& name, Profile& profile, std::string& error);
    static std::vector<std::string> BuiltinNames();

    // One item, KEY and VALUE as a profile file line "KEY = VALUE" has them:
    // model, node, mac (12 hex digits, ':' allowed), resolutions (a comma
    // list), command-version, empty-status (hex), flatbed and sheet (sheet
    // specs), panel-resolution, panel-color, panel-duplex (ON/OFF),
    // jpeg-block, jpeg-quality, qdi.ITEM, gkp.ITEM (generation-2 answer
    // items by name) and q.FIELD (a Q layout field by name).
    bool Set(const std::string& key, const std::string& value, std::string& error);
    // Lines "KEY = VALUE"; blank lines and lines starting with '#' are skipped.
    bool LoadFile(const std::string& path, std::string& error);

    // The resolution the device uses for a request: the largest it has that
    // is not above the request (the smallest when all are).
    uint32_t ActualResolution(uint32_t requested) const;

    // The data of the Q answer: one byte 0x10 for generation 2, the 72-byte
    // record for generation 1.
    Bytes QData() const;
    // The generation-1 record behind it, items applied.
    gen1::QFields QRecord() const;
    // Tag-length-value records of QDI and GKP (ending in the end tag).
    answer_encoders::AnswerProfile QdiAnswer() const;
    answer_encoders::AnswerProfile GkpAnswer() const;
    // The K answer text.
    std::string PanelText() const;
    // The physical address as SNMP reports it (six octets).
    std::string MacOctets() const;
};

}  // namespace scanner_sim
