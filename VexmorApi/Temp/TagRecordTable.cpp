// Tag tables of the generation-2 answers and the bounded value reader.
#include "VexmorApi/Temp/TagRecordTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/OutputLog.h"

namespace vscore {

namespace {

constexpr char kOrigin[] = "VexmorApi/Temp/TagRecordTable";

std::string Hex4(uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

uint8_t TagValueReader::Byte()
{
    uint8_t value = 0;
    if (position_ < length_) {
        value = value_[position_];
    }
    Skip(1);
    return value;
}

uint16_t TagValueReader::Word()
{
    uint16_t low = Byte();
    uint16_t high = Byte();
    return static_cast<uint16_t>(low | (high << 8));
}

uint32_t TagValueReader::DoubleWord()
{
    uint32_t low = Word();
    uint32_t high = Word();
    return low | (high << 16);
}

void TagValueReader::Skip(size_t count)
{
    // Past the end the position only has to stay past the end.
    position_ = (count > length_ - std::min(position_, length_)) ? length_ : position_ + count;
}

// Read finds a tag's items by binary search, so the items must stay sorted:
// a tag below the last one added is a slip in the table, refused at once.
TagTable& TagTable::Tag(uint16_t tag)
{
    if (!items_.empty() && tag < items_.back().tag) {
        VEXMOR_THROW(kOrigin, "Tag", Exception::InvalidArgument,
                     "Tag 0x" + Hex4(tag) + " follows tag 0x" + Hex4(items_.back().tag));
    }
    tag_ = tag;
    return *this;
}

// A field that does not lie wholly inside the probe record would have Read
// write outside the caller's record: refused when the table is built.
TagTable& TagTable::Add(TagItemKind kind, TagLogFormat format, uint16_t minLength, const void* field, size_t size,
                        std::string name)
{
    uint32_t offset = 0;
    if (field != nullptr) {
        auto const address = reinterpret_cast<uintptr_t>(field);
        auto const start = reinterpret_cast<uintptr_t>(probe_);
        if (address < start || address - start > recordSize_ || size > recordSize_ - (address - start)) {
            VEXMOR_THROW(kOrigin, "Add", Exception::InvalidArgument,
                         "Item " + name + " of tag 0x" + Hex4(tag_) + " lies outside its record");
        }
        offset = static_cast<uint32_t>(address - start);
    }
    items_.push_back({tag_, kind, format, minLength, offset, static_cast<uint32_t>(size), std::move(name)});
    return *this;
}

TagTable& TagTable::Item(std::string name, const uint8_t* field, TagLogFormat format, uint16_t minLength)
{
    return Add(TagItemKind::Byte, format, minLength, field, 1, std::move(name));
}

TagTable& TagTable::Item(std::string name, const uint16_t* field, TagLogFormat format, uint16_t minLength)
{
    return Add(TagItemKind::Word, format, minLength, field, 2, std::move(name));
}

TagTable& TagTable::Item(std::string name, const int16_t* field, uint16_t minLength, TagLogFormat format)
{
    return Add(TagItemKind::SignedWord, format, minLength, field, 2, std::move(name));
}

TagTable& TagTable::Item(std::string name, const uint32_t* field, TagLogFormat format)
{
    return Add(TagItemKind::DoubleWord, format, 0, field, 4, std::move(name));
}

TagTable& TagTable::Widened(std::string name, const uint16_t* field)
{
    return Add(TagItemKind::ByteAsWord, TagLogFormat::Hex2, 0, field, 2, std::move(name));
}

TagTable& TagTable::Kept(const uint8_t* field, uint16_t minLength)
{
    return Add(TagItemKind::Byte, TagLogFormat::None, minLength, field, 1, std::string());
}

TagTable& TagTable::Kept(const uint16_t* field)
{
    return Add(TagItemKind::ByteAsWord, TagLogFormat::None, 0, field, 2, std::string());
}

TagTable& TagTable::Text(std::string name, const char* field, size_t size)
{
    return Add(TagItemKind::Text, TagLogFormat::Text, 0, field, size, std::move(name));
}

TagTable& TagTable::Skip() { return Add(TagItemKind::Skip, TagLogFormat::None, 0, nullptr, 0, std::string()); }

TagTable& TagTable::LogOnly(std::string name, uint16_t minLength)
{
    return Add(TagItemKind::LogOnly, TagLogFormat::Hex2, minLength, nullptr, 0, std::move(name));
}

TagTable& TagTable::Present(const bool* field, uint16_t minLength)
{
    return Add(TagItemKind::Present, TagLogFormat::None, minLength, field, sizeof(bool), std::string());
}

namespace {

void LogValue(TagItem const& item, int64_t value, int level)
{
    if (item.name.empty()) {
        return;
    }
    char const* name = item.name.c_str();
    switch (item.format) {
    case TagLogFormat::Hex2:
        g_ScanDevApiLog.WriteLog(level, "%s = 0x%02X", name, static_cast<unsigned>(value) & 0xFFu);
        break;
    case TagLogFormat::Hex4:
        g_ScanDevApiLog.WriteLog(level, "%s = 0x%04X", name, static_cast<unsigned>(value) & 0xFFFFu);
        break;
    case TagLogFormat::Dec:
        g_ScanDevApiLog.WriteLog(level, "%s = %lld", name, static_cast<long long>(value));
        break;
    case TagLogFormat::Dec02:
        g_ScanDevApiLog.WriteLog(level, "%s = %02d", name, static_cast<int>(value));
        break;
    case TagLogFormat::Text:
    case TagLogFormat::None:
        break;
    }
}

template <class T>
void Store(unsigned char* record, TagItem const& item, T value)
{
    std::memcpy(record + item.offset, &value, sizeof(T));
}

}  // namespace

bool TagTable::Read(uint16_t tag, TagValueReader& value, void* record, int logLevel) const
{
    auto first = std::lower_bound(items_.begin(), items_.end(), tag,
                                  [](TagItem const& item, uint16_t t) { return item.tag < t; });
    if (first == items_.end() || first->tag != tag) {
        return false;
    }
    auto* base = static_cast<unsigned char*>(record);
    for (auto item = first; item != items_.end() && item->tag == tag; ++item) {
        if (value.Length() < item->minLength) {
            continue;  // an optional item the device did not send
        }
        switch (item->kind) {
        case TagItemKind::Byte: {
            uint8_t v = value.Byte();
            Store(base, *item, v);
            LogValue(*item, v, logLevel);
            break;
        }
        case TagItemKind::ByteAsWord: {
            uint16_t v = value.Byte();
            Store(base, *item, v);
            LogValue(*item, v, logLevel);
            break;
        }
        case TagItemKind::Word: {
            uint16_t v = value.Word();
            Store(base, *item, v);
            LogValue(*item, v, logLevel);
            break;
        }
        case TagItemKind::SignedWord: {
            auto v = static_cast<int16_t>(value.Word());
            Store(base, *item, v);
            LogValue(*item, v, logLevel);
            break;
        }
        case TagItemKind::DoubleWord: {
            uint32_t v = value.DoubleWord();
            Store(base, *item, v);
            LogValue(*item, v, logLevel);
            break;
        }
        case TagItemKind::Text: {
            // Bytes beyond the field are dropped; the field is not
            // terminated when the text fills it, so readers bound it.
            char* text = reinterpret_cast<char*>(base + item->offset);
            size_t count = std::min<size_t>(value.Length(), item->fieldSize);
            std::memset(text, 0, item->fieldSize);
            if (count > 0) {
                std::memcpy(text, value.Data(), count);
            }
            value.Skip(value.Length());
            g_ScanDevApiLog.WriteLog(logLevel, "%s = %.*s", item->name.c_str(),
                                     static_cast<int>(strnlen(text, item->fieldSize)), text);
            break;
        }
        case TagItemKind::Skip:
            value.Skip(1);
            break;
        case TagItemKind::LogOnly:
            LogValue(*item, value.Byte(), logLevel);
            break;
        case TagItemKind::Present:
            Store(base, *item, true);
            break;
        }
    }
    return true;
}

}  // namespace vscore
