#include "tools/catalog/audio_assets.h"

#include <fstream>
#include <iterator>

namespace quavrel::catalog {

bool AudioAssets::load(const std::string& dir, std::string& error)
{
    std::vector<std::string> tones;
    for (int i = 0; i < kToneCount; ++i) {
        const std::string path = dir + "/tone_" + std::to_string(i) + ".mp3";
        std::ifstream in(path, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof()) {
            error = "cannot read " + path;
            return false;
        }
        if (bytes.size() < kTinySongBytes) {
            error = "missing or too short: " + path;
            return false;
        }
        tones.push_back(std::move(bytes));
    }
    std::string big;
    big.reserve(kBigSongBytes);
    for (std::size_t i = 0; big.size() < kBigSongBytes; i = (i + 1) % tones.size())
        big.append(tones[i], 0, kBigSongBytes - big.size());
    tiny_ = tones[0].substr(0, kTinySongBytes);
    big_ = std::move(big);
    tones_ = std::move(tones);
    return true;
}

const std::string& AudioAssets::toneFor(int songId) const
{
    const int n = static_cast<int>(tones_.size());
    return tones_[((songId - 1) % n + n) % n];
}

}  // namespace quavrel::catalog
