#pragma once
// The selection of the window's report lists (lvSearchResult, lvPlaying).
class QTreeWidget;
class QTreeWidgetItem;

namespace quavrel {

// The first selected row in row order, as the list's own "selected item" means, or nullptr.
QTreeWidgetItem* firstSelected(const QTreeWidget* list);

}  // namespace quavrel
