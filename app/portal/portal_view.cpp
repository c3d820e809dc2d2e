// The module's entries: a web view for the portal page, created in its parent page, and
// the start of the web engine behind it.
#include <QQuickWindow>
#include <QWebEngineView>

extern "C" Q_DECL_EXPORT QWidget* quavrelCreatePortalView(QWidget* parent)
{
    // The view draws through Qt Quick. Its software renderer needs no OpenGL, which the
    // program runs without (main.cpp), and the engine renders pages in software anyway
    // (--disable-gpu). It must be chosen before the first Qt Quick window exists.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return new QWebEngineView(parent);
}

// The view's page, which the first navigation would otherwise create, starts the engine
// (its profile and browser context): the longest part of its start, done on its own.
extern "C" Q_DECL_EXPORT void quavrelStartPortalEngine(QWidget* view)
{
    static_cast<QWebEngineView*>(view)->page();
}
