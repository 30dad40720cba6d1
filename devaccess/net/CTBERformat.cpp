// BER codec: block list, element encoders, cursor-based decoders and MAC text.
#include "devaccess/net/CTBERformat.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

namespace vdtcl {

namespace {

constexpr int kMaxLengthOctets = 4;
constexpr unsigned kMaxFirstArc = 2;
constexpr unsigned kMaxSecondArc = 39;

// Content octets of one arc in base 128.
size_t ArcOctets(uint32_t arc)
{
    size_t n = 1;
    while (arc >= 128) {
        arc >>= 7;
        ++n;
    }
    return n;
}

// Writes one arc in base 128, most significant group first, bit 7 set on
// every octet but the last.
unsigned char* PutArc(unsigned char* p, uint32_t arc)
{
    size_t n = ArcOctets(arc);
    for (size_t i = n; i-- > 0;) {
        unsigned char group = static_cast<unsigned char>((arc >> (7 * i)) & 0x7F);
        *p++ = static_cast<unsigned char>(i > 0 ? group | 0x80 : group);
    }
    return p;
}

}  // namespace

CTBERformat::~CTBERformat() { ReleaseAllOctetsMemory(); }

unsigned char* CTBERformat::AllocateOctetsMemory(int size, int& index)
{
    index = -1;
    if (size < 1 || m_blocks.size() >= static_cast<size_t>(INT_MAX)) {
        return nullptr;
    }
    unsigned char* block = new (std::nothrow) unsigned char[static_cast<size_t>(size)]();
    if (block == nullptr) {
        return nullptr;
    }
    try {
        m_blocks.push_back(MEMINFO{block, size});
    } catch (const std::bad_alloc&) {
        delete[] block;
        return nullptr;
    }
    index = static_cast<int>(m_blocks.size() - 1);
    return block;
}

bool CTBERformat::ReleaseOctetsMemory(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_blocks.size() || m_blocks[index].memory == nullptr) {
        return false;
    }
    delete[] m_blocks[index].memory;
    m_blocks[index] = MEMINFO{nullptr, 0};
    return true;
}

bool CTBERformat::ReleaseAllOctetsMemory()
{
    if (m_blocks.empty()) {
        return false;
    }
    for (size_t i = m_blocks.size(); i-- > 0;) {
        delete[] m_blocks[i].memory;
    }
    m_blocks.clear();
    return true;
}

int CTBERformat::MoveOctetsDataToMemory(int index, unsigned char* dest, int destSize)
{
    unsigned char* block = GetOctetsMemoryPtr(index);
    if (block == nullptr || dest == nullptr) {
        return 0;
    }
    int size = m_blocks[index].size;
    if (size > destSize) {
        return 0;
    }
    std::memcpy(dest, block, static_cast<size_t>(size));
    ReleaseOctetsMemory(index);
    return size;
}

unsigned char* CTBERformat::GetOctetsMemoryPtr(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_blocks.size()) {
        return nullptr;
    }
    return m_blocks[index].memory;
}

int CTBERformat::GetOctetsMemorySize(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_blocks.size()) {
        return 0;
    }
    return m_blocks[index].size;
}

int CTBERformat::CreateOctetsSequence(int& index, int length)
{
    index = -1;
    int total = 0;
    if (length < 1) {
        return 0;
    }
    return CreateContentsOctets(kTagSequence, length, false, index, total) != nullptr ? total : 0;
}

int CTBERformat::CreateOctetsCommand(int& index, unsigned char pduType, int length)
{
    index = -1;
    int total = 0;
    if (length < 1 || pduType > 31) {
        return 0;
    }
    unsigned char tag = static_cast<unsigned char>(kTagCommand + pduType);
    return CreateContentsOctets(tag, length, false, index, total) != nullptr ? total : 0;
}

int CTBERformat::CreateOctetsNullData(int& index)
{
    int total = 0;
    return CreateContentsOctets(kTagNull, 0, true, index, total) != nullptr ? total : 0;
}

