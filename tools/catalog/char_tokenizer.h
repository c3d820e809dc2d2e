#pragma once
// The full-text tokenizer behind one- and two-character keywords ("quavrel_chars"): every
// character of a text is a token of its own, ASCII letters in lower case, so a keyword of
// one character is one token and a keyword of two is a phrase of two adjacent tokens.
// SQLite's trigram tokenizer serves keywords of three characters and more.
#include <sqlite3.h>

namespace quavrel::catalog {

inline constexpr char kCharTokenizerName[] = "quavrel_chars";

// Registers the tokenizer on one connection; every connection that writes or queries the
// index needs it. Returns false when the library has no full-text search.
bool RegisterCharTokenizer(sqlite3* db);

}  // namespace quavrel::catalog
