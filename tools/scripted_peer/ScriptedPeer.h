// A scripted TCP peer that stands in for a scanner's data channel: it
// listens on a loopback address (127.0.0.x, port 54921 by default), and for
// each accepted connection runs one script of steps: send a greeting or a
// reply, record what arrives, read slowly, stream a long known pattern,
// stall, and close or reset on cue.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scriptedpeer {

// Byte number offset of every stream the peer sends; a reader checks what
// it got against it.
unsigned char PatternByte(uint64_t offset);
// Writes the n pattern bytes from offset on to out.
void FillPattern(uint64_t offset, unsigned char* out, size_t n);

// A byte count from the command line of the tools that drive the peer:
// decimal digits, optionally followed by K, M or G (binary units). False for
// anything else and for a count that does not fit 64 bits.
bool ParseByteCount(const char* text, uint64_t& value);

// The steps of one connection, run in order. Every wait also ends when the
// peer is stopped.
class Script {
public:
    struct Step {
        enum Kind { SEND, PAUSE, RECEIVE, RECEIVE_SLOWLY, RECEIVE_UNTIL_CLOSED, STREAM, CLOSE, RESET };
        explicit Step(Kind k) : kind(k) {}
        Kind kind;
        std::string bytes;   // SEND
        uint64_t count = 0;  // RECEIVE*, STREAM: bytes
        size_t chunk = 0;    // RECEIVE_SLOWLY, STREAM: bytes per call
        int pauseMs = 0;     // PAUSE, RECEIVE_SLOWLY: pause after each chunk
        int timeoutMs = 0;   // RECEIVE*: give up after this long
    };

    // Sends the bytes whole.
    Script& Send(const std::string& bytes);
    // Stalls: neither reads nor writes for ms.
    Script& Pause(int ms);
    // Records up to count bytes, waiting at most timeoutMs in all.
    Script& Receive(uint64_t count, int timeoutMs);
    // Records up to count bytes, at most chunk per read, pausing after each.
    Script& ReceiveSlowly(uint64_t count, size_t chunk, int pauseMs, int timeoutMs);
    // Records until the other side closes (or timeoutMs passes).
    Script& ReceiveUntilClosed(int timeoutMs);
    // Sends count pattern bytes in sends of at most chunk bytes; the pattern
    // goes on where the previous stream of this connection stopped.
    Script& Stream(uint64_t count, size_t chunk);
    // Closes the connection (the end of a script also does).
    Script& Close();
    // Aborts the connection: the other side sees a reset.
    Script& Reset();

    const std::vector<Step>& Steps() const { return m_steps; }

private:
    std::vector<Step> m_steps;
};

// What one accepted connection did, for the test to inspect.
struct ConnectionLog {
    std::chrono::steady_clock::time_point acceptedAt;
    std::vector<unsigned char> received;  // every byte recorded
    uint64_t streamed = 0;                // pattern bytes sent
    bool closedByOther = false;           // a receive step saw the other side close
    bool sendFailed = false;              // a send or stream step could not finish
};

// Runs on a thread of its own after Start; the accessors may be called
// from any thread meanwhile.
class ScriptedPeer {
public:
    static constexpr unsigned short kDefaultPort = 54921;

    ScriptedPeer() = default;
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Listens on address:port. An empty address takes the first of
    // 127.0.0.2 .. 127.0.0.254 (starting at a place chosen by the process id)
    // where the port is free, so parallel test programs keep apart.
    // receiveBuffer > 0 sets the accepted connections' receive buffer, which
    // makes a slow reader push back on the sender sooner.
    bool Listen(const std::string& address, unsigned short port, std::string& error, int receiveBuffer = 0);
    bool Listen(std::string& error) { return Listen("", kDefaultPort, error); }
    // Stops listening and keeps the address, so that connects are refused.
    void StopListening();

    // Scripts for the accepted connections in order; a connection beyond the
    // last script is closed at once. Add them before Start.
    void AddConnection(const Script& script);
    void Start();
    // True when every script has run to its end within timeoutMs.
    bool WaitDone(int timeoutMs);
    // Ends the thread (cutting short the running script) and closes everything.
    void Stop();

    const std::string& Address() const { return m_address; }
    unsigned short Port() const { return m_port; }
    size_t AcceptedCount() const;
    // A copy of one connection's log (empty for a connection not yet accepted).
    ConnectionLog Connection(size_t index) const;

private:
    void Run();
    void RunScript(int fd, const Script& script, size_t index);
    bool SendAll(int fd, const char* data, size_t size);
    bool WaitReady(int fd, short events, int timeoutMs);
    void Record(size_t index, const unsigned char* data, size_t size);

    std::string m_address;
    unsigned short m_port = 0;
    int m_listenFd = -1;
    std::vector<Script> m_scripts;  // fixed once the thread runs
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    mutable std::mutex m_mutex;         // guards m_logs
    std::vector<ConnectionLog> m_logs;  // one per accepted connection
};

}  // namespace scriptedpeer