int CTBERformat::CreateOctetsInteger(int& index, int value)
{
    int total = 0;
    int size = CalcSizeOfIntegerValue(value);
    unsigned char* p = CreateContentsOctets(kTagInteger, size, true, index, total);
    return KeepWrittenBlock(SetIntegerToMemory(p, value, size), index, total);
}

int CTBERformat::CreateOctetsString(int& index, const char* text)
{
    index = -1;
    int total = 0;
    const int size = TextSize(text);
    if (size == 0) {
        return 0;
    }
    unsigned char* p = CreateContentsOctets(kTagOctetString, size, true, index, total);
    return KeepWrittenBlock(SetStringToMemory(p, text, size), index, total);
}

int CTBERformat::CreateOctetsIpAddr4(int& index, const char* text)
{
    index = -1;
    int total = 0;
    if (text == nullptr || text[0] == '\0') {
        return 0;
    }
    unsigned char* p = CreateContentsOctets(kTagIpAddress, 4, true, index, total);
    return KeepWrittenBlock(SetIpAddr4ToMemory(p, text, 4), index, total);
}

int CTBERformat::CreateOctetsIpAddr6(int& index, const char* text)
{
    (void)text;
    index = -1;
    return 0;
}

int CTBERformat::CreateOctetsObjectId(int& index, const char* oid)
{
    index = -1;
    int total = 0;
    int size = CalcSizeOfObjectId(oid);
    if (size == 0) {
        return 0;
    }
    unsigned char* p = CreateContentsOctets(kTagObjectId, size, true, index, total);
    return KeepWrittenBlock(SetObjectIdToMemory(p, oid, size), index, total);
}

int CTBERformat::CreateVarBindingNullData(int& index, const char* oid)
{
    int total = 0;
    return CreateVarBindingOctets(oid, kTagNull, 0, index, total) != nullptr ? total : 0;
}

int CTBERformat::CreateVarBindingInteger(int& index, const char* oid, int value)
{
    int total = 0;
    int size = CalcSizeOfIntegerValue(value);
    unsigned char* p = CreateVarBindingOctets(oid, kTagInteger, size, index, total);
    return KeepWrittenBlock(SetIntegerToMemory(p, value, size), index, total);
}

int CTBERformat::CreateVarBindingString(int& index, const char* oid, const char* text)
{
    index = -1;
    int total = 0;
    const int size = TextSize(text);
    if (size == 0) {
        return 0;
    }
    unsigned char* p = CreateVarBindingOctets(oid, kTagOctetString, size, index, total);
    return KeepWrittenBlock(SetStringToMemory(p, text, size), index, total);
}

int CTBERformat::CreateVarBindingIpAddr4(int& index, const char* oid, const char* text)
{
    index = -1;
    int total = 0;
    if (text == nullptr || text[0] == '\0') {
        return 0;
    }
    unsigned char* p = CreateVarBindingOctets(oid, kTagIpAddress, 4, index, total);
    return KeepWrittenBlock(SetIpAddr4ToMemory(p, text, 4), index, total);
}

int CTBERformat::CreateVarBindingIpAddr6(int& index, const char* oid, const char* text)
{
    (void)oid;
    (void)text;
    index = -1;
    return 0;
}

int CTBERformat::CalcSizeOfLengthField(int length)
{
    if (length < 0) {
        return 0;
    }
    if (length < 128) {
        return 1;
    }
    if (length <= 0xFF) {
        return 2;
    }
    if (length <= 0xFFFF) {
        return 3;
    }
    if (length <= 0xFFFFFF) {
        return 4;
    }
    return 5;
}

// Leading 0x00 (or 0xFF) octets are dropped while the next octet still
// carries the sign.
int CTBERformat::CalcSizeOfIntegerValue(int value)
{
    const uint32_t u = static_cast<uint32_t>(value);
    int size = 4;
    while (size > 1) {
        unsigned top = (u >> (8 * (size - 1))) & 0xFF;
        unsigned nextSign = (u >> (8 * (size - 1) - 1)) & 1;
        if ((top == 0x00 && nextSign == 0) || (top == 0xFF && nextSign == 1)) {
            --size;
        } else {
            break;
        }
    }
    return size;
}

