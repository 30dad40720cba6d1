// The byte string of the toolbox: storage management, searching, editing,
// formatting and number conversion. Copies from the string's own storage go
// through a temporary first, so a string may be built from parts of itself.
#include "vdtcl/TTString.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <type_traits>
#include <utility>

namespace vdtcl {

using TString = TTString<char>;

namespace {

// Heap block size for n characters: the smallest multiple of 16 holding
// n + 1 bytes, at most 65520.
size_t BlockSizeFor(size_t n)
{
    if (n >= TString::kMaxLength) {
        return TString::kMaxBlockSize;
    }
    return (n + TString::kBlockUnit) / TString::kBlockUnit * TString::kBlockUnit;
}

char* AllocBlock(size_t size) { return static_cast<char*>(calloc(size, 1)); }

// Length of s, looking at no more than n bytes.
size_t CLength(const char* s, size_t n) { return s == nullptr ? 0 : strnlen(s, n); }

// The digit and letter bases understood by the conversions.
int NormalBase(int b) { return (b == 8 || b == 16) ? b : 10; }

}  // namespace

TString::TTString() : m_length(0), m_blockSize(0), m_block(nullptr), m_inline{}, m_inlineInUse(true) {}

TString::TTString(const char* s, size_t n) : TTString() { AssignString(s, n); }

// Same text, storage kind and length; a heap copy gets a block sized by the
// 16-byte rule.
TString::TTString(const TTString& other) : TTString()
{
    if (other.m_inlineInUse) {
        memcpy(m_inline, other.m_inline, sizeof m_inline);
        m_length = other.m_length;
        return;
    }
    size_t size = BlockSizeFor(other.m_length);
    char* block = AllocBlock(size);
    if (block == nullptr) {
        return;  // no memory: the copy stays empty
    }
    memcpy(block, other.m_block, other.m_length);
    m_block = block;
    m_blockSize = size;
    m_length = other.m_length;
    m_inlineInUse = false;
}

TString::TTString(TTString&& other) noexcept : TTString() { MoveFrom(other); }

TString::~TTString() { FreeBlock(); }

TString& TString::operator=(const TTString& other)
{
    if (this != &other) {
        AssignString(other.Data(), other.m_length);
    }
    return *this;
}

TString& TString::operator=(const char* s) { return AssignString(s, npos); }

// Moving into itself leaves the string as it is.
TString& TString::operator=(TTString&& other) noexcept
{
    if (this != &other) {
        FreeBlock();
        MoveFrom(other);
    }
    return *this;
}

TString& TString::operator=(char c)
{
    if (c == '\0') {
        Clear();
        return *this;
    }
    memset(m_inline, 0, sizeof m_inline);
    m_inline[0] = c;
    m_inlineInUse = true;
    m_length = 1;
    return *this;
}

// Replaces the content by the first n characters of s (up to its NUL). The
// new text is complete before the old storage is released.
TString& TString::AssignString(const char* s, size_t n)
{
    n = CLength(s, n);
    if (n > kMaxLength) {
        n = kMaxLength;
    }
    if (n == 0) {
        Clear();
        return *this;
    }
    if (InOwnStorage(s)) {
        TTString copy(s, n);
        return *this = std::move(copy);
    }
    if (n <= kInlineCapacity) {
        memset(m_inline, 0, sizeof m_inline);
        memcpy(m_inline, s, n);
        m_inlineInUse = true;
        FreeBlock();
    } else {
        if (m_blockSize < n + 1) {
            size_t size = BlockSizeFor(n);
            char* block = AllocBlock(size);
            if (block == nullptr) {
                return *this;
            }
            FreeBlock();
            m_block = block;
            m_blockSize = size;
        }
        memcpy(m_block, s, n);
        m_block[n] = '\0';
        m_inlineInUse = false;
    }
    m_length = n;
    return *this;
}

TString& TString::operator+=(const TTString& other) { return AppendString(other.Data(), other.m_length); }

TString& TString::operator+=(const char* s) { return AppendString(s, npos); }

TString& TString::operator+=(char c) { return AppendString(&c, 1); }

TString& TString::operator+=(int v)
{
    TTString text;
    text.ToString(v, 10);
    return *this += text;
}

// Appends the first n characters of s (up to its NUL), cut so that the
// text stays within kMaxLength.
TString& TString::AppendString(const char* s, size_t n)
{
    n = CLength(s, n);
    if (n > kMaxLength - m_length) {
        n = kMaxLength - m_length;
    }
    if (n == 0) {
        return *this;
    }
    if (InOwnStorage(s)) {
        TTString copy(s, n);
        return AppendString(copy.Data(), copy.m_length);
    }
    size_t newLength = m_length + n;
    if (m_inlineInUse && newLength <= kInlineCapacity) {
        memcpy(m_inline + m_length, s, n);
        m_inline[newLength] = '\0';
    } else if (m_inlineInUse) {
        if (m_blockSize < newLength + 1) {
            size_t size = BlockSizeFor(newLength);
            char* block = AllocBlock(size);
            if (block == nullptr) {
                return *this;
            }
            FreeBlock();
            m_block = block;
            m_blockSize = size;
        }
        memcpy(m_block, m_inline, m_length);
        memcpy(m_block + m_length, s, n);
        m_block[newLength] = '\0';
        memset(m_inline, 0, sizeof m_inline);
        m_inlineInUse = false;
    } else {
        if (m_blockSize < newLength + 1) {
            size_t size = BlockSizeFor(newLength);
            char* block = AllocBlock(size);
            if (block == nullptr) {
                return *this;
            }
            memcpy(block, m_block, m_length);
            FreeBlock();
            m_block = block;
            m_blockSize = size;
        }
        memcpy(m_block + m_length, s, n);
        m_block[newLength] = '\0';
    }
    m_length = newLength;
    return *this;
}

void TString::Clear()
{
    memset(m_inline, 0, sizeof m_inline);
    if (m_block != nullptr) {
        memset(m_block, 0, m_blockSize);
    }
    m_inlineInUse = true;
    m_length = 0;
}

// Grows the heap block only; an inline text stays inline and moves into the
// block when it outgrows the inline buffer.
bool TString::Reserve(size_t n)
{
    if (n > kMaxLength) {
        n = kMaxLength;
    }
    if (n <= Capacity()) {
        return true;
    }
    size_t size = BlockSizeFor(n);
    char* block = AllocBlock(size);
    if (block == nullptr) {
        return false;
    }
    if (!m_inlineInUse) {
        memcpy(block, m_block, m_length + 1);
    }
    FreeBlock();
    m_block = block;
    m_blockSize = size;
    return true;
}

const char* TString::C_str() const { return m_length == 0 ? "" : Data(); }

const char* TString::GetPointerToString(size_t p) const
{
    p = ResolvePos(p);
    return p == npos ? nullptr : Data() + p;
}

unsigned char TString::At(size_t p) const
{
    p = ResolvePos(p);
    return p < m_length ? static_cast<unsigned char>(Data()[p]) : 0;
}

TString TString::Left(size_t n) const
{
    if (m_length == 0) {
        return TTString();
    }
    return TTString(Data(), n < m_length ? n : m_length);
}

TString TString::LeftFrom(size_t p) const
{
    p = ResolvePos(p);
    if (m_length == 0 || p == npos) {
        return TTString();
    }
    return TTString(Data(), p == m_length ? m_length : p + 1);
}

TString TString::RightFrom(size_t p) const
{
    p = ResolvePos(p);
    if (m_length == 0 || p == npos) {
        return TTString();
    }
    return TTString(Data() + p, m_length - p);
}

TString TString::Mid(size_t p, size_t n) const
{
    p = ResolvePos(p);
    if (m_length == 0 || p == npos) {
        return TTString();
    }
    return TTString(Data() + p, ResolveCount(p, n));
}

size_t TString::Find(const char* t, size_t p) const
{
    p = ResolvePos(p);
    if (t == nullptr || t[0] == '\0' || p == npos) {
        return npos;
    }
    if (m_length - p < CLength(t, m_length - p + 1)) {
        return npos;
    }
    const char* hit = FindSubStr(Data() + p, t);
    return hit == nullptr ? npos : static_cast<size_t>(hit - Data());
}

size_t TString::Find(const TTString& t, size_t p) const { return Find(t.C_str(), p); }

size_t TString::Find(char c, size_t p) const
{
    p = ResolvePos(p);
    if (c == '\0' || p >= m_length) {
        return npos;
    }
    const char* hit = Find1stChr(Data() + p, c);
    return hit == nullptr ? npos : static_cast<size_t>(hit - Data());
}

size_t TString::FindNoCase(const char* t, size_t p) const
{
    TTString text(*this);
    TTString pattern(t);
    return text.ToUpper().Find(pattern.ToUpper(), p);
}

// Start of the last occurrence of t that ends at or before p.
size_t TString::RFind(const char* t, size_t p) const
{
    p = ResolvePos(p);
    size_t tl = CLength(t, m_length + 1);
    if (tl == 0 || p == npos || tl > m_length) {
        return npos;
    }
    size_t end = p < m_length ? p + 1 : m_length;  // one behind the last usable character
    if (end < tl) {
        return npos;
    }
    const char* text = Data();
    for (size_t start = end - tl + 1; start-- > 0;) {
        if (memcmp(text + start, t, tl) == 0) {
            return start;
        }
    }
    return npos;
}

size_t TString::FindOneOf(const char* set, size_t p) const
{
    p = ResolvePos(p);
    if (set == nullptr || set[0] == '\0' || p >= m_length) {
        return npos;
    }
    size_t at = p + GetSpanUntilChar(Data() + p, set);
    return at < m_length ? at : npos;
}

size_t TString::RFindOneOf(const char* set, size_t p) const
{
    p = ResolvePos(p);
    if (set == nullptr || set[0] == '\0' || p == npos || m_length == 0) {
        return npos;
    }
    const char* text = Data();
    for (size_t at = (p < m_length ? p : m_length - 1) + 1; at-- > 0;) {
        if (Find1stChr(set, text[at]) != nullptr) {
            return at;
        }
    }
    return npos;
}

bool TString::IsDelimiter(const char* set, size_t p) const
{
    p = ResolvePos(p);
    return set != nullptr && p < m_length && Find1stChr(set, Data()[p]) != nullptr;
}

size_t TString::RFindPathDelimiter(size_t p) const { return RFind("/", p); }

int TString::Compare(const char* s) const
{
    if (m_length == 0 || s == nullptr || s[0] == '\0') {
        long long diff = static_cast<long long>(m_length) - static_cast<long long>(CLength(s, kMaxLength + 1));
        return static_cast<int>(diff);
    }
    return CmpStr(Data(), s);
}

int TString::Compare(const TTString& s) const { return Compare(s.C_str()); }

int TString::CompareNoCase(const char* s) const
{
    TTString a(*this);
    TTString b(s);
    return a.ToUpper().Compare(b.ToUpper());
}

TString& TString::Erase(size_t p, size_t n)
{
    if (p == 0 && n == npos) {
        Clear();
        return *this;
    }
    p = ResolvePos(p);
    if (p == npos || n == 0) {
        return *this;
    }
    ShortenTo(p, ResolveCount(p, n));
    return *this;
}

TString& TString::Trim() { return TrimRight().TrimLeft(); }

TString& TString::TrimLeft()
{
    const char* text = Data();
    size_t n = 0;
    while (n < m_length && IsSpaceChr(text[n])) {
        ++n;
    }
    ShortenTo(0, n);
    return *this;
}

TString& TString::TrimRight()
{
    const char* text = Data();
    size_t keep = m_length;
    while (keep > 0 && IsSpaceChr(text[keep - 1])) {
        --keep;
    }
    ShortenTo(keep, m_length - keep);
    return *this;
}

TString& TString::ToUpper()
{
    char* text = Data();
    for (size_t i = 0; i < m_length; ++i) {
        text[i] = ToUpperChr(text[i]);
    }
    return *this;
}

TString& TString::AddPathDelimiter() { return AppendString("/", 1); }

TString& TString::AddDirectoryPath(const TTString& name)
{
    TTString copy(name);  // name may be this very string
    AddPathDelimiter();
    return *this += copy;
}

// Builds the new text in place when the block can hold it, else in a new
// block; a text from the string's own storage is copied out first.
TString& TString::ReplaceString(size_t p, size_t n, const char* t, size_t m)
{
    if (m_length == 0) {
        return *this;
    }
    p = ResolvePos(p);
    if (p == npos) {
        return *this;
    }
    n = ResolveCount(p, n);
    m = CLength(t, m);
    if (t == nullptr) {
        t = "";  // copies of zero bytes still need a valid source
    }
    if (n == m_length && m == 0) {
        Clear();
        return *this;
    }
    if (m > kMaxLength - p) {
        m = kMaxLength - p;
    }
    if (m != 0 && InOwnStorage(t)) {
        TTString copy(t, m);
        return ReplaceString(p, n, copy.Data(), copy.m_length);
    }
    // A result beyond kMaxLength keeps its first kMaxLength characters.
    size_t tail = m_length - p - n;
    if (tail > kMaxLength - p - m) {
        tail = kMaxLength - p - m;
    }
    size_t newLength = p + m + tail;
    const char* text = Data();
    if (newLength <= kInlineCapacity) {
        char built[kInlineCapacity + 1] = {};
        memcpy(built, text, p);
        memcpy(built + p, t, m);
        memcpy(built + p + m, text + p + n, tail);
        memcpy(m_inline, built, sizeof built);
        m_inlineInUse = true;
        FreeBlock();
    } else if (m_blockSize >= newLength + 1 && !m_inlineInUse) {
        memmove(m_block + p + m, m_block + p + n, tail);
        memcpy(m_block + p, t, m);
        m_block[newLength] = '\0';
    } else if (m_blockSize >= newLength + 1) {
        memcpy(m_block, m_inline, p);
        memcpy(m_block + p, t, m);
        memcpy(m_block + p + m, m_inline + p + n, tail);
        m_block[newLength] = '\0';
        memset(m_inline, 0, sizeof m_inline);
        m_inlineInUse = false;
    } else {
        size_t size = BlockSizeFor(newLength);
        char* block = AllocBlock(size);
        if (block == nullptr) {
            return *this;
        }
        memcpy(block, text, p);
        memcpy(block + p, t, m);
        memcpy(block + p + m, text + p + n, tail);
        FreeBlock();
        memset(m_inline, 0, sizeof m_inline);
        m_block = block;
        m_blockSize = size;
        m_inlineInUse = false;
    }
    m_length = newLength;
    return *this;
}

TString TString::GetToken(const char* delims, size_t& pos, bool trim) const
{
    TTString token;
    size_t start = ResolvePos(pos);
    if (m_length == 0 || delims == nullptr || delims[0] == '\0' || start >= m_length) {
        pos = npos;
        return token;
    }
    if (IsDelimiter(delims, start)) {
        ++start;  // the delimiter that ended the previous token
    }
    size_t end = FindOneOf(delims, start);
    size_t open = Find('"', start);
    size_t close = open == npos ? npos : Find('"', open + 1);
    if (end != npos && close != npos && end >= open && end <= close) {
        end = FindOneOf(delims, close + 1);
    }
    size_t stop = end == npos ? m_length : end;
    if (stop > start) {
        token.AssignString(Data() + start, stop - start);
        if (trim) {
            token.Trim();
        }
    }
    pos = end;
    return token;
}

TString& TString::Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    FormatV(fmt, args);
    va_end(args);
    return *this;
}

