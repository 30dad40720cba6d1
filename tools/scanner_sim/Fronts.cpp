// The TCP, stand-in libusb and SNMP fronts of the simulated device.
#include "tools/scanner_sim/Fronts.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tests/support/fake_libusb/FakeLibusb.h"
#include "tests/support/net/LoopbackPeer.h"
#include "tests/support/net/NetNamespace.h"
#include "tests/support/net/SnmpResponder.h"

namespace scanner_sim {

namespace {

constexpr int kTickMs = 20;  // longest wait, so Stop is seen soon
constexpr size_t kPiece = 64 * 1024;
constexpr int kFirstHost = 2;
constexpr int kLastHost = 254;
constexpr size_t kMaxDatagram = 65536;

// The wire facts of discovery and the presence check: object identifiers
// and what this device answers for them.
const char kOidDescription[] = "1.3.6.1.2.1.25.3.2.1.3.1";
const char kOidSystemName[] = "1.3.6.1.2.1.1.5.0";
const char kOidPhysAddress[] = "1.3.6.1.2.1.2.2.1.6.1";
const char kOidBootMethod[] = "1.3.6.1.4.1.9973.2.3.4.5.2.6.0";
const char kOidUnused[] = "1.3.6.1.4.1.9946.2.4.4.9973.1.2.0";
const char kOidScanner[] = "1.3.6.1.4.1.9946.2.3.9.2.101.3.11.1.0";
const char kOidPresence[] = "1.3.6.1.4.1.9946.2.3.9.4.2.1.5.5.6.0";

int MsUntil(TimePoint now, TimePoint when)
{
    if (when == TimePoint::max()) {
        return kTickMs;
    }
    auto const ms = std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, kTickMs));
}

}  // namespace

// ---- TCP.

TcpFront::~TcpFront() { Stop(); }

bool TcpFront::OpenListener(std::string& error, bool reopen, int backlog)
{
    std::vector<std::string> candidates;
    if (!address_.empty()) {
        candidates.push_back(address_);
    } else {
        int const span = kLastHost - kFirstHost + 1;
        int const first = static_cast<int>(getpid() % span);
        for (int i = 0; i < span; ++i) {
            candidates.push_back("127.0.0." + std::to_string(kFirstHost + (first + i) % span));
        }
    }
    error = "no address to listen on";
    for (const std::string& candidate : candidates) {
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port_);
        if (inet_pton(AF_INET, candidate.c_str(), &where.sin_addr) != 1) {
            error = "bad address " + candidate;
            return false;
        }
        int fd = -1;
        auto open = [&] {
            fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            int on = 1;
            if (fd >= 0) {
                setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            }
            if (fd >= 0 &&
                (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(fd, backlog) != 0)) {
                error = "cannot listen on " + candidate + ":" + std::to_string(port_) + ": " + std::strerror(errno);
                close(fd);
                fd = -1;
            }
        };
        if (ns_ != nullptr) {
            if (!ns_->RunInside(open, error)) {
                return false;
            }
        } else {
            open();
        }
        if (fd >= 0) {
            listenFd_ = fd;
            if (reopen) {
                // Reopened after a refuse fault: the same address and port.
                error.clear();
                return true;
            }
            address_ = candidate;
            if (port_ == 0) {
                sockaddr_in bound{};
                socklen_t length = sizeof bound;
                getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
                port_ = ntohs(bound.sin_port);
            }
            error.clear();
            return true;
        }
    }
    return false;
}

void TcpFront::HoldConnects()
{
    std::string error;
    CloseListener();
    if (!OpenListener(error, true, 0)) {
        return;
    }
    auto fill = [this] { queuedFd_ = nettest::FillAcceptQueue(listenFd_); };
    if (ns_ != nullptr) {
        ns_->RunInside(fill, error);
    } else {
        fill();
    }
}

void TcpFront::ReleaseConnects()
{
    std::string error;
    if (queuedFd_ >= 0) {
        close(queuedFd_);
        queuedFd_ = -1;
    }
    // The requests that came meanwhile are gone; their senders ask again.
    CloseListener();
    OpenListener(error, true);
}

void TcpFront::CloseListener()
{
    if (listenFd_ >= 0) {
        close(listenFd_);
        listenFd_ = -1;
    }
}

