// A scripted SNMP version 1 responder for tests: it listens on a UDP port
// (inside a network namespace of the test, or here) and answers every
// request with chosen datagrams: answers built from the request with chosen
// values, error status, id, community or PDU type, raw bytes, delays and
// repeats; or it forwards each request to a real agent and relays the
// agent's answer. Messages are built and read with its own small BER code,
// independent of the code under test.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

class NetNamespace;

struct SnmpValue {
    enum Type { INTEGER, OCTETS, NULL_VALUE, IPADDRESS };
    Type type = NULL_VALUE;
    int64_t integer = 0;
    std::string octets;  // OCTETS: the raw octets; IPADDRESS: four octets

    static SnmpValue Integer(int64_t v);
    static SnmpValue Octets(const std::string& text);
    static SnmpValue Null();
};

struct SnmpVarBind {
    std::string oid;
    SnmpValue value;
};

// What the responder read from one request.
struct SnmpRequest {
    int64_t version = -1;
    std::string community;
    int pduType = -1;
    int64_t requestId = 0;
    std::vector<std::string> oids;
};

// The BER code of the responder, usable by tests directly.
namespace snmpber {
// A whole message: SEQUENCE { version, community, PDU { id, status, index, var-bindings } }.
std::string EncodeMessage(int64_t version, const std::string& community, int pduType, int64_t requestId,
                          int errorStatus, int errorIndex, const std::vector<SnmpVarBind>& vars);
// Reads a GetRequest or any message of that shape; false for anything else.
bool DecodeMessage(const unsigned char* data, size_t size, SnmpRequest& message);
}  // namespace snmpber

class SnmpResponder {
public:
    // One datagram sent back for every request, after delayMs (counted from
    // the previous datagram, or from the request for the first).
    struct Datagram {
        int delayMs = 0;
        int repeat = 1;    // sent this many times, delayMs apart
        bool raw = false;  // send bytes as they are
        std::string bytes;
        std::vector<SnmpVarBind> vars;  // else an answer with these values
        int errorStatus = 0;
        int errorIndex = 0;
        int64_t idOffset = 0;  // added to the request's id
        bool ownCommunity = false;
        std::string community;  // used when ownCommunity, else the request's
        int pduType = 2;
        int64_t version = 0;
    };

    SnmpResponder() = default;
    ~SnmpResponder();
    SnmpResponder(const SnmpResponder&) = delete;
    SnmpResponder& operator=(const SnmpResponder&) = delete;

    // Add before Start.
    void AddDatagram(const Datagram& datagram);
    // Instead of scripted datagrams: relay each request to an agent at
    // host:port (seen from the same namespace) and its answer back delayMs
    // after it came, or after the responder after (when given) sent its
    // first datagram, whichever is later.
    void ForwardTo(const std::string& host, unsigned short port, int delayMs, const SnmpResponder* after = nullptr);

    // Binds 0.0.0.0:port inside ns (here for null) and starts answering.
    bool Start(NetNamespace* ns, unsigned short port, std::string& error);
    void Stop();

    std::vector<SnmpRequest> Requests() const;
    // When each datagram went out (taken just before its send), in order.
    std::vector<std::chrono::steady_clock::time_point> Sent() const;

private:
    void Run();
    void Answer(const SnmpRequest& request, const std::vector<unsigned char>& raw, const void* to, unsigned toLength);
    bool SleepMs(int ms);
    void SendTo(const void* data, size_t size, const void* to, unsigned toLength);

    std::vector<Datagram> m_datagrams;
    std::string m_forwardHost;
    unsigned short m_forwardPort = 0;
    int m_forwardDelayMs = 0;
    const SnmpResponder* m_forwardAfter = nullptr;
    int m_fd = -1;
    int m_forwardFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;  // guards m_requests and m_sent
    std::vector<SnmpRequest> m_requests;
    std::vector<std::chrono::steady_clock::time_point> m_sent;
};

}  // namespace nettest
