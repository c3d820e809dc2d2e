#include "songs/hot_list.h"

#include "songs/page_parser.h"
#include "songs/services.h"

namespace quavrel {

// "正在打开网友推荐歌曲……"
const char kHotListOpeningText[] =
    "\xD5\xFD\xD4\xDA\xB4\xF2\xBF\xAA\xCD\xF8\xD3\xD1\xCD\xC6\xBC\xF6\xB8\xE8\xC7\xFA\xA1\xAD\xA1\xAD";
// "搜索完成，双击歌曲收听！"
const char kHotListDoneText[] =
    "\xCB\xD1\xCB\xF7\xCD\xEA\xB3\xC9\xA3\xAC\xCB\xAB\xBB\xF7\xB8\xE8\xC7\xFA\xCA\xD5\xCC\xFD\xA3\xA1";

std::string HotListFailureText()
{
    // "网络故障，如果一直出现，请联系作者："
    static const char kPrefix[] =
        "\xCD\xF8\xC2\xE7\xB9\xCA\xD5\xCF\xA3\xAC\xC8\xE7\xB9\xFB\xD2\xBB\xD6\xB1\xB3\xF6\xCF\xD6\xA3\xAC"
        "\xC7\xEB\xC1\xAA\xCF\xB5\xD7\xF7\xD5\xDF\xA3\xBA";
    return kPrefix + services().supportMail;
}

std::string HotListStatusText(HotListResult result)
{
    return result == HotListResult::Done ? std::string(kHotListDoneText) : HotListFailureText();
}

HotListResult FetchHotList(std::atomic<int32_t>& NextItem, const ListingTarget& target)
{
    std::shared_ptr<SharedHttpClient> client = target.client;
    std::string answer;
    try {
        answer = client->GetText("http://" + target.server + kHotListPath);
    } catch (...) {
        return HotListResult::NetworkFailure;
    }
    if (answer.empty())
        return HotListResult::NetworkFailure;
    const std::shared_ptr<ProbePage> probePage = NewProbePage();
    ParseHotList(answer, [&](const MediaPtr& media) {
        if (!target.results->whileOpen([&] { NextItem.fetch_add(1); }))
            return;
        StartListingProbe(target, probePage, media);
    });
    return HotListResult::Done;
}

}  // namespace quavrel
