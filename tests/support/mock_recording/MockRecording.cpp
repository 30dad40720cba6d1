// Writes the replay mock's recordings from a job description: the encoders
// of the test tree make every answer, the simulator's profiles the
// capability answers.
#include "tests/support/mock_recording/MockRecording.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/answer_encoders/AnswerEncoders.h"
#include "tests/support/gen1_encoders/Gen1Wire.h"
#include "tests/support/gen2_block_encoder/Gen2BlockEncoder.h"
#include "tests/support/test_bytes/TestBytes.h"

namespace mock_recording {

namespace {

constexpr char kFolderName[] = "DeviceAccessMock";
constexpr char kPrefix[] = "DumpRawData_";

void WriteFile(const std::string& path, const Bytes& bytes)
{
    if (!testbytes::WriteFile(path, bytes)) {
        throw std::runtime_error("cannot write " + path);
    }
}

scanner_sim::Profile BuiltinProfile(const char* name)
{
    scanner_sim::Profile profile;
    std::string error;
    if (!scanner_sim::Profile::Builtin(name, profile, error)) {
        throw std::runtime_error(error);
    }
    return profile;
}

uint8_t ColorCode(PixelKind kind)
{
    switch (kind) {
    case PixelKind::kMono:
        return gen2_blocks::kMono;
    case PixelKind::kGray:
        return gen2_blocks::kGray;
    case PixelKind::kColor:
        break;
    }
    return gen2_blocks::kColor;
}

// Pixels of a sheet of tenths of a millimetre.
uint64_t Pixels(uint64_t tenthsMm, uint32_t resolution) { return tenthsMm * resolution / 254; }

// The scan area the answers report: the first page's, or nothing.
void FirstPageSize(const Job& job, uint32_t& width, uint32_t& height)
{
    width = job.pages.empty() ? 0 : job.pages.front().width;
    height = job.pages.empty() ? 0 : job.pages.front().height;
}

}  // namespace

// ---- MockFolder.

MockFolder::MockFolder(const std::string& home) : path_(home + "/" + kFolderName)
{
    std::filesystem::create_directories(path_);
}

std::string MockFolder::PathOf(const std::string& type) const { return path_ + "/" + kPrefix + type; }

void MockFolder::Write(const std::string& type, const Bytes& answer) const { WriteFile(PathOf(type), answer); }

void MockFolder::Remove(const std::string& type) const
{
    std::error_code ignored;
    std::filesystem::remove(PathOf(type), ignored);
}

Bytes MockFolder::Read(const std::string& type) const
{
    std::ifstream in(PathOf(type), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MockFolder::PutMarker(const std::string& name) const { WriteFile(path_ + "/" + name, Bytes{}); }

void MockFolder::RemoveMarker(const std::string& name) const
{
    std::error_code ignored;
    std::filesystem::remove(path_ + "/" + name, ignored);
}

bool MockFolder::HasMarker(const std::string& name) const
{
    std::error_code ignored;
    return std::filesystem::exists(path_ + "/" + name, ignored);
}

// ---- Pages.

Page Page::Pattern(PixelKind kind, uint32_t width, uint32_t height, uint8_t seed)
{
    Page page;
    page.kind = kind;
    page.width = width;
    page.height = height;
    size_t const rowBytes = RowBytes(kind, width);
    page.pixels.resize(rowBytes * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < rowBytes; ++x) {
            page.pixels[y * rowBytes + x] = static_cast<uint8_t>(seed * 67 + y * 29 + x * 7 + (x >> 8));
        }
    }
    return page;
}

// ---- Generation 2.

Bytes Gen2QAnswer() { return gen1::EncodeQAnswer(Bytes{0x10}); }

Bytes Gen2Answer(const std::string& command, const Bytes& records, uint8_t result)
{
    if (command.size() != 3) {
        throw std::invalid_argument("a generation-2 answer echoes three command letters");
    }
    Bytes out;
    out.reserve(8 + records.size());
    out.push_back(result);
    for (char letter : command) {
        out.push_back(static_cast<uint8_t>(letter));
    }
    uint64_t const size = records.size();
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(size >> shift));
    }
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

Bytes Gen2ScanData(const Job& job)
{
    Bytes out;
    uint16_t number = 0;
    for (const Page& page : job.pages) {
        ++number;
        size_t const rowBytes = RowBytes(page.kind, page.width);
        for (uint32_t y = 0; y < page.height; ++y) {
            gen2_blocks::Block block;
            block.status = 0x01;
            block.pageNo = number;
            block.imageType = gen2_blocks::ImageType(false, gen2_blocks::kRaw, ColorCode(page.kind));
            block.data.assign(page.Row(y), page.Row(y) + rowBytes);
            block.lineCount = 1;
            gen2_blocks::AppendTo(out, block);
        }
        Bytes const end = gen2_blocks::PageEnd(number);
        out.insert(out.end(), end.begin(), end.end());
    }
    if (job.waitSeconds != 0) {
        Bytes const wait = gen2_blocks::Timer(0x52, job.waitSeconds);
        out.insert(out.end(), wait.begin(), wait.end());
    }
    if (job.allEnd) {
        Bytes const end = gen2_blocks::AllPagesEnd();
        out.insert(out.end(), end.begin(), end.end());
    }
    return out;
}

void WriteGeneration2(const MockFolder& folder, const Job& job)
{
    WriteGeneration2(folder, job, BuiltinProfile("gen2-adf"));
}

void WriteGeneration2(const MockFolder& folder, const Job& job, const scanner_sim::Profile& profile)
{
    using answer_encoders::AnswerKind;
    using answer_encoders::AnswerProfile;
    uint32_t width = 0;
    uint32_t height = 0;
    FirstPageSize(job, width, height);
    int64_t const r = job.resolution;
    Bytes const ssp =
        AnswerProfile(AnswerKind::Ssp)
            .Only({0x2001, 0x2002, 0x2003, 0x2004})
            .Set("paperSource", 1)
            .Set("resolutionX", r)
            .Set("resolutionY", r)
            .Set("scanWidthSizeMax", static_cast<int64_t>(Pixels(profile.feederMax.width, job.resolution)))
            .Set("scanHeightSizeMax", static_cast<int64_t>(Pixels(profile.feederMax.height, job.resolution)))
            .Set("scanWidthArea", width)
            .Set("scanHeightArea", height)
            .Encode();
    Bytes const gds = AnswerProfile(AnswerKind::Gds)
                          .Set("resolutionX", r)
                          .Set("resolutionY", r)
                          .Set("vertexX1", 0)
                          .Set("vertexY1", 0)
                          .Set("vertexX2", width)
                          .Set("vertexY2", height)
                          .Set("paperSource", 1)
                          .Set("sizeInfo", 0)
                          .Set("paperSetDirection", 0)
                          .Set("paperDetectSensorInfo", 0x03)
                          .Encode();
    folder.Write("QDI", Gen2Answer("QDI", profile.QdiAnswer().Encode()));
    // The feeder check: result 00, a document present.
    folder.Write("CKD", Bytes{0x00, 0x01});
    folder.Write("GKP", Gen2Answer("GKP", profile.GkpAnswer().Encode()));
    folder.Write("SSP", Gen2Answer("SSP", ssp));
    folder.Write("GDS", Gen2Answer("GDS", gds));
    folder.Write("XSC", Gen2ScanData(job));
    // Last: the Q recording switches mock mode on.
    folder.Write("Q", Gen2QAnswer());
}

// ---- Generation 1.

Bytes Gen1ScanData(const Job& job)
{
    Bytes out;
    int16_t number = 0;
    for (const Page& page : job.pages) {
        ++number;
        gen1::AddedInfo added;
        added.page = number;
        size_t const rowBytes = RowBytes(page.kind, page.width);
        for (uint32_t y = 0; y < page.height; ++y) {
            Bytes const unit = gen1::LineUnit(0x40, added, Bytes(page.Row(y), page.Row(y) + rowBytes));
            out.insert(out.end(), unit.begin(), unit.end());
        }
        Bytes const end = gen1::PageEndUnit(added);
        out.insert(out.end(), end.begin(), end.end());
    }
    if (job.allEnd) {
        out.push_back(0x80);
    }
    return out;
}

void WriteGeneration1(const MockFolder& folder, const Job& job)
{
    WriteGeneration1(folder, job, BuiltinProfile("gen1-adf"));
}

void WriteGeneration1(const MockFolder& folder, const Job& job, const scanner_sim::Profile& profile)
{
    uint32_t width = 0;
    uint32_t height = 0;
    FirstPageSize(job, width, height);
    std::string const r = std::to_string(job.resolution);
    std::string const i = r + "," + r + ",1,0," + std::to_string(Pixels(profile.feederMax.width, job.resolution)) +
                          ",0," + std::to_string(Pixels(profile.feederMax.height, job.resolution));
    std::string const e =
        "R=" + r + "," + r + "\nV1=0,0\nV2=" + std::to_string(width) + "," + std::to_string(height) + "\n";
    folder.Write("I", gen1::ResultAnswer(0x00, i));
    folder.Write("E", gen1::ResultAnswer(0x00, e));
    folder.Write("D", Bytes{0x80});
    folder.Write("K", gen1::ResultAnswer(0x30, profile.PanelText()));
    folder.Write("X", Gen1ScanData(job));
    folder.Write("R", Bytes{0x83});
    folder.Write("Q", gen1::EncodeQAnswer(profile.QData()));
}

}  // namespace mock_recording
