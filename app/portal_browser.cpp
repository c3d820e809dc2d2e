#include "app/portal_browser.h"

#include <QWidget>

#include "app/startup_trace.h"
#include "platform/module.h"

namespace quavrel {
namespace {

using CreateView = QWidget* (*)(QWidget* parent);

CreateView loadModule()
{
#ifdef QUAVREL_PORTAL_MODULE
    const std::string buildTreePath = QUAVREL_PORTAL_MODULE;
#else
    const std::string buildTreePath;
#endif
    return reinterpret_cast<CreateView>(
        LoadModuleSymbol("quavrel-portal.so", "quavrelCreatePortalView", buildTreePath));
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
    static const CreateView create = loadModule();
    QWidget* view = create(parent);
    new FirstLoadMark(view);
    return view;
}

}  // namespace quavrel

#include "portal_browser.moc"
