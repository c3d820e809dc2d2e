#include "app/first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace quavrel {
namespace {

class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget* window, std::function<void()> work)
        : QObject(window), window_(window), work_(std::move(work))
    {
        window->installEventFilter(this);
        // Checked from the event loop, when main() has shown the window its own way.
        QTimer::singleShot(0, this, [this] {
            if (!window_->isVisible() || window_->isMinimized())
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
