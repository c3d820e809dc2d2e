#include "tools/catalog/tag_reader.h"

#include "platform/bytes.h"
#include "tools/catalog/legacy_text.h"
#include "tools/catalog/os_files.h"

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/tag.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tfilestream.h>

#include <array>
#include <mutex>

namespace quavrel::catalog {
namespace {

TagLib::String utf8String(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

std::string legacyBytes(const TagLib::ByteVector& data)
{
    std::string bytes(data.data(), data.size());
    return bytes.substr(0, bytes.find('\0'));
}

// ID3v1 fields are fixed-size, padded with zeros or blanks.
class Id3v1Text : public TagLib::ID3v1::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override
    {
        return utf8String(DecodeLegacyText(legacyBytes(data))).stripWhiteSpace();
    }
};

class Id3v2Latin1Text : public TagLib::ID3v2::Latin1StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override
    {
        return utf8String(DecodeLegacyText(legacyBytes(data)));
    }
};

// RIFF INFO chunks of WAV files: UTF-8 when they are, else as single-byte tag text.
class RiffInfoText : public TagLib::RIFF::Info::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override
    {
        const std::string bytes = legacyBytes(data);
        return utf8String(IsValidUtf8(bytes) ? bytes : DecodeLegacyText(bytes));
    }
};

// Broken files make TagLib talk; the scan gives its own one-line reason instead.
class Silence : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

void installTextHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static Id3v1Text id3v1;
        static Id3v2Latin1Text id3v2;
        static RiffInfoText riff;
        static Silence silence;
        TagLib::ID3v1::Tag::setStringHandler(&id3v1);
        TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
        TagLib::RIFF::Info::Tag::setStringHandler(&riff);
        TagLib::setDebugListener(&silence);
    });
}

std::string field(const TagLib::String& text) { return Trim(text.to8Bit(true)); }

}  // namespace

bool IsAudioExtension(const std::string& extension)
{
    static const std::array<const char*, 6> kTypes{"mp3", "flac", "ogg", "oga", "opus", "wav"};
    for (const char* type : kTypes) {
        if (extension == type)
            return true;
    }
    return false;
}

SongFields FieldsFromFileName(const std::string& fileName)
{
    SongFields fields;
    const std::size_t dash = fileName.find(" - ");
    if (dash == std::string::npos) {
        fields.title = Trim(fileName);
        return fields;
    }
    const std::string left = Trim(fileName.substr(0, dash));
    const std::string right = Trim(fileName.substr(dash + 3));
    bool number = !left.empty() && left.size() <= 3;
    for (char c : left)
        number = number && c >= '0' && c <= '9';
    if (number)
        fields.track = std::stoi(left);
    else
        fields.singer = left;
    fields.title = right.empty() ? Trim(fileName) : right;
    return fields;
}

bool ReadSongFile(const std::string& path, const std::string& fileName, const std::string& folderName,
                  SongFields& fields, std::string& problem)
{
    installTextHandlers();
    // Read-only: a file opened for writing reports a write when it is closed, which the
    // folder watcher would take for a change.
    TagLib::FileStream stream(path.c_str(), true);
    if (!stream.isOpen()) {
        problem = "cannot be read (" + CannotReadReason(path) + ")";
        return false;
    }
    if (stream.length() == 0) {
        problem = "empty file";
        return false;
    }
    const TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Fast);
    const TagLib::AudioProperties* audio = ref.isNull() ? nullptr : ref.audioProperties();
    if (!audio || (audio->sampleRate() <= 0 && audio->bitrate() <= 0)) {
        problem = "no audio that can be played";
        return false;
    }
    SongFields fromName = FieldsFromFileName(fileName);
    fields = SongFields{};
    if (const TagLib::Tag* tag = ref.tag()) {
        fields.title = field(tag->title());
        fields.singer = field(tag->artist());
        fields.album = field(tag->album());
        fields.track = static_cast<int>(tag->track());
    }
    if (fields.title.empty())
        fields.title = fromName.title.empty() ? fileName : fromName.title;
    if (fields.singer.empty())
        fields.singer = fromName.singer;
    if (fields.album.empty())
        fields.album = folderName;
    if (fields.track == 0)
        fields.track = fromName.track;
    return true;
}

}  // namespace quavrel::catalog
