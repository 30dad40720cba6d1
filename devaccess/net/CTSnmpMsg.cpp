// SNMP message building and response reading on the BER codec.
#include "devaccess/net/CTSnmpMsg.h"

#include <climits>
#include <cstring>
#include <new>

namespace vdtcl {

namespace {

constexpr int kStageNone = 0;
constexpr int kStageAreaSet = 1;
constexpr int kStageHeadRead = 2;
constexpr int kStageErrorRead = 3;
constexpr int kStageVarBindingsRead = 4;

}  // namespace

CTSnmpMsg::~CTSnmpMsg()
{
    ReleaseEncodedSnmpMessage();
    ReleaseDecodedSnmpMessage();
}

bool CTSnmpMsg::EncodeAddSnmpVarBinding(const char* oid, int value)
{
    int index = -1;
    int size = m_ber.CreateVarBindingInteger(index, oid, value);
    return AddVarBinding(size, index);
}

bool CTSnmpMsg::EncodeAddSnmpVarBinding(const char* oid, const char* text)
{
    int index = -1;
    int size =
        text == nullptr ? m_ber.CreateVarBindingNullData(index, oid) : m_ber.CreateVarBindingString(index, oid, text);
    return AddVarBinding(size, index);
}

bool CTSnmpMsg::EncodeAddSnmpVarBinding(const char* oid, const char* text, ipaddr_t kind)
{
    if (kind != IPADDR_IPV4) {
        return false;
    }
    int index = -1;
    int size = m_ber.CreateVarBindingIpAddr4(index, oid, text);
    return AddVarBinding(size, index);
}

// Headers are made innermost first (their lengths depend on what they
// wrap), stacked, and written outermost first; the var-bindings follow in
// the order added. Every block is consumed by the copy.
bool CTSnmpMsg::EncodeSnmpMessage(char version, const char* community, char pduType, short requestId)
{
    ForgetRequest();
    if (community == nullptr || community[0] == '\0' || requestId < 1) {
        return false;
    }
    for (int index : m_headerStack) {
        m_ber.ReleaseOctetsMemory(index);  // left by an earlier failed build
    }
    m_headerStack.clear();
    ReleaseSnmpMsgMemory();

    int pduTotal = 0;
    int total = 0;
    if (!CreatePduHeader(pduType, requestId, pduTotal) || !CreateSnmpMsgHeader(version, community, pduTotal, total)) {
        return false;
    }
    std::unique_ptr<unsigned char[]> message(new (std::nothrow) unsigned char[static_cast<size_t>(total) + 1]());
    if (!message) {
        return false;
    }
    unsigned char* p = message.get();
    int remaining = total;
    while (!m_headerStack.empty() && p != nullptr) {
        int index = m_headerStack.back();
        m_headerStack.pop_back();
        p = SetSnmpMsgOctets(index, p, remaining);
    }
    for (size_t i = 0; i < m_varBindings.size() && p != nullptr; ++i) {
        p = SetSnmpMsgOctets(m_varBindings[i], p, remaining);
    }
    if (p == nullptr || remaining != 0 || p != message.get() + total) {
        return false;
    }
    m_message = std::move(message);
    m_messageSize = total;
    m_encoded = true;
    m_version = version;
    m_community = community;
    m_requestId = requestId;
    return true;
}

bool CTSnmpMsg::CreatePduHeader(char pduType, short requestId, int& total)
{
    total = 0;
    if (m_varBindings.empty()) {
        return false;
    }
    int64_t bindings = 0;
    for (int index : m_varBindings) {
        int size = m_ber.GetOctetsMemorySize(index);
        if (size < 1) {
            return false;  // already consumed by an earlier build
        }
        bindings += size;
    }
    if (bindings > INT_MAX) {
        return false;
    }
    int index = -1;
    int64_t length = 0;
    int size = m_ber.CreateOctetsSequence(index, static_cast<int>(bindings));
    if (size == 0) {
        return false;
    }
    m_headerStack.push_back(index);
    length += bindings + size;
    const int values[] = {0, 0, requestId};  // error index, error status, request id
    for (int value : values) {
        size = m_ber.CreateOctetsInteger(index, value);
        if (size == 0) {
            return false;
        }
        m_headerStack.push_back(index);
        length += size;
    }
    if (length > INT_MAX) {
        return false;
    }
    size = m_ber.CreateOctetsCommand(index, static_cast<unsigned char>(pduType), static_cast<int>(length));
    if (size == 0 || length + size > INT_MAX) {
        return false;
    }
    m_headerStack.push_back(index);
    total = static_cast<int>(length + size);
    return true;
}

bool CTSnmpMsg::CreateSnmpMsgHeader(char version, const char* community, int pduTotal, int& total)
{
    total = 0;
    if (pduTotal < 1) {
        return false;
    }
    int index = -1;
    int64_t length = pduTotal;
    int size = m_ber.CreateOctetsString(index, community);
    if (size == 0) {
        return false;
    }
    m_headerStack.push_back(index);
    length += size;
    size = m_ber.CreateOctetsInteger(index, version);
    if (size == 0) {
        return false;
    }
    m_headerStack.push_back(index);
    length += size;
    if (length > INT_MAX) {
        return false;
    }
    size = m_ber.CreateOctetsSequence(index, static_cast<int>(length));
    if (size == 0 || length + size > INT_MAX) {
        return false;
    }
    m_headerStack.push_back(index);
    total = static_cast<int>(length + size);
    return true;
}

unsigned char* CTSnmpMsg::SetSnmpMsgOctets(int index, unsigned char* dest, int& remaining)
{
    if (dest == nullptr) {
        return nullptr;
    }
    if (remaining < 1) {
        return dest;
    }
    int size = m_ber.MoveOctetsDataToMemory(index, dest, remaining);
    if (size == 0) {
        return nullptr;
    }
    remaining -= size;
    return dest + size;
}

const unsigned char* CTSnmpMsg::GetPtrEncodedSnmpMessage(int& size) const
{
    size = m_message ? m_messageSize : 0;
    return m_message.get();
}

const unsigned char* CTSnmpMsg::GetPtrLastEncodedVarBindings(int& size) const
{
    size = 0;
    if (m_varBindings.empty()) {
        return nullptr;
    }
    const unsigned char* block = m_ber.GetOctetsMemoryPtr(m_varBindings.back());
    if (block != nullptr) {
        size = m_ber.GetOctetsMemorySize(m_varBindings.back());
    }
    return block;
}

void CTSnmpMsg::ReleaseSnmpMsgMemory()
{
    m_message.reset();
    m_messageSize = 0;
}

void CTSnmpMsg::ReleaseEncodedSnmpMessage()
{
    m_varBindings.clear();
    m_headerStack.clear();
    ReleaseSnmpMsgMemory();
    m_ber.ReleaseAllOctetsMemory();
}

bool CTSnmpMsg::SetMemInfoToDecode(const unsigned char* data, int size)
{
    if (!m_ber.SetMemInfoToDecode(data, size)) {
        return false;
    }
    m_records.clear();
    m_stage = kStageAreaSet;
    return true;
}

bool CTSnmpMsg::DecodeSnmpMsgBase(char& version, TTString<char>& community, char& pduType, short& requestId)
{
    int readVersion = 0;
    std::string readCommunity;
    unsigned char readType = 0;
    int readId = 0;
    if (!ReadMsgHead(readVersion, readCommunity, readType, readId)) {
        return false;
    }
    version = static_cast<char>(readVersion);
    community = readCommunity.c_str();
    pduType = static_cast<char>(readType);
    requestId = static_cast<short>(readId);
    m_stage = kStageHeadRead;
    return true;
}

// The version is compared as read, so a version of 256 does not pass for 0.
bool CTSnmpMsg::DecodeAndCheckSnmpMsgBase()
{
    int version = 0;
    std::string community;
    unsigned char pduType = 0;
    int requestId = 0;
    if (!ReadMsgHead(version, community, pduType, requestId)) {
        return false;
    }
    if (version != m_version || std::strcmp(community.c_str(), m_community.C_str()) != 0 ||
        pduType != kPduGetResponse || static_cast<uint16_t>(requestId) != static_cast<uint16_t>(m_requestId)) {
        return false;
    }
    m_stage = kStageHeadRead;
    return true;
}

int CTSnmpMsg::DecodeSnmpErrorStatus(int& errorIndex)
{
    errorIndex = 0;
    if (m_stage != kStageHeadRead) {
        return -1;
    }
    int status = 0;
    int index = 0;
    if (m_ber.GetOctetsInteger(status) == 0 || m_ber.GetOctetsInteger(index) == 0) {
        return -1;
    }
    errorIndex = index;
    m_stage = kStageErrorRead;
    m_varBindingsStart = m_ber.GetCurrMemPtrToDecode();
    return status;
}

// Every var-binding is read into a record; the octets of the list must add
// up exactly to its declared length. A failure leaves stage 3, and a later
// call reads the list again from its start.
bool CTSnmpMsg::DecodeAllSnmpVarBinding()
{
    if (m_stage != kStageErrorRead || !m_ber.MoveMemPtrToDecode(m_varBindingsStart)) {
        return false;
    }
    m_records.clear();
    int listLength = 0;
    if (m_ber.GetOctetsSequence(listLength) == 0) {
        return false;
    }
    int64_t remaining = listLength;
    while (remaining >= 1) {
        int bindingLength = 0;
        int count = m_ber.GetOctetsSequence(bindingLength);
        if (count == 0) {
            return false;
        }
        remaining -= count;
        OBJVALUE record;
        count = m_ber.GetOctetsObjectId(record.oid);
        if (count == 0) {
            return false;
        }
        remaining -= count;
        record.tag = m_ber.GetOctetsType();
        switch (record.tag) {
        case CTBERformat::kTagOctetString:
            count = m_ber.GetOctetsString(record.octets);
            record.text.AssignString(record.octets.data(), record.octets.size());
            break;
        case CTBERformat::kTagIpAddress:
            count = m_ber.GetOctetsIpAddr4(record.text);
            break;
        case CTBERformat::kTagInteger:
            count = m_ber.GetOctetsInteger(record.integer);
            break;
        default:
            count = m_ber.SkipOctetsData();  // NULL, counters and the like keep OID and tag only
            break;
        }
        if (count == 0) {
            return false;
        }
        try {
            m_records.push_back(std::move(record));
        } catch (const std::bad_alloc&) {
            return false;
        }
        remaining -= count;
    }
    if (remaining != 0) {
        return false;
    }
    m_stage = kStageVarBindingsRead;
    return true;
}

bool CTSnmpMsg::SearchTargetObjectValue(const char* oid, int& index) const
{
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].oid.Compare(oid) == 0) {
            index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool CTSnmpMsg::DecodeSnmpVarBinding(const char* oid, int& value)
{
    const OBJVALUE* record = FindRecord(oid);
    if (record == nullptr || record->tag != CTBERformat::kTagInteger) {
        return false;
    }
    value = record->integer;
    return true;
}

bool CTSnmpMsg::DecodeSnmpVarBinding(const char* oid, TTString<char>& text)
{
    const OBJVALUE* record = FindRecord(oid);
    if (record == nullptr || record->tag != CTBERformat::kTagOctetString) {
        return false;
    }
    text.AssignString(record->octets.data(), record->octets.size());
    return true;
}

bool CTSnmpMsg::DecodeSnmpVarBinding(const char* oid, TTString<char>& text, ipaddr_t kind)
{
    if (kind != IPADDR_IPV4) {
        return false;
    }
    const OBJVALUE* record = FindRecord(oid);
    if (record == nullptr || record->tag != CTBERformat::kTagIpAddress) {
        return false;
    }
    text = record->text;
    return true;
}

bool CTSnmpMsg::DecodeSnmpVarBinding(const char* oid, TTString<char>& text, CTBERformat::macaddr_separat_t separator)
{
    const OBJVALUE* record = FindRecord(oid);
    if (record == nullptr || record->tag != CTBERformat::kTagOctetString) {
        return false;
    }
    TTString<char> mac = CTBERformat::ConvertToMacAddr(reinterpret_cast<const unsigned char*>(record->octets.data()),
                                                       record->octets.size(), separator);
    if (mac.IsEmpty()) {
        return false;
    }
    text = mac;
    return true;
}

// The decode area belongs to the caller and may be gone after this.
void CTSnmpMsg::ReleaseDecodedSnmpMessage()
{
    m_records.clear();
    m_varBindingsStart = nullptr;
    m_stage = kStageNone;
}

// Message SEQUENCE, version, community, PDU header and request id; only
// while a request is remembered and at stage 1. The codec refuses a
// SEQUENCE whose length runs past the datagram.
bool CTSnmpMsg::ReadMsgHead(int& version, std::string& community, unsigned char& pduType, int& requestId)
{
    if (!m_encoded || m_stage != kStageAreaSet) {
        return false;
    }
    int length = 0;
    int pduLength = 0;
    return m_ber.GetOctetsSequence(length) != 0 && m_ber.GetOctetsInteger(version) != 0 &&
           m_ber.GetOctetsString(community) != 0 && m_ber.GetOctetsCommand(pduType, pduLength) != 0 &&
           m_ber.GetOctetsInteger(requestId) != 0;
}

bool CTSnmpMsg::AddVarBinding(int size, int index)
{
    if (size == 0) {
        if (index >= 0) {
            m_ber.ReleaseOctetsMemory(index);
        }
        return false;
    }
    try {
        m_varBindings.push_back(index);
    } catch (const std::bad_alloc&) {
        m_ber.ReleaseOctetsMemory(index);
        return false;
    }
    return true;
}

// The record of a lookup, reading the var-bindings first when needed.
const CTSnmpMsg::OBJVALUE* CTSnmpMsg::FindRecord(const char* oid)
{
    if (m_stage == kStageErrorRead) {
        DecodeAllSnmpVarBinding();
    }
    int index = 0;
    if (m_stage != kStageVarBindingsRead || !SearchTargetObjectValue(oid, index)) {
        return nullptr;
    }
    return &m_records[static_cast<size_t>(index)];
}

void CTSnmpMsg::ForgetRequest()
{
    m_requestId = 0;
    m_encoded = false;
    m_version = 0;
    m_community.Clear();
}

}  // namespace vdtcl