// Formats into a temporary first, so the arguments may point into this
// string; the result is cut at kMaxLength.
TString& TString::FormatV(const char* fmt, va_list args)
{
    if (fmt == nullptr || fmt[0] == '\0') {
        Clear();
        return *this;
    }
    va_list measureArgs;
    va_copy(measureArgs, args);
    int measure = PrintFVarArg(nullptr, 0, fmt, measureArgs);
    va_end(measureArgs);
    if (measure <= 0) {
        Clear();
        return *this;
    }
    size_t size = static_cast<size_t>(measure) + 1;
    if (size > kMaxBlockSize) {
        size = kMaxBlockSize;
    }
    char* buffer = AllocBlock(size);
    if (buffer == nullptr) {
        Clear();
        return *this;
    }
    int written = PrintFVarArg(buffer, size, fmt, args);
    if (written > 0) {
        AssignString(buffer, size - 1);
    } else {
        Clear();
    }
    free(buffer);
    return *this;
}

TString& TString::ToString(int v, numbase_t b)
{
    if (NormalBase(b) == 10) {
        return ConvertNumberToString<int>(v, v < 0, 10, 0);
    }
    return ConvertNumberToString<unsigned int>(static_cast<unsigned int>(v), false, b, 0);
}

TString& TString::ToString(unsigned int v, numbase_t b) { return ConvertNumberToString<unsigned int>(v, false, b, 0); }

