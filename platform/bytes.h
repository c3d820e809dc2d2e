#pragma once
// Byte-string helpers that every layer shares.
// Trimming, as every part of the program trims: every leading and trailing byte of value
// 32 or below (space and every control byte, CR and LF included) goes; bytes 0x80 and
// above, such as GBK characters, stay.
// Letter case: only the ASCII letters A to Z and a to z are folded (protocol names,
// header names, host names); GBK text has its own rules in gbk_case.h.
#include <string>
#include <string_view>
#include <vector>

namespace quavrel {

std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

// Lines of a text: a line ends at CR, LF or CR LF; a last line without a break counts; a
// break at the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

char LowerAsciiChar(char c);
std::string LowerAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace quavrel
