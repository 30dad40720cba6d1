// The toolbox string: a NUL-terminated byte text kept in an 8-byte inline
// buffer or in a heap block grown in 16-byte steps (at most 65519 characters).
// Nothing here throws; operations that cannot apply leave the string as it was.
#pragma once

#include <cctype>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace vdtcl {

// The string class is a template on the character type. Only the byte
// instance has string operations; the wide instance carries the character
// primitives alone.
template <typename C>
class TTString;

// Wide-character primitives.
template <>
class TTString<wchar_t> {
public:
    static size_t GetSpanUntilChar(const wchar_t* s, const wchar_t* set) { return wcscspn(s, set); }
    static size_t GetStrLength(const wchar_t* s) { return wcslen(s); }
    static int CmpStr(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b); }
    static wchar_t ToUpperChr(wchar_t c) { return static_cast<wchar_t>(towupper(static_cast<wint_t>(c))); }
    static wchar_t ToLowerChr(wchar_t c) { return static_cast<wchar_t>(towlower(static_cast<wint_t>(c))); }
    static bool IsSpaceChr(wchar_t c) { return iswspace(static_cast<wint_t>(c)) != 0; }
    static bool IsDigitChr(wchar_t c) { return iswdigit(static_cast<wint_t>(c)) != 0; }
    static bool IsXDigitChr(wchar_t c) { return iswxdigit(static_cast<wint_t>(c)) != 0; }
    static const wchar_t* Find1stChr(const wchar_t* s, wchar_t c) { return wcschr(s, c); }
    static const wchar_t* FindSubStr(const wchar_t* s, const wchar_t* t) { return wcsstr(s, t); }
    static int PrintFVarArg(wchar_t* buf, size_t n, const wchar_t* fmt, va_list args)
    {
        return vswprintf(buf, n, fmt, args);
    }
};

// The byte string. Positions and counts are size_t; npos (all bits set)
// stands for the end of the text, lastpos (npos - 1) for its last character,
// and search results are npos when nothing is found.
template <>
class TTString<char> {
public:
    // Number base for conversions: 8, 10 or 16; any other value is taken as 10.
    using numbase_t = int;

    static constexpr size_t npos = ~static_cast<size_t>(0);
    static constexpr size_t lastpos = npos - 1;
    static constexpr size_t kInlineCapacity = 7;    // characters in the inline buffer
    static constexpr size_t kBlockUnit = 16;        // heap blocks grow in these steps
    static constexpr size_t kMaxBlockSize = 65520;  // 4095 blocks of 16 bytes
    static constexpr size_t kMaxLength = kMaxBlockSize - 1;

    // Character primitives: the string operations reach the C library only
    // through these. Bytes are classified and case-mapped as unsigned char.
    static size_t GetSpanUntilChar(const char* s, const char* set) { return strcspn(s, set); }
    static size_t GetStrLength(const char* s) { return strlen(s); }
    static int CmpStr(const char* a, const char* b) { return strcmp(a, b); }
    static char ToUpperChr(char c) { return static_cast<char>(toupper(static_cast<unsigned char>(c))); }
    static char ToLowerChr(char c) { return static_cast<char>(tolower(static_cast<unsigned char>(c))); }
    static bool IsSpaceChr(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }
    static bool IsDigitChr(char c) { return c >= '0' && c <= '9'; }
    static bool IsXDigitChr(char c) { return isxdigit(static_cast<unsigned char>(c)) != 0; }
    static const char* Find1stChr(const char* s, char c) { return strchr(s, c); }
    static const char* FindSubStr(const char* s, const char* t) { return strstr(s, t); }
    static int PrintFVarArg(char* buf, size_t n, const char* fmt, va_list args) { return vsnprintf(buf, n, fmt, args); }

    // Construction and assignment. A C text is read up to its first NUL or n
    // characters, whichever comes first; text beyond kMaxLength is cut off.
    TTString();
    TTString(const char* s, size_t n = npos);
    TTString(const TTString& other);
    TTString(TTString&& other) noexcept;
    virtual ~TTString();

    TTString& operator=(const TTString& other);
    TTString& operator=(const char* s);
    TTString& operator=(TTString&& other) noexcept;  // the other is left empty
    TTString& operator=(char c);                     // NUL clears
    TTString& AssignString(const char* s, size_t n);

    TTString& operator+=(const TTString& other);
    TTString& operator+=(const char* s);
    TTString& operator+=(char c);
    TTString& operator+=(int v);  // appends the decimal text of v
    TTString& AppendString(const char* s, size_t n);

    // Empties the string; a heap block stays allocated (zero-filled) for reuse.
    void Clear();
    // Makes room for n characters (at most kMaxLength) without changing the
    // text; false when the memory could not be had.
    bool Reserve(size_t n);

