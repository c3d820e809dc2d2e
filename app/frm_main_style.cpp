#include "app/frm_main_style.h"

#include <QAbstractItemView>

namespace quavrel {

QFont mainFont()
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    return font;
}

QString mainStyleSheet()
{
    return QStringLiteral(R"css(
QTabWidget::pane { border: 1px solid rgb(145,155,156); background: rgb(247,246,245); top: -1px; }
QTabBar::tab {
    height: 32px; padding: 0px 10px 0px 6px; margin-right: 2px;
    border: 1px solid rgb(145,155,156); border-bottom: none;
    border-top-left-radius: 5px; border-top-right-radius: 5px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(252,252,250), stop:1 rgb(226,228,230));
}
QTabBar::tab:selected { background: rgb(247,246,245); border-top: 3px solid rgb(255,199,60); }
QTabBar::tab:hover:!selected { border-top: 3px solid rgb(255,199,60); }
QTabBar::tab:focus { outline: none; }
QPushButton {
    background: rgb(244,244,240); border: 1px solid rgb(145,155,156); border-radius: 3px;
    padding: 2px 4px;
}
QPushButton:hover { border: 1px solid rgb(255,199,60); background: rgb(255,246,220); }
QPushButton:pressed { background: rgb(230,230,224); }
QPushButton:focus { border: 1px solid rgb(106,141,244); }
QPushButton:disabled { color: rgb(160,160,160); }
QPushButton:flat { border: 1px solid transparent; background: transparent; }
QPushButton:flat:hover { border: 1px solid rgb(255,199,60); background: rgb(255,246,220); }
QTreeWidget#lvPlaying, QTreeWidget#RzTreeView1, QTreeWidget#RzListView2, QTreeWidget#RzListView3 {
    border: 1px solid rgb(127,157,185);
}
QTreeWidget#lvSearchResult { border: 1px solid rgb(145,155,156); }
QComboBox#cbxKeyword { border: 1px solid rgb(127,157,185); background: white; padding: 0px 2px; }
QCheckBox::indicator {
    width: 9px; height: 9px; padding: 1px;
    border: 1px solid rgb(28,81,128); background: white; background-clip: content;
}
QCheckBox::indicator:checked { background: rgb(33,161,33); }
QCheckBox::indicator:hover { border-color: rgb(255,199,60); }
QCheckBox::indicator:disabled { border-color: rgb(160,160,160); }
QGroupBox { border: 1px solid rgb(145,155,156); border-radius: 3px; margin-top: 6px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 2px; }
QStatusBar { border: none; }
QStatusBar::item { border: none; }
)css");
}

void keepSelectionWithoutFocus(QAbstractItemView* view, bool keep)
{
    QPalette p = view->palette();
    if (keep) {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::Text));
    }
    view->setPalette(p);
}

}  // namespace quavrel
