// Code page 936 through the system's own tables. Characters are converted one at a time
// where the text holds anything the code page cannot take, so that every such character
// gives exactly one replacement, as the Unix variant gives.
#include "platform/codepage.h"

#include <windows.h>

#include "platform/utf16.h"

namespace quavrel {
namespace {

constexpr UINT kGbk = 936;
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

bool isLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// The UTF-16 of `size` GBK bytes; false when they are not all valid.
bool decodeStrictly(const char* bytes, int size, std::wstring& out)
{
    if (size == 0)
        return true;
    const int units = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
    if (units <= 0)
        return false;
    out.resize(static_cast<size_t>(units));
    return MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes, size, out.data(), units) == units;
}

// GBK bytes that hold something invalid: one character (one or two bytes) at a time, a
// byte that starts no valid character becomes U+FFFD.
std::string decodeCarefully(const std::string& gbk)
{
    std::string out;
    std::wstring unit;
    for (size_t at = 0; at < gbk.size();) {
        const unsigned char byte = static_cast<unsigned char>(gbk[at]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++at;
            continue;
        }
        const int length = isLeadByte(byte) && at + 1 < gbk.size() ? 2 : 1;
        if (decodeStrictly(gbk.data() + at, length, unit) && unit.size() == 1) {
            AppendUtf8(out, unit[0]);
            at += static_cast<size_t>(length);
        } else {
            out += kReplacementUtf8;
            ++at;
        }
    }
    return out;
}

// A run of UTF-16 into GBK, one "?" for each unit the code page has no place for; never a
// look-alike ("best fit") character instead.
void encodeRun(const std::wstring& run, std::string& out)
{
    if (run.empty())
        return;
    const int size = static_cast<int>(run.size());
    const int bytes = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, run.data(), size, nullptr, 0, "?", nullptr);
    if (bytes <= 0) {
        out.append(run.size(), '?');
        return;
    }
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(bytes));
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, run.data(), size, out.data() + start, bytes, "?", nullptr);
}

}  // namespace

std::string gbkToUtf8(const std::string& gbk)
{
    std::wstring wide;
    if (gbk.size() < 0x7FFFFFFF && decodeStrictly(gbk.data(), static_cast<int>(gbk.size()), wide)) {
        const std::u16string units(wide.begin(), wide.end());
        return Utf16ToUtf8(units);
    }
    return decodeCarefully(gbk);
}

std::string utf8ToGbk(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::wstring run;   // characters of the Basic Multilingual Plane waiting for the code page
    for (size_t at = 0; at < utf8.size();) {
        const Utf8Char ch = DecodeUtf8(utf8, at);
        at += ch.length;
        if (ch.codePoint != kInvalidUtf8 && ch.codePoint < 0x10000 && !IsSurrogate(ch.codePoint)) {
            run += static_cast<wchar_t>(ch.codePoint);
            continue;
        }
        // A broken sequence, a lone surrogate or a character beyond the plane: GBK has none.
        encodeRun(run, out);
        run.clear();
        out += '?';
    }
    encodeRun(run, out);
    return out;
}

}  // namespace quavrel
