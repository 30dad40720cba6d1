// The scripted TCP peer: listening, accepting, and running one script per
// connection on the peer's thread.
#include "tools/scripted_peer/ScriptedPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace scriptedpeer {

namespace {

constexpr int kTickMs = 50;  // longest single wait, so Stop is seen soon
constexpr size_t kReadChunk = 64 * 1024;
constexpr int kFirstHost = 2;
constexpr int kLastHost = 254;

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point end)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max())) : 0;
}

}  // namespace

// Only the low eight bits of the mixed offset count, so a byte is a table
// entry picked by its low offset byte and the xor of the next three.
unsigned char PatternByte(uint64_t offset)
{
    return static_cast<unsigned char>((offset ^ (offset >> 8) ^ (offset >> 16) ^ (offset >> 24)) * 131u + 17u);
}

void FillPattern(uint64_t offset, unsigned char* out, size_t n)
{
    static const auto table = [] {
        std::array<unsigned char, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            t[i] = static_cast<unsigned char>(i * 131u + 17u);
        }
        return t;
    }();
    size_t i = 0;
    while (i < n) {
        const uint64_t at = offset + i;
        const unsigned high = static_cast<unsigned>((at >> 8) ^ (at >> 16) ^ (at >> 24)) & 0xFFu;
        unsigned low = static_cast<unsigned>(at & 0xFFu);
        for (; low < 256 && i < n; ++low, ++i) {
            out[i] = table[low ^ high];
        }
    }
}

bool ParseByteCount(const char* text, uint64_t& value)
{
    if (text == nullptr || *text < '0' || *text > '9') {
        return false;  // strtoull would also take blanks and a sign
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(text, &end, 10);
    unsigned shift = 0;
    if (*end == 'K') {
        shift = 10;
        ++end;
    } else if (*end == 'M') {
        shift = 20;
        ++end;
    } else if (*end == 'G') {
        shift = 30;
        ++end;
    }
    if (*end != '\0' || errno == ERANGE || n > (std::numeric_limits<uint64_t>::max() >> shift)) {
        return false;
    }
    value = static_cast<uint64_t>(n) << shift;
    return true;
}

Script& Script::Send(const std::string& bytes)
{
    Step s{Step::SEND};
    s.bytes = bytes;
    m_steps.push_back(s);
    return *this;
}

Script& Script::Pause(int ms)
{
    Step s{Step::PAUSE};
    s.pauseMs = ms;
    m_steps.push_back(s);
    return *this;
}

Script& Script::Receive(uint64_t count, int timeoutMs)
{
    Step s{Step::RECEIVE};
    s.count = count;
    s.timeoutMs = timeoutMs;
    m_steps.push_back(s);
    return *this;
}

Script& Script::ReceiveSlowly(uint64_t count, size_t chunk, int pauseMs, int timeoutMs)
{
    Step s{Step::RECEIVE_SLOWLY};
    s.count = count;
    s.chunk = chunk > 0 ? chunk : 1;
    s.pauseMs = pauseMs;
    s.timeoutMs = timeoutMs;
    m_steps.push_back(s);
    return *this;
}

Script& Script::ReceiveUntilClosed(int timeoutMs)
{
    Step s{Step::RECEIVE_UNTIL_CLOSED};
    s.count = std::numeric_limits<uint64_t>::max();
    s.timeoutMs = timeoutMs;
    m_steps.push_back(s);
    return *this;
}

Script& Script::Stream(uint64_t count, size_t chunk)
{
    Step s{Step::STREAM};
    s.count = count;
    s.chunk = chunk > 0 ? chunk : kReadChunk;
    m_steps.push_back(s);
    return *this;
}

Script& Script::Close()
{
    m_steps.push_back(Step{Step::CLOSE});
    return *this;
}

Script& Script::Reset()
{
    m_steps.push_back(Step{Step::RESET});
    return *this;
}

ScriptedPeer::~ScriptedPeer() { Stop(); }

bool ScriptedPeer::Listen(const std::string& address, unsigned short port, std::string& error, int receiveBuffer)
{
    StopListening();
    std::vector<std::string> candidates;
    if (!address.empty()) {
        candidates.push_back(address);
    } else {
        const int span = kLastHost - kFirstHost + 1;
        const int start = static_cast<int>(getpid() % span);
        for (int i = 0; i < span; ++i) {
            candidates.push_back("127.0.0." + std::to_string(kFirstHost + (start + i) % span));
        }
    }
    error = "no address to listen on";
    for (const std::string& candidate : candidates) {
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        if (inet_pton(AF_INET, candidate.c_str(), &where.sin_addr) != 1) {
            error = "bad address " + candidate;
            continue;
        }
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            return false;
        }
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (receiveBuffer > 0) {
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        if (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 && listen(fd, 16) == 0) {
            m_listenFd = fd;
            m_address = candidate;
            m_port = port;
            error.clear();
            return true;
        }
        error = "cannot listen on " + candidate + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
    }
    return false;
}

void ScriptedPeer::StopListening()
{
    if (m_listenFd >= 0) {
        close(m_listenFd);
        m_listenFd = -1;
    }
}

void ScriptedPeer::AddConnection(const Script& script) { m_scripts.push_back(script); }

void ScriptedPeer::Start()
{
    m_stop = false;
    m_done = m_scripts.empty();
    m_thread = std::thread([this] { Run(); });
}

bool ScriptedPeer::WaitDone(int timeoutMs)
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_done) {
        if (Clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void ScriptedPeer::Stop()
{
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    StopListening();
}

size_t ScriptedPeer::AcceptedCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_logs.size();
}

ConnectionLog ScriptedPeer::Connection(size_t index) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return index < m_logs.size() ? m_logs[index] : ConnectionLog{};
}

