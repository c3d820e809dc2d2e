#pragma once
// Sizes, font, colours and small view helpers shared by the main window's layout files.
#include <QFont>
#include <QString>
#include <QStyledItemDelegate>

class QAbstractItemView;

namespace quavrel {

constexpr int kClientWidth = 725;
constexpr int kClientHeight = 502;
constexpr int kSizeBarWidth = 5;
constexpr int kRightPanelWidth = 208;
constexpr int kRowHeight = 20;          // rows of the two lists
constexpr int kKeywordRowHeight = 12;   // rows of the keyword box's drop-down list

// "宋体", 12-pixel character height; fontconfig falls back to an installed CJK face.
QFont mainFont();
// The window's colours: page control, tabs, buttons, list frames.
QString mainStyleSheet();

// Keeps (true) or hides (false) the selection's highlight while the view has no focus.
void keepSelectionWithoutFocus(QAbstractItemView* view, bool keep);

// Gives every row of a list the same fixed height.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    RowHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

private:
    int height_;
};

}  // namespace quavrel
