// The JPEG corpus of the decoder tests, made once per test program by cjpeg,
// jpegtran and libjpeg from generated pages, and a segment editor for
// hand-made streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JpegPages.h"

struct CorpusEntry {
    std::string name;  // page and options, for failure messages
    std::vector<uint8_t> jpeg;
    jpeg_pages::PageKind kind;
    unsigned components;  // of the page the file was made from
    bool flatExact;       // flat MCU cells at quality 100
    bool ycck;            // 4 components with Adobe transform 2
};

// Every decodable file: each option set on several pages.
std::vector<CorpusEntry> const& Corpus();

// A small file of one kind with the options (for hand edits).
std::vector<uint8_t> SmallJpeg(std::string const& options, unsigned width = 40, unsigned height = 24);

// A stream cut into its marker segments: each entry starts with 0xFF and the
// marker; the entropy-coded data after SOS form one entry of marker 0.
struct Segment {
    uint8_t marker;
    std::vector<uint8_t> bytes;
};
std::vector<Segment> SplitSegments(std::vector<uint8_t> const& jpeg);
std::vector<uint8_t> JoinSegments(std::vector<Segment> const& segments);
// The first segment with the marker; throws when there is none.
Segment& FindSegment(std::vector<Segment>& segments, uint8_t marker);
Segment const& FindSegment(std::vector<Segment> const& segments, uint8_t marker);
