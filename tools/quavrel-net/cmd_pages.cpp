// Page commands: search-page and hot-list print the records a page yields, one line per
// entry (Url, Title, Singer, Album separated by TAB); query-encode and strip-tags filter
// standard input. Bytes pass through unchanged (GBK in, GBK out).
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "songs/page_parser.h"
#include "songs/text.h"
#include "tools/quavrel-net/command.h"

namespace quavrel::cli {
namespace {

std::string readStdin()
{
    std::string in((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    return in;
}

void writeStdout(const std::string& bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void printRecord(const MediaPtr& media)
{
    writeStdout(media->Url + '\t' + media->Title + '\t' + media->Singer + '\t' + media->Album + '\n');
}

int searchPage(const Args& args)
{
    if (!args.empty())
        return UsageError("search-page");
    ParseSearchPage(readStdin(), printRecord);
    return 0;
}

int hotList(const Args& args)
{
    if (!args.empty())
        return UsageError("hot-list");
    ParseHotList(readStdin(), printRecord);
    return 0;
}

int queryEncode(const Args& args)
{
    if (!args.empty())
        return UsageError("query-encode");
    writeStdout(QueryEncode(readStdin()));
    return 0;
}

int stripTags(const Args& args)
{
    if (!args.empty())
        return UsageError("strip-tags");
    writeStdout(StripTags(readStdin()));
    return 0;
}

}  // namespace

QUAVREL_NET_COMMAND("search-page", searchPage, "search-page < PAGE",
                    "Reads a search-result page on standard input and prints the songs it yields, one\n"
                    "line each: URL, TITLE, SINGER and ALBUM separated by TAB, GBK bytes as they came.");
QUAVREL_NET_COMMAND("hot-list", hotList, "hot-list < PAGE",
                    "Reads a hot-list answer on standard input and prints its songs, one line each:\n"
                    "URL, TITLE, SINGER and ALBUM separated by TAB, GBK bytes as they came.");
QUAVREL_NET_COMMAND("query-encode", queryEncode, "query-encode < TEXT",
                    "Prints standard input encoded for a URL query, as the search encodes its keyword.");
QUAVREL_NET_COMMAND("strip-tags", stripTags, "strip-tags < TEXT",
                    "Prints standard input without its HTML tags, as the pages' fields are cleaned.");

}  // namespace quavrel::cli