bool TcpFront::Start(const std::string& address, uint16_t port, nettest::NetNamespace* ns, std::string& error)
{
    Stop();
    address_ = address;
    port_ = port;
    ns_ = ns;
    if (!OpenListener(error)) {
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TcpFront::Stop()
{
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (connFd_ >= 0) {
        EndConnection(false);
    }
    if (queuedFd_ >= 0) {
        close(queuedFd_);
        queuedFd_ = -1;
    }
    CloseListener();
}

void TcpFront::EndConnection(bool reset)
{
    TimePoint const now = Clock::now();
    model_.Disconnect(now);
    // A refuse fault for the next connection shuts the door before the
    // host sees this one end.
    if (model_.ListenBlockedUntil(now) != TimePoint::min()) {
        CloseListener();
    }
    if (model_.ConnectsHeldUntil(now) != TimePoint::min() && queuedFd_ < 0) {
        HoldConnects();
    }
    if (reset) {
        linger abort{1, 0};
        setsockopt(connFd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    close(connFd_);
    connFd_ = -1;
    pending_.clear();
    pendingAt_ = 0;
    wantWrite_ = false;
}

void TcpFront::Run()
{
    std::string error;
    while (!stop_) {
        TimePoint now = Clock::now();
        // A refuse fault: nothing listens for a while, so connects fail.
        TimePoint const blocked = model_.ListenBlockedUntil(now);
        if (blocked != TimePoint::min() && listenFd_ >= 0) {
            CloseListener();
        } else if (blocked == TimePoint::min() && listenFd_ < 0) {
            OpenListener(error, true);
        }
        // A connect-hang fault: requests go unanswered for a while.
        TimePoint const held = model_.ConnectsHeldUntil(now);
        if (held != TimePoint::min() && queuedFd_ < 0) {
            HoldConnects();
        } else if (held == TimePoint::min() && queuedFd_ >= 0) {
            ReleaseConnects();
        }
        TimePoint next = WriteOutput(now);
        pollfd fds[2];
        nfds_t count = 0;
        int listenAt = -1;
        int connAt = -1;
        if (listenFd_ >= 0 && queuedFd_ < 0) {
            listenAt = static_cast<int>(count);
            fds[count++] = pollfd{listenFd_, POLLIN, 0};
        }
        if (connFd_ >= 0) {
            connAt = static_cast<int>(count);
            fds[count++] = pollfd{connFd_, static_cast<short>(POLLIN | (wantWrite_ ? POLLOUT : 0)), 0};
        }
        if (blocked != TimePoint::min()) {
            next = std::min(next, blocked);
        }
        if (held != TimePoint::min()) {
            next = std::min(next, held);
        }
        int const ready = poll(fds, count, MsUntil(now, next));
        if (ready <= 0 || stop_) {
            continue;
        }
        now = Clock::now();
        if (connAt >= 0 && (fds[connAt].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            ReadInput(now);
        }
        if (listenAt >= 0 && (fds[listenAt].revents & POLLIN) != 0) {
            Accept(now);
        }
    }
}

void TcpFront::Accept(TimePoint now)
{
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        return;
    }
    // The end of a live connection that already closed is noticed first.
    if (connFd_ >= 0) {
        ReadInput(now);
    }
    if (connFd_ >= 0) {
        static const char busy[] = "-NG \r\n";
        send(fd, busy, sizeof busy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        close(fd);
        model_.NoteBusyRejected();
        return;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    connFd_ = fd;
    model_.Connect(Transport::kTcp, now);
}

void TcpFront::ReadInput(TimePoint now)
{
    uint8_t buffer[kPiece];
    while (connFd_ >= 0) {
        ssize_t const n = recv(connFd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            model_.Receive(buffer, static_cast<size_t>(n), now);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        EndConnection(false);  // closed by the host, or reset
    }
}

// Sends what the model has due, a piece at a time, while the socket takes
// it; returns when to look again. The host's commands are read between the
// pieces, as a device reads its command pipe while it streams: a host that
// keeps up never fills the socket, so waiting for that would leave an abort
// unread until the stream pauses.
TimePoint TcpFront::WriteOutput(TimePoint now)
{
    uint8_t buffer[kPiece];
    wantWrite_ = false;
    while (connFd_ >= 0 && !stop_) {
        ReadInput(Clock::now());
        if (connFd_ < 0) {
            break;
        }
        if (pendingAt_ >= pending_.size()) {
            DeviceModel::Output const o = model_.Produce(buffer, sizeof buffer, now);
            if (o.action != Action::kNone) {
                EndConnection(o.action == Action::kReset);
                return TimePoint::max();
            }
            if (o.size == 0) {
                return o.next;
            }
            pending_.assign(buffer, buffer + o.size);
            pendingAt_ = 0;
        }
        ssize_t const n =
            send(connFd_, pending_.data() + pendingAt_, pending_.size() - pendingAt_, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            pendingAt_ += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            wantWrite_ = true;
            return TimePoint::max();
        }
        EndConnection(false);
    }
    return TimePoint::max();
}

// ---- USB.

UsbFront::~UsbFront() { Detach(); }

bool UsbFront::Attach(uint16_t vendor, uint16_t product, std::string& error)
{
    Detach();
    const Profile& profile = model_.GetProfile();
    fakeusb::DeviceSpec spec = fakeusb::Device(vendor, product, "SimScan", profile.model);
    spec.deviceIdReply = fakeusb::DeviceIdReply("MFG:SimScan;MDL:" + profile.model + ";CLS:SCANNER;");
    device_ = fakeusb::AddDevice(spec);
    if (device_ <= 0) {
        error = "the stand-in libusb took no device";
        return false;
    }
    DeviceModel* model = &model_;
    fakeusb::SetControlHandler(device_, [model](int, const fakeusb::ControlSetup& setup, uint8_t* data) {
        if (setup.bmRequestType != 0xC0 || (setup.bRequest != 1 && setup.bRequest != 2)) {
            return static_cast<int>(LIBUSB_ERROR_PIPE);
        }
        bool accepted = true;
        if (setup.bRequest == 1) {
            accepted = model->Connect(Transport::kUsb, Clock::now());
        } else {
            model->Disconnect(Clock::now());
        }
        // Byte 4 bit 7 set: the device refuses the channel (busy).
        const uint8_t reply[5] = {0x00, 0x10, setup.bRequest, 0x02, static_cast<uint8_t>(accepted ? 0x00 : 0x80)};
        int const n = std::min<int>(sizeof reply, setup.wLength);
        std::memcpy(data, reply, static_cast<size_t>(n));
        return n;
    });
    fakeusb::SetBulkOutHandler(device_, [model](int, uint8_t, const uint8_t* data, int length) {
        model->Receive(data, static_cast<size_t>(std::max(length, 0)), Clock::now());
    });
    fakeusb::SetBulkInHandler(device_, [model](int, uint8_t, uint8_t* data, int length) {
        if (length <= 0) {
            return 0;
        }
        DeviceModel::Output const o = model->Produce(data, static_cast<size_t>(length), Clock::now());
        if (o.action != Action::kNone) {
            model->Disconnect(Clock::now());
            return static_cast<int>(LIBUSB_ERROR_IO);
        }
        return static_cast<int>(o.size);
    });
    return true;
}

void UsbFront::Detach()
{
    if (device_ <= 0) {
        return;
    }
    fakeusb::SetControlHandler(device_, {});
    fakeusb::SetBulkOutHandler(device_, {});
    fakeusb::SetBulkInHandler(device_, {});
    fakeusb::Unplug(device_);
    device_ = 0;
    model_.Disconnect(Clock::now());
}

// ---- SNMP.

SnmpFront::~SnmpFront() { Stop(); }

bool SnmpFront::Start(uint16_t port, nettest::NetNamespace* ns, std::string& error)
{
    Stop();
    auto open = [&] {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(port);
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
            error = "cannot bind UDP port " + std::to_string(port) + ": " + std::strerror(errno);
            close(fd_);
            fd_ = -1;
        }
    };
    if (ns != nullptr) {
        if (!ns->RunInside(open, error)) {
            return false;
        }
    } else {
        open();
    }
    if (fd_ < 0) {
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void SnmpFront::Stop()
{
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

void SnmpFront::Run()
{
    const Profile& profile = model_.GetProfile();
    std::vector<unsigned char> buffer(kMaxDatagram);
    while (!stop_) {
        pollfd entry{fd_, POLLIN, 0};
        if (poll(&entry, 1, kTickMs) <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t const n =
            recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        nettest::SnmpRequest request;
        if (n <= 0 || !nettest::snmpber::DecodeMessage(buffer.data(), static_cast<size_t>(n), request)) {
            continue;
        }
        std::string oids;
        for (const std::string& oid : request.oids) {
            oids += (oids.empty() ? "" : " ") + oid;
        }
        model_.NoteSnmpRequest(oids);
        if (model_.SnmpSilent() || request.pduType != 0) {
            continue;
        }
        std::vector<nettest::SnmpVarBind> vars;
        int status = 0;
        int index = 0;
        for (size_t i = 0; i < request.oids.size(); ++i) {
            const std::string& oid = request.oids[i];
            nettest::SnmpValue value = nettest::SnmpValue::Null();
            if (oid == kOidDescription) {
                value = nettest::SnmpValue::Octets(profile.model);
            } else if (oid == kOidSystemName) {
                value = nettest::SnmpValue::Octets(profile.node);
            } else if (oid == kOidPhysAddress) {
                value = nettest::SnmpValue::Octets(profile.MacOctets());
            } else if (oid == kOidBootMethod) {
                value = nettest::SnmpValue::Integer(3);
            } else if (oid == kOidUnused || oid == kOidScanner || oid == kOidPresence) {
                value = nettest::SnmpValue::Integer(1);
            } else if (status == 0) {
                status = 2;  // noSuchName
                index = static_cast<int>(i + 1);
            }
            vars.push_back({oid, value});
        }
        std::string const answer = nettest::snmpber::EncodeMessage(request.version, request.community, 2,
                                                                   request.requestId, status, index, vars);
        sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

}  // namespace scanner_sim
