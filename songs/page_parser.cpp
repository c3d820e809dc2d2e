#include "songs/page_parser.h"

#include "songs/regexpr.h"
#include "songs/text.h"

namespace quavrel {

const char kSearchPattern[] =
    R"re(class=p14.*?href='(.+?)'.*?\>(.+?)\<.*?singer=(.+?)".*?keyword=(.+?)")re";
const char kHotListPattern[] = R"re(\#(.*?)\|\|(.*?)\|\|(.*?)\|\|(.*?)\#\<br\>)re";

namespace {

std::string field(const TRegExpr& matcher, int group) { return Trim(StripTags(matcher.Capture(group))); }

// Runs `pattern` over `page` and builds one record per match from the group numbers of
// address, title, singer and album.
size_t parse(const char* pattern, const std::string& page, int url, int title, int singer, int album,
             const RecordFn& onRecord)
{
    TRegExpr matcher(pattern);
    size_t count = 0;
    if (!matcher.Exec(page))
        return 0;
    do {
        MediaPtr media = NewMedia();
        media->Url = matcher.Capture(url);
        media->Title = field(matcher, title);
        media->Singer = field(matcher, singer);
        media->Album = field(matcher, album);
        media->FileType = "mp3";
        ++count;
        onRecord(media);
    } while (matcher.ExecNext());
    return count;
}

}  // namespace

size_t ParseSearchPage(const std::string& page, const RecordFn& onRecord)
{
    return parse(kSearchPattern, page, 1, 2, 3, 4, onRecord);
}

size_t ParseHotList(const std::string& page, const RecordFn& onRecord)
{
    return parse(kHotListPattern, page, 2, 1, 3, 4, onRecord);
}

}  // namespace quavrel
