#pragma once
// The MP3 bodies the service plays out: the tones made at build time, loaded once at
// start-up, and the two bodies of odd sizes derived from them. Read-only after loading.
#include <string>
#include <vector>

namespace quavrel::catalog {

constexpr int kToneCount = 8;
constexpr std::size_t kBigSongBytes = 5'000'000;
constexpr std::size_t kTinySongBytes = 800;

class AudioAssets {
public:
    // Reads tone_0.mp3 ... tone_7.mp3 from `dir`. Returns false with `error` set when a
    // file is missing, empty or too short to cut the tiny body from.
    bool load(const std::string& dir, std::string& error);

    // The tone for a song id; songs share the tones round-robin.
    const std::string& toneFor(int songId) const;
    // The tones repeated back to back and cut at exactly kBigSongBytes.
    const std::string& big() const { return big_; }
    // The first kTinySongBytes of a tone.
    const std::string& tiny() const { return tiny_; }

private:
    std::vector<std::string> tones_;
    std::string big_;
    std::string tiny_;
};

}  // namespace quavrel::catalog
