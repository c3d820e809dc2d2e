#include "songs/regexpr.h"

#include <re2/re2.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <vector>

namespace quavrel {

struct TRegExpr::Compiled {
    explicit Compiled(const std::string& translated, const RE2::Options& options)
        : re(translated, options)
    {
    }
    RE2 re;
    std::vector<size_t> origin;   // position in the stored pattern of each translated byte
    int groups = 0;
};

namespace {

constexpr size_t kCacheLimit = 64;

// The stored patterns escape any non-alphanumeric character to make it literal ("\<",
// "\#", "\|"). RE2 reads most of those the same way, but not "\" before a byte of 0x80
// or above, and some engines read "\<" as a word boundary; so every such escape becomes
// a plain byte, or an RE2 escape when the byte is special to RE2.
std::string translate(const std::string& pattern, std::vector<size_t>& origin)
{
    static const std::string kSpecial = "\\.+*?()|[]{}^$-";
    std::string out;
    out.reserve(pattern.size());
    origin.clear();
    for (size_t i = 0; i < pattern.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(pattern[i]);
        if (c == '\\' && i + 1 < pattern.size()) {
            unsigned char next = static_cast<unsigned char>(pattern[i + 1]);
            if (!std::isalnum(next)) {
                if (kSpecial.find(static_cast<char>(next)) != std::string::npos) {
                    out += '\\';
                    origin.push_back(i);
                }
                out += static_cast<char>(next);
                origin.push_back(i);
                ++i;
                continue;
            }
            // "\d", "\s", "\w", "\b", "\n" ... mean the same in RE2.
            out += pattern.substr(i, 2);
            origin.push_back(i);
            origin.push_back(i + 1);
            ++i;
            continue;
        }
        out += static_cast<char>(c);
        origin.push_back(i);
    }
    return out;
}

// Compiled patterns by expression. Deliberately never destroyed: a detached worker may
// still be matching while static objects are torn down at exit.
struct PatternCache {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const TRegExpr::Compiled>> entries;
};

PatternCache& cache()
{
    static PatternCache* instance = new PatternCache;
    return *instance;
}

}  // namespace

TRegExpr::TRegExpr()
{
    std::fill(std::begin(starts_), std::end(starts_), -1);
    std::fill(std::begin(ends_), std::end(ends_), -1);
}

TRegExpr::TRegExpr(const std::string& expression) : TRegExpr() { SetExpression(expression); }

TRegExpr::~TRegExpr() = default;

void TRegExpr::SetExpression(const std::string& expression)
{
    PatternCache& c = cache();
    std::shared_ptr<const Compiled> compiled;
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        auto it = c.entries.find(expression);
        if (it != c.entries.end())
            compiled = it->second;
    }
    if (!compiled) {
        RE2::Options options;
        options.set_encoding(RE2::Options::EncodingLatin1);
        options.set_dot_nl(true);
        options.set_case_sensitive(true);
        options.set_log_errors(false);
        options.set_max_mem(64 << 20);
        std::vector<size_t> origin;
        std::string translated = translate(expression, origin);
        auto fresh = std::make_shared<Compiled>(translated, options);
        fresh->origin = std::move(origin);
        if (!fresh->re.ok()) {
            size_t pos = expression.size();
            size_t at = translated.find(fresh->re.error_arg());
            if (!fresh->re.error_arg().empty() && at != std::string::npos && at < fresh->origin.size())
                pos = fresh->origin[at];
            throw ERegExpr("TRegExpr(comp): " + fresh->re.error() + " (pos " + std::to_string(pos + 1) + ")");
        }
        fresh->groups = std::min(fresh->re.NumberOfCapturingGroups(), kMaxGroup);
        compiled = fresh;
        std::lock_guard<std::mutex> lock(c.mutex);
        if (c.entries.size() >= kCacheLimit)
            c.entries.clear();   // holders keep theirs alive; only reuse is lost
        c.entries.emplace(expression, compiled);
    }
    expression_ = expression;
    compiled_ = std::move(compiled);
    matched_ = false;
}

bool TRegExpr::Exec(const std::string& input)
{
    if (!compiled_)
        throw ERegExpr("TRegExpr(exec): No Expression");
    input_.assign(input.c_str(), std::min(input.size(), std::char_traits<char>::length(input.c_str())));
    return searchFrom(0);
}

bool TRegExpr::ExecNext()
{
    if (!compiled_ || !matched_)
        throw ERegExpr("TRegExpr(exec): ExecNext Without Exec[Pos]");
    size_t start = static_cast<size_t>(ends_[0]);
    if (ends_[0] == starts_[0])
        ++start;
    return searchFrom(start);
}

bool TRegExpr::searchFrom(size_t start)
{
    matched_ = false;
    std::fill(std::begin(starts_), std::end(starts_), -1);
    std::fill(std::begin(ends_), std::end(ends_), -1);
    if (start > input_.size())
        return false;
    const int n = compiled_->groups + 1;
    re2::StringPiece groups[kMaxGroup + 1];
    re2::StringPiece text(input_);
    if (!compiled_->re.Match(text, start, input_.size(), RE2::UNANCHORED, groups, n))
        return false;
    for (int i = 0; i < n; ++i) {
        if (groups[i].data() == nullptr)
            continue;
        starts_[i] = groups[i].data() - input_.data();
        ends_[i] = starts_[i] + static_cast<long>(groups[i].size());
    }
    matched_ = true;
    return true;
}

std::string TRegExpr::Capture(int n) const
{
    if (!matched_ || n < 0 || n > kMaxGroup || starts_[n] < 0)
        return {};
    return input_.substr(static_cast<size_t>(starts_[n]), static_cast<size_t>(ends_[n] - starts_[n]));
}

long TRegExpr::MatchPos(int n) const
{
    if (!matched_ || n < 0 || n > kMaxGroup)
        return -1;
    return starts_[n];
}

long TRegExpr::MatchLen(int n) const
{
    if (!matched_ || n < 0 || n > kMaxGroup || starts_[n] < 0)
        return 0;
    return ends_[n] - starts_[n];
}

}  // namespace quavrel
