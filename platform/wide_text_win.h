#pragma once
// UTF-8 text of the core as the UTF-16 that the Windows "W" calls take, and back. Only the
// *_win.cpp files of this folder include it.
#include <string>

#include "platform/utf16.h"

namespace quavrel {

inline std::wstring Wide(const std::string& utf8)
{
    const std::u16string units = Utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string FromWide(const wchar_t* text, size_t length)
{
    const std::u16string units(text, text + length);
    return Utf16ToUtf8(units);
}

inline std::string FromWide(const std::wstring& text) { return FromWide(text.data(), text.size()); }

}  // namespace quavrel
