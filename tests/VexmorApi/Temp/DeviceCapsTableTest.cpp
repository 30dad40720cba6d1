// The capability table file: model entries matched to their value tables
// by number, groups, exact model names, values out of range, unreadable
// files, the overwrite of a device answer, and a differential check of 200
// generated files against Python's tomllib.
#include "VexmorApi/Temp/DeviceCapsTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

#include "VexmorApi/Temp/ParseCmdRes_v1.h"
#include "tests/support/gen1_encoders/Gen1Encoders.h"
#include "tests/support/scratch_dir/ScratchDir.h"

using vscore::DeviceCapabilityFile;

namespace {

using File = DeviceCapabilityFile;

const char* const kTables[] = {"DeviceCapability", "DeviceCapability.DeviceScanSize", "DeviceCapability.MarginLength",
                               "DeviceCapability.OpticalResolution"};
const char* const kKeys[] = {"ModelName", "FbMaxX",   "FbMaxY",   "SimMaxX",  "SimMaxY",
                             "DupMaxX",   "DupMaxY",  "MarginX",  "MarginY",  "FbResoX",
                             "FbResoY",   "SimResoX", "SimResoY", "DupResoX", "DupResoY"};
// The table each value key belongs in.
int TableOf(int key) { return key <= 6 ? 1 : key <= 8 ? 2 : 3; }

TEST(DeviceCapabilityFile, ValueTablesBelongToTheModelOfTheSameNumber)
{
    ScratchDir dir;
    File const file(dir.Write("caps.ccf",
                              "# two models\n"
                              "[[DeviceCapability]]\n"
                              "ModelName = \"Alpha 100\"\n"
                              "[[DeviceCapability]]\n"
                              "ModelName = \"Beta-200\"\n"
                              "[[DeviceCapability.MarginLength]]\n"
                              "MarginX = 30\n"
                              "MarginY = 0x28   # hexadecimal\n"
                              "[[DeviceCapability]]\n"
                              "ModelName = \"Gamma\"\n"));
    EXPECT_EQ(file.GetModelNameList(), (std::vector<std::string>{"Alpha 100", "Beta-200", "Gamma"}));
    // The only MarginLength entry is number 1: the first model's.
    ASSERT_TRUE(file.GetMarginSize("Alpha 100").has_value());
    EXPECT_EQ(file.GetMarginSize("Alpha 100")->x, 30u);
    EXPECT_EQ(file.GetMarginSize("Alpha 100")->y, 40u);
    EXPECT_FALSE(file.GetMarginSize("Beta-200").has_value());
    // Listed without any value table: the model exists, no group does.
    EXPECT_TRUE(file.ExistsModel("Gamma"));
    EXPECT_FALSE(file.GetDeviceScanSizeMax("Gamma").has_value());
    EXPECT_FALSE(file.GetMarginSize("Gamma").has_value());
    EXPECT_FALSE(file.GetOpticalResolution("Gamma").has_value());
    EXPECT_FALSE(vscore::ExternalCapability(file, "Gamma").HasAnyGroup());
    // Names match exactly.
    EXPECT_FALSE(file.ExistsModel("gamma"));
    EXPECT_FALSE(file.ExistsModel("Gamma "));
    EXPECT_FALSE(file.ExistsModel("Alpha"));
}

TEST(DeviceCapabilityFile, OnlyKeysInRangeAreGiven)
{
    ScratchDir dir;
    File const file(dir.Write("caps.ccf",
                              "[[DeviceCapability]]\n"
                              "ModelName = \"M\"\n"
                              "[[DeviceCapability.DeviceScanSize]]\n"
                              "FbMaxX = 65535\n"
                              "FbMaxY = 65536\n"
                              "SimMaxX = -1\n"
                              "SimMaxY = \"300\"\n"
                              "DupMaxX = 0\n"
                              "[[DeviceCapability.OpticalResolution]]\n"
                              "FbResoX = 70000\n"));
    auto sizes = file.GetDeviceScanSizeMax("M");
    ASSERT_TRUE(sizes.has_value());
    EXPECT_EQ(sizes->flatbed.x, 65535u);
    EXPECT_EQ(sizes->flatbed.y, 0u);
    EXPECT_EQ(sizes->unit, vscore::MM);
    EXPECT_EQ(file.GetGivenKeys("M"), 1u << File::FbMaxX | 1u << File::DupMaxX);
    // A table whose only key is out of range gives no group.
    EXPECT_FALSE(file.GetOpticalResolution("M").has_value());
}

TEST(DeviceCapabilityFile, MissingOrUnreadableFileListsNoModel)
{
    ScratchDir dir;
    for (const std::string& path :
         {dir / "absent.ccf", dir.Write("comments.ccf", "# nothing\n\n"), dir.Write("empty.ccf", ""), dir.Path()}) {
        File const file(path);
        EXPECT_TRUE(file.GetModelNameList().empty()) << path;
        EXPECT_FALSE(file.ExistsModel(""));
    }
}

// A later entry of the same model replaces the keys it gives again; a
// partial group writes only its own keys over the device's answer.
TEST(DeviceCapabilityFile, PartialGroupOverwritesOnlyItsOwnKeys)
{
    ScratchDir dir;
    File const file(dir.Write("caps.ccf",
                              "[[DeviceCapability]]\n"
                              "ModelName = \"M\"\n"
                              "[[DeviceCapability.DeviceScanSize]]\n"
                              "SimMaxX = 2000\n"
                              "[[DeviceCapability]]\n"
                              "ModelName = \"M\"\n"
                              "[[DeviceCapability.DeviceScanSize]]\n"
                              "SimMaxX = 2159\n"
                              "[[DeviceCapability.OpticalResolution]]\n"
                              "[[DeviceCapability.OpticalResolution]]\n"
                              "SimResoY = 1200\n"));
    vscore::QCMDRESPONSE device{};
    device.CommandVersion = 11;
    device.FbMaxX = 0;
    device.SimMaxX = 1000;
    device.SimMaxY = 3000;
    device.SimResoX = 300;
    device.SimResoY = 300;
    device.MarginX = 5;
    vscore::ExternalCapability const overrides(file, "M");
    vscore::CParseCmdRes_v1::OverwriteResponseIfExistExternalCaps(device, &overrides);
    EXPECT_EQ(device.SimMaxX, 2159);
    EXPECT_EQ(device.SimMaxY, 3000);
    EXPECT_EQ(device.FbMaxX, 0);
    EXPECT_EQ(device.SimResoX, 300);
    EXPECT_EQ(device.SimResoY, 1200);
    EXPECT_EQ(device.MarginX, 5);

    gen1::Bytes data = gen1::EncodeQData(device);
    data[31] = 0xE8;  // the device's own SimMaxX, 1000
    data[32] = 0x03;
    auto caps = vscore::CParseCmdRes_v1().ParseDeviceInfoResponse(
        data.data(), static_cast<long>(data.size()), std::make_unique<vscore::ExternalCapability>(file, "M"));
    EXPECT_EQ(caps.deviceScanSizeMax.simplex.x, 21590u);
    EXPECT_EQ(caps.deviceScanSizeMax.simplex.y, 30000u);
    EXPECT_EQ(caps.resolutionOptical.adfSimplex.y, 1200u);
}

// ---------------------------------------------------------------------------
// Differential check against tomllib.

// One table entry as tomllib read it.
struct Entry {
    size_t keyCount = 0;
    std::map<std::string, std::string> strings;
    std::map<std::string, long long> integers;
};
using Tables = std::map<std::string, std::vector<Entry>>;  // by table name; "ERROR" marks a refused file

std::map<std::string, Tables> RunTomllib(const std::string& script, const std::vector<std::string>& paths)
{
    std::string command = "/usr/bin/python3 " + script;
    for (const std::string& path : paths) {
        command += " " + path;
    }
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        pclose(pipe);
    }
    std::map<std::string, Tables> result;
    Tables* file = nullptr;
    Entry* entry = nullptr;
    std::istringstream in(output);
    for (std::string tag, line; in >> tag && std::getline(in, line);) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (tag == "FILE") {
            file = &result[name];
        } else if (tag == "ERROR") {
            (*file)["ERROR"];
        } else if (tag == "T") {
            size_t n = 0;
            std::vector<Entry>& entries = (*file)[name];
            fields >> n;
            entries.resize(n);
            entry = &entries[n - 1];
            fields >> entry->keyCount;
        } else if (tag == "I") {
            fields >> entry->integers[name];
        } else if (tag == "S") {
            entry->strings[name] = line.size() > name.size() + 2 ? line.substr(name.size() + 2) : "";
        }
    }
    return result;
}

