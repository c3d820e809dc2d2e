#include "app/list_selection.h"

#include <QTreeWidget>

namespace quavrel {

QTreeWidgetItem* firstSelected(const QTreeWidget* list)
{
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (list->topLevelItem(row)->isSelected())
            return list->topLevelItem(row);
    return nullptr;
}

}  // namespace quavrel
