#pragma once
// The keyword history: searched keywords, most recent first, kept in key.lst in the
// program's folder. The main window's keyword box shows the list; these are its rules.
// Entries are GBK bytes taken as they are.
#include <string>
#include <vector>

namespace quavrel {

using KeywordList = std::vector<std::string>;

// Removes every leading and trailing byte of value 32 or below.
std::string TrimKeyword(const std::string& text);

// key.lst bytes to entries: a line ends at CR, LF or CR LF; a last line without a break
// counts, a break at the very end adds nothing; a NUL ends the text; nothing is trimmed.
KeywordList ParseKeywordList(const std::string& bytes);
// Entries to key.lst bytes: every entry followed by CR LF.
std::string FormatKeywordList(const KeywordList& entries);

// The entries of the file at `path`; empty when it does not exist. Throws EFOpenError
// "Cannot open file \"PATH\". REASON" when it exists but cannot be read.
KeywordList LoadKeywordHistory(const std::string& path);
// Replaces the file in one step, so a failed write keeps the old history. Throws
// EFCreateError or EWriteError.
void SaveKeywordHistory(const std::string& path, const KeywordList& entries);

// Index of the first entry equal to `keyword` apart from letter case, or -1.
int FindKeyword(const KeywordList& entries, const std::string& keyword);
// Puts a trimmed keyword at the top: an entry that matches apart from letter case moves
// there keeping its own spelling, otherwise the keyword is inserted. An empty keyword
// changes nothing. Returns the index the entry came from, or -1 when it was inserted
// (or nothing happened).
int RememberKeyword(KeywordList& entries, const std::string& trimmedKeyword);
// Index of the first entry, in list order, that begins with `typed` apart from letter
// case; -1 for none or for an empty `typed`.
int CompleteKeyword(const KeywordList& entries, const std::string& typed);

}  // namespace quavrel
