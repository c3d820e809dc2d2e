#pragma once
// UTF-8 text of the core and the UTF-16 of the Windows system calls. Paths stay UTF-8
// inside the program and become UTF-16 only at the call that opens a file or reads the
// command line. Windows file names may hold lone surrogates, which no UTF-8 can spell: they
// travel as their three-byte form (ED A0 80 to ED BF BF), so a name read from the system
// names the same file when it goes back. Pure functions, built and tested on every system.
#include <cstdint>
#include <string>
#include <string_view>

namespace quavrel {

// One character read from UTF-8: its code point, or kInvalidUtf8 with `length` bytes to
// skip over a sequence that is broken, overlong or beyond U+10FFFF. A broken sequence
// skips as many bytes as its first byte announces (never more than are left), the way the
// Unix conversion to GBK skips it. A surrogate's three-byte form gives the surrogate;
// callers that want strict UTF-8 refuse U+D800 to U+DFFF themselves.
constexpr uint32_t kInvalidUtf8 = 0xFFFFFFFF;
struct Utf8Char {
    uint32_t codePoint;
    size_t length;
};
Utf8Char DecodeUtf8(std::string_view text, size_t at);

// Appends the UTF-8 form of a code point (surrogates included, as above).
void AppendUtf8(std::string& out, uint32_t codePoint);
bool IsSurrogate(uint32_t codePoint);

// UTF-8 to UTF-16. Surrogates in their three-byte form come back as they were; any other
// broken sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8; a lone surrogate keeps its three-byte form. Never fails.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace quavrel
