#pragma once
// Reads what the index keeps of one audio file: title, singer, album and track number from
// its tags (TagLib, with the GBK-aware decoding of single-byte tag text), falling back to
// a "singer - title" file name and the folder's name, and whether it is audio at all.
#include <string>

namespace quavrel::catalog {

// The audio file types the desktop player can play with the GStreamer plugins the
// package depends on, by lower-case extension without the dot.
bool IsAudioExtension(const std::string& extension);

struct SongFields {
    std::string title;    // UTF-8, never empty for a song that was read
    std::string singer;   // UTF-8
    std::string album;    // UTF-8
    int track = 0;
};

// Reads the file at `path`. `fileName` and `folderName` are the decoded (UTF-8) names of
// the file without its extension and of its folder. Returns false with `problem` (a reason
// for the user) for a file that is empty, cannot be read or holds no audio.
bool ReadSongFile(const std::string& path, const std::string& fileName, const std::string& folderName,
                  SongFields& fields, std::string& problem);

// The fields a file name gives: "singer - title", "07 - title" or just the title.
SongFields FieldsFromFileName(const std::string& fileName);

}  // namespace quavrel::catalog
