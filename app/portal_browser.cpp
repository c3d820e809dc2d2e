#include "app/portal_browser.h"

#include <QWidget>

#include "app/startup_trace.h"
#include "platform/module.h"

namespace quavrel {
namespace {

void* portalSymbol(const char* name)
{
#ifdef QUAVREL_PORTAL_MODULE
    const std::string buildTreePath = QUAVREL_PORTAL_MODULE;
#else
    const std::string buildTreePath;
#endif
    return LoadModuleSymbol("quavrel-portal.so", name, buildTreePath);
}

// The view's signal is known to the program by name only, hence a slot of its own.
class FirstLoadMark : public QObject {
    Q_OBJECT
public:
    explicit FirstLoadMark(QWidget* view) : QObject(view)
    {
        connect(view, SIGNAL(loadFinished(bool)), this, SLOT(loaded()));
    }

private slots:
    void loaded()
    {
        startupMark("portal_loaded");
        deleteLater();
    }
};

}  // namespace

QWidget* createPortalBrowser(QWidget* parent)
{
    static const auto create = reinterpret_cast<QWidget* (*)(QWidget*)>(portalSymbol("quavrelCreatePortalView"));
    QWidget* view = create(parent);
    new FirstLoadMark(view);
    return view;
}

void startPortalEngine(QWidget* view)
{
    static const auto start = reinterpret_cast<void (*)(QWidget*)>(portalSymbol("quavrelStartPortalEngine"));
    start(view);
}

}  // namespace quavrel

#include "portal_browser.moc"