void ScriptedPeer::Run()
{
    size_t index = 0;
    while (!m_stop) {
        if (!WaitReady(m_listenFd, POLLIN, kTickMs)) {
            continue;
        }
        int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_logs.push_back(ConnectionLog{});
            m_logs.back().acceptedAt = Clock::now();
        }
        if (index < m_scripts.size()) {
            RunScript(fd, m_scripts[index], index);
        } else {
            close(fd);
        }
        ++index;
        if (index >= m_scripts.size()) {
            m_done = true;
        }
    }
}

void ScriptedPeer::RunScript(int fd, const Script& script, size_t index)
{
    uint64_t streamOffset = 0;
    std::vector<unsigned char> buffer;
    for (const Script::Step& step : script.Steps()) {
        if (m_stop || fd < 0) {
            break;
        }
        switch (step.kind) {
        case Script::Step::SEND:
            if (!SendAll(fd, step.bytes.data(), step.bytes.size())) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_logs[index].sendFailed = true;
            }
            break;
        case Script::Step::PAUSE: {
            const Clock::time_point end = Clock::now() + std::chrono::milliseconds(step.pauseMs);
            while (!m_stop && MsUntil(end) > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kTickMs, MsUntil(end))));
            }
            break;
        }
        case Script::Step::RECEIVE:
        case Script::Step::RECEIVE_SLOWLY:
        case Script::Step::RECEIVE_UNTIL_CLOSED: {
            const size_t chunk = step.kind == Script::Step::RECEIVE_SLOWLY ? step.chunk : kReadChunk;
            buffer.resize(chunk);
            const Clock::time_point end = Clock::now() + std::chrono::milliseconds(step.timeoutMs);
            uint64_t got = 0;
            while (!m_stop && got < step.count && MsUntil(end) > 0) {
                if (!WaitReady(fd, POLLIN, std::min(kTickMs, MsUntil(end)))) {
                    continue;
                }
                size_t want = static_cast<size_t>(std::min<uint64_t>(chunk, step.count - got));
                ssize_t n = recv(fd, buffer.data(), want, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_logs[index].closedByOther = true;
                    break;
                }
                if (n < 0) {
                    continue;
                }
                Record(index, buffer.data(), static_cast<size_t>(n));
                got += static_cast<uint64_t>(n);
                if (step.kind == Script::Step::RECEIVE_SLOWLY && step.pauseMs > 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
                }
            }
            break;
        }
        case Script::Step::STREAM: {
            buffer.resize(step.chunk);
            uint64_t left = step.count;
            bool ok = true;
            while (ok && left > 0 && !m_stop) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(left, step.chunk));
                FillPattern(streamOffset, buffer.data(), n);
                ok = SendAll(fd, reinterpret_cast<const char*>(buffer.data()), n);
                if (ok) {
                    streamOffset += n;
                    left -= n;
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_logs[index].streamed = streamOffset;
                }
            }
            if (!ok) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_logs[index].sendFailed = true;
            }
            break;
        }
        case Script::Step::CLOSE:
            close(fd);
            fd = -1;
            break;
        case Script::Step::RESET: {
            linger abort{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            close(fd);
            fd = -1;
            break;
        }
        }
    }
    if (fd >= 0) {
        close(fd);
    }
}

// Sends everything unless the other side goes away or the peer is stopped.
bool ScriptedPeer::SendAll(int fd, const char* data, size_t size)
{
    size_t sent = 0;
    while (sent < size) {
        if (m_stop) {
            return false;
        }
        ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            WaitReady(fd, POLLOUT, kTickMs);
        } else {
            return false;
        }
    }
    return true;
}

bool ScriptedPeer::WaitReady(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    return poll(&entry, 1, timeoutMs) > 0;
}

void ScriptedPeer::Record(size_t index, const unsigned char* data, size_t size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<unsigned char>& to = m_logs[index].received;
    to.insert(to.end(), data, data + size);
}

}  // namespace scriptedpeer
