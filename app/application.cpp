#include "app/application.h"

#include <cstdio>
#include <exception>

#include "app/message_boxes.h"
#include "app/qt_ui_hooks.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/ui_thread.h"

namespace quavrel {

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationVersion(QString::fromLatin1(kVersionText));
    // Lets the desktop match the windows with the installed menu entry quavrel.desktop.
    setDesktopFileName(QStringLiteral("quavrel"));
    // From now on every network wait on this thread keeps the windows handling messages.
    setUiHooks(&qtUiHooks());
}

Application::~Application() { setUiHooks(nullptr); }

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportCurrentException(activeWindow());
    }
    return false;
}

void reportCurrentException(QWidget* parent, Interaction interaction)
{
    std::string message;
    try {
        throw;
    } catch (const Exception& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    if (interaction == Interaction::None) {
        std::fprintf(stderr, "%s: %s\n", kProductName, gbkToUtf8(message).c_str());
        return;
    }
    if (uiClosing())
        return;
    showErrorBox(parent, message);
}

}  // namespace quavrel
