#pragma once
// ListDoubleClick: a list's double-click wherever the list is double-clicked, on a row or
// in the empty part below the rows; the handler then acts on the selected row. A press
// in the empty part leaves the selection as it is, so that the double-click there still
// finds the row the user selected. The main window connects its two lists' handlers.
#include <QObject>

class QAbstractItemView;

namespace quavrel {

class ListDoubleClick : public QObject {
    Q_OBJECT
public:
    explicit ListDoubleClick(QAbstractItemView* view);   // child of the view

signals:
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* view_;
};

}  // namespace quavrel
