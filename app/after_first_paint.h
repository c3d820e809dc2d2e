#pragma once
// Work that the first sight of a window does not need, run after the window's first paint
// one step per turn of the event loop, so that waiting messages (the user's first clicks
// among them) are handled between the steps. The start-up puts the portal's web view and
// the player's media back end there. A window that starts hidden or minimised is not
// painted; its steps start as soon as the event loop turns.
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

class QWidget;

namespace quavrel {

class AfterFirstPaint : public QObject {
public:
    // Watches `window`, which owns the object.
    explicit AfterFirstPaint(QWidget* window);

    // Steps run in the order they were added; one added after the paint runs at the next
    // turn of the event loop.
    void add(std::function<void()> step);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void painted();
    void scheduleNext(int delayMs);

    QWidget* window_;
    std::deque<std::function<void()>> steps_;
    QTimer nextStep_;
    bool painted_ = false;
};

// One step after `window`'s first paint.
void runAfterFirstPaint(QWidget* window, std::function<void()> work);

}  // namespace quavrel