TString& TString::ToString(unsigned long long v, numbase_t b)
{
    return ConvertNumberToString<unsigned long long>(v, false, b, 0);
}

// Digits are made from the magnitude in unsigned arithmetic, so the most
// negative value and any width convert without overflow; padding beyond
// kMaxLength is cut with the rest of the text.
template <typename T>
TString& TString::ConvertNumberToString(T v, bool negative, numbase_t b, int width)
{
    using U = std::make_unsigned_t<T>;
    const unsigned base = static_cast<unsigned>(NormalBase(b));
    unsigned long long magnitude = static_cast<U>(v);
    if (negative && std::is_signed<T>::value && v < 0) {
        magnitude = 0ULL - static_cast<unsigned long long>(static_cast<long long>(v));
    }
    char digits[64];
    size_t count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[magnitude % base];
        magnitude /= base;
    } while (magnitude != 0);

    const size_t w = width < 0 ? 0U - static_cast<unsigned>(width) : static_cast<unsigned>(width);
    const size_t pad = w > count ? w - count : 0;
    TTString text;
    text.Reserve(pad + count + 3);  // one allocation for the whole text
    auto appendRepeated = [&text](char c, size_t n) {
        char chunk[64];
        memset(chunk, c, sizeof chunk);
        while (n > 0 && text.m_length < kMaxLength) {
            size_t part = n < sizeof chunk ? n : sizeof chunk;
            text.AppendString(chunk, part);
            n -= part;
        }
    };
    if (width < 0) {
        appendRepeated(' ', pad);
    }
    if (negative) {
        text += '-';
    }
    if (base == 16) {
        text.AppendString("0x", 2);
    } else if (base == 8) {
        text += '0';
    }
    if (width >= 0) {
        appendRepeated('0', pad);
    }
    while (count > 0) {
        text += digits[--count];
    }
    return *this = std::move(text);
}

