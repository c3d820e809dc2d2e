#include "app/qt_ui_hooks.h"

#include <QCoreApplication>
#include <QThread>

namespace quavrel {

bool QtUiHooks::isUiThread() const
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void QtUiHooks::processMessages()
{
    if (!isUiThread())
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QtUiHooks& qtUiHooks()
{
    static QtUiHooks hooks;
    return hooks;
}

}  // namespace quavrel
