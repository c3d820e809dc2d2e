#include "tools/catalog/song_table.h"

namespace quavrel::catalog {

namespace {
constexpr auto G = SongKind::Good;
constexpr auto D = SongKind::Dead;
constexpr auto R = SongKind::Redirect;
constexpr auto N = SongKind::NoLength;
constexpr auto Z = SongKind::ZeroLength;
constexpr auto B = SongKind::Big;
constexpr auto T = SongKind::Tiny;
}  // namespace

// Fields must not hold a double quote, a single quote, "<", ">", "|" or "#": the result
// page and the hot list use those as separators.
const SongRow kSongTable[] = {
    {"海风与灯塔", "林晓岚", "海风与灯塔", G, true},
    {"夜航船", "林晓岚", "海风与灯塔", G, false},
    {"旧码头", "林晓岚", "海风与灯塔", G, false},
    {"你的名字是晴天", "林晓岚", "海风与灯塔", G, false},
    {"蓝色信笺", "林晓岚", "海风与灯塔", G, false},
    {"潮汐之歌", "林晓岚", "海风与灯塔", G, false},

    {"城市夜行", "周子默", "城市夜行", G, false},
    {"霓虹雨", "周子默", "城市夜行", G, false},
    {"末班地铁", "周子默", "城市夜行", D, false},
    {"天台上的猫", "周子默", "城市夜行", G, false},
    {"失眠的星期三", "周子默", "城市夜行", G, false},
    {"慢慢走", "周子默", "", G, false},

    {"纸飞机", "陈雨桐", "纸飞机", G, false},
    {"小情歌之后", "陈雨桐", "纸飞机", G, false},
    {"橘子汽水", "陈雨桐", "纸飞机", G, false},
    {"七月的风", "陈雨桐", "纸飞机", G, false},
    {"秋千", "陈雨桐", "纸飞机", R, false},
    {"晚安月亮", "陈雨桐", "纸飞机", G, false},

    {"南方以南", "许南风", "南方以南", G, false},
    {"故乡的云雀", "许南风", "南方以南", G, false},
    {"长亭", "许南风", "南方以南", G, false},
    {"青石板路", "许南风", "南方以南", G, false},
    {"烟雨江南", "许南风", "南方以南", B, false},
    {"归途", "许南风", "", G, false},

    {"飞过稻田", "白鹭乐队", "白鹭", G, false},
    {"少年游", "白鹭乐队", "白鹭", G, false},
    {"火车开往春天", "白鹭乐队", "白鹭", G, false},
    {"野草", "白鹭乐队", "白鹭", N, false},
    {"白鹭", "白鹭乐队", "白鹭", G, false},
    {"大河", "白鹭乐队", "白鹭", G, false},

    {"晴天日记", "苏沐晴", "晴天日记", G, true},
    {"不说再见", "苏沐晴", "晴天日记", G, false},
    {"玥光曲", "苏沐晴", "晴天日记", G, false},
    {"樱花落", "苏沐晴", "晴天日记", G, false},
    {"遇见", "苏沐晴", "晴天日记", Z, false},
    {"一个人的旅行", "苏沐晴", "晴天日记", G, false},

    {"一叶孤舟", "江一舟", "一叶孤舟", G, false},
    {"江上清风", "江一舟", "一叶孤舟", G, false},
    {"渡口", "江一舟", "一叶孤舟", G, false},
    {"月下独酌", "江一舟", "一叶孤舟", G, false},
    {"千里", "江一舟", "一叶孤舟", G, false},
    {"孤城", "江一舟", "一叶孤舟", R, false},

    {"落叶归根", "叶知秋", "落叶归根", G, false},
    {"秋天的信", "叶知秋", "落叶归根", G, false},
    {"枫桥", "叶知秋", "落叶归根", G, false},
    {"银杏", "叶知秋", "落叶归根", G, false},
    {"霜降", "叶知秋", "落叶归根", D, false},
    {"十月", "叶知秋", "落叶归根", G, false},

    {"Starlight Avenue", "Nova Lin", "Starlight Avenue", G, true},
    {"Paper Moon", "Nova Lin", "Starlight Avenue", G, false},
    {"Neon Hearts", "Nova Lin", "Starlight Avenue", G, false},
    {"Midnight Train", "Nova Lin", "Starlight Avenue", G, false},
    {"Glass Ocean", "Nova Lin", "Starlight Avenue", G, false},
    {"Slow Dance", "Nova Lin", "", G, false},

    {"Dust and Gold", "Marlow Vance", "Dust and Gold", G, false},
    {"Highway Ghost", "Marlow Vance", "Dust and Gold", D, false},
    {"Copper Sky", "Marlow Vance", "Dust and Gold", G, false},
    {"Lonesome Radio", "Marlow Vance", "Dust and Gold", G, false},
    {"Rivertown", "Marlow Vance", "Dust and Gold", G, false},
    {"Last Call", "Marlow Vance", "Dust and Gold", G, false},

    {"Tidal", "Echo Harbor", "Tidal", G, true},
    {"Lighthouse Keeper", "Echo Harbor", "Tidal", G, false},
    {"Salt and Stone", "Echo Harbor", "Tidal", G, false},
    {"Northern Lines", "Echo Harbor", "Tidal", G, false},
    {"Driftwood", "Echo Harbor", "Tidal", Z, false},
    {"Harbor Lights", "Echo Harbor", "Tidal", G, false},

    {"Winter Bloom", "Luna Frost", "Winter Bloom", G, false},
    {"Silver Rain", "Luna Frost", "Winter Bloom", G, false},
    {"Snow Globe", "Luna Frost", "Winter Bloom", T, false},
    {"Frozen Letters", "Luna Frost", "Winter Bloom", G, false},
    {"Aurora", "Luna Frost", "Winter Bloom", G, false},
    {"Quiet Fire", "Luna Frost", "", G, false},

    {"Open Wide", "Kestrel Road", "Open Wide", G, false},
    {"Gravel Heart", "Kestrel Road", "Open Wide", G, false},
    {"Sunday Engine", "Kestrel Road", "Open Wide", G, false},
    {"Wild Lanterns", "Kestrel Road", "Open Wide", G, false},
    {"Crossroads Waltz", "Kestrel Road", "Open Wide", R, false},
    {"Long Way Home", "Kestrel Road", "Open Wide", G, false},

    {"Velvet Hours", "Ivy Calder", "Velvet Hours", G, false},
    {"Blue Umbrella", "Ivy Calder", "Velvet Hours", G, false},
    {"Clockwork", "Ivy Calder", "Velvet Hours", G, false},
    {"Porcelain", "Ivy Calder", "Velvet Hours", G, false},
    {"Little Lies", "Ivy Calder", "Velvet Hours", N, false},
    {"Golden Thread", "Ivy Calder", "Velvet Hours", G, false},

    {"Party Tonight", "DJ 阿豪", "夜店狂欢", G, false},
    {"电音节拍", "DJ 阿豪", "夜店狂欢", G, false},
    {"Bass Drop 2006", "DJ 阿豪", "夜店狂欢", G, false},
    {"午夜派对", "DJ 阿豪", "夜店狂欢", G, false},
    {"Remix 狂想曲", "DJ 阿豪", "夜店狂欢", G, false},
    {"Dance Dance", "DJ 阿豪", "", G, false},

    {"银河列车", "星河乐队", "银河列车", G, true},
    {"Rocket Boy", "星河乐队", "银河列车", G, false},
    {"流星雨", "星河乐队", "银河列车", G, false},
    {"宇宙尽头", "星河乐队", "银河列车", G, false},
    {"Moonwalk", "星河乐队", "银河列车", G, false},
    {"星光旅店", "星河乐队", "银河列车", G, false},

    {"爱在黄昏", "小蓝 & Tommy", "Love Songs 情歌", G, false},
    {"Love Letter 情书", "小蓝 & Tommy", "Love Songs 情歌", G, false},
    {"两个人的雨天", "小蓝 & Tommy", "Love Songs 情歌", G, false},
    {"Sweet Dreams", "小蓝 & Tommy", "Love Songs 情歌", D, false},
    {"牵手走过", "小蓝 & Tommy", "Love Songs 情歌", G, false},
    {"Forever 永远", "小蓝 & Tommy", "Love Songs 情歌", G, false},

    {"田野", "王铁柱", "乡村小调", G, false},
    {"麦浪", "王铁柱", "乡村小调", G, false},
    {"老屋", "王铁柱", "乡村小调", N, false},
    {"山歌", "王铁柱", "乡村小调", G, false},
    {"放牛娃", "王铁柱", "乡村小调", G, false},
    {"炊烟", "王铁柱", "", G, false},
};

const std::size_t kSongCount = sizeof kSongTable / sizeof kSongTable[0];

}  // namespace quavrel::catalog
