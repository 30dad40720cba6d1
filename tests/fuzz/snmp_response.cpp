// Response decoding of the SNMP request object on arbitrary datagrams,
// with every value lookup the network plug-in makes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "devaccess/net/CTSnmp.h"

using vdtcl::CTSnmp;
using vdtcl::CTSocket;
using vdtcl::TTString;

namespace {

const char* const kOids[] = {
    "1.3.6.1.2.1.25.3.2.1.3.1",
    "1.3.6.1.2.1.1.5.0",
    "1.3.6.1.2.1.2.2.1.6.1",
    "1.3.6.1.4.1.9973.2.3.4.5.2.6.0",
    "1.3.6.1.4.1.9946.2.4.4.9973.1.2.0",
    "1.3.6.1.4.1.9946.2.3.9.2.101.3.11.1.0",
    "1.3.6.1.4.1.9946.2.3.9.4.2.1.5.5.6.0",
};

// A request object that remembers request 1001 with community "tervik":
// the request is built (and the id used) even though, without a socket,
// it cannot be sent.
CTSnmp& Requester()
{
    static CTSnmp* snmp = [] {
        auto* s = new CTSnmp;
        for (const char* oid : kOids) {
            s->AddGetPduVarBinding(oid);
        }
        s->SendGetRequest(nullptr, 0);
        return s;
    }();
    return *snmp;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > CTSnmp::kReceiveBufferSize) {
        return 0;
    }
    CTSnmp& snmp = Requester();
    std::vector<char> datagram(data, data + size);  // exactly sized
    int status = 0;
    int index = 0;
    if (!snmp.StartDecodeResponseMessage(datagram.data(), static_cast<int>(datagram.size()), status, index)) {
        if (status != -1 || index != -1) {
            abort();
        }
        return 0;
    }
    for (const char* oid : kOids) {
        int value = 0;
        TTString<char> text;
        snmp.GetResponseData(oid, value);
        snmp.GetResponseData(oid, text);
        snmp.GetResponseData(oid, text, CTSocket::INET_ADDR_IPV4);
        snmp.GetResponseData(oid, text, CTSnmp::MACADDR_COLON);
        snmp.GetResponseData(oid, text, CTSnmp::MACADDR_HYPHEN);
    }
    int value = 0;
    TTString<char> text;
    snmp.GetResponseData(nullptr, value);
    snmp.GetResponseData("", text);
    return 0;
}
