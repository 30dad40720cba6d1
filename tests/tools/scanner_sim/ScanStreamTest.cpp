// The simulator over a raw socket, both protocol generations: the greeting
// and each command's answer byte for byte, and three-sheet duplex jobs in
// raw, PackBits and JPEG in each duplex order, read back with the engine's
// own stream parsers and compared with the PNM files of the pages as sent
// (JPEG through djpeg, at least 35 dB), which python3-pil opens; cutting
// the output per byte or at random changes no byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/scratch_dir/ScratchDir.h"
#include "tests/tools/scanner_sim/SimTestSupport.h"

namespace {

using scanner_sim::DuplexOrder;
using scanner_sim::Simulator;
using simtest::Bytes;
using simtest::Frame;

const Bytes kGreeting = {'+', 'O', 'K', ' ', '\r', '\n'};

Simulator::Options Small(const std::string& profile)
{
    Simulator::Options o;
    o.profile = profile;
    o.timeScale = 0.01;
    o.settings = {{"sheet", "40x50"}, {"jpeg-block", "1024"}};
    return o;
}

// The framed answer of a generation-2 command: header then length bytes.
Bytes ReadGen2Answer(simtest::RawClient& c)
{
    Bytes head = c.Read(8, 3000);
    if (head.size() != 8) {
        return head;
    }
    uint32_t const length = head[4] | (head[5] << 8) | (head[6] << 16) | (uint32_t{head[7]} << 24);
    Bytes const data = c.Read(length, 3000);
    head.insert(head.end(), data.begin(), data.end());
    return head;
}

struct Job {
    const char* profile;
    const char* compression;  // NONE, RLENGTH, JPEG
    const char* color;
    DuplexOrder order;
};

// Runs one three-sheet duplex job on a fresh simulator; the stream and the
// pages it says it sent.
Bytes RunJob(const Job& job, const std::string& dumpDir, const std::string& fault,
             std::vector<scanner_sim::PageRecord>& pages)
{
    Simulator::Options o = Small(job.profile);
    o.dumpDir = dumpDir;
    o.duplexOrder = job.order;
    Simulator sim(o);
    sim.LoadSheets(3);
    std::string error;
    if (!fault.empty()) {
        EXPECT_TRUE(sim.Inject(fault, error)) << error;
    }
    EXPECT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    simtest::RawClient c;
    EXPECT_TRUE(c.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(c.Read(kGreeting.size(), 3000), kGreeting);
    bool const gen2 = std::string(job.profile) == "gen2-adf";
    if (gen2) {
        simtest::Gen2Scan scan;
        scan.compression = job.compression;
        scan.color = job.color;
        c.Send(simtest::SspFrame(scan));
        EXPECT_EQ(ReadGen2Answer(c).size(), 8u + 42u);
        c.Send(simtest::XscFrame(scan));
    } else {
        c.Send(Frame("S", {"ADF"}));
        EXPECT_EQ(c.Read(1, 3000), Bytes{0x80});
        simtest::Gen1Scan scan;
        scan.compression = job.compression;
        scan.color = job.color;
        c.Send(simtest::XFrame(scan));
    }
    Bytes stream = simtest::ReadScan(c, gen2);
    pages = sim.Pages();
    EXPECT_EQ(sim.Counters().violations, 0u);
    EXPECT_EQ(sim.SheetsLeft(), 0u);
    return stream;
}

// The PNM rows the wire's lines must give.
Bytes RowsFromLines(const simtest::ReceivedPage& page, const simtest::Pnm& pnm)
{
    Bytes rows;
    for (const Bytes& line : page.lines) {
        Bytes row = page.packbits ? simtest::UnpackBits(line) : line;
        if (pnm.kind == '6') {
            for (size_t i = 0; i + 2 < row.size(); i += 3) {
                std::swap(row[i], row[i + 2]);  // B, G, R on the wire
            }
        }
        rows.insert(rows.end(), row.begin(), row.end());
    }
    return rows;
}

TEST(ScanStream, DuplexJobsOfBothGenerationsArriveAsTheirDumpsInEveryOrder)
{
    const Job jobs[] = {
        {"gen2-adf", "NONE", "C24BIT", DuplexOrder::kSequential},
        {"gen2-adf", "RLENGTH", "TEXT", DuplexOrder::kInterleaved},
        {"gen2-adf", "JPEG", "GRAY256", DuplexOrder::kBackFirst},
        {"gen2-adf", "NONE", "GRAY256", DuplexOrder::kBackFirst},
        {"gen2-adf", "RLENGTH", "C24BIT", DuplexOrder::kSequential},
        {"gen2-adf", "JPEG", "C24BIT", DuplexOrder::kInterleaved},
        {"gen1-adf", "NONE", "GRAY256", DuplexOrder::kInterleaved},
        {"gen1-adf", "RLENGTH", "CGRAY", DuplexOrder::kBackFirst},
        {"gen1-adf", "JPEG", "CGRAY", DuplexOrder::kSequential},
        {"gen1-fb-adf", "RLENGTH", "TEXT", DuplexOrder::kInterleaved},
        {"gen1-fb-adf", "JPEG", "GRAY256", DuplexOrder::kBackFirst},
    };
    ScratchDir dir;
    std::vector<std::string> dumps;
    for (size_t j = 0; j < std::size(jobs); ++j) {
        const Job& job = jobs[j];
        SCOPED_TRACE(std::string(job.profile) + " " + job.compression + " " + job.color + " order " +
                     std::to_string(static_cast<int>(job.order)));
        bool const gen2 = std::string(job.profile) == "gen2-adf";
        std::string const sub = dir / ("job" + std::to_string(j));
        std::vector<scanner_sim::PageRecord> records;
        Bytes const stream = RunJob(job, sub, "", records);
        std::string error;
        auto const pages = simtest::DecodePages(gen2, stream, error);
        ASSERT_TRUE(error.empty()) << error;
        ASSERT_EQ(pages.size(), 6u);
        ASSERT_EQ(records.size(), 6u);
        for (const scanner_sim::PageRecord& record : records) {
            SCOPED_TRACE("page " + std::to_string(record.page));
            ASSERT_TRUE(pages.count(static_cast<uint16_t>(record.page)));
            const simtest::ReceivedPage& page = pages.at(static_cast<uint16_t>(record.page));
            EXPECT_EQ(page.endCode, gen2 ? 0x21 : 0x82);
            EXPECT_EQ(record.back, record.page % 2 == 0);
            simtest::Pnm pnm;
            ASSERT_TRUE(simtest::ReadPnm(record.file, pnm)) << record.file;
            dumps.push_back(record.file);
            EXPECT_EQ(pnm.width, record.width);
            EXPECT_EQ(pnm.height, record.height);
            if (std::string(job.compression) == "JPEG") {
                ASSERT_TRUE(page.jpegPage);
                simtest::Pnm decoded;
                ASSERT_TRUE(simtest::Djpeg(page.jpeg, decoded, error)) << error;
                EXPECT_EQ(decoded.width, pnm.width);
                EXPECT_EQ(decoded.height, pnm.height);
                EXPECT_GE(simtest::Psnr(decoded.pixels, pnm.pixels), 35.0);
                uint32_t number = 0;
                bool back = false;
                ASSERT_TRUE(simtest::ReadBarCode(decoded, number, back));
                EXPECT_EQ(number, record.page);
                EXPECT_EQ(back, record.back);
            } else {
                EXPECT_EQ(page.lines.size(), pnm.height);
                EXPECT_TRUE(RowsFromLines(page, pnm) == pnm.pixels) << "lines differ from the dump";
            }
            uint32_t number = 0;
            bool back = false;
            ASSERT_TRUE(simtest::ReadBarCode(pnm, number, back));
            EXPECT_EQ(number, record.page);
        }
        // The two sides of each sheet in the order asked for.
        for (uint16_t front = 1; front <= 5; front += 2) {
            const simtest::ReceivedPage& a = pages.at(front);
            const simtest::ReceivedPage& b = pages.at(static_cast<uint16_t>(front + 1));
            if (job.order == DuplexOrder::kSequential) {
                EXPECT_LT(a.endUnit, b.firstUnit);
            } else {
                EXPECT_LT(a.firstUnit, b.lastData);
                EXPECT_LT(b.firstUnit, a.lastData);
                EXPECT_EQ(a.endUnit < b.endUnit, job.order == DuplexOrder::kInterleaved);
            }
        }
        if (gen2 && std::string(job.compression) == "JPEG") {
            // Each page's line count rises to its height.
            std::map<uint16_t, uint32_t> last;
            for (const simtest::Unit& u : simtest::SplitGen2(stream)) {
                if (u.code == 0x02) {
                    EXPECT_GE(u.lineCount, last[u.page]);
                    last[u.page] = u.lineCount;
                }
            }
            for (const scanner_sim::PageRecord& record : records) {
                EXPECT_EQ(last[static_cast<uint16_t>(record.page)], record.height);
            }
        }
    }
    // An independent reader takes every dump.
    std::string command =
        "/usr/bin/python3 -c 'import sys\nfrom PIL import Image\nfor p in sys.argv[1:]:\n"
        "    i = Image.open(p); i.load(); print(i.mode, i.size[0], i.size[1])'";
    for (const std::string& path : dumps) {
        command += " '" + path + "'";
    }
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> lines;
    char line[128];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        lines.emplace_back(line);
    }
    ASSERT_EQ(pclose(pipe), 0);
    ASSERT_EQ(lines.size(), dumps.size());
    for (size_t i = 0; i < dumps.size(); ++i) {
        simtest::Pnm pnm;
        ASSERT_TRUE(simtest::ReadPnm(dumps[i], pnm));
        std::string const mode = pnm.kind == '4' ? "1" : pnm.kind == '5' ? "L" : "RGB";
        EXPECT_EQ(lines[i], mode + " " + std::to_string(pnm.width) + " " + std::to_string(pnm.height) + "\n");
    }
}

TEST(ScanStream, ChunkingPerByteOrAtRandomChangesNoByte)
{
    const Job jobs[] = {{"gen2-adf", "JPEG", "C24BIT", DuplexOrder::kInterleaved},
                        {"gen1-adf", "RLENGTH", "GRAY256", DuplexOrder::kSequential}};
    for (const Job& job : jobs) {
        SCOPED_TRACE(job.profile);
        std::vector<scanner_sim::PageRecord> pages;
        Bytes const whole = RunJob(job, "", "", pages);
        ASSERT_GT(whole.size(), 1000u);
        EXPECT_EQ(RunJob(job, "", "split-bytes@connect=1", pages), whole);
        EXPECT_EQ(RunJob(job, "", "chunk-random@connect=1", pages), whole);
        EXPECT_EQ(RunJob(job, "", "split-header@cmd=" + std::string(job.profile[3] == '2' ? "XSC" : "X"), pages),
                  whole);
    }
}

// Every generation-2 command's answer, byte for byte.
TEST(ScanStream, Gen2AnswersEveryCommand)
{
    Simulator::Options o = Small("gen2-adf");
    Simulator sim(o);
    sim.LoadSheets(1);
    std::string error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    simtest::RawClient c;
    ASSERT_TRUE(c.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(c.Read(6, 3000), kGreeting);

    c.Send(Frame("Q"));
    EXPECT_EQ(simtest::Hex(c.Read(4, 3000)), "c1000210");
    c.Send(Frame("QDI"));
    Bytes const qdi = ReadGen2Answer(c);
    ASSERT_GT(qdi.size(), 20u);
    EXPECT_EQ(simtest::Hex(Bytes(qdi.begin(), qdi.begin() + 4)), "00514449");
    // Tag 0x0001 first with command version 259; the end tag last.
    EXPECT_EQ(simtest::Hex(Bytes(qdi.begin() + 8, qdi.begin() + 14)), "010002000301");
    EXPECT_EQ(simtest::Hex(Bytes(qdi.end() - 4, qdi.end())), "f0f00000");

    c.Send(Frame("CKD", {"PSRC=ADF"}));
    EXPECT_EQ(simtest::Hex(c.Read(2, 3000)), "0001");
    c.Send(Frame("CKD", {"PSRC=FB"}));
    EXPECT_EQ(simtest::Hex(c.Read(2, 3000)), "0001");

    simtest::Gen2Scan scan;
    scan.resolution = 300;
    c.Send(simtest::SspFrame(scan));
    // Source ADF; 300 dpi is 200; the feeder's 215.9 by 355.6 mm are 1700 by
    // 2800 pixels; the 40 by 50 mm sheet 314 by 393.
    EXPECT_EQ(simtest::Hex(ReadGen2Answer(c)),
              "00535350"
              "2a000000"
              "012002000100"
              "02200400c800c800"
              "032008"
              "00a4060000f00a0000"
              "042008"
              "003a01000089010000"
              "f0f00000");
    c.Send(Frame("SSP", {"OS=LNX"}));  // read-ahead: the panel's settings
    EXPECT_EQ(simtest::Hex(ReadGen2Answer(c)).substr(0, 44),
              "005353502a0000000120020001000220040"
              "0c800c800");

    c.Send(Frame("GKP"));
    Bytes const gkp = ReadGen2Answer(c);
    EXPECT_EQ(simtest::Hex(Bytes(gkp.begin(), gkp.begin() + 4)), "00474b50");
    EXPECT_EQ(simtest::Hex(Bytes(gkp.end() - 4, gkp.end())), "f0f00000");
    c.Send(Frame("GCT"));
    EXPECT_EQ(simtest::Hex(ReadGen2Answer(c)), "0047435404000000f0f00000");
    c.Send(Frame("GCP"));
    Bytes const gcp = ReadGen2Answer(c);
    EXPECT_EQ(simtest::Hex(Bytes(gcp.begin() + 8, gcp.begin() + 12)), "01311500");
    c.Send(Frame("GDS"));
    // At the last SSP's 200 dpi: the ends of the 40 mm leading edge, 0,0
    // and 315,0; the feeder (2), size code 0.
    EXPECT_EQ(simtest::Hex(ReadGen2Answer(c)),
              "0047445320000000"
              "01400400c800c800"
              "0240080000000000"
              "3b010000"
              "0340040002000003"
              "f0f00000");
    c.Send(Frame("ABT"));  // no scan: nothing
    EXPECT_TRUE(c.ReadQuiet(100, 300).empty());
    EXPECT_EQ(sim.Counters().violations, 0u);
    EXPECT_EQ(sim.Counters().commands, 11u);
}

// Every generation-1 command's answer.
TEST(ScanStream, Gen1AnswersEveryCommand)
{
    Simulator sim(Small("gen1-adf"));
    std::string error;
    ASSERT_TRUE(sim.ListenTcp("", Simulator::kDataPort, error)) << error;
    simtest::RawClient c;
    ASSERT_TRUE(c.Connect(sim.Address(), sim.Port()));
    EXPECT_EQ(c.Read(6, 3000), kGreeting);
    c.Send(Frame("Q"));
    Bytes const q = c.Read(75, 3000);
    ASSERT_EQ(q.size(), 75u);
    EXPECT_EQ(simtest::Hex(Bytes(q.begin(), q.begin() + 4)), "c100490c");  // 72 bytes, version 12
    EXPECT_EQ(q[3 + 18], 1);                                               // a feeder-only device
    c.Send(Frame("D", {"ADF"}));
    EXPECT_EQ(simtest::Hex(c.Read(1, 3000)), "c2");  // no sheet yet
    sim.LoadSheets(1);
    c.Send(Frame("D", {"ADF"}));
    EXPECT_EQ(simtest::Hex(c.Read(1, 3000)), "80");
    c.Send(Frame("D", {"FB"}));
    EXPECT_EQ(simtest::Hex(c.Read(1, 3000)), "c2");  // no flatbed
    c.Send(Frame("S", {"ADF"}));
    EXPECT_EQ(simtest::Hex(c.Read(1, 3000)), "80");
    c.Send(Frame("K"));
    std::string const panel = "F=IMAGE\nD=SIN\nR=200\nM=CGRAY\nP=AUTO\nB=50\nN=50\n";
    Bytes const k = c.Read(3 + panel.size(), 3000);
    EXPECT_EQ(std::string(k.begin() + 3, k.end()), panel);
    EXPECT_EQ(k[0], 0x30);
    c.Send(Frame("I", {"R=300,300", "M=CGRAY", "D=SIN", "S=NORMAL_SCAN"}));
    std::string const actual = "200,200,1,0,1700,0,2800";
    Bytes const i = c.Read(3 + actual.size(), 3000);
    EXPECT_EQ(simtest::Hex(Bytes(i.begin(), i.begin() + 3)), "001700");
    EXPECT_EQ(std::string(i.begin() + 3, i.end()), actual);
    c.Send(Frame("E", {"R=300,300", "M=CGRAY"}));
    std::string const detected = "R=200,200\nV1=0,0\nV2=315,0\n";  // the ends of the leading edge
    Bytes const e = c.Read(3 + detected.size(), 3000);
    EXPECT_EQ(std::string(e.begin() + 3, e.end()), detected);
    c.Send(Frame("P"));
    Bytes const p = c.Read(2 + 1024, 3000);
    ASSERT_EQ(p.size(), 1026u);
    EXPECT_EQ(simtest::Hex(Bytes(p.begin(), p.begin() + 10)), "00040000000001010100");
    c.Send(Frame("R"));  // no scan: nothing
    EXPECT_TRUE(c.ReadQuiet(100, 300).empty());
    EXPECT_EQ(sim.Counters().violations, 0u);
}

}  // namespace
