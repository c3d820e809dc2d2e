#include "app/portal_browser.h"

#include <QLibrary>
#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "app/startup_trace.h"
#include "platform/exception.h"
#include "platform/paths.h"

namespace quavrel {
namespace {

using CreateView = QWidget* (*)(QWidget* parent);

// Beside the program (the build tree), in the installed lib/quavrel/, else the module of
// the build tree for the tests.
std::vector<std::filesystem::path> modulePlaces()
{
    const std::filesystem::path programFolder = std::filesystem::path(ExecutablePath()).parent_path();
    std::vector<std::filesystem::path> places{programFolder / "quavrel-portal.so",
                                              programFolder / "../lib/quavrel/quavrel-portal.so"};
#ifdef QUAVREL_PORTAL_MODULE
    places.emplace_back(QUAVREL_PORTAL_MODULE);
#endif
    return places;
}

CreateView loadModule()
{
    std::string reason = "quavrel-portal.so not found";
    for (const std::filesystem::path& place : modulePlaces()) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(place, ec))
            continue;
        // Stays loaded for the rest of the run: the view's code lives in it.
        QLibrary module(QString::fromStdString(place.string()));
        if (auto create = reinterpret_cast<CreateView>(module.resolve("quavrelCreatePortalView")))
            return create;
        reason = module.errorString().toStdString();
    }
    throw Exception("Cannot load the portal page's web view: " + reason);
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
