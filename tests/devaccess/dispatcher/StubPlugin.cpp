// A transport plug-in stub built under the real plug-in file names
// (STUB_TAG "usb" or "net"): every call, the object's creation and
// destruction and the library's loading and unloading go to the call log,
// and each answer can be scripted there under "<tag>.<operation>".
#include <string>
#include <vector>

#include "devaccess/DeviceAccessInterfaces.h"
#include "tests/support/plugin_log/PluginLog.h"

namespace {

using vscore::_DEV_IDENTIFIER;
using vscore::_ENUM_DEV_INFO;

std::string Key(const char* operation) { return std::string(STUB_TAG ".") + operation; }

void Log(const std::string& text) { pluginlog::Record(std::string(STUB_TAG ":") + text); }

std::string Describe(const char* operation, const _DEV_IDENTIFIER& id)
{
    return std::string(operation) + " kind=" + std::to_string(id.kind) + " devif=" + std::to_string(id.devif);
}

class StubPlugin : public vscore::IDevAccsLowLevel {
public:
    ~StubPlugin() override { Log("destroy"); }

    uint32_t EnumerateDevices(const std::vector<_ENUM_DEV_INFO>** list, unsigned* count, bool flag) override
    {
        Log(std::string("EnumerateDevices flag=") + (flag ? "1" : "0"));
        m_list.clear();
        long records = pluginlog::Get(Key("EnumerateDevices.records"), 0);
        for (long i = 0; i < records; ++i) {
            _ENUM_DEV_INFO info;
            info.nameDevice = (std::string(STUB_TAG "-device-") + std::to_string(i)).c_str();
            info.devif = std::string(STUB_TAG) == "usb" ? vscore::DEVIF_USB : vscore::DEVIF_NET;
            info.idVendor = static_cast<uint16_t>(0x1000 + i);
            m_list.push_back(info);
        }
        *list = &m_list;
        *count = static_cast<unsigned>(pluginlog::Get(Key("EnumerateDevices.count"), records));
        return Answer("EnumerateDevices");
    }
    uint32_t ConfirmConnection(const _DEV_IDENTIFIER& id) override
    {
        Log(Describe("ConfirmConnection", id));
        return Answer("ConfirmConnection");
    }
    uint32_t OpenForScanEvents(const _DEV_IDENTIFIER& id) override
    {
        Log(Describe("OpenForScanEvents", id));
        return Answer("OpenForScanEvents");
    }
    uint32_t CloseForScanEvents() override
    {
        Log("CloseForScanEvents");
        return Answer("CloseForScanEvents");
    }
    bool IsOpenForScanEvents() override
    {
        Log("IsOpenForScanEvents");
        return false;
    }
    uint32_t OpenForDataTransfer(const _DEV_IDENTIFIER& id) override
    {
        Log(Describe("OpenForDataTransfer", id));
        uint32_t result = Answer("OpenForDataTransfer");
        if (result == 0)
            m_open = true;
        return result;
    }
    uint32_t CloseForDataTransfer() override
    {
        Log("CloseForDataTransfer");
        if (!m_open) {
            lastResult = vscore::DEVACS_ERR_NOT_OPEN;
            lastSystemError = 0;
            return lastResult;
        }
        m_open = false;
        return Answer("CloseForDataTransfer");
    }
    bool IsOpenForDataTransfer() override
    {
        Log("IsOpenForDataTransfer");
        return m_open;
    }
    int ReceiveData(unsigned char* buffer, int bufferSize, int readSize, long timeoutMs) override
    {
        Log("ReceiveData size=" + std::to_string(bufferSize) + " read=" + std::to_string(readSize) +
            " timeout=" + std::to_string(timeoutMs));
        int count = static_cast<int>(pluginlog::Get(Key("ReceiveData.count"), readSize));
        for (int i = 0; i < count && i < bufferSize; ++i)
            buffer[i] = static_cast<unsigned char>(i);
        Answer("ReceiveData");
        return count;
    }
    int SendData(const unsigned char* /*data*/, int size, long timeoutMs) override
    {
        Log("SendData size=" + std::to_string(size) + " timeout=" + std::to_string(timeoutMs));
        Answer("SendData");
        return static_cast<int>(pluginlog::Get(Key("SendData.count"), size));
    }
    uint32_t GetConfiguration(vscore::devacs_config_t key, void* /*data*/) override
    {
        Log("GetConfiguration key=" + std::to_string(key));
        return Answer("GetConfiguration");
    }
    uint32_t SetConfiguration(vscore::devacs_config_t key, void* /*data*/) override
    {
        Log("SetConfiguration key=" + std::to_string(key));
        return Answer("SetConfiguration");
    }
    void BreakOffWaits() override { Log("BreakOffWaits"); }
    void ResumeWaits() override { Log("ResumeWaits"); }

private:
    // The scripted result and system error of an operation, 0 by default.
    uint32_t Answer(const char* operation)
    {
        lastResult = static_cast<uint32_t>(pluginlog::Get(Key(operation), 0));
        lastSystemError = static_cast<uint32_t>(pluginlog::Get(Key(operation) + ".syserr", 0));
        return lastResult;
    }

    std::vector<_ENUM_DEV_INFO> m_list;
    bool m_open = false;
};

__attribute__((constructor)) void OnLoad() { Log("load"); }

__attribute__((destructor)) void OnUnload() { Log("unload"); }

}  // namespace

extern "C" VSCORE_EXPORT vscore::IDevAccsLowLevel* CreateInstance()
{
    Log("CreateInstance");
    if (pluginlog::Get(Key("CreateInstance.null"), 0) != 0)
        return nullptr;
    return new StubPlugin();
}
