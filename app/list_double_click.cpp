#include "app/list_double_click.h"

#include <QAbstractItemView>
#include <QMouseEvent>

namespace quavrel {

ListDoubleClick::ListDoubleClick(QAbstractItemView* view) : QObject(view), view_(view)
{
    connect(view, &QAbstractItemView::doubleClicked, this, &ListDoubleClick::doubleClicked);
    view->viewport()->installEventFilter(this);
}

bool ListDoubleClick::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (!press && !doubleClick)
        return QObject::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || view_->indexAt(mouse->position().toPoint()).isValid())
        return QObject::eventFilter(watched, event);
    if (doubleClick)
        emit doubleClicked();
    return true;
}

}  // namespace quavrel
