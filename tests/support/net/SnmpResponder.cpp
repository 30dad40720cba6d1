// The scripted SNMP responder and its BER code.
#include "tests/support/net/SnmpResponder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "tests/support/net/NetNamespace.h"

namespace nettest {

namespace {

constexpr int kTickMs = 50;
constexpr int kForwardWaitMs = 2000;
constexpr int kAfterWaitMs = 20000;  // for the other responder's first datagram
constexpr size_t kMaxDatagram = 65536;

std::string Length(size_t n)
{
    if (n < 128) {
        return std::string(1, static_cast<char>(n));
    }
    std::string digits;
    for (size_t v = n; v != 0; v >>= 8) {
        digits.insert(digits.begin(), static_cast<char>(v & 0xFF));
    }
    return std::string(1, static_cast<char>(0x80 | digits.size())) + digits;
}

std::string Tlv(unsigned char tag, const std::string& content)
{
    return std::string(1, static_cast<char>(tag)) + Length(content.size()) + content;
}

std::string Integer(int64_t v)
{
    std::string out;
    for (int i = 7; i >= 0; --i) {
        out += static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
    }
    // Drop leading octets that only repeat the sign.
    while (out.size() > 1 && ((out[0] == 0 && (out[1] & 0x80) == 0) ||
                              (static_cast<unsigned char>(out[0]) == 0xFF && (out[1] & 0x80) != 0))) {
        out.erase(0, 1);
    }
    return Tlv(0x02, out);
}

std::string ObjectId(const std::string& text)
{
    std::vector<uint64_t> arcs;
    size_t at = 0;
    while (at <= text.size()) {
        size_t dot = text.find('.', at);
        if (dot == std::string::npos) {
            dot = text.size();
        }
        arcs.push_back(std::stoull(text.substr(at, dot - at)));
        at = dot + 1;
    }
    std::string out(1, static_cast<char>(arcs.size() > 1 ? arcs[0] * 40 + arcs[1] : arcs[0] * 40));
    for (size_t i = 2; i < arcs.size(); ++i) {
        std::string digits(1, static_cast<char>(arcs[i] & 0x7F));
        for (uint64_t v = arcs[i] >> 7; v != 0; v >>= 7) {
            digits.insert(digits.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        }
        out += digits;
    }
    return Tlv(0x06, out);
}

std::string Value(const SnmpValue& v)
{
    switch (v.type) {
    case SnmpValue::INTEGER:
        return Integer(v.integer);
    case SnmpValue::OCTETS:
        return Tlv(0x04, v.octets);
    case SnmpValue::IPADDRESS:
        return Tlv(0x40, v.octets);
    case SnmpValue::NULL_VALUE:
        break;
    }
    return Tlv(0x05, "");
}

// A bounds-checked reader of one TLV after another.
struct Reader {
    const unsigned char* p;
    const unsigned char* end;

    bool Next(unsigned char& tag, Reader& content)
    {
        if (end - p < 2) {
            return false;
        }
        tag = *p++;
        size_t length = *p++;
        if (length & 0x80) {
            size_t k = length & 0x7F;
            if (k == 0 || k > 4 || static_cast<size_t>(end - p) < k) {
                return false;
            }
            length = 0;
            while (k-- > 0) {
                length = length * 256 + *p++;
            }
        }
        if (static_cast<size_t>(end - p) < length) {
            return false;
        }
        content = Reader{p, p + length};
        p += length;
        return true;
    }
    bool Expect(unsigned char want, Reader& content)
    {
        unsigned char tag = 0;
        return Next(tag, content) && tag == want;
    }
    bool Int(int64_t& value)
    {
        Reader c{};
        if (!Expect(0x02, c) || c.p == c.end || c.end - c.p > 8) {
            return false;
        }
        value = (*c.p & 0x80) ? -1 : 0;
        for (const unsigned char* q = c.p; q < c.end; ++q) {
            value = static_cast<int64_t>((static_cast<uint64_t>(value) << 8) | *q);
        }
        return true;
    }
};

std::string OidText(const unsigned char* p, const unsigned char* end)
{
    if (p == end) {
        return "";
    }
    std::string text = std::to_string(*p / 40) + "." + std::to_string(*p % 40);
    uint64_t arc = 0;
    for (++p; p < end; ++p) {
        arc = arc * 128 + (*p & 0x7F);
        if ((*p & 0x80) == 0) {
            text += "." + std::to_string(arc);
            arc = 0;
        }
    }
    return text;
}

}  // namespace

SnmpValue SnmpValue::Integer(int64_t v)
{
    SnmpValue value;
    value.type = INTEGER;
    value.integer = v;
    return value;
}

SnmpValue SnmpValue::Octets(const std::string& text)
{
    SnmpValue value;
    value.type = OCTETS;
    value.octets = text;
    return value;
}

SnmpValue SnmpValue::Null() { return SnmpValue(); }

namespace snmpber {

std::string EncodeMessage(int64_t version, const std::string& community, int pduType, int64_t requestId,
                          int errorStatus, int errorIndex, const std::vector<SnmpVarBind>& vars)
{
    std::string list;
    for (const SnmpVarBind& v : vars) {
        list += Tlv(0x30, ObjectId(v.oid) + Value(v.value));
    }
    const std::string pdu = Integer(requestId) + Integer(errorStatus) + Integer(errorIndex) + Tlv(0x30, list);
    return Tlv(0x30,
               Integer(version) + Tlv(0x04, community) + Tlv(static_cast<unsigned char>(0xA0 | (pduType & 0x1F)), pdu));
}

bool DecodeMessage(const unsigned char* data, size_t size, SnmpRequest& message)
{
    Reader all{data, data + size};
    Reader msg{};
    Reader community{};
    Reader pdu{};
    unsigned char pduTag = 0;
    int64_t status = 0;
    int64_t index = 0;
    Reader list{};
    if (!all.Expect(0x30, msg) || !msg.Int(message.version) || !msg.Expect(0x04, community) || !msg.Next(pduTag, pdu) ||
        (pduTag & 0xE0) != 0xA0 || !pdu.Int(message.requestId) || !pdu.Int(status) || !pdu.Int(index) ||
        !pdu.Expect(0x30, list)) {
        return false;
    }
    message.community.assign(reinterpret_cast<const char*>(community.p),
                             static_cast<size_t>(community.end - community.p));
    message.pduType = pduTag & 0x1F;
    message.oids.clear();
    while (list.p < list.end) {
        Reader binding{};
        Reader oid{};
        Reader value{};
        unsigned char tag = 0;
        if (!list.Expect(0x30, binding) || !binding.Expect(0x06, oid) || !binding.Next(tag, value)) {
            return false;
        }
        message.oids.push_back(OidText(oid.p, oid.end));
    }
    return true;
}

}  // namespace snmpber

SnmpResponder::~SnmpResponder() { Stop(); }

void SnmpResponder::AddDatagram(const Datagram& datagram) { m_datagrams.push_back(datagram); }

void SnmpResponder::ForwardTo(const std::string& host, unsigned short port, int delayMs, const SnmpResponder* after)
{
    m_forwardHost = host;
    m_forwardPort = port;
    m_forwardDelayMs = delayMs;
    m_forwardAfter = after;
}

bool SnmpResponder::Start(NetNamespace* ns, unsigned short port, std::string& error)
{
    auto open = [&] {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(port);
        if (m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
            close(m_fd);
            m_fd = -1;
        }
        if (!m_forwardHost.empty()) {
            m_forwardFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        }
    };
    if (ns != nullptr) {
        if (!ns->RunInside(open, error)) {
            return false;
        }
    } else {
        open();
    }
    if (m_fd < 0 || (!m_forwardHost.empty() && m_forwardFd < 0)) {
        error = "cannot bind UDP port " + std::to_string(port);
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void SnmpResponder::Stop()
{
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    for (int* fd : {&m_fd, &m_forwardFd}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

std::vector<SnmpRequest> SnmpResponder::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::vector<std::chrono::steady_clock::time_point> SnmpResponder::Sent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sent;
}

void SnmpResponder::Run()
{
    std::vector<unsigned char> buffer(kMaxDatagram);
    while (!m_stop) {
        pollfd entry{m_fd, POLLIN, 0};
        if (poll(&entry, 1, kTickMs) <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(m_fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            continue;
        }
        std::vector<unsigned char> raw(buffer.begin(), buffer.begin() + n);
        SnmpRequest request;
        if (!snmpber::DecodeMessage(raw.data(), raw.size(), request)) {
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        Answer(request, raw, &from, fromLength);
    }
}

void SnmpResponder::Answer(const SnmpRequest& request, const std::vector<unsigned char>& raw, const void* to,
                           unsigned toLength)
{
    const sockaddr* sender = static_cast<const sockaddr*>(to);
    if (!m_forwardHost.empty()) {
        sockaddr_in agent{};
        agent.sin_family = AF_INET;
        agent.sin_port = htons(m_forwardPort);
        inet_pton(AF_INET, m_forwardHost.c_str(), &agent.sin_addr);
        if (sendto(m_forwardFd, raw.data(), raw.size(), 0, reinterpret_cast<sockaddr*>(&agent), sizeof agent) < 0) {
            return;
        }
        pollfd entry{m_forwardFd, POLLIN, 0};
        if (poll(&entry, 1, kForwardWaitMs) <= 0) {
            return;
        }
        std::vector<unsigned char> answer(kMaxDatagram);
        ssize_t n = recv(m_forwardFd, answer.data(), answer.size(), 0);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAfterWaitMs);
        while (n > 0 && m_forwardAfter != nullptr && m_forwardAfter->Sent().empty() && !m_stop &&
               std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (n > 0 && SleepMs(m_forwardDelayMs)) {
            SendTo(answer.data(), static_cast<size_t>(n), sender, toLength);
        }
        return;
    }
    for (const Datagram& d : m_datagrams) {
        for (int i = 0; i < d.repeat; ++i) {
            if (!SleepMs(d.delayMs)) {
                return;
            }
            const std::string bytes =
                d.raw ? d.bytes
                      : snmpber::EncodeMessage(d.version, d.ownCommunity ? d.community : request.community, d.pduType,
                                               request.requestId + d.idOffset, d.errorStatus, d.errorIndex, d.vars);
            SendTo(bytes.data(), bytes.size(), sender, toLength);
        }
    }
}

// Sends one datagram back and notes when: before the send, so that the
// other side cannot have had it earlier.
void SnmpResponder::SendTo(const void* data, size_t size, const void* to, unsigned toLength)
{
    const auto at = std::chrono::steady_clock::now();
    if (sendto(m_fd, data, size, 0, static_cast<const sockaddr*>(to), toLength) >= 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sent.push_back(at);
    }
}

// Sleeps in short steps; false when the responder is being stopped.
bool SnmpResponder::SleepMs(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stop && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kTickMs, ms)));
    }
    return !m_stop;
}

}  // namespace nettest