template TString& TString::ConvertNumberToString<int>(int, bool, numbase_t, int);
template TString& TString::ConvertNumberToString<unsigned int>(unsigned int, bool, numbase_t, int);
template TString& TString::ConvertNumberToString<unsigned long long>(unsigned long long, bool, numbase_t, int);

// Accumulates in unsigned 32-bit arithmetic: the value wraps modulo 2^32.
template <typename T>
T TString::ConvertStringToNumber(bool& negative) const
{
    negative = false;
    const char* text = Data();
    size_t i = 0;
    while (i < m_length && IsSpaceChr(text[i])) {
        ++i;
    }
    uint32_t value = 0;
    if (i >= m_length) {
        return 0;
    }
    if (text[i] != '0' || i + 1 == m_length) {
        if (text[i] == '-' || text[i] == '+') {
            negative = text[i] == '-';
            ++i;
        }
        for (; i < m_length && IsDigitChr(text[i]); ++i) {
            value = value * 10U + static_cast<uint32_t>(text[i] - '0');
        }
    } else if (text[i + 1] == 'x' || text[i + 1] == 'X') {
        for (i += 2; i < m_length && IsXDigitChr(text[i]); ++i) {
            char c = ToUpperChr(text[i]);
            value = value * 16U + static_cast<uint32_t>(IsDigitChr(c) ? c - '0' : c - 'A' + 10);
        }
    } else {
        for (; i < m_length && text[i] >= '0' && text[i] <= '7'; ++i) {
            value = value * 8U + static_cast<uint32_t>(text[i] - '0');
        }
    }
    return static_cast<T>(value);
}