int CTBERformat::CalcSizeOfObjectId(const char* oid)
{
    size_t size = EncodeObjectId(oid, nullptr);
    return size > static_cast<size_t>(INT_MAX) ? 0 : static_cast<int>(size);
}

unsigned char* CTBERformat::SetTypeLengthField(unsigned char* p, unsigned char tag, int lengthFieldSize, int length)
{
    if (p == nullptr || lengthFieldSize < 1 || length < 0 || lengthFieldSize != CalcSizeOfLengthField(length)) {
        return nullptr;
    }
    *p++ = tag;
    if (lengthFieldSize == 1) {
        *p++ = static_cast<unsigned char>(length);
        return p;
    }
    const int octets = lengthFieldSize - 1;
    *p++ = static_cast<unsigned char>(0x80 | octets);
    for (int i = octets; i-- > 0;) {
        *p++ = static_cast<unsigned char>((static_cast<uint32_t>(length) >> (8 * i)) & 0xFF);
    }
    return p;
}

unsigned char* CTBERformat::SetIntegerToMemory(unsigned char* p, int value, int size)
{
    if (p == nullptr || size < 1 || size > 4) {
        return nullptr;
    }
    const uint32_t u = static_cast<uint32_t>(value);
    for (int i = size; i-- > 0;) {
        *p++ = static_cast<unsigned char>((u >> (8 * i)) & 0xFF);
    }
    return p;
}

unsigned char* CTBERformat::SetStringToMemory(unsigned char* p, const char* text, int size)
{
    if (p == nullptr || text == nullptr || text[0] == '\0' || size < 1 ||
        strnlen(text, static_cast<size_t>(size)) < static_cast<size_t>(size)) {
        return nullptr;
    }
    std::memcpy(p, text, static_cast<size_t>(size));
    return p + size;
}

// The first four "."-separated parts, each reduced to its low eight bits;
// a missing part is 0 and parts after the fourth are ignored.
unsigned char* CTBERformat::SetIpAddr4ToMemory(unsigned char* p, const char* text, int size)
{
    if (p == nullptr || text == nullptr || text[0] == '\0' || size < 4) {
        return nullptr;
    }
    const TTString<char> address(text);
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned value = 0;
        if (pos != TTString<char>::npos) {
            bool negative = false;
            value = address.GetToken(".", pos, false).ConvertStringToNumber<unsigned int>(negative);
        }
        *p++ = static_cast<unsigned char>(value & 0xFF);
    }
    return p;
}

unsigned char* CTBERformat::SetIpAddr6ToMemory(unsigned char* p, const char* text, int size)
{
    (void)p;
    (void)text;
    (void)size;
    return nullptr;
}

unsigned char* CTBERformat::SetObjectIdToMemory(unsigned char* p, const char* oid, int size)
{
    if (p == nullptr || oid == nullptr || oid[0] == '\0' || size < 1 ||
        EncodeObjectId(oid, nullptr) != static_cast<size_t>(size)) {
        return nullptr;
    }
    EncodeObjectId(oid, p);
    return p + size;
}

unsigned char* CTBERformat::CreateContentsOctets(unsigned char tag, int length, bool withContents, int& index,
                                                 int& total)
{
    index = -1;
    total = 0;
    if (length < 0) {
        return nullptr;
    }
    const int lengthFieldSize = CalcSizeOfLengthField(length);
    const int64_t size = 1 + int64_t{lengthFieldSize} + (withContents ? int64_t{length} : 0);
    if (size > INT_MAX) {
        return nullptr;
    }
    unsigned char* block = AllocateOctetsMemory(static_cast<int>(size), index);
    if (block == nullptr) {
        return nullptr;
    }
    total = static_cast<int>(size);
    return SetTypeLengthField(block, tag, lengthFieldSize, length);
}

