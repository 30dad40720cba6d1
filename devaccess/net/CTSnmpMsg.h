// SNMP version 1 messages: builds a GetRequest or SetRequest from the
// var-bindings added, and reads a received GetResponse, testing it against
// the last request and keeping its var-bindings for lookups.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devaccess/net/CTBERformat.h"
#include "vdtcl/TTString.h"

namespace vdtcl {

// Decoding runs in stages: 1 area set, 2 head matched, 3 error status read,
// 4 var-bindings read. Nothing throws. One thread at a time.
class CTSnmpMsg {
public:
    enum ipaddr_t { IPADDR_IPV4 = 1, IPADDR_IPV6 = 2 };

    // One decoded var-binding.
    struct OBJVALUE {
        TTString<char> oid;   // dotted decimal
        uint32_t tag = 0;     // the value's BER tag
        int integer = 0;      // tag 0x02
        TTString<char> text;  // tag 0x04: the octets as text; tag 0x40: dotted decimal
        std::string octets;   // tag 0x04: every octet, zero octets included
    };

    static constexpr unsigned char kPduGetRequest = 0;
    static constexpr unsigned char kPduGetResponse = 2;
    static constexpr unsigned char kPduSetRequest = 3;

    CTSnmpMsg() = default;
    virtual ~CTSnmpMsg();
    CTSnmpMsg(const CTSnmpMsg&) = delete;
    CTSnmpMsg& operator=(const CTSnmpMsg&) = delete;

    // Appends one var-binding (INTEGER; OCTET STRING, or NULL for a null
    // text; IpAddress for kind IPv4) to the request being built.
    bool EncodeAddSnmpVarBinding(const char* oid, int value);
    bool EncodeAddSnmpVarBinding(const char* oid, const char* text);
    bool EncodeAddSnmpVarBinding(const char* oid, const char* text, ipaddr_t kind);

    // Builds the whole message from the var-bindings added and remembers
    // version, community and id for testing responses. False for an empty
    // community, an id below 1 or no var-binding.
    bool EncodeSnmpMessage(char version, const char* community, char pduType, short requestId);
    bool CreatePduHeader(char pduType, short requestId, int& total);
    bool CreateSnmpMsgHeader(char version, const char* community, int pduTotal, int& total);
    // Copies block index to dest (remaining octets of room there) and
    // returns the position after it; remaining shrinks by the block size.
    unsigned char* SetSnmpMsgOctets(int index, unsigned char* dest, int& remaining);
    // The built message, owned by this object until the next build or release.
    const unsigned char* GetPtrEncodedSnmpMessage(int& size) const;
    const unsigned char* GetPtrLastEncodedVarBindings(int& size) const;
    void ReleaseSnmpMsgMemory();
    // Forgets the var-bindings, headers and message; keeps what responses
    // are tested against.
    void ReleaseEncodedSnmpMessage();

    // The area is borrowed and must outlive the decoding of this message.
    bool SetMemInfoToDecode(const unsigned char* data, int size);
    bool DecodeSnmpMsgBase(char& version, TTString<char>& community, char& pduType, short& requestId);
    // True when the head answers the last request built: same version,
    // same community (case-sensitive), GetResponse, same id in its low 16 bits.
    bool DecodeAndCheckSnmpMsgBase();
    // The error status, or -1 on failure.
    int DecodeSnmpErrorStatus(int& errorIndex);
    bool DecodeAllSnmpVarBinding();
    bool SearchTargetObjectValue(const char* oid, int& index) const;
    // Value lookups; false (caller's value untouched) when the OID is
    // absent or carries another tag.
    bool DecodeSnmpVarBinding(const char* oid, int& value);
    bool DecodeSnmpVarBinding(const char* oid, TTString<char>& text);
    bool DecodeSnmpVarBinding(const char* oid, TTString<char>& text, ipaddr_t kind);
    bool DecodeSnmpVarBinding(const char* oid, TTString<char>& text, CTBERformat::macaddr_separat_t separator);
    // Drops the records and the decode area (stage 0).
    void ReleaseDecodedSnmpMessage();

    int GetDecodeStage() const { return m_stage; }
    const std::vector<OBJVALUE>& GetDecodedRecords() const { return m_records; }

private:
    bool ReadMsgHead(int& version, std::string& community, unsigned char& pduType, int& requestId);
    bool AddVarBinding(int size, int index);
    const OBJVALUE* FindRecord(const char* oid);
    void ForgetRequest();

    char m_version = 0;
    TTString<char> m_community;
    short m_requestId = 0;
    bool m_encoded = false;
    std::unique_ptr<unsigned char[]> m_message;  // size + 1 octets
    int m_messageSize = 0;
    int m_stage = 0;
    const unsigned char* m_varBindingsStart = nullptr;  // cursor after the error index
    std::vector<int> m_varBindings;                     // block indexes in the order added
    std::vector<int> m_headerStack;                     // the last pushed is written first
    std::vector<OBJVALUE> m_records;
    CTBERformat m_ber;
};

}  // namespace vdtcl
