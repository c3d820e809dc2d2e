#include "tools/catalog/library_pages.h"

#include "platform/codepage.h"

namespace quavrel::catalog {

std::string HtmlEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string libraryPortalPage(const LibraryCounts& counts, bool scanning)
{
    std::string page =
        "<html>\r\n<head>\r\n<meta charset=\"gbk\">\r\n<title>Quavrel 曲库</title>\r\n"
        "<style>body{font-family:sans-serif;margin:16px;color:#333}h1{font-size:20px;color:#2a5caa}"
        "td{padding:2px 12px 2px 0}.scan{color:#a60}</style>\r\n</head>\r\n<body>\r\n<h1>Quavrel 曲库</h1>\r\n";
    page += "<p>共有歌曲 " + std::to_string(counts.songs) + " 首，歌手 " + std::to_string(counts.singers) +
            " 位，专辑 " + std::to_string(counts.albums) + " 张。</p>\r\n";
    if (scanning)
        page += "<p class=scan>正在扫描音乐文件夹，新歌曲会陆续出现在搜索结果里。</p>\r\n";
    if (!counts.newest.empty()) {
        page += "<h2>最新加入</h2>\r\n<table>\r\n<tr><th>歌曲名</th><th>歌手</th><th>专辑</th></tr>\r\n";
        for (const SongListing& row : counts.newest)
            page += "<tr><td>" + HtmlEscape(row.title) + "</td><td>" + HtmlEscape(row.singer) + "</td><td>" +
                    HtmlEscape(row.album) + "</td></tr>\r\n";
        page += "</table>\r\n";
    } else if (!scanning) {
        page += "<p>音乐文件夹里还没有可以播放的歌曲（MP3、FLAC、Ogg、Opus、WAV）。</p>\r\n";
    }
    page += "<p>在“搜索”页输入歌手名、歌曲名或任意关键字即可搜索这些歌曲。</p>\r\n</body>\r\n</html>\r\n";
    return utf8ToGbk(page);
}

}  // namespace quavrel::catalog
