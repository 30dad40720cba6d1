// A scripted stand-in for the USB plug-in's libusb layer, for tests of the
// data channel. It records every call as a short text and answers control
// requests and transfers from queues; its state outlives it, so a test can
// look at what the plug-in's destructor did.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "devaccess/usb/IUsbDevAccsCore.h"

namespace fakeusbcore {

using vscore::IUsbDevAccsCore;

// One answer of the libusb layer: its result, its libusb code and, for
// control requests, the reply bytes (transferred = bytes.size() unless set).
struct Answer {
    uint32_t result = 0;
    int32_t libusb = 0;
    std::vector<uint8_t> bytes;
    int transferred = -1;
};

// One bulk transfer's outcome: result, libusb code and byte count.
struct TransferAnswer {
    uint32_t result = 0;
    int32_t libusb = 0;
    int count = 0;
};

struct State {
    std::vector<std::string> calls;
    std::vector<IUsbDevAccsCore::_DEVREQ_SETUPDATA> requests;  // data pointers not kept
    std::deque<Answer> replies;                                // DeviceRequest; empty: 0x10500001
    std::deque<TransferAnswer> reads;                          // ReadDataOnBulkIn; empty: nothing came
    std::deque<TransferAnswer> writes;                         // WriteDataOnBulkOut; empty: nothing sent
    std::vector<unsigned> readWaits;                           // time-out of each bulk IN transfer
    Answer openAnswer;                                         // OpenDevice / OpenInterface
    Answer closeInterfaceAnswer;
    std::vector<std::vector<vscore::_ENUM_DEV_INFO>> enumerations;  // appended per EnumerateDevices
    bool deviceOpen = false;
    bool interfaceOpen = false;
    bool destroyed = false;
};

class FakeUsbCore : public IUsbDevAccsCore {
public:
    explicit FakeUsbCore(std::shared_ptr<State> state) : m_s(std::move(state)) {}
    ~FakeUsbCore() override { m_s->destroyed = true; }

