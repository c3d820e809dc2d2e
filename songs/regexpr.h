#pragma once
// TRegExpr: the pattern matcher behind the page parsers and StripTags. Byte-oriented
// (Latin-1), case-sensitive, "." matches every byte including line breaks, Perl-style
// leftmost-first matching with lazy quantifiers. Runs on RE2, so matching time stays
// linear in the input whatever a page holds. The input is cut at its first 0x00 byte.
// Compiled patterns are shared process-wide and never freed, so detached workers can
// keep matching while the process exits.
#include <memory>
#include <string>

#include "platform/exception.h"

namespace quavrel {

// A pattern that does not compile ("TRegExpr(comp): ... (pos N)") or a misuse at run
// time ("TRegExpr(exec): ...").
QUAVREL_EXCEPTION(ERegExpr, Exception);

class TRegExpr {
public:
    static constexpr int kMaxGroup = 14;

    TRegExpr();
    explicit TRegExpr(const std::string& expression);   // throws ERegExpr
    ~TRegExpr();
    TRegExpr(const TRegExpr&) = delete;
    TRegExpr& operator=(const TRegExpr&) = delete;

    const std::string& Expression() const { return expression_; }
    void SetExpression(const std::string& expression);  // throws ERegExpr

    // Searches from the first byte; true when a match was found.
    bool Exec(const std::string& input);
    // Searches on from the end of the current match (one byte further after an empty
    // match). Throws ERegExpr when there is no current match.
    bool ExecNext();

    // Bytes of group n (0: the whole match); empty when the group took no part, n is out
    // of range or there is no current match.
    std::string Capture(int n) const;
    // Byte offset of group n in the input, or -1; length of group n, or 0.
    long MatchPos(int n) const;
    long MatchLen(int n) const;

    struct Compiled;   // a compiled pattern, shared by every matcher of that expression

private:
    bool searchFrom(size_t start);

    std::string expression_;
    std::shared_ptr<const Compiled> compiled_;
    std::string input_;                     // own copy: captures stay valid until the next Exec
    bool matched_ = false;
    long starts_[kMaxGroup + 1];
    long ends_[kMaxGroup + 1];
};

}  // namespace quavrel
