#pragma once
// M3U play-list files: the reader behind LoadPlayList and the writer behind SavePlayList,
// as pure functions over bytes plus the file routines the main window and quavrel-net call.
// Files are GBK text, CR LF line ends, no byte-order mark.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "media/media.h"

namespace quavrel {

// Cuts bytes into the lines of an M3U file: a line ends at LF or CR LF, a lone CR is
// dropped, the last line may lack its break, a Ctrl-Z (26) at the start of a line ends the
// file and inside a line cuts the rest of that line. Feed chunks in order, then finish().
class M3ULineSplitter {
public:
    using LineFn = std::function<void(const std::string&)>;
    explicit M3ULineSplitter(LineFn onLine) : onLine_(std::move(onLine)) {}

    void feed(std::string_view bytes);
    void finish();
    bool ended() const { return ended_; }

private:
    LineFn onLine_;
    std::string line_;
    bool skipping_ = false;  // a Ctrl-Z cut this line; drop the rest up to its break
    bool ended_ = false;     // a Ctrl-Z opened a line: nothing more is read
};

// Turns lines into play-list entries: skips blank and "#" lines, remembers the latest
// "#EXTINF" line (any case, anywhere in the line) as the title source of the next entry.
class M3UEntryReader {
public:
    using EntryFn = std::function<void(const MediaPtr&)>;
    explicit M3UEntryReader(EntryFn onEntry) : onEntry_(std::move(onEntry)) {}

    void line(const std::string& raw);
    int entries() const { return entries_; }

private:
    EntryFn onEntry_;
    std::string pendingInfo_;
    bool hasInfo_ = false;
    int entries_ = 0;
};

// Reads M3U bytes; calls onEntry for each entry in file order; returns the entry count.
int ParseM3U(std::string_view bytes, const M3UEntryReader::EntryFn& onEntry);

// Reads the file at `path`. Throws EFOpenError ("Cannot open file \"PATH\". REASON") when
// it cannot be opened, before onOpened runs; onOpened runs once the file is open; then
// onEntry per entry. A read failure later throws EReadError after the entries so far.
int ReadM3UFile(const std::string& path, const std::function<void()>& onOpened,
                const M3UEntryReader::EntryFn& onEntry);

// The file's bytes for these rows: "#EXTM3U", then per row "#EXTINF:0,Title", Url, "".
std::string FormatM3U(const std::vector<MediaPtr>& rows);

// Replaces the file at `path` in one step: a failure leaves any earlier file whole.
// Throws EFCreateError, or EWriteError "Cannot write file "PATH". REASON" with the
// system's reason (such as "No space left on device").
void WriteM3UFile(const std::string& path, const std::vector<MediaPtr>& rows);

}  // namespace quavrel