unsigned char* CTBERformat::CreateVarBindingOctets(const char* oid, unsigned char tag, int valueLength, int& index,
                                                   int& total)
{
    index = -1;
    total = 0;
    const int oidSize = CalcSizeOfObjectId(oid);
    if (oidSize == 0 || valueLength < 0) {
        return nullptr;
    }
    const int a = CalcSizeOfLengthField(oidSize);
    const int b = CalcSizeOfLengthField(valueLength);
    const int64_t contents = 1 + int64_t{a} + oidSize + 1 + b + valueLength;
    if (contents > INT_MAX) {
        return nullptr;
    }
    unsigned char* p = CreateContentsOctets(kTagSequence, static_cast<int>(contents), true, index, total);
    p = SetTypeLengthField(p, kTagObjectId, a, oidSize);
    p = SetObjectIdToMemory(p, oid, oidSize);
    p = SetTypeLengthField(p, tag, b, valueLength);
    if (p == nullptr) {
        DropBlock(index);
        total = 0;
    }
    return p;
}

bool CTBERformat::SetMemInfoToDecode(const unsigned char* data, int size)
{
    if (data == nullptr || size < 1) {
        return false;
    }
    m_decodeStart = data;
    m_decodeSize = size;
    m_cursor = data;
    return true;
}

bool CTBERformat::CheckPtrToDecode(const unsigned char* p) const
{
    if (m_decodeStart == nullptr || p == nullptr) {
        return false;
    }
    const uintptr_t start = reinterpret_cast<uintptr_t>(m_decodeStart);
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    return at >= start && at - start < static_cast<uintptr_t>(m_decodeSize);
}

bool CTBERformat::CheckPtrToDecode(const unsigned char* p, int count) const
{
    if (count < 0 || !CheckPtrToDecode(p)) {
        return false;
    }
    const uintptr_t offset = reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(m_decodeStart);
    return static_cast<uintptr_t>(m_decodeSize) - offset >= static_cast<uintptr_t>(count);
}

bool CTBERformat::MoveMemPtrToDecode(const unsigned char* p)
{
    if (!CheckPtrToDecode(p)) {
        return false;
    }
    m_cursor = p;
    return true;
}

uint32_t CTBERformat::GetOctetsType() const { return CheckPtrToDecode(m_cursor) ? *m_cursor : 0xFFFFFFFFu; }

bool CTBERformat::CheckTypeField(unsigned char tag, int& count)
{
    if (!CheckPtrToDecode(m_cursor) || *m_cursor != tag) {
        return false;
    }
    ++m_cursor;
    ++count;
    return true;
}

// Short form, or 0x81..0x84 followed by that many octets. The indefinite
// form (0x80 alone) and longer fields are refused, and so is a length whose
// contents would run past the end of the area.
bool CTBERformat::DecodeLengthField(int& length, int& count)
{
    if (!CheckPtrToDecode(m_cursor)) {
        return false;
    }
    const size_t remaining = Remaining();
    const unsigned char first = m_cursor[0];
    uint64_t value = 0;
    size_t used = 1;
    if (first < 0x80) {
        value = first;
    } else {
        const size_t octets = first & 0x7F;
        if (octets == 0 || octets > kMaxLengthOctets || remaining < 1 + octets) {
            return false;
        }
        for (size_t i = 1; i <= octets; ++i) {
            value = (value << 8) | m_cursor[i];
        }
        used += octets;
    }
    if (value > static_cast<uint64_t>(INT_MAX) || value > remaining - used) {
        return false;
    }
    m_cursor += used;
    length = static_cast<int>(value);
    count += static_cast<int>(used);
    return true;
}

int CTBERformat::GetOctetsSequence(int& length)
{
    int count = 0;
    int value = 0;
    if (!ReadContentsHeader(kTagSequence, value, count)) {
        return 0;
    }
    length = value;
    return count;
}

