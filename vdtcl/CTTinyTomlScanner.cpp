// Line reading and cutting of the TOML-like reader.
#include "vdtcl/CTTinyTomlScanner.h"

#include <cstring>
#include <new>

#include "vdtcl/CTFileFnc.h"
#include "vdtcl/CTFileIo.h"

namespace vdtcl {

using namespace tinytoml;
using Str = TTString<char>;

namespace {

// A line is read into a buffer of this size; a longer line arrives in
// pieces of at most kLineBufferSize - 1 bytes, each counted as a line.
constexpr size_t kLineBufferSize = 4096;
// The seven characters that cut a line into pieces.
constexpr const char* kDelimiters = "#[]{}=,";

// Lines of an open file. A failed read is reported as such, never as an
// empty line, so that reading stops there.
class FileLineSource : public CTTinyTomlScanner::LineSource {
public:
    explicit FileLineSource(CTFileIo& file) : m_file(file) {}
    long ReadLine(char* buf, size_t size) override
    {
        long length = m_file.ReadLine(buf, size, true);
        if (length == -1) {
            return kEndOfInput;
        }
        if (length == 0 && m_file.GetLastError() != 0) {
            return kReadError;
        }
        return length;
    }

private:
    CTFileIo& m_file;
};

// Lines of a byte block, cut exactly as the file reader cuts them: at most
// size - 1 bytes through the next "\n", the text ending at the first NUL,
// then a trailing "\n" and a "\r" before it removed.
class MemoryLineSource : public CTTinyTomlScanner::LineSource {
public:
    MemoryLineSource(const char* data, size_t size) : m_data(data), m_size(data != nullptr ? size : 0), m_pos(0) {}
    long ReadLine(char* buf, size_t size) override
    {
        if (m_pos >= m_size) {
            buf[0] = '\0';
            return kEndOfInput;
        }
        size_t limit = m_size - m_pos < size - 1 ? m_size - m_pos : size - 1;
        size_t taken = 0;
        while (taken < limit) {
            if (m_data[m_pos + taken++] == '\n') {
                break;
            }
        }
        memcpy(buf, m_data + m_pos, taken);
        buf[taken] = '\0';
        m_pos += taken;
        size_t length = strlen(buf);
        if (length > 0 && buf[length - 1] == '\n') {
            buf[--length] = '\0';
        }
        if (length > 0 && buf[length - 1] == '\r') {
            buf[--length] = '\0';
        }
        return static_cast<long>(length);
    }

private:
    const char* m_data;
    size_t m_size;
    size_t m_pos;
};

}  // namespace

CTTinyTomlScanner::CTTinyTomlScanner() : m_line(0) {}

CTTinyTomlScanner::~CTTinyTomlScanner() { ReleaseTokenQueue(); }

bool CTTinyTomlScanner::LexicalizeFile(const Str& path)
{
    m_line = 0;
    if (path.IsEmpty()) {
        QueueError(TOKEN_EMPTY_PATH);
        return false;
    }
    CTFileFnc files;
    if (!files.IsExistsFile(path.C_str())) {
        QueueError(TOKEN_NO_FILE);
        return false;
    }
    CTFileIo file;
    if (!file.Open(path.C_str(), CTFileIo::OPEN_READ)) {
        QueueError(TOKEN_CANNOT_READ);
        return false;
    }
    FileLineSource source(file);
    bool result = LexicalizeLines(source);
    file.Close();
    return result;
}

bool CTTinyTomlScanner::LexicalizeMemory(const char* data, size_t size)
{
    m_line = 0;
    MemoryLineSource source(data, size);
    return LexicalizeLines(source);
}

// Reads every line of source into the queues. A read error ends the reading
// as a failure (error 3 at the line that failed), even after good lines.
bool CTTinyTomlScanner::LexicalizeLines(LineSource& source)
{
    char buf[kLineBufferSize];
    bool produced = false;
    for (;;) {
        if (m_line == UINT32_MAX) {
            QueueError(TOKEN_CANNOT_READ);  // line numbers would wrap
            return false;
        }
        ++m_line;
        buf[0] = '\0';
        long length = source.ReadLine(buf, sizeof(buf));
        if (length == LineSource::kEndOfInput) {
            break;
        }
        if (length < 0) {
            QueueError(TOKEN_CANNOT_READ);
            return false;
        }
        if (length > 0 && LexicalizeLine(Str(buf, static_cast<size_t>(length)))) {
            produced = true;
        }
    }
    if (!produced) {
        QueueError(TOKEN_NO_TOKENS);
        return false;
    }
    return true;
}

// Queues the tokens of one line; true when the line produced any.
bool CTTinyTomlScanner::LexicalizeLine(Str line)
{
    line.Trim();
    m_tokenizer.ClearTokenizedInfo();
    if (line.IsEmpty() || line.At(0) == '#') {
        return false;
    }
    CTTinyTomlTokenData start;
    start.SetLineNumber(m_line);
    if (!QueueToken(std::move(start))) {
        return false;
    }
    size_t startIndex = m_tokens.size() - 1;

    size_t length = line.Length();
    size_t pos = 0;
    for (;;) {
        size_t cut = line.FindOneOf(kDelimiters, pos);
        size_t end = cut == Str::npos ? length : cut;
        if (end > pos) {
            Str piece = line.Mid(pos, end - pos);
            piece.Trim();
            if (!piece.IsEmpty()) {
                CTTinyTomlTokenData token;
                if (!m_tokenizer.TokenizeString(piece, token)) {
                    token_result_t code = m_tokenizer.GetLastResultCode();
                    QueueError(code);
                    token.Reset();
                    token.SetErrorCode(code);
                }
                QueueToken(std::move(token));
            }
        }
        if (cut == Str::npos || line.At(cut) == '#') {
            break;  // end of line, or a comment
        }
        CTTinyTomlTokenData delimiter;
        if (m_tokenizer.TokenizeDelimiter(static_cast<char>(line.At(cut)), delimiter)) {
            QueueToken(std::move(delimiter));
        } else {
            QueueError(m_tokenizer.GetLastResultCode());
        }
        pos = cut + 1;
    }

    line_type_t type = LINE_OTHER;
    unsigned tableBrackets = m_tokenizer.GetCountTableBracket();
    if (tableBrackets == 1 || tableBrackets == 2) {
        type = LINE_TABLE;
    } else if (tableBrackets > 2) {
        type = LINE_ARRAY_TABLE;
    } else if (m_tokenizer.GetCountCurlybraces() > 0) {
        type = LINE_INLINE_TABLE;
    } else if (m_tokenizer.GetCountArrayBracket() > 0) {
        type = LINE_KEY_ARRAY;
    } else if (m_tokenizer.GetCountEqualSign() > 0) {
        type = LINE_KEY_VALUE;
    }
    m_tokens[startIndex].SetLineType(type);
    if (m_tokens.size() - 1 == startIndex) {
        m_tokens.pop_back();
        return false;
    }
    CTTinyTomlTokenData end;
    end.SetTokenType(TOKEN_LINE_END);
    return QueueToken(std::move(end));
}

bool CTTinyTomlScanner::QueueToken(CTTinyTomlTokenData&& token)
{
    try {
        m_tokens.push_back(std::move(token));
    } catch (const std::bad_alloc&) {
        QueueError(TOKEN_CANNOT_STORE);
        return false;
    }
    return true;
}

void CTTinyTomlScanner::QueueError(token_result_t code)
{
    try {
        m_errors.emplace_back(m_line, code);
    } catch (const std::bad_alloc&) {
        // Nothing more can be recorded; the caller's result still fails.
    }
}

bool CTTinyTomlScanner::ExtractTokenData(CTTinyTomlTokenData& token)
{
    if (m_tokens.empty()) {
        return false;
    }
    token = std::move(m_tokens.front());
    m_tokens.pop_front();
    return true;
}

bool CTTinyTomlScanner::AccessNextTokenType(token_type_t& type) const
{
    if (m_tokens.empty()) {
        type = TOKEN_NONE;
        return false;
    }
    return m_tokens.front().GetTokenType(type);
}

bool CTTinyTomlScanner::ExtractErrorInfo(unsigned& line, token_result_t& code)
{
    if (m_errors.empty()) {
        return false;
    }
    line = m_errors.front().first;
    code = m_errors.front().second;
    m_errors.pop_front();
    return true;
}

void CTTinyTomlScanner::ReleaseTokenQueue()
{
    m_tokens.clear();
    m_errors.clear();
}

}  // namespace vdtcl
