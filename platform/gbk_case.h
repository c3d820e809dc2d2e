#pragma once
// Letter-case rules for GBK byte strings, as the system's own ANSI comparisons apply
// them: Latin, full-width Latin, Greek and Cyrillic letters fold; the trail byte of a
// double-byte character is never taken for an ASCII letter. Used for registry value
// names and the keyword history.
#include <string>

namespace quavrel {

// The text with every foldable letter in lower case; other bytes unchanged.
std::string LowerCaseGbk(const std::string& text);
// True when both texts are equal apart from letter case.
bool SameTextGbk(const std::string& a, const std::string& b);
// True when `text` begins with `prefix`, letter case ignored; a prefix never ends in the
// middle of a double-byte character.
bool StartsTextGbk(const std::string& text, const std::string& prefix);

}  // namespace quavrel
