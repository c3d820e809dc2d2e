#include "media/m3u.h"

#include "platform/atomic_file.h"
#include "platform/bytes.h"
#include "platform/input_file.h"

namespace quavrel {
namespace {

constexpr char kCtrlZ = 26;
constexpr size_t kChunk = 64 * 1024;

bool containsExtinf(const std::string& line)
{
    static constexpr std::string_view kTag = "#EXTINF";
    if (line.size() < kTag.size())
        return false;
    for (size_t start = 0; start + kTag.size() <= line.size(); ++start) {
        size_t i = 0;
        for (; i < kTag.size(); ++i) {
            char c = line[start + i];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            if (c != kTag[i])
                break;
        }
        if (i == kTag.size())
            return true;
    }
    return false;
}

}  // namespace

void M3ULineSplitter::feed(std::string_view bytes)
{
    for (char c : bytes) {
        if (ended_)
            return;
        if (c == '\n') {
            onLine_(line_);
            line_.clear();
            skipping_ = false;
        } else if (skipping_ || c == '\r') {
            // CR LF ends the line at the LF; a CR on its own is dropped either way.
        } else if (c == kCtrlZ) {
            if (line_.empty())
                ended_ = true;
            else
                skipping_ = true;
        } else {
            line_.push_back(c);
        }
    }
}

void M3ULineSplitter::finish()
{
    if (!line_.empty())
        onLine_(line_);
    line_.clear();
    skipping_ = false;
    ended_ = true;
}

void M3UEntryReader::line(const std::string& raw)
{
    std::string line = Trim(raw);
    if (line.empty())
        return;
    if (containsExtinf(line)) {
        pendingInfo_ = std::move(line);
        hasInfo_ = true;
        return;
    }
    if (line.find('#') != std::string::npos)
        return;

    MediaPtr media = NewMedia();
    media->Url = line;
    media->FileType = "mp3";
    if (hasInfo_) {
        size_t comma = pendingInfo_.find(',');
        std::string title = comma == std::string::npos ? pendingInfo_
                                                       : pendingInfo_.substr(comma + 1);
        media->Title = title.empty() ? media->Url : title;
    } else {
        media->Title = media->Url;
    }
    hasInfo_ = false;
    pendingInfo_.clear();
    ++entries_;
    onEntry_(media);
}

int ParseM3U(std::string_view bytes, const M3UEntryReader::EntryFn& onEntry)
{
    M3UEntryReader reader(onEntry);
    M3ULineSplitter splitter([&](const std::string& line) { reader.line(line); });
    splitter.feed(bytes);
    splitter.finish();
    return reader.entries();
}

int ReadM3UFile(const std::string& path, const std::function<void()>& onOpened,
                const M3UEntryReader::EntryFn& onEntry)
{
    InputFile file(path);
    onOpened();
    M3UEntryReader reader(onEntry);
    M3ULineSplitter splitter([&](const std::string& line) { reader.line(line); });
    std::string chunk(kChunk, '\0');
    while (!splitter.ended()) {
        const size_t got = file.read(chunk.data(), chunk.size());
        if (got == 0)
            break;
        splitter.feed(std::string_view(chunk.data(), got));
    }
    splitter.finish();
    return reader.entries();
}

std::string FormatM3U(const std::vector<MediaPtr>& rows)
{
    std::string out = "#EXTM3U\r\n";
    for (const MediaPtr& media : rows) {
        out += "#EXTINF:0,";
        out += media->Title;
        out += "\r\n";
        out += media->Url;
        out += "\r\n\r\n";
    }
    return out;
}

void WriteM3UFile(const std::string& path, const std::vector<MediaPtr>& rows)
{
    try {
        WriteFileAtomically(path, FormatM3U(rows));
    } catch (const EStreamWriteError& e) {
        // The user learns why the play list was not saved: a full disk, a quota ...
        throw EWriteError(FileErrorText("Cannot write file", path, e.error()));
    }
}

}  // namespace quavrel