    uint32_t EnumerateDevices(std::vector<vscore::_ENUM_DEV_INFO>& list, unsigned& count, bool) override
    {
        Log("EnumerateDevices");
        count = 0;
        if (!m_s->enumerations.empty()) {
            for (const auto& info : m_s->enumerations.front()) {
                list.push_back(info);
                ++count;
            }
            m_s->enumerations.erase(m_s->enumerations.begin());
        }
        return Done(0, 0);
    }
    uint32_t ConfirmConnection(uint16_t idVendor, uint16_t idProduct) override
    {
        Log("ConfirmConnection(" + Ids(idVendor, idProduct) + ")");
        return Done(m_s->openAnswer.result, m_s->openAnswer.libusb);
    }
    uint32_t ConfirmConnection(const char* name) override
    {
        Log("ConfirmConnection(" + std::string(name ? name : "null") + ")");
        return Done(m_s->openAnswer.result, m_s->openAnswer.libusb);
    }
    uint32_t ConfirmConnection(unsigned number) override
    {
        Log("ConfirmConnection(#" + std::to_string(number) + ")");
        return Done(vscore::DEVACS_ERR_NOT_SUPPORTED, 0);
    }
    uint32_t OpenDevice(uint16_t idVendor, uint16_t idProduct) override
    {
        Log("OpenDevice(" + Ids(idVendor, idProduct) + ")");
        return Open(false);
    }
    uint32_t OpenDevice(const char* name, bool flag) override
    {
        Log("OpenDevice(" + std::string(name ? name : "null") + (flag ? ",true)" : ",false)"));
        return Open(false);
    }
    uint32_t OpenDevice(unsigned number) override
    {
        Log("OpenDevice(#" + std::to_string(number) + ")");
        return Done(vscore::DEVACS_ERR_NOT_SUPPORTED, 0);
    }
    uint32_t CloseDevice() override
    {
        Log("CloseDevice");
        if (!m_s->deviceOpen) {
            return Done(vscore::DEVACS_ERR_NOT_OPEN, 0);
        }
        m_s->deviceOpen = false;
        m_s->interfaceOpen = false;
        return Done(0, 0);
    }
    bool IsOpenDevice() override { return m_s->deviceOpen; }
    uint32_t SetupInterfaceNo(uint8_t) override { return Done(0, 0); }
    uint32_t OpenInterface(uint16_t idVendor, uint16_t idProduct) override
    {
        Log("OpenInterface(" + Ids(idVendor, idProduct) + ")");
        return Open(true);
    }
    uint32_t OpenInterface(const char* name, bool flag) override
    {
        Log("OpenInterface(" + std::string(name ? name : "null") + (flag ? ",true)" : ",false)"));
        return Open(true);
    }
    uint32_t OpenInterface(unsigned number) override
    {
        Log("OpenInterface(#" + std::to_string(number) + ")");
        return Done(vscore::DEVACS_ERR_NOT_SUPPORTED, 0);
    }
    uint32_t CloseInterface() override
    {
        Log("CloseInterface");
        if (!m_s->interfaceOpen) {
            return Done(vscore::DEVACS_ERR_NOT_OPEN, 0);
        }
        if (m_s->closeInterfaceAnswer.result != 0) {
            return Done(m_s->closeInterfaceAnswer.result, m_s->closeInterfaceAnswer.libusb);
        }
        m_s->interfaceOpen = false;
        return Done(0, 0);
    }
    bool IsOpenInterface() override { return m_s->interfaceOpen; }
    uint32_t ReadDataOnBulkIn(uint8_t* buffer, int, int size, int& got, unsigned timeoutMs) override
    {
        Log("Read");
        m_s->readWaits.push_back(timeoutMs);
        return Transfer(m_s->reads, buffer, size, got);
    }
    uint32_t WriteDataOnBulkOut(const uint8_t*, int, int& put) override
    {
        Log("Write");
        return Transfer(m_s->writes, nullptr, 0, put);
    }
    uint32_t DeviceRequest(_DEVREQ_SETUPDATA& setup) override
    {
        Log("DeviceRequest(" + std::to_string(setup.bRequest) + ")");
        _DEVREQ_SETUPDATA copy = setup;
        copy.data = nullptr;
        m_s->requests.push_back(copy);
        if (!m_s->interfaceOpen) {
            return Done(vscore::DEVACS_ERR_NOT_OPEN, 0);
        }
        if (m_s->replies.empty()) {
            return Done(vscore::DEVACS_ERR_GENERAL, 0);
        }
        Answer answer = m_s->replies.front();
        m_s->replies.pop_front();
        if (answer.result != 0) {
            return Done(answer.result, answer.libusb);
        }
        size_t n = std::min<size_t>(answer.bytes.size(), setup.wLength);
        std::copy(answer.bytes.begin(), answer.bytes.begin() + static_cast<ptrdiff_t>(n), setup.data);
        int transferred = answer.transferred >= 0 ? answer.transferred : static_cast<int>(n);
        if (transferred > 0) {
            setup.transferred = static_cast<uint32_t>(transferred);
        }
        return Done(0, 0);
    }
    uint32_t DeviceIoControl(_DEVCTRL_DATA&) override { return Done(vscore::DEVACS_ERR_NOT_SUPPORTED, 0); }

private:
    static std::string Ids(uint16_t idVendor, uint16_t idProduct)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%04X:%04X", idVendor, idProduct);
        return text;
    }
    void Log(const std::string& call) { m_s->calls.push_back(call); }
    uint32_t Done(uint32_t result, int32_t libusb)
    {
        m_lastLibUsbError = libusb;
        return result;
    }
    uint32_t Open(bool claim)
    {
        if (m_s->openAnswer.result != 0) {
            return Done(m_s->openAnswer.result, m_s->openAnswer.libusb);
        }
        m_s->deviceOpen = true;
        m_s->interfaceOpen = m_s->interfaceOpen || claim;
        return Done(0, 0);
    }
    uint32_t Transfer(std::deque<TransferAnswer>& queue, uint8_t* buffer, int size, int& count)
    {
        count = 0;
        if (queue.empty()) {
            return Done(0, 0);
        }
        TransferAnswer answer = queue.front();
        queue.pop_front();
        if (answer.result != 0) {
            return Done(answer.result, answer.libusb);
        }
        count = answer.count;
        for (int i = 0; buffer != nullptr && i < count && i < size; ++i) {
            buffer[i] = static_cast<uint8_t>(i);
        }
        return Done(0, 0);
    }

    std::shared_ptr<State> m_s;
};

}  // namespace fakeusbcore
