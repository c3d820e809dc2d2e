#include "app/after_first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace quavrel {
namespace {

constexpr int kPauseMs = 10;

}  // namespace

AfterFirstPaint::AfterFirstPaint(QWidget* window) : QObject(window), window_(window)
{
    nextStep_.setSingleShot(true);
    nextStep_.setTimerType(Qt::PreciseTimer);
    connect(&nextStep_, &QTimer::timeout, this, [this] {
        std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        step();
        // A short pause before the next step, so the event loop waits for messages once in
        // between (posted calls, and timers due together, run back to back).
        scheduleNext(kPauseMs);
    });
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
    scheduleNext(0);
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
    scheduleNext(0);
}

void AfterFirstPaint::scheduleNext(int delayMs)
{
    if (painted_ && !steps_.empty() && !nextStep_.isActive())
        nextStep_.start(delayMs);
}

void runAfterFirstPaint(QWidget* window, std::function<void()> work)
{
    (new AfterFirstPaint(window))->add(std::move(work));
}

}  // namespace quavrel
