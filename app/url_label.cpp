#include "app/url_label.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

namespace quavrel {

UrlLabel::UrlLabel(QWidget* parent) : QLabel(parent)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    applyColour();
}

bool UrlLabel::openLink()
{
    if (!url_.isValid() || !QDesktopServices::openUrl(url_))
        return false;
    visited_ = true;
    applyColour();
    emit linkOpened(url_);
    return true;
}

void UrlLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        openLink();
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

// A focused link takes Enter itself, like a focused button.
void UrlLabel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        openLink();
        event->accept();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void UrlLabel::applyColour()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText,
               visited_ ? visitedColor() : p.color(QPalette::Active, QPalette::Highlight));
    setPalette(p);
}

}  // namespace quavrel
