#pragma once
// Text of unknown encoding as Chinese music collections hold it. Old taggers wrote GBK
// bytes into ID3v1 and the "Latin-1" frames of ID3v2, and archives made on Windows hold
// file names in GBK. Both are decoded to UTF-8 here.
#include <string>
#include <string_view>

namespace quavrel::catalog {

// A tag field of single-byte text: GBK when every byte of 0x80 and above pairs into a
// character of the common GB2312 range, else Latin-1. A Latin-1 accented letter followed
// by an ASCII letter is a valid GBK pair too, but one of the rare extension range, so
// "Björk" stays Latin-1 while the GBK bytes of "刘德华" become 刘德华.
std::string DecodeLegacyText(std::string_view bytes);

// A file or folder name: as it is when it is valid UTF-8, else decoded as GBK (bytes
// that are not GBK either become U+FFFD), so no name is ever dropped.
std::string DecodeFileName(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

}  // namespace quavrel::catalog
