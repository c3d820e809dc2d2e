// The program's entry: splash, main window, message loop. No command-line argument is
// read; Qt gets only the program name.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <string>

#include "app/after_first_paint.h"
#include "app/application.h"
#include "app/frm_flash_form.h"
#include "app/frm_main.h"
#include "app/mpris_service.h"
#include "app/qt_ui_hooks.h"
#include "app/startup_trace.h"
#include "app/termination_watch.h"
#include "songs/services.h"
#include "platform/environment.h"
#include "platform/show_command.h"
#include "platform/termination_signals.h"
#include "settings/service_config.h"

namespace {

// The portal page's web engine refuses to run as root with its sandbox, and the program
// needs no GPU. Nor does it need the engine's second, unsandboxed zygote, an idle helper
// process (8 MiB of its own) kept for utility processes that this page never starts; one
// is started directly should it be wanted. All of it is settled before the engine starts.
void prepareWebEngine()
{
    using quavrel::EnvironmentValue;
    if (quavrel::RunsAsRoot() && !EnvironmentValue("QTWEBENGINE_DISABLE_SANDBOX"))
        quavrel::SetEnvironmentValue("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::string flags = EnvironmentValue("QTWEBENGINE_CHROMIUM_FLAGS").value_or("");
    for (const char* flag : {"--disable-gpu", "--no-unsandboxed-zygote"}) {
        if (flags.find(flag) == std::string::npos)
            flags += flags.empty() ? flag : std::string(" ") + flag;
    }
    quavrel::SetEnvironmentValue("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

// The windows draw without OpenGL, the portal's web view included (its module picks Qt
// Quick's software renderer). The web engine still looks for the application's shared
// OpenGL context, which has to be asked for before the application object exists. With no
// OpenGL integration that context stays an empty object; with one, creating it loaded a
// GL driver (Mesa's software rasteriser and LLVM under Xvfb) before the splash, a large
// part of the time to the splash and of the program's memory. The variable is taken back
// once the application object exists, so the programs that the user opens from here (the
// portal link's browser) keep their OpenGL.
class WithoutOpenGL {
public:
    WithoutOpenGL() : chosenByUser_(qEnvironmentVariableIsSet(kVariable))
    {
        if (!chosenByUser_)
            qputenv(kVariable, "none");
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        // The web engine would print its whole set-up at every start to say there is no
        // OpenGL, which is meant; the user's own QT_LOGGING_RULES still win over this.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    }
    void applicationCreated() const
    {
        if (!chosenByUser_)
            qunsetenv(kVariable);
    }

private:
    static constexpr char kVariable[] = "QT_XCB_GL_INTEGRATION";
    bool chosenByUser_;
};

}  // namespace

int main(int /*argc*/, char** argv)
{
    using namespace quavrel;
    startupMark("main");
    // First of all: a termination signal during start-up waits in the pipe and closes the
    // program properly once the event loop runs.
    const int terminationSignals = WatchTerminationSignals();
    prepareWebEngine();
    WithoutOpenGL withoutOpenGL;
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    Application app(qtArgc, qtArgv);
    withoutOpenGL.applicationCreated();
    startupMark("application");
    setServices(LoadServiceAddresses());

    auto* frmFlashForm = new TfrmFlashForm;
    frmFlashForm->showCentred();
    startupMark("splash_shown");
    // Paint the splash before the long work of building the main window.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    startupMark("splash_painted");

    app.setApplicationName(QString::fromLatin1(kProductName));
    auto* frmMain = new TfrmMain;
    startupMark("window_built");
    frmMain->FormCreate();

    frmFlashForm->close();
    delete frmFlashForm;

    switch (processShowCommand()) {
    case ShowCommand::Maximized:
        frmMain->showMaximized();
        break;
    case ShowCommand::Minimized:
        frmMain->showMinimizedStart();
        break;
    case ShowCommand::Normal:
        frmMain->show();
        break;
    }
    startupMark("main_shown");
    runAfterFirstPaint(frmMain, [] { startupMark("main_painted"); });
    // The program ends with its close sequence, not when its last window disappears: hidden
    // to the tray it has no window on screen at all.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(frmMain, &TfrmMain::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    TerminationWatch terminationWatch(terminationSignals, [frmMain] { frmMain->closeWithoutInteraction(); });
    // Media keys and the desktop's media widgets; the first sight of the window waits for
    // none of it.
    runAfterFirstPaint(frmMain, [frmMain] { MprisService::offer(frmMain); });
    const int code = app.exec();

    delete frmMain;
    std::fflush(nullptr);
    // Search workers and probes may still be running; they are not waited for, and the
    // application object is not torn down under them.
    std::_Exit(code);
}