template int TString::ConvertStringToNumber<int>(bool&) const;
template unsigned int TString::ConvertStringToNumber<unsigned int>(bool&) const;

int TString::ToInteger() const
{
    bool negative = false;
    unsigned int value = static_cast<unsigned int>(ConvertStringToNumber<int>(negative));
    return static_cast<int>(negative ? 0U - value : value);
}

bool TString::IsDecimal() const
{
    const char* text = Data();
    size_t i = 0;
    while (i < m_length && IsSpaceChr(text[i])) {
        ++i;
    }
    bool sign = i < m_length && (text[i] == '-' || text[i] == '+');
    if (sign) {
        ++i;
    }
    size_t first = i;
    while (i < m_length && IsDigitChr(text[i])) {
        ++i;
    }
    if (i == first) {
        return false;
    }
    if (!sign && text[first] == '0' && first + 1 != m_length) {
        return false;
    }
    while (i < m_length && IsSpaceChr(text[i])) {
        ++i;
    }
    return i == m_length;
}

bool TString::IsHexadecimal() const
{
    const char* text = Data();
    size_t i = 0;
    while (i < m_length && IsSpaceChr(text[i])) {
        ++i;
    }
    if (i < m_length && text[i] == '$') {
        i += 1;
    } else if (i + 1 < m_length && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
    } else {
        return false;
    }
    size_t first = i;
    while (i < m_length && IsXDigitChr(text[i])) {
        ++i;
    }
    if (i == first) {
        return false;
    }
    while (i < m_length && IsSpaceChr(text[i])) {
        ++i;
    }
    return i == m_length;
}

