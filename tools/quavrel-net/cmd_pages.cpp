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

int usage(const char* text)
{
    std::fprintf(stderr, "usage: quavrel-net %s < input\n", text);
    return 2;
}

int searchPage(const Args& args)
{
    if (!args.empty())
        return usage("search-page");
    ParseSearchPage(readStdin(), printRecord);
    return 0;
}

int hotList(const Args& args)
{
    if (!args.empty())
        return usage("hot-list");
    ParseHotList(readStdin(), printRecord);
    return 0;
}

int queryEncode(const Args& args)
{
    if (!args.empty())
        return usage("query-encode");
    writeStdout(QueryEncode(readStdin()));
    return 0;
}

int stripTags(const Args& args)
{
    if (!args.empty())
        return usage("strip-tags");
    writeStdout(StripTags(readStdin()));
    return 0;
}

}  // namespace

QUAVREL_NET_COMMAND("search-page", searchPage);
QUAVREL_NET_COMMAND("hot-list", hotList);
QUAVREL_NET_COMMAND("query-encode", queryEncode);
QUAVREL_NET_COMMAND("strip-tags", stripTags);

}  // namespace quavrel::cli
