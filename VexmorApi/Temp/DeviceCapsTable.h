// The capability table file "DeviceCapability.ccf": per model name, values
// that replace a few fields of a generation-1 device's capability answer
// (maximum scan sizes, margins, optical resolutions). The whole file is read
// once at construction; afterwards the object only answers queries.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VexmorApi/VexmorApiTypes.h"
#include "vdtcl/CTTinyTomlDecoder.h"

// The getters' documented return type; std::optional underneath.
namespace stdex {
template <class T>
using optional = std::optional<T>;
}  // namespace stdex

namespace vscore {

class DeviceCapabilityFile;

// The overrides for one model. A group is present when the file gave at
// least one of its keys; within a present group only the keys named in
// givenKeys replace the device's values (the others read 0 here).
struct ExternalCapability {
    stdex::optional<DEVICESCANSIZES> deviceScanSizeMax;     // flatbed, simplex, duplex; unit 1
    stdex::optional<AXIS> marginSize;                       // MarginX, MarginY
    stdex::optional<OPTICALRESOLUTIONS> opticalResolution;  // flatbed, adfSimplex, adfDuplex
    uint32_t givenKeys = 0;  // bit n: key number n of DeviceCapabilityFile::Key was given

    ExternalCapability() = default;
    // The groups and keys the file gives for modelName (all absent when the
    // file does not list it).
    ExternalCapability(const DeviceCapabilityFile& file, const std::string& modelName);

    // True when the file gave at least one group.
    bool HasAnyGroup() const;
    bool IsKeyGiven(int key) const;
};

class DeviceCapabilityFile {
public:
    // Key numbers of the file's value keys.
    enum Key : int {
        ModelName = 0,
        FbMaxX = 1,
        FbMaxY = 2,
        SimMaxX = 3,
        SimMaxY = 4,
        DupMaxX = 5,
        DupMaxY = 6,
        MarginX = 7,
        MarginY = 8,
        FbResoX = 9,
        FbResoY = 10,
        SimResoX = 11,
        SimResoY = 12,
        DupResoX = 13,
        DupResoY = 14,
        KeyCount = 15,
    };
    // The four arrays of tables; entry n of each belongs to model entry n.
    enum TableArray : int {
        DeviceCapability = 0,
        DeviceScanSize = 1,
        MarginLength = 2,
        OpticalResolution = 3,
        TableArrayCount = 4,
    };

    // Loads the file at path; a missing or unreadable file lists no model.
    explicit DeviceCapabilityFile(std::string path);

    // The model names the file lists, sorted.
    std::vector<std::string> GetModelNameList() const;
    // Exact, case-sensitive match.
    bool ExistsModel(std::string modelName) const;
    stdex::optional<DEVICESCANSIZES> GetDeviceScanSizeMax(std::string modelName) const;
    stdex::optional<AXIS> GetMarginSize(std::string modelName) const;
    stdex::optional<OPTICALRESOLUTIONS> GetOpticalResolution(std::string modelName) const;
    // Bit n set: key number n was given for the model (0 for an unlisted one).
    uint32_t GetGivenKeys(std::string modelName) const;

private:
    // What the file gives for one model; keys not given stay 0.
    struct CapabilityValues {
        std::vector<int> tables;  // table numbers that gave at least one key, in file order
        DEVICESCANSIZES scanSize{};
        AXIS margin{};
        OPTICALRESOLUTIONS resolution{};
        uint32_t givenKeys = 0;
    };

    void Load(const std::string& path);
    // Reads the keys of the selected table into values; true when one was found.
    bool ReadKeys(CapabilityValues& values);
    static void StoreValue(CapabilityValues& values, int key, uint32_t value);
    bool HasTable(const std::string& modelName, TableArray table) const;
    const CapabilityValues* Find(const std::string& modelName) const;

    std::map<std::string, CapabilityValues> models_;
    vdtcl::CTTinyTomlDecoder reader_;
    std::map<int, std::string> keyNames_;
    std::map<int, std::string> tableNames_;
};

}  // namespace vscore
