// Recordings for the engine's replay mock: the answers a device gives to each
// command, written as the files the mock reads ("$HOME/DeviceAccessMock",
// one file "DumpRawData_" + command type each), and the marker files that
// inject device events. A generation-2 recording holds Q, QDI, CKD, GKP,
// SSP, GDS and XSC; a generation-1 recording Q, I, E, D, K, X and R. The capability
// answers come from the scanner simulator's built-in profiles (gen2-adf,
// gen1-adf), so a recording describes the device the simulator plays; the
// pages are the test's own pixels, one uncompressed line per block or unit.
//
//   ScratchDir home;                                   // HOME for the engine
//   mock_recording::MockFolder folder(home.Path());    // home/DeviceAccessMock
//   mock_recording::Job job;                           // 200 dpi, feeder
//   job.pages = {mock_recording::Page::Pattern(mock_recording::PixelKind::kGray, 64, 8, 1)};
//   mock_recording::WriteGeneration2(folder, job);     // or WriteGeneration1
//   folder.PutMarker("Stop");                          // an event mid-job
//
// Writing "DumpRawData_Q" switches the engine into mock mode; Remove("Q")
// switches it off again. Nothing here is thread-safe; the files are plain
// files a test may also edit itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/scanner_sim/PageImage.h"
#include "tools/scanner_sim/Profile.h"

namespace mock_recording {

using Bytes = std::vector<uint8_t>;

// The mock folder below a HOME, made (with its parents) when missing.
class MockFolder {
public:
    explicit MockFolder(const std::string& home);

    const std::string& Path() const { return path_; }
    // The recording of a command type ("Q", "XSC", "XSC2", "X2" ...).
    std::string PathOf(const std::string& type) const;
    // Replaces the recording of type with answer.
    void Write(const std::string& type, const Bytes& answer) const;
    void Remove(const std::string& type) const;
    Bytes Read(const std::string& type) const;

    // Markers: "Finish", "Stop", "CoverOpen", "Recover".
    void PutMarker(const std::string& name) const;
    void RemoveMarker(const std::string& name) const;
    bool HasMarker(const std::string& name) const;

private:
    std::string path_;
};

// How the device sends pixels (the simulator's kinds): 1 bit (a set bit
// black, the leftmost pixel in bit 7), 8-bit gray, 24-bit colour in the
// order B, G, R.
using scanner_sim::PixelKind;
using scanner_sim::RowBytes;

// One page as the device sends it.
struct Page {
    PixelKind kind = PixelKind::kGray;
    uint32_t width = 0;
    uint32_t height = 0;
    Bytes pixels;  // height rows of RowBytes(kind, width) bytes, top row first

    // A page whose every row and every page of another seed differ.
    static Page Pattern(PixelKind kind, uint32_t width, uint32_t height, uint8_t seed);
    const uint8_t* Row(uint32_t row) const { return pixels.data() + row * RowBytes(kind, width); }
};

// One scan job.
struct Job {
    uint32_t resolution = 200;  // the resolution SSP, GDS, I and E report
    // Sent in this order, numbered 1, 2, ... (a duplex sheet is two pages).
    std::vector<Page> pages;
    // The scan data ends with the all-end status (0x20, or 0x80 for
    // generation 1); false leaves the stream open as a cut recording.
    bool allEnd = true;
    // Generation 2: a remaining-time block of these seconds after the pages
    // (before the end), as a device waiting for the next document sends it;
    // 0 sends none.
    uint16_t waitSeconds = 0;
};

// ---- Generation 2.
// Q: C1 00 02 10.
Bytes Gen2QAnswer();
// A framed answer: the result byte, the three command letters, the records'
// length (4 bytes, little-endian) and the records.
Bytes Gen2Answer(const std::string& command, const Bytes& records, uint8_t result = 0);
// The scan data after XSC: per page its lines (status 0x01, one row each)
// and its end (0x21), then the wait and the end the job asks for.
Bytes Gen2ScanData(const Job& job);
// Q, QDI, CKD (a document in the feeder), GKP, SSP, GDS and XSC; QDI and
// GKP from profile (the simulator's gen2-adf when not given).
void WriteGeneration2(const MockFolder& folder, const Job& job);
void WriteGeneration2(const MockFolder& folder, const Job& job, const scanner_sim::Profile& profile);

// ---- Generation 1.
// The scan data after X: per page its lines (header 0x40, one row each) and
// its end unit, then the all-end status 0x80 when the job asks for it.
Bytes Gen1ScanData(const Job& job);
// Q, I, E, D (document present), K, X and R (the abort's 0x83); Q and K
// from profile (the simulator's gen1-adf when not given).
void WriteGeneration1(const MockFolder& folder, const Job& job);
void WriteGeneration1(const MockFolder& folder, const Job& job, const scanner_sim::Profile& profile);

}  // namespace mock_recording
