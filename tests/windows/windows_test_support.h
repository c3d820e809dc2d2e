#pragma once
// Helpers of the Windows suites: a path as the system's UTF-16 calls take it, and a file's
// attributes as the system reports them.
#include <windows.h>

#include <string>

#include "platform/utf16.h"

namespace quavrel::test {

inline std::wstring WidePath(const std::string& utf8)
{
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

inline DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

// "歌曲" (song) in UTF-8 and in GBK: a file name no single-byte code page can hold.
constexpr char kSongUtf8[] = "\xE6\xAD\x8C\xE6\x9B\xB2";
constexpr char kSongGbk[] = "\xB8\xE8\xC7\xFA";

}  // namespace quavrel::test
