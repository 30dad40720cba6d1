// The BER codec of the SNMP messages: encodes each element into a block of
// its own (kept in an indexed list until copied into a message), decodes a
// received message with a bounds-checked cursor, and writes MAC-address text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vdtcl/TTString.h"

namespace vdtcl {

// Definite lengths only (at most four length octets, values up to INT_MAX);
// INTEGER is a 32-bit signed value in 1 to 4 content octets; OBJECT
// IDENTIFIER arcs are unsigned 32-bit. Nothing throws; failures are a 0
// size or count, a null pointer or false. One thread at a time.
class CTBERformat {
public:
    enum macaddr_separat_t { MACADDR_SEPARATE_NONE = 0, MACADDR_SEPARATE_HYPHEN = 1, MACADDR_SEPARATE_COLON = 2 };

    // One encoded block: zero-filled octets owned by the list, or (null, 0)
    // once released; an index stays valid until the whole list is released.
    struct MEMINFO {
        unsigned char* memory;
        int size;
    };

    static constexpr unsigned char kTagInteger = 0x02;
    static constexpr unsigned char kTagOctetString = 0x04;
    static constexpr unsigned char kTagNull = 0x05;
    static constexpr unsigned char kTagObjectId = 0x06;
    static constexpr unsigned char kTagSequence = 0x30;
    static constexpr unsigned char kTagIpAddress = 0x40;
    static constexpr unsigned char kTagCommand = 0xA0;  // + PDU type 0..31

    CTBERformat() = default;
    virtual ~CTBERformat();
    CTBERformat(const CTBERformat&) = delete;
    CTBERformat& operator=(const CTBERformat&) = delete;

    // Block list. A bad index is below 0 or not below the entry count.
    unsigned char* AllocateOctetsMemory(int size, int& index);
    bool ReleaseOctetsMemory(int index);
    bool ReleaseAllOctetsMemory();
    // Copies the block into dest (at most destSize octets) and releases it;
    // its size, or 0 when it does not fit or does not exist.
    int MoveOctetsDataToMemory(int index, unsigned char* dest, int destSize);
    int GetOctetsMemoryCount() const { return static_cast<int>(m_blocks.size()); }
    unsigned char* GetOctetsMemoryPtr(int index) const;
    int GetOctetsMemorySize(int index) const;

    // Encoding: each member appends one block, sets index to it and returns
    // the block's total size; 0 when nothing usable was made.
    int CreateOctetsSequence(int& index, int length);
    int CreateOctetsCommand(int& index, unsigned char pduType, int length);
    int CreateOctetsNullData(int& index);
    int CreateOctetsInteger(int& index, int value);
    int CreateOctetsString(int& index, const char* text);
    int CreateOctetsIpAddr4(int& index, const char* text);
    int CreateOctetsIpAddr6(int& index, const char* text);
    int CreateOctetsObjectId(int& index, const char* oid);
    int CreateVarBindingNullData(int& index, const char* oid);
    int CreateVarBindingInteger(int& index, const char* oid, int value);
    int CreateVarBindingString(int& index, const char* oid, const char* text);
    int CreateVarBindingIpAddr4(int& index, const char* oid, const char* text);
    int CreateVarBindingIpAddr6(int& index, const char* oid, const char* text);

    // Sizes: of a whole length field (0 for a negative length), of an
    // INTEGER's minimal contents, and of an OBJECT IDENTIFIER's contents
    // (0 for a text that is not a valid identifier).
    static int CalcSizeOfLengthField(int length);
    static int CalcSizeOfIntegerValue(int value);
    static int CalcSizeOfObjectId(const char* oid);

    // Writers into caller memory; each returns the position after what it
    // wrote, or null when refused. The caller provides the room.
    // lengthFieldSize must be CalcSizeOfLengthField(length).
    static unsigned char* SetTypeLengthField(unsigned char* p, unsigned char tag, int lengthFieldSize, int length);
    // The low size (1..4) octets of value, most significant first.
    static unsigned char* SetIntegerToMemory(unsigned char* p, int value, int size);
    // Exactly size characters of text, which must have that many.
    static unsigned char* SetStringToMemory(unsigned char* p, const char* text, int size);
    // Four octets from dotted-decimal text; size must be at least 4.
    static unsigned char* SetIpAddr4ToMemory(unsigned char* p, const char* text, int size);
    static unsigned char* SetIpAddr6ToMemory(unsigned char* p, const char* text, int size);
    // The identifier's contents; size must be exactly CalcSizeOfObjectId(oid).
    static unsigned char* SetObjectIdToMemory(unsigned char* p, const char* oid, int size);

    // One block of tag, length field and (withContents) room for the
    // contents; returns where the contents go; total is the block size.
    unsigned char* CreateContentsOctets(unsigned char tag, int length, bool withContents, int& index, int& total);
    // One block holding a whole var-binding; returns where the value's
    // valueLength content octets go.
    unsigned char* CreateVarBindingOctets(const char* oid, unsigned char tag, int valueLength, int& index, int& total);

    // Decoding. The area is borrowed and must outlive the reads; each read
    // starts at the cursor and moves it on. Reads return the element's octet
    // count, or 0 on failure, after which the message is to be abandoned.
    bool SetMemInfoToDecode(const unsigned char* data, int size);
    const unsigned char* GetCurrMemPtrToDecode() const { return m_cursor; }
    bool CheckPtrToDecode(const unsigned char* p) const;
    bool CheckPtrToDecode(const unsigned char* p, int count) const;
    bool MoveMemPtrToDecode(const unsigned char* p);
    // The tag at the cursor, all bits set when the cursor is outside the area.
    uint32_t GetOctetsType() const;
    bool CheckTypeField(unsigned char tag, int& count);
    // A definite length whose contents lie within the area.
    bool DecodeLengthField(int& length, int& count);
    int GetOctetsSequence(int& length);
    int GetOctetsCommand(unsigned char& pduType, int& length);
    int GetOctetsInteger(int& value);
    // Appends the contents to text (as far as the string can hold them).
    int GetOctetsString(TTString<char>& text);
    // Appends the contents octet for octet, zero octets included.
    int GetOctetsString(std::string& octets);
    int GetOctetsIpAddr4(TTString<char>& text);
    int GetOctetsIpAddr6(TTString<char>& text);
    // Replaces text with the dotted identifier.
    int GetOctetsObjectId(TTString<char>& text);
    int SkipOctetsData();

    // Two upper-case hex digits per octet, joined by "-" (1), ":" (2) or nothing.
    static TTString<char> ConvertToMacAddr(const TTString<char>& octets, macaddr_separat_t separator);
    static TTString<char> ConvertToMacAddr(const unsigned char* octets, size_t count, macaddr_separat_t separator);

private:
    static size_t EncodeObjectId(const char* oid, unsigned char* out);
    size_t Remaining() const;
    bool ReadContentsHeader(unsigned char tag, int& length, int& count);
    void DropBlock(int& index);
    int KeepWrittenBlock(const unsigned char* written, int& index, int total);
    static int TextSize(const char* text);

    std::vector<MEMINFO> m_blocks;
    const unsigned char* m_decodeStart = nullptr;
    int m_decodeSize = 0;
    const unsigned char* m_cursor = nullptr;  // within [start, start + size]
};

}  // namespace vdtcl
