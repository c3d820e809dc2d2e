#include "tools/catalog/pages.h"

#include "platform/codepage.h"

#include <charconv>

namespace quavrel::catalog {
namespace {

const std::string kHtmlHead =
    "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\r\n";

// The program's pattern needs at least one byte before each closing quote.
const std::string& orBlank(const std::string& field)
{
    static const std::string blank = " ";
    return field.empty() ? blank : field;
}

std::string entry(const SearchEntry& e)
{
    std::string out;
    out += "<tr>\r\n";
    out += "<td class=p14><a href='" + e.url + "' target=_blank>" + e.title + "</a></td>\r\n";
    out += "<td><a href=\"/m?singer=" + orBlank(e.singer) + "\" target=_blank>" + e.singer + "</a></td>\r\n";
    out += "<td><a href=\"/m?keyword=" + orBlank(e.album) + "\" target=_blank>" + e.album + "</a></td>\r\n";
    out += "</tr>\r\n";
    return out;
}

}  // namespace

int ParseItems(const std::string& text)
{
    int value = 1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1)
        return 1;
    return value;
}

std::string searchPage(const std::vector<SearchEntry>& entries, int first, int total)
{
    std::string page = kHtmlHead;
    page += utf8ToGbk("<title>MP3搜索结果</title>\r\n</head>\r\n<body>\r\n");
    if (!entries.empty()) {
        const int last = first + static_cast<int>(entries.size()) - 1;
        page += utf8ToGbk("<p>共找到 " + std::to_string(total) + " 首歌曲，本页为第 " + std::to_string(first) +
                          " 至 " + std::to_string(last) + " 首</p>\r\n");
    } else {
        page += utf8ToGbk("<p>没有更多歌曲了</p>\r\n");
    }
    page += utf8ToGbk("<table>\r\n<tr><th>歌曲名</th><th>歌手</th><th>专辑</th></tr>\r\n");
    for (const SearchEntry& e : entries)
        page += entry(e);
    page += "</table>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string hotListPage(const std::vector<HotRecord>& records)
{
    std::string page;
    for (const HotRecord& r : records)
        page += "#" + r.title + "||" + r.url + "||" + r.singer + "||" + r.album + "#<br>\r\n";
    return page;
}

std::string portalPage()
{
    return utf8ToGbk(kHtmlHead.substr(0, kHtmlHead.find("<meta")) +
                     "<meta charset=\"gbk\">\r\n"
                     "<title>Kitewood游戏</title>\r\n"
                     "<style>body{font-family:sans-serif;margin:16px;color:#333}"
                     "h1{font-size:20px;color:#2a5caa}li{margin:4px 0}</style>\r\n"
                     "</head>\r\n<body>\r\n"
                     "<h1>Kitewood游戏</h1>\r\n"
                     "<p>欢迎来到Kitewood游戏小站！这里的小游戏都能在浏览器里直接玩。</p>\r\n"
                     "<ul>\r\n"
                     "<li>五子棋：人机对战，三种难度</li>\r\n"
                     "<li>连连看：水果主题，限时挑战</li>\r\n"
                     "<li>俄罗斯方块：经典玩法，记录最高分</li>\r\n"
                     "<li>扫雷：初级、中级、高级</li>\r\n"
                     "</ul>\r\n"
                     "<p>每周更新，欢迎常来玩！</p>\r\n"
                     "</body>\r\n</html>\r\n");
}

std::string recommendAnswerPage()
{
    return utf8ToGbk(kHtmlHead + "<title>推荐歌曲</title>\r\n</head>\r\n<body>\r\n"
                                 "<p>推荐成功，谢谢！</p>\r\n</body>\r\n</html>\r\n");
}

}  // namespace quavrel::catalog
