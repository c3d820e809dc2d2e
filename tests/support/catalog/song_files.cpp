#include "tests/support/catalog/song_files.h"

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace quavrel::test {
namespace {

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

TagLib::String bytesAsLatin1(const std::string& bytes)
{
    return TagLib::String(TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size())), TagLib::String::Latin1);
}

TagLib::String utf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

void setFrame(TagLib::ID3v2::Tag& tag, const char* id, const TagLib::String& text, TagLib::String::Type encoding)
{
    tag.removeFrames(id);
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
    frame->setText(text);
    tag.addFrame(frame);
}

void putLe(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// 0.2 s of a 440 Hz tone, 8 kHz mono 16-bit.
std::string toneWav()
{
    constexpr int kRate = 8000;
    constexpr int kSamples = kRate / 5;
    std::string data;
    for (int i = 0; i < kSamples; ++i)
        putLe(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / kRate))), 2);
    std::string wav = "RIFF";
    putLe(wav, 36 + static_cast<std::uint32_t>(data.size()), 4);
    wav += "WAVEfmt ";
    putLe(wav, 16, 4);
    putLe(wav, 1, 2);
    putLe(wav, 1, 2);
    putLe(wav, kRate, 4);
    putLe(wav, kRate * 2, 4);
    putLe(wav, 2, 2);
    putLe(wav, 16, 2);
    wav += "data";
    putLe(wav, static_cast<std::uint32_t>(data.size()), 4);
    return wav + data;
}

std::string extensionOf(const std::string& path) { return path.substr(path.find_last_of('.') + 1); }

void encode(const std::string& wav, const std::string& path)
{
    const std::string ext = extensionOf(path);
    std::string command;
    if (ext == "flac")
        command = "flac -s -f -o '" + path + "' '" + wav + "'";
    else if (ext == "ogg" || ext == "oga")
        command = "oggenc -Q -o '" + path + "' '" + wav + "'";
    else if (ext == "opus")
        command = "opusenc --quiet '" + wav + "' '" + path + "'";
    else
        throw std::runtime_error("no encoder for " + path);
    if (std::system((command + " 2>/dev/null").c_str()) != 0)
        throw std::runtime_error("encoding failed: " + command);
}

}  // namespace

std::string SilentMp3(int frames)
{
    // MPEG-1 Layer III, 32 kbit/s, 44.1 kHz, mono: 144 * 32000 / 44100 = 104 bytes a frame.
    // All-zero side information decodes to silence.
    std::string frame(104, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x10';
    frame[3] = '\xC4';
    std::string out;
    for (int i = 0; i < frames; ++i)
        out += frame;
    return out;
}

void WriteMp3(const std::string& path, const SongTags& tags, TagForm form)
{
    writeBytes(path, SilentMp3());
    if (form == TagForm::None)
        return;
    TagLib::MPEG::File file(path.c_str(), false);
    if (form == TagForm::Id3v1Bytes) {
        TagLib::ID3v1::Tag* tag = file.ID3v1Tag(true);
        tag->setTitle(bytesAsLatin1(tags.title));
        tag->setArtist(bytesAsLatin1(tags.artist));
        tag->setAlbum(bytesAsLatin1(tags.album));
        tag->setTrack(static_cast<unsigned>(tags.track));
        file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers);
        return;
    }
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    const bool bytes = form == TagForm::Id3v2Bytes;
    const TagLib::String::Type encoding = bytes                          ? TagLib::String::Latin1
                                          : form == TagForm::Id3v2Utf16 ? TagLib::String::UTF16
                                                                        : TagLib::String::UTF8;
    auto text = [&](const std::string& s) { return bytes ? bytesAsLatin1(s) : utf8(s); };
    setFrame(*tag, "TIT2", text(tags.title), encoding);
    setFrame(*tag, "TPE1", text(tags.artist), encoding);
    setFrame(*tag, "TALB", text(tags.album), encoding);
    if (tags.track)
        setFrame(*tag, "TRCK", utf8(std::to_string(tags.track)), TagLib::String::Latin1);
    file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
              form == TagForm::Id3v2Utf8 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3);
}

void WriteEncoded(const std::string& path, const SongTags& tags)
{
    if (extensionOf(path) == "wav") {
        writeBytes(path, toneWav());
    } else {
        const std::string wav = path + ".source.wav";
        writeBytes(wav, toneWav());
        encode(wav, path);
        std::remove(wav.c_str());
    }
    TagLib::FileRef file(path.c_str(), false);
    if (file.isNull() || !file.tag())
        throw std::runtime_error("TagLib cannot tag " + path);
    file.tag()->setTitle(utf8(tags.title));
    file.tag()->setArtist(utf8(tags.artist));
    file.tag()->setAlbum(utf8(tags.album));
    file.tag()->setTrack(static_cast<unsigned>(tags.track));
    if (!file.save())
        throw std::runtime_error("TagLib cannot save " + path);
}

}  // namespace quavrel::test
