// The module's one entry: a web view for the portal page, created in its parent page.
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
