#include "tools/catalog/pages.h"

#include "tools/catalog/gbk_text.h"

#include <algorithm>

namespace quavrel::catalog {
namespace {

const std::string kHtmlHead =
    "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\r\n";

std::string entry(const Song& song, const std::string& host)
{
    const std::string title = song.boldTitle ? "<b>" + song.title + "</b>" : song.title;
    // The program's pattern needs at least one byte before each closing quote.
    const std::string album = song.album.empty() ? " " : song.album;
    std::string out;
    out += "<tr>\r\n";
    out += "<td class=p14><a href='" + songUrl(host, song.id) + "' target=_blank>" + title +
           "</a></td>\r\n";
    out += "<td><a href=\"/m?singer=" + song.singer + "\" target=_blank>" + song.singer +
           "</a></td>\r\n";
    out += "<td><a href=\"/m?keyword=" + album + "\" target=_blank>" + song.album +
           "</a></td>\r\n";
    out += "</tr>\r\n";
    return out;
}

}  // namespace

std::string songUrl(const std::string& host, int id)
{
    return "http://" + host + "/songs/" + std::to_string(id) + ".mp3";
}

std::string searchPage(const std::vector<const Song*>& hits, int first, const std::string& host)
{
    const int total = static_cast<int>(hits.size());
    const int begin = std::min(std::max(first, 1) - 1, total);
    const int end = std::min(total, begin + kPageSize);

    std::string page = kHtmlHead;
    page += utf8ToGbk("<title>MP3搜索结果</title>\r\n</head>\r\n<body>\r\n");
    if (begin < end) {
        page += utf8ToGbk("<p>共找到 " + std::to_string(total) + " 首歌曲，本页为第 " +
                          std::to_string(begin + 1) + " 至 " + std::to_string(end) +
                          " 首</p>\r\n");
    } else {
        page += utf8ToGbk("<p>没有更多歌曲了</p>\r\n");
    }
    page += utf8ToGbk("<table>\r\n<tr><th>歌曲名</th><th>歌手</th><th>专辑</th></tr>\r\n");
    for (int i = begin; i < end; ++i)
        page += entry(*hits[i], host);
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
