#pragma once
// Runs work once, right after a window's first paint. The start-up puts behind that paint
// what the first sight of the main window does not need (the portal's web view, the
// player's media back end). A window that starts hidden or minimised is not painted; for
// it the work runs as soon as the event loop turns.
#include <functional>

class QWidget;

namespace quavrel {

void runAfterFirstPaint(QWidget* window, std::function<void()> work);

}  // namespace quavrel
