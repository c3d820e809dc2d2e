#pragma once
// Pure functions over bytes that the HTTP client and its cookie store are built from:
// status line, header lines, chunk sizes, header folding, Base64.
// No input here can crash them; the response reader and the fuzzers rely on that.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/bytes.h"   // TrimView, EqualsNoCase
#include "platform/integer_text.h"

namespace quavrel {

constexpr size_t kMaxLineLength = 16384;
constexpr size_t kRecvBufferSize = 32768;
constexpr size_t kFoldLineLength = 1024;

// The second space-separated word of a status line as an integer; -1 when there is none.
int32_t ParseStatusCode(std::string_view statusLine);
// A "Content-Length" value: trimmed and read as an integer, -1 when unreadable.
int32_t ParseContentLength(std::string_view value);
// A chunk-size line: cut at its first space and read as hexadecimal, however many digits;
// 0 when unreadable or too big for a signed 32-bit size.
int32_t ParseChunkSize(std::string_view line);
// A "Content-Range" value "unit first-second/total": throws EConvertError when the first
// or the second number is not an integer. Empty values are not checked.
void CheckContentRange(std::string_view value);

// Response header lines in arrival order. Names match without regard to case; where a
// name repeats, the first line counts for value().
class HeaderList {
public:
    // Takes one received line; a line that starts with a space or tab continues the
    // previous one.
    void addLine(std::string_view line);
    const std::string& value(std::string_view name) const;   // empty when missing
    bool has(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;
    const std::vector<std::pair<std::string, std::string>>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    std::vector<std::pair<std::string, std::string>> lines_;
};

// Breaks a header line longer than `limit` after a space, tab or comma; continuation
// pieces start with one space. Returns the lines without their CR LF.
std::vector<std::string> FoldHeaderLine(std::string_view line, size_t limit = kFoldLineLength);

std::string Base64Encode(std::string_view bytes);

// Whether `text` holds a CR, LF or NUL byte: in a request line or a header value each of
// them would end the line early and let the rest be read as header lines of its own.
bool HasLineBreakOrNul(std::string_view text);

}  // namespace quavrel
