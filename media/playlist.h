#pragma once
// PlayList: the rows of the play list as plain data, one MediaPtr per row, with an index
// from Url to row beside them so the no-duplicate rule costs one lookup per add even when
// a big file is loaded. The main window keeps its list view in step with it; the M3U
// reader and writer and the quavrel-net tool use it directly.
#include <string>
#include <unordered_map>
#include <vector>

#include "media/media.h"

namespace quavrel {

class PlayList {
public:
    struct AddResult {
        int row;      // the row that holds the song afterwards
        bool added;   // false when a row with the same Url was already there
    };

    // Appends `media` unless a row holds the same Url byte for byte.
    AddResult add(const MediaPtr& media);
    // The row holding `url`, or -1.
    int indexOf(const std::string& url) const;
    // Removes the given rows (any order, repeats ignored); later rows move up.
    void removeRows(std::vector<int> rows);
    void clear();

    int size() const { return static_cast<int>(rows_.size()); }
    bool empty() const { return rows_.empty(); }
    const MediaPtr& at(int row) const { return rows_.at(static_cast<size_t>(row)); }
    const std::vector<MediaPtr>& rows() const { return rows_; }

    // The caption of row `row` (from 0): its 1-based number, ".", TAB, the title (GBK).
    static std::string caption(int row, const TMedia& media);

private:
    std::vector<MediaPtr> rows_;
    std::unordered_map<std::string, int> rowOfUrl_;
};

}  // namespace quavrel