// One random file in the part of TOML the capability table uses.
std::string RandomTable(std::mt19937& rng)
{
    auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    auto pick = [&](int n) { return static_cast<int>(rng() % n); };
    auto number = [&]() -> std::string {
        long long const value = chance(10) ? -pick(5000) : chance(25) ? 60000 + pick(20000) : pick(40000);
        char text[32];
        std::snprintf(text, sizeof text,
                      value > 0 && chance(20)   ? (chance(50) ? "0x%llx" : "0x%llX")
                      : value > 0 && chance(10) ? "+%lld"
                                                : "%lld",
                      value);
        return text;
    };
    static const char* const kNames[] = {"Alpha 100", "Beta-200", "gamma_3", "GAMMA_3", "D", "Echo 5 Pro"};
    std::string text = chance(50) ? "# capability overrides\n\n" : "";
    for (int m = pick(5); m >= 0; --m) {
        text += chance(20) ? "  [[DeviceCapability]]\n" : "[[DeviceCapability]]\n";
        if (!chance(10)) {
            text += std::string("ModelName = \"") + kNames[pick(6)] + (chance(20) ? "\"   # name\n" : "\"\n");
        }
        if (chance(10)) {
            text += std::string(kKeys[1 + pick(14)]) + " = " + number() + "\n";
        }
        for (int table = 1; table <= 3; ++table) {
            for (int copies = chance(60) ? 1 : chance(20) ? 2 : 0; copies > 0; --copies) {
                text += std::string("[[") + kTables[table] + "]]\n";
                for (int key = 1; key <= 14; ++key) {
                    if (TableOf(key) == table && chance(60)) {
                        text += std::string(chance(20) ? "\t" : "") + kKeys[key] + (chance(50) ? " = " : "=") +
                                (chance(5) ? "\"" + number() + "\"" : number()) + (chance(15) ? " # note\n" : "\n");
                    }
                }
            }
        }
    }
    return text;
}

