// Encoders of the generation-2 device answers: a device profile in, the
// answer's tag-length-value records out (the data part of the answer, without
// result byte, echoed command and length). Profiles name the answer's items
// by the names the device documentation gives them ("scanSizeFbMaxX",
// "paperType", ...); unset items are sent as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace answer_encoders {

using Bytes = std::vector<uint8_t>;

enum class AnswerKind { Qdi, Gkp, Ssp, Gcp, Gds };

// One record: 16-bit tag, 16-bit value length, value; all little-endian.
struct TlvRecord {
    uint16_t tag;
    Bytes value;
};

constexpr uint16_t kEndTag = 0xF0F0;

// The records back to back; a value longer than 65535 bytes is sent with
// its length cut to 16 bits (for tests of lying lengths use RawRecord).
Bytes Serialize(std::vector<TlvRecord> const& records);
// A record header whose length field says declaredLength, followed by value.
Bytes RawRecord(uint16_t tag, uint16_t declaredLength, Bytes const& value);
Bytes EndRecord();

// The values one device puts into one kind of answer.
class AnswerProfile {
public:
    explicit AnswerProfile(AnswerKind kind);

    // A number item; negative values are sent in two's complement. Throws
    // std::invalid_argument for a name the answer does not have.
    AnswerProfile& Set(std::string const& name, int64_t value);
    // A text or byte-string item (the QDI model name, the GCP profiles).
    AnswerProfile& SetBytes(std::string const& name, Bytes bytes);
    AnswerProfile& SetText(std::string const& name, std::string const& text);
    // Which records are sent: all of the answer's tags by default.
    AnswerProfile& Omit(uint16_t tag);
    AnswerProfile& Only(std::set<uint16_t> tags);
    // Sends the record's value cut or zero-padded to length bytes.
    AnswerProfile& Length(uint16_t tag, size_t length);

    // The records in tag order, without the end record.
    std::vector<TlvRecord> Records() const;
    // The whole answer: the records, then the end record.
    Bytes Encode() const;

    // The item names of an answer kind, in wire order.
    static std::vector<std::string> ItemNames(AnswerKind kind);

private:
    AnswerKind kind_;
    std::map<std::string, int64_t> numbers_;
    std::map<std::string, Bytes> strings_;
    std::set<uint16_t> omitted_;
    std::set<uint16_t> only_;
    std::map<uint16_t, size_t> lengths_;
};

}  // namespace answer_encoders