int CTBERformat::GetOctetsCommand(unsigned char& pduType, int& length)
{
    if (!CheckPtrToDecode(m_cursor) || (*m_cursor & 0xE0) != kTagCommand) {
        return 0;
    }
    const unsigned char type = *m_cursor & 0x1F;
    int count = 0;
    int value = 0;
    if (!CheckTypeField(*m_cursor, count) || !DecodeLengthField(value, count)) {
        return 0;
    }
    pduType = type;
    length = value;
    return count;
}

// 1 to 4 content octets, big-endian, sign-extended from the first octet.
int CTBERformat::GetOctetsInteger(int& value)
{
    int count = 0;
    int length = 0;
    if (!ReadContentsHeader(kTagInteger, length, count) || length < 1 || length > 4) {
        return 0;
    }
    uint32_t u = (m_cursor[0] & 0x80) != 0 ? 0xFFFFFFFFu : 0;
    for (int i = 0; i < length; ++i) {
        u = (u << 8) | m_cursor[i];
    }
    m_cursor += length;
    value = static_cast<int>(u);
    return count + length;
}

int CTBERformat::GetOctetsString(TTString<char>& text)
{
    int count = 0;
    int length = 0;
    if (!ReadContentsHeader(kTagOctetString, length, count)) {
        return 0;
    }
    if (length > 0) {
        text.AppendString(reinterpret_cast<const char*>(m_cursor), static_cast<size_t>(length));
    }
    m_cursor += length;
    return count + length;
}

