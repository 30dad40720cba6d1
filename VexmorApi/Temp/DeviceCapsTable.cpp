// Capability table file: an array of tables "DeviceCapability" (one entry per
// model, with "ModelName") and three arrays of tables whose entry n belongs
// to model entry n. Values are integers; only 0..65535 fit the device's
// 16-bit fields, anything else counts as not given.
#include "VexmorApi/Temp/DeviceCapsTable.h"

#include <algorithm>

namespace vscore {

namespace {

constexpr int kMaxValue = 0xFFFF;

constexpr uint32_t KeyBit(int key) { return uint32_t{1} << key; }

}  // namespace

ExternalCapability::ExternalCapability(const DeviceCapabilityFile& file, const std::string& modelName)
    : deviceScanSizeMax(file.GetDeviceScanSizeMax(modelName)),
      marginSize(file.GetMarginSize(modelName)),
      opticalResolution(file.GetOpticalResolution(modelName)),
      givenKeys(file.GetGivenKeys(modelName))
{
}

bool ExternalCapability::HasAnyGroup() const
{
    return deviceScanSizeMax.has_value() || marginSize.has_value() || opticalResolution.has_value();
}

bool ExternalCapability::IsKeyGiven(int key) const
{
    return key >= 0 && key < DeviceCapabilityFile::KeyCount && (givenKeys & KeyBit(key)) != 0;
}

DeviceCapabilityFile::DeviceCapabilityFile(std::string path)
    : keyNames_{{ModelName, "ModelName"}, {FbMaxX, "FbMaxX"},     {FbMaxY, "FbMaxY"},    {SimMaxX, "SimMaxX"},
                {SimMaxY, "SimMaxY"},     {DupMaxX, "DupMaxX"},   {DupMaxY, "DupMaxY"},  {MarginX, "MarginX"},
                {MarginY, "MarginY"},     {FbResoX, "FbResoX"},   {FbResoY, "FbResoY"},  {SimResoX, "SimResoX"},
                {SimResoY, "SimResoY"},   {DupResoX, "DupResoX"}, {DupResoY, "DupResoY"}},
      tableNames_{{DeviceCapability, "DeviceCapability"},
                  {DeviceScanSize, "DeviceCapability.DeviceScanSize"},
                  {MarginLength, "DeviceCapability.MarginLength"},
                  {OpticalResolution, "DeviceCapability.OpticalResolution"}}
{
    Load(path);
}

std::vector<std::string> DeviceCapabilityFile::GetModelNameList() const
{
    std::vector<std::string> names;
    for (const auto& entry : models_) {
        names.push_back(entry.first);
    }
    return names;
}

bool DeviceCapabilityFile::ExistsModel(std::string modelName) const { return Find(modelName) != nullptr; }

stdex::optional<DEVICESCANSIZES> DeviceCapabilityFile::GetDeviceScanSizeMax(std::string modelName) const
{
    if (!HasTable(modelName, DeviceScanSize)) {
        return std::nullopt;
    }
    DEVICESCANSIZES sizes = Find(modelName)->scanSize;
    sizes.unit = MM;
    return sizes;
}

stdex::optional<AXIS> DeviceCapabilityFile::GetMarginSize(std::string modelName) const
{
    if (!HasTable(modelName, MarginLength)) {
        return std::nullopt;
    }
    return Find(modelName)->margin;
}

stdex::optional<OPTICALRESOLUTIONS> DeviceCapabilityFile::GetOpticalResolution(std::string modelName) const
{
    if (!HasTable(modelName, OpticalResolution)) {
        return std::nullopt;
    }
    return Find(modelName)->resolution;
}

uint32_t DeviceCapabilityFile::GetGivenKeys(std::string modelName) const
{
    const CapabilityValues* values = Find(modelName);
    return values != nullptr ? values->givenKeys : 0;
}

void DeviceCapabilityFile::Load(const std::string& path)
{
    if (!reader_.LoadFileToDataTree(path.c_str())) {
        return;
    }
    const char* const modelTable = tableNames_[DeviceCapability].c_str();
    for (unsigned long n = 1; reader_.SelectTable(modelTable, n); ++n) {
        vdtcl::TTString<char> name;
        if (!reader_.QueryKeyValue(keyNames_[ModelName].c_str(), name, 0)) {
            continue;
        }
        // A later entry of the same model writes into the same values.
        CapabilityValues& values = models_[std::string(name.C_str(), name.Length())];
        for (int table = 0; table < TableArrayCount; ++table) {
            if (reader_.SelectTable(tableNames_[table].c_str(), n) && ReadKeys(values)) {
                values.tables.push_back(table);
            }
        }
    }
}

bool DeviceCapabilityFile::ReadKeys(CapabilityValues& values)
{
    bool found = false;
    for (int key = FbMaxX; key < KeyCount; ++key) {
        int value = 0;
        if (reader_.QueryKeyValue(keyNames_[key].c_str(), value, 0) && value >= 0 && value <= kMaxValue) {
            StoreValue(values, key, static_cast<uint32_t>(value));
            found = true;
        }
    }
    return found;
}

void DeviceCapabilityFile::StoreValue(CapabilityValues& values, int key, uint32_t value)
{
    switch (key) {
    case FbMaxX:
        values.scanSize.flatbed.x = value;
        break;
    case FbMaxY:
        values.scanSize.flatbed.y = value;
        break;
    case SimMaxX:
        values.scanSize.simplex.x = value;
        break;
    case SimMaxY:
        values.scanSize.simplex.y = value;
        break;
    case DupMaxX:
        values.scanSize.duplex.x = value;
        break;
    case DupMaxY:
        values.scanSize.duplex.y = value;
        break;
    case MarginX:
        values.margin.x = value;
        break;
    case MarginY:
        values.margin.y = value;
        break;
    case FbResoX:
        values.resolution.flatbed.x = value;
        break;
    case FbResoY:
        values.resolution.flatbed.y = value;
        break;
    case SimResoX:
        values.resolution.adfSimplex.x = value;
        break;
    case SimResoY:
        values.resolution.adfSimplex.y = value;
        break;
    case DupResoX:
        values.resolution.adfDuplex.x = value;
        break;
    case DupResoY:
        values.resolution.adfDuplex.y = value;
        break;
    default:
        return;
    }
    values.givenKeys |= KeyBit(key);
}

bool DeviceCapabilityFile::HasTable(const std::string& modelName, TableArray table) const
{
    const CapabilityValues* values = Find(modelName);
    return values != nullptr && std::find(values->tables.begin(), values->tables.end(), table) != values->tables.end();
}

const DeviceCapabilityFile::CapabilityValues* DeviceCapabilityFile::Find(const std::string& modelName) const
{
    auto it = models_.find(modelName);
    return it != models_.end() ? &it->second : nullptr;
}

}  // namespace vscore