// What the capability file must give per model, by the by-number rule over
// tomllib's data: the keys given (bit n) with their values, and the groups.
struct Model {
    uint32_t given = 0;
    uint32_t values[15] = {};
    bool groups[4] = {};
};

std::map<std::string, Model> ExpectedModels(Tables& tables)
{
    std::map<std::string, Model> models;
    std::vector<Entry>& entries = tables[kTables[0]];
    for (size_t n = 0; n < entries.size(); ++n) {
        if (entries[n].strings.count("ModelName") == 0) {
            continue;
        }
        Model& model = models[entries[n].strings["ModelName"]];
        for (int t = 0; t < 4; ++t) {
            std::vector<Entry>& sub = tables[kTables[t]];
            for (int k = 1; n < sub.size() && k <= 14; ++k) {
                auto it = sub[n].integers.find(kKeys[k]);
                if (it != sub[n].integers.end() && it->second >= 0 && it->second <= 65535) {
                    model.values[k] = static_cast<uint32_t>(it->second);
                    model.given |= 1u << k;
                    model.groups[t] = true;
                }
            }
        }
    }
    return models;
}

TEST(DeviceCapabilityFile, AgreesWithTomllibOnGeneratedFiles)
{
    const char* source = std::getenv("VEXMOR_SOURCE_DIR");
    std::string const script = std::string(source != nullptr ? source : ".") + "/tests/VexmorApi/Temp/toml_flatten.py";
    if (std::system("/usr/bin/python3 -c 'import tomllib' 2>/dev/null") != 0 || !ScratchDir::Exists(script)) {
        GTEST_SKIP() << "no /usr/bin/python3 with tomllib";
    }
    ScratchDir dir;
    std::mt19937 rng(20240613);
    std::vector<std::string> paths;
    for (int i = 0; i < 200; ++i) {
        paths.push_back(dir.Write("caps" + std::to_string(i) + ".ccf", RandomTable(rng)));
    }
    std::map<std::string, Tables> refs = RunTomllib(script, paths);
    ASSERT_EQ(refs.size(), paths.size());
    size_t groupsSeen = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path + ":\n" + ScratchDir::Read(path));
        Tables& tables = refs[path];
        ASSERT_EQ(tables.count("ERROR"), 0u);

        // The reader holds exactly the entries, keys and values tomllib read.
        vdtcl::CTTinyTomlDecoder reader;
        ASSERT_TRUE(reader.LoadFileToDataTree(path.c_str()));
        for (const char* table : kTables) {
            std::vector<Entry>& entries = tables[table];
            EXPECT_EQ(reader.GetDataTree().CountOfArrayTables(table), entries.size()) << table;
            for (size_t n = 1; n <= entries.size(); ++n) {
                ASSERT_TRUE(reader.SelectTable(table, n));
                EXPECT_EQ(reader.GetDataTree().CountOfKeyValues(), entries[n - 1].keyCount);
                for (const auto& [key, value] : entries[n - 1].strings) {
                    vdtcl::TTString<char> text;
                    EXPECT_TRUE(reader.QueryKeyValue(key.c_str(), text, 0) && value == text.C_str()) << key;
                }
                for (const auto& [key, value] : entries[n - 1].integers) {
                    int number = 0;
                    EXPECT_TRUE(reader.QueryKeyValue(key.c_str(), number, 0) && number == value) << key;
                }
            }
        }

        // The capability file follows the by-number rule over that data.
        File const file(path);
        std::map<std::string, Model> const expected = ExpectedModels(tables);
        EXPECT_EQ(file.GetModelNameList().size(), expected.size());
        for (const auto& [name, model] : expected) {
            ASSERT_TRUE(file.ExistsModel(name)) << name;
            EXPECT_EQ(file.GetGivenKeys(name), model.given) << name;
            auto sizes = file.GetDeviceScanSizeMax(name);
            auto margins = file.GetMarginSize(name);
            auto resolutions = file.GetOpticalResolution(name);
            ASSERT_EQ(sizes.has_value(), model.groups[1]) << name;
            ASSERT_EQ(margins.has_value(), model.groups[2]) << name;
            ASSERT_EQ(resolutions.has_value(), model.groups[3]) << name;
            groupsSeen += model.groups[1] + model.groups[2] + model.groups[3];
            std::vector<uint32_t> got, want;
            if (sizes) {
                got.insert(got.end(), {sizes->flatbed.x, sizes->flatbed.y, sizes->simplex.x, sizes->simplex.y,
                                       sizes->duplex.x, sizes->duplex.y});
                want.insert(want.end(), model.values + 1, model.values + 7);
            }
            if (margins) {
                got.insert(got.end(), {margins->x, margins->y});
                want.insert(want.end(), model.values + 7, model.values + 9);
            }
            if (resolutions) {
                got.insert(got.end(), {resolutions->flatbed.x, resolutions->flatbed.y, resolutions->adfSimplex.x,
                                       resolutions->adfSimplex.y, resolutions->adfDuplex.x, resolutions->adfDuplex.y});
                want.insert(want.end(), model.values + 9, model.values + 15);
            }
            EXPECT_EQ(got, want) << name;
        }
    }
    EXPECT_GT(groupsSeen, 300u);  // the files are not trivially empty
}

}  // namespace
