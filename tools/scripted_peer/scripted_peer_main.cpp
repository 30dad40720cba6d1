// Runs the scripted TCP peer from the command line: a greeting, an optional
// receive and stream, then a close, for each of a number of connections.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/scripted_peer/ScriptedPeer.h"

namespace {

std::string Unescape(const char* text)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '\\' && (p[1] == 'r' || p[1] == 'n')) {
            out += p[1] == 'r' ? '\r' : '\n';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

const char kUsage[] =
    "usage: scripted-peer [--address A] [--port P] [--greeting TEXT] [--receive N]\n"
    "                     [--stream N] [--chunk N] [--connections N] [--reset]\n"
    "  --address A      listen on A (default: the first free 127.0.0.x)\n"
    "  --port P         listen on port P (default 54921)\n"
    "  --greeting TEXT  sent first on each connection (default \"+OK \\r\\n\"; \\r and \\n allowed)\n"
    "  --receive N      then record N bytes\n"
    "  --stream N       then send N bytes of the test pattern, in sends of --chunk N (default 256K)\n"
    "  --connections N  connections to serve, each with this script (default 1)\n"
    "  --reset          end each connection with a reset instead of a close\n"
    "N may end in K, M or G (binary units).\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string address;
    uint64_t port = scriptedpeer::ScriptedPeer::kDefaultPort;
    std::string greeting = "+OK \r\n";
    uint64_t receive = 0;
    uint64_t stream = 0;
    uint64_t chunk = 256 * 1024;
    uint64_t connections = 1;
    bool reset = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--reset") == 0) {
            reset = true;
        } else if (!more) {
            return Usage();
        } else if (std::strcmp(argv[i], "--address") == 0) {
            address = argv[++i];
        } else if (std::strcmp(argv[i], "--greeting") == 0) {
            greeting = Unescape(argv[++i]);
        } else if (std::strcmp(argv[i], "--port") == 0) {
            if (!scriptedpeer::ParseByteCount(argv[++i], port) || port == 0 || port > 65535)
                return Usage();
        } else if (std::strcmp(argv[i], "--receive") == 0) {
            if (!scriptedpeer::ParseByteCount(argv[++i], receive))
                return Usage();
        } else if (std::strcmp(argv[i], "--stream") == 0) {
            if (!scriptedpeer::ParseByteCount(argv[++i], stream))
                return Usage();
        } else if (std::strcmp(argv[i], "--chunk") == 0) {
            if (!scriptedpeer::ParseByteCount(argv[++i], chunk) || chunk == 0)
                return Usage();
        } else if (std::strcmp(argv[i], "--connections") == 0) {
            if (!scriptedpeer::ParseByteCount(argv[++i], connections) || connections == 0)
                return Usage();
        } else {
            return Usage();
        }
    }

    scriptedpeer::Script script;
    script.Send(greeting);
    if (receive > 0) {
        script.Receive(receive, 60000);
    }
    if (stream > 0) {
        script.Stream(stream, static_cast<size_t>(chunk));
    }
    if (reset) {
        script.Reset();
    }
    scriptedpeer::ScriptedPeer peer;
    std::string error;
    if (!peer.Listen(address, static_cast<unsigned short>(port), error)) {
        std::fprintf(stderr, "scripted-peer: %s\n", error.c_str());
        return 1;
    }
    for (uint64_t i = 0; i < connections; ++i) {
        peer.AddConnection(script);
    }
    std::printf("listening on %s:%u\n", peer.Address().c_str(), static_cast<unsigned>(peer.Port()));
    std::fflush(stdout);
    peer.Start();
    while (!peer.WaitDone(1000)) {
    }
    peer.Stop();
    for (size_t i = 0; i < peer.AcceptedCount(); ++i) {
        scriptedpeer::ConnectionLog log = peer.Connection(i);
        std::printf("connection %zu: received %zu bytes, streamed %llu bytes%s\n", i, log.received.size(),
                    static_cast<unsigned long long>(log.streamed), log.sendFailed ? ", send failed" : "");
    }
    return 0;
}
