#pragma once
// Audio files for the catalogue's tests and benchmarks, made on the spot: tiny silent
// MP3s with tags written by TagLib in every form old and new taggers used, and FLAC, Ogg
// Vorbis, Opus and WAV files encoded from a short tone by Debian's encoders.
#include <string>

namespace quavrel::test {

struct SongTags {
    std::string title;    // UTF-8, or the raw bytes for the *Bytes kinds
    std::string artist;
    std::string album;
    int track = 0;
};

enum class TagForm {
    None,
    Id3v2Utf16,     // ID3v2.3, UTF-16 frames
    Id3v2Utf8,      // ID3v2.4, UTF-8 frames
    Id3v2Bytes,     // ID3v2.3 "Latin-1" frames holding the given bytes as they are
    Id3v1Bytes,     // ID3v1 only, the given bytes as they are
};

// Silent MPEG-1 Layer III frames, 104 bytes each.
std::string SilentMp3(int frames = 20);

// Writes a silent MP3 at `path` with `tags` in `form`.
void WriteMp3(const std::string& path, const SongTags& tags, TagForm form);

// Writes a FLAC, Ogg Vorbis, Opus or WAV file (by the extension of `path`) with UTF-8
// tags. Throws std::runtime_error when the encoder is missing or fails.
void WriteEncoded(const std::string& path, const SongTags& tags);

}  // namespace quavrel::test