// npos is the end, lastpos the last character; beyond the end is invalid.
size_t TString::ResolvePos(size_t p) const
{
    if (p == npos) {
        return m_length;
    }
    if (p == lastpos) {
        return m_length - 1;  // npos for an empty string
    }
    return p > m_length ? npos : p;
}

size_t TString::ResolveCount(size_t p, size_t n) const
{
    if (m_length == 0) {
        return 0;
    }
    return n > m_length - p ? m_length - p : n;
}

bool TString::InOwnStorage(const char* s) const
{
    std::less<const char*> before;
    auto inside = [&](const char* from, size_t size) {
        return from != nullptr && !before(s, from) && before(s, from + size);
    };
    return s != nullptr && (inside(m_inline, sizeof m_inline) || inside(m_block, m_blockSize));
}

void TString::FreeBlock()
{
    free(m_block);
    m_block = nullptr;
    m_blockSize = 0;
}

// Takes over the other's storage (this has no block); the other is left
// empty and usable.
void TString::MoveFrom(TTString& other)
{
    m_length = other.m_length;
    m_blockSize = other.m_blockSize;
    m_block = other.m_block;
    memcpy(m_inline, other.m_inline, sizeof m_inline);
    m_inlineInUse = other.m_inlineInUse;
    other.m_length = 0;
    other.m_blockSize = 0;
    other.m_block = nullptr;
    memset(other.m_inline, 0, sizeof other.m_inline);
    other.m_inlineInUse = true;
}

// Removes n characters at p (both already in range). A heap text that drops
// to the inline capacity moves to the inline buffer and the block is freed.
void TString::ShortenTo(size_t p, size_t n)
{
    if (n == 0) {
        return;
    }
    size_t newLength = m_length - n;
    size_t tail = m_length - p - n;
    if (!m_inlineInUse && newLength <= kInlineCapacity) {
        char built[kInlineCapacity + 1] = {};
        memcpy(built, m_block, p);
        memcpy(built + p, m_block + p + n, tail);
        memcpy(m_inline, built, sizeof built);
        m_inlineInUse = true;
        FreeBlock();
    } else {
        char* text = Data();
        memmove(text + p, text + p + n, tail + 1);
    }
    m_length = newLength;
}

}  // namespace vdtcl
