#include "media/playlist.h"

#include <algorithm>

namespace quavrel {

PlayList::AddResult PlayList::add(const MediaPtr& media)
{
    auto [it, inserted] = rowOfUrl_.try_emplace(media->Url, size());
    if (!inserted)
        return {it->second, false};
    rows_.push_back(media);
    return {it->second, true};
}

int PlayList::indexOf(const std::string& url) const
{
    auto it = rowOfUrl_.find(url);
    return it == rowOfUrl_.end() ? -1 : it->second;
}

void PlayList::removeRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the last to the first, so the positions still to remove stay valid.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it < 0 || *it >= size())
            continue;
        rows_.erase(rows_.begin() + *it);
    }
    rowOfUrl_.clear();
    for (int row = 0; row < size(); ++row)
        rowOfUrl_.emplace(rows_[static_cast<size_t>(row)]->Url, row);
}

void PlayList::clear()
{
    rows_.clear();
    rowOfUrl_.clear();
}

std::string PlayList::caption(int row, const TMedia& media)
{
    return std::to_string(row + 1) + ".\t" + media.Title;
}

}  // namespace quavrel
