#include "app/first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace quavrel {
namespace {

// A timer, not a posted call: the event loop handles the waiting messages before it fires,
// where posted calls run back to back.
constexpr int kTurnMs = 1;

}  // namespace

AfterFirstPaint::AfterFirstPaint(QWidget* window) : QObject(window), window_(window)
{
    window->installEventFilter(this);
    // Checked from the event loop, once the window has been shown its own way: one that
    // is not on screen now will not be painted, one already exposed was painted.
    QTimer::singleShot(0, this, [this] {
        const QWindow* handle = window_->windowHandle();
        if (!window_->isVisible() || window_->isMinimized() || (handle && handle->isExposed()))
            painted();
    });
}

void AfterFirstPaint::add(std::function<void()> step)
{
    steps_.push_back(std::move(step));
    scheduleNext();
}

bool AfterFirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Paint)
        painted();
    return false;
}

void AfterFirstPaint::painted()
{
    if (painted_)
        return;
    painted_ = true;
    window_->removeEventFilter(this);
    scheduleNext();
}

void AfterFirstPaint::scheduleNext()
{
    if (!painted_ || scheduled_ || steps_.empty())
        return;
    scheduled_ = true;
    QTimer::singleShot(kTurnMs, this, [this] {
        scheduled_ = false;
        std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        step();
        scheduleNext();
    });
}

void runAfterFirstPaint(QWidget* window, std::function<void()> work)
{
    (new AfterFirstPaint(window))->add(std::move(work));
}

}  // namespace quavrel