int CTBERformat::GetOctetsString(std::string& octets)
{
    int count = 0;
    int length = 0;
    if (!ReadContentsHeader(kTagOctetString, length, count)) {
        return 0;
    }
    try {
        octets.append(reinterpret_cast<const char*>(m_cursor), static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    m_cursor += length;
    return count + length;
}

int CTBERformat::GetOctetsIpAddr4(TTString<char>& text)
{
    int count = 0;
    int length = 0;
    if (!ReadContentsHeader(kTagIpAddress, length, count) || length != 4) {
        return 0;
    }
    char dotted[16];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", m_cursor[0], m_cursor[1], m_cursor[2], m_cursor[3]);
    text += dotted;
    m_cursor += 4;
    return count + 4;
}

int CTBERformat::GetOctetsIpAddr6(TTString<char>& text)
{
    (void)text;
    return 0;
}

// The first octet gives the first two arcs (octet / 40 and octet % 40);
// every further arc is base 128 and must fit 32 bits and end within the
// contents. Empty contents are refused.
int CTBERformat::GetOctetsObjectId(TTString<char>& text)
{
    int count = 0;
    int length = 0;
    if (!ReadContentsHeader(kTagObjectId, length, count) || length < 1) {
        return 0;
    }
    const unsigned char* p = m_cursor;
    const unsigned char* end = m_cursor + length;
    std::string dotted;
    char arcText[16];
    std::snprintf(arcText, sizeof arcText, "%u.%u", p[0] / 40u, p[0] % 40u);
    dotted += arcText;
    ++p;
    while (p < end) {
        uint32_t arc = 0;
        bool closed = false;
        while (p < end && !closed) {
            if ((arc >> 25) != 0) {
                return 0;  // one more group would overflow 32 bits
            }
            arc = (arc << 7) | (*p & 0x7Fu);
            closed = (*p & 0x80) == 0;
            ++p;
        }
        if (!closed) {
            return 0;
        }
        std::snprintf(arcText, sizeof arcText, ".%u", arc);
        dotted += arcText;
    }
    text = dotted.c_str();
    m_cursor = end;
    return count + length;
}

int CTBERformat::SkipOctetsData()
{
    if (!CheckPtrToDecode(m_cursor)) {
        return 0;
    }
    int count = 0;
    int length = 0;
    if (!CheckTypeField(*m_cursor, count) || !DecodeLengthField(length, count)) {
        return 0;
    }
    m_cursor += length;
    return count + length;
}

TTString<char> CTBERformat::ConvertToMacAddr(const TTString<char>& octets, macaddr_separat_t separator)
{
    return ConvertToMacAddr(reinterpret_cast<const unsigned char*>(octets.C_str()), octets.Length(), separator);
}

TTString<char> CTBERformat::ConvertToMacAddr(const unsigned char* octets, size_t count, macaddr_separat_t separator)
{
    TTString<char> text;
    if (octets == nullptr) {
        return text;
    }
    const char* between = separator == MACADDR_SEPARATE_HYPHEN ? "-" : separator == MACADDR_SEPARATE_COLON ? ":" : "";
    for (size_t i = 0; i < count; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", octets[i]);
        text += digits;
        if (i + 1 < count) {
            text += between;
        }
    }
    return text;
}

// Sizes the contents of a dotted identifier and, with out, writes them; the
// same walk serves both so size and octets cannot disagree. Arcs are
// decimal digits only and unsigned 32-bit; the first is 0..2, the second
// 0..39; one "." at the start is skipped and one at the end is ignored.
// 0 for anything else, including fewer than two arcs.
size_t CTBERformat::EncodeObjectId(const char* oid, unsigned char* out)
{
    if (oid == nullptr || oid[0] == '\0') {
        return 0;
    }
    const char* s = oid[0] == '.' ? oid + 1 : oid;
    size_t size = 0;
    size_t arcs = 0;
    uint32_t first = 0;
    for (;;) {
        if (*s == '\0') {
            break;  // end of the text, or an empty token after a final "."
        }
        uint64_t value = 0;
        const char* digits = s;
        while (*s >= '0' && *s <= '9') {
            value = value * 10 + static_cast<unsigned>(*s - '0');
            if (value > UINT32_MAX) {
                return 0;
            }
            ++s;
        }
        if (s == digits || (*s != '.' && *s != '\0')) {
            return 0;  // an empty arc in the middle, or not a decimal number
        }
        const uint32_t arc = static_cast<uint32_t>(value);
        if (arcs == 0) {
            if (arc > kMaxFirstArc) {
                return 0;
            }
            first = arc;
        } else if (arcs == 1) {
            if (arc > kMaxSecondArc) {
                return 0;
            }
            if (out != nullptr) {
                *out++ = static_cast<unsigned char>(40 * first + arc);
            }
            size = 1;
        } else {
            if (out != nullptr) {
                out = PutArc(out, arc);
            }
            size += ArcOctets(arc);
        }
        ++arcs;
        if (*s == '.') {
            ++s;
        }
    }
    return arcs < 2 ? 0 : size;
}

size_t CTBERformat::Remaining() const
{
    if (m_decodeStart == nullptr || m_cursor == nullptr) {
        return 0;
    }
    return static_cast<size_t>(m_decodeSize) - static_cast<size_t>(m_cursor - m_decodeStart);
}

// Tag and length of an element; the contents are then known to lie within the area.
bool CTBERformat::ReadContentsHeader(unsigned char tag, int& length, int& count)
{
    return CheckTypeField(tag, count) && DecodeLengthField(length, count);
}

// Releases a block whose writing failed half-way.
void CTBERformat::DropBlock(int& index)
{
    if (index >= 0) {
        ReleaseOctetsMemory(index);
    }
    index = -1;
}

// The end of an encoder: written is where the contents writer stopped, null
// when it refused; then the block goes and the encoder reports 0.
int CTBERformat::KeepWrittenBlock(const unsigned char* written, int& index, int total)
{
    if (written == nullptr) {
        DropBlock(index);
        return 0;
    }
    return total;
}

// Length of a text to encode as contents; 0 for null, empty or longer than
// a length field can carry.
int CTBERformat::TextSize(const char* text)
{
    if (text == nullptr) {
        return 0;
    }
    const size_t length = std::strlen(text);
    return length > static_cast<size_t>(INT_MAX) ? 0 : static_cast<int>(length);
}

}  // namespace vdtcl