    size_t Length() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    // Heap block size minus 1 when a block exists, else the inline capacity.
    size_t Capacity() const { return m_block != nullptr ? m_blockSize - 1 : kInlineCapacity; }

    // The text; never null. Valid until the string is next changed.
    const char* C_str() const;
    operator const char*() const { return C_str(); }
    // Pointer to the character at p (p = length gives the terminator), null
    // when p is not a valid position.
    const char* GetPointerToString(size_t p) const;
    // The character at p, 0 when p is not a character position.
    unsigned char At(size_t p) const;
    unsigned char GetAt(size_t p) const { return At(p); }

    // Substrings; an empty source or an invalid position gives an empty string.
    TTString Left(size_t n) const;
    TTString LeftFrom(size_t p) const;  // start through p inclusive
    TTString RightFrom(size_t p) const;
    TTString Mid(size_t p, size_t n) const;

    // Searching; results are positions from the start or npos.
    size_t Find(const char* t, size_t p = 0) const;
    size_t Find(const TTString& t, size_t p = 0) const;
    size_t Find(char c, size_t p = 0) const;
    size_t FindNoCase(const char* t, size_t p = 0) const;
    size_t RFind(const char* t, size_t p = npos) const;
    size_t FindOneOf(const char* set, size_t p = 0) const;
    size_t RFindOneOf(const char* set, size_t p = npos) const;
    bool IsDelimiter(const char* set, size_t p) const;
    size_t RFindPathDelimiter(size_t p = npos) const;

    // Comparison: with an empty side (a null text counts as empty) the
    // difference of the lengths, else strcmp's result.
    int Compare(const char* s) const;
    int Compare(const TTString& s) const;
    int CompareNoCase(const char* s) const;
    friend bool operator==(const TTString& a, const char* b) { return a.Compare(b) == 0; }
    friend bool operator!=(const TTString& a, const char* b) { return a.Compare(b) != 0; }

    // Editing.
    TTString& Erase(size_t p, size_t n);  // Erase(0, npos) clears
    TTString& Delete(size_t p, size_t n) { return Erase(p, n); }
    TTString& Trim();
    TTString& TrimLeft();
    TTString& TrimRight();
    TTString& ToUpper();
    TTString& AddPathDelimiter();
    TTString& AddDirectoryPath(const TTString& name);
    // Replaces n characters at p by the first m characters of t.
    TTString& ReplaceString(size_t p, size_t n, const char* t, size_t m);
    // The next token at or after pos, split at any character of delims; a
    // delimiter inside a double-quoted stretch does not split. pos becomes the
    // delimiter behind the token, or npos when the token ran to the end.
    TTString GetToken(const char* delims, size_t& pos, bool trim) const;

    // printf-style formatting; replaces the content.
    TTString& Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    TTString& FormatV(const char* fmt, va_list args);

    // Number to text (replaces the content). ToString(int, 10) is signed; the
    // other forms write the unsigned value (for int, its 32-bit pattern).
    TTString& ToString(int v, numbase_t b = 10);
    TTString& ToString(unsigned int v, numbase_t b = 10);
    TTString& ToString(unsigned long long v, numbase_t b = 10);
    // T is int, unsigned int or unsigned long long. width >= 0 pads the digits
    // with "0" to |width|, width < 0 pads with spaces in front. Base 16 gets
    // "0x", base 8 "0" in front; "-" goes first when negative is set.
    template <typename T>
    TTString& ConvertNumberToString(T v, bool negative, numbase_t b, int width);

    // Text to number: the magnitude (modulo 2^32) of the decimal, "0x" hex or
    // "0" octal number at the start of the text, and its sign. T is int or
    // unsigned int.
    template <typename T>
    T ConvertStringToNumber(bool& negative) const;
    int ToInteger() const;
    bool IsDecimal() const;
    bool IsHexadecimal() const;

private:
    char* Data() { return m_inlineInUse ? m_inline : m_block; }
    const char* Data() const { return m_inlineInUse ? m_inline : m_block; }
    size_t ResolvePos(size_t p) const;
    size_t ResolveCount(size_t p, size_t n) const;
    bool InOwnStorage(const char* s) const;
    void FreeBlock();
    void MoveFrom(TTString& other);
    void ShortenTo(size_t p, size_t n);

    size_t m_length;     // characters, without the NUL
    size_t m_blockSize;  // bytes of m_block; 0 when there is none
    char* m_block;       // owned, zero-filled on allocation
    char m_inline[kInlineCapacity + 1];
    bool m_inlineInUse;
};

}  // namespace vdtcl
