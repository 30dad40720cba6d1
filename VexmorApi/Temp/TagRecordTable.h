// Tag tables of the generation-2 answers: for each tag, the value items in
// wire order and the answer-record field each lands in. The reader never
// looks outside one record's value; items past the value's end read as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vscore {

// A bounded cursor over one record's value. Reads past the end give 0 and
// still move the cursor, so later items of a short value are zero too.
class TagValueReader {
public:
    TagValueReader(const unsigned char* value, size_t length) : value_(value), length_(length) {}

    size_t Length() const { return length_; }
    const unsigned char* Data() const { return value_; }
    uint8_t Byte();
    uint16_t Word();        // little-endian
    uint32_t DoubleWord();  // little-endian
    void Skip(size_t count);

private:
    const unsigned char* value_;
    size_t length_;
    size_t position_ = 0;
};

// How an item is logged: "name = " and then the value.
enum class TagLogFormat : uint8_t { Hex2, Hex4, Dec, Dec02, Text, None };

enum class TagItemKind : uint8_t {
    Byte,        // 8-bit field
    ByteAsWord,  // one wire byte into a 16-bit field
    Word,        // 16-bit field
    SignedWord,  // 16-bit field, logged with its sign
    DoubleWord,  // 32-bit field
    Text,        // the whole value into a char field of fieldSize bytes, zero-filled
    Skip,        // one wire byte, not stored
    LogOnly,     // one wire byte, logged, not stored
    Present,     // no wire bytes: sets a bool field
};

struct TagItem {
    uint16_t tag;
    TagItemKind kind;
    TagLogFormat format;
    uint16_t minLength;  // read only when the value has at least this many bytes
    uint32_t offset;     // of the field in the answer record
    uint32_t fieldSize;
    std::string name;  // empty: not logged
};

// The items of one answer kind, sorted by tag. Built once from a probe
// record, whose field addresses give the offsets; the builder calls must
// come in tag order. A tag below the previous one, or a field that does not
// lie wholly within the probe record, throws TraceException (InvalidArgument)
// from Tag or Add, so a slip in a table fails where the table is built.
class TagTable {
public:
    TagTable(const void* probe, size_t recordSize)
        : probe_(static_cast<const unsigned char*>(probe)), recordSize_(recordSize)
    {
    }

    TagTable& Tag(uint16_t tag);
    TagTable& Item(std::string name, const uint8_t* field, TagLogFormat format = TagLogFormat::Hex2,
                   uint16_t minLength = 0);
    TagTable& Item(std::string name, const uint16_t* field, TagLogFormat format = TagLogFormat::Hex4,
                   uint16_t minLength = 0);
    TagTable& Item(std::string name, const int16_t* field, uint16_t minLength = 0,
                   TagLogFormat format = TagLogFormat::Dec);
    TagTable& Item(std::string name, const uint32_t* field, TagLogFormat format = TagLogFormat::Dec);
    TagTable& Widened(std::string name, const uint16_t* field);  // one byte into a word
    TagTable& Kept(const uint8_t* field, uint16_t minLength = 0);
    TagTable& Kept(const uint16_t* field);  // one byte into a word
    TagTable& Text(std::string name, const char* field, size_t size);
    TagTable& Skip();
    TagTable& LogOnly(std::string name, uint16_t minLength);
    TagTable& Present(const bool* field, uint16_t minLength = 0);

    // Reads the value of tag into record (recordSize bytes) and logs each
    // item at logLevel of the main engine log. False for a tag the table
    // does not define; then nothing is read.
    bool Read(uint16_t tag, TagValueReader& value, void* record, int logLevel) const;

private:
    TagTable& Add(TagItemKind kind, TagLogFormat format, uint16_t minLength, const void* field, size_t size,
                  std::string name);

    const unsigned char* probe_;
    size_t recordSize_;
    uint16_t tag_ = 0;
    std::vector<TagItem> items_;
};

}  // namespace vscore
