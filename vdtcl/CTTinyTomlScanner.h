// First stage of the TOML-like reader: reads a file (or a byte block) line
// by line and queues each line's tokens, framed by a start-of-line token
// (line number and line type) and an end-of-line token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>

#include "vdtcl/CTTinyTomlTokenData.h"
#include "vdtcl/CTTinyTomlTokenizer.h"
#include "vdtcl/TTString.h"

namespace vdtcl {

class CTTinyTomlScanner {
public:
    // Where the lines come from. ReadLine fills buf (size bytes, at least 2)
    // with at most size - 1 bytes of the next line, its line end removed and
    // NUL-terminated, and returns the length; kEndOfInput at the end and
    // kReadError when reading failed.
    class LineSource {
    public:
        static constexpr long kEndOfInput = -1;
        static constexpr long kReadError = -2;
        virtual ~LineSource() = default;
        virtual long ReadLine(char* buf, size_t size) = 0;
    };

    CTTinyTomlScanner();
    CTTinyTomlScanner(const CTTinyTomlScanner&) = delete;
    CTTinyTomlScanner& operator=(const CTTinyTomlScanner&) = delete;
    virtual ~CTTinyTomlScanner();

    // Reads the whole file into the token queue. False, with a file-level
    // error queued (1 to 4), when the path is empty, not a regular file,
    // cannot be opened, fails part-way through (3), or gives no token.
    bool LexicalizeFile(const TTString<char>& path);
    // The same over a block of bytes held in memory (the block is not kept).
    bool LexicalizeMemory(const char* data, size_t size);

    // Removes the first token; false when the queue is empty.
    bool ExtractTokenData(CTTinyTomlTokenData& token);
    // Type of the first token without removing it; false when empty.
    bool AccessNextTokenType(tinytoml::token_type_t& type) const;
    // Removes the first queued error; false when there is none.
    bool ExtractErrorInfo(unsigned& line, tinytoml::token_result_t& code);
    // Empties the token and the error queue.
    void ReleaseTokenQueue();

private:
    bool LexicalizeLines(LineSource& source);
    bool LexicalizeLine(TTString<char> line);
    bool QueueToken(CTTinyTomlTokenData&& token);
    void QueueError(tinytoml::token_result_t code);

    CTTinyTomlTokenizer m_tokenizer;
    std::deque<CTTinyTomlTokenData> m_tokens;
    std::deque<std::pair<unsigned, tinytoml::token_result_t>> m_errors;
    uint32_t m_line;  // current line, counted from 1
};

}  // namespace vdtcl
