#include "app/first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace quavrel {
namespace {

class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget* window, std::function<void()> work)
        : QObject(window), window_(window), work_(std::move(work))
    {
        window->installEventFilter(this);
        // Checked from the event loop, once the window has been shown its own way: one
        // that is not on screen now will not be painted, one already exposed was painted.
        QTimer::singleShot(0, this, [this] {
            const QWindow* handle = window_->windowHandle();
            if (!window_->isVisible() || window_->isMinimized() || (handle && handle->isExposed()))
                fire();
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Paint)
            fire();
        return false;
    }

private:
    void fire()
    {
        if (fired_)
            return;
        fired_ = true;
        window_->removeEventFilter(this);
        // Queued, so the paint in progress reaches the screen before the work starts.
        QTimer::singleShot(0, this, [this] {
            work_();
            deleteLater();
        });
    }

    QWidget* window_;
    std::function<void()> work_;
    bool fired_ = false;
};

}  // namespace

void runAfterFirstPaint(QWidget* window, std::function<void()> work)
{
    new FirstPaintWatch(window, std::move(work));
}

}  // namespace quavrel
