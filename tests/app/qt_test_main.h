#pragma once
// Shared start of the app tests: a scratch configuration and data folder (so handlers that
// save settings or files never touch the real user's), the web engine's settings, and the
// program's own application class, so exceptions in handlers behave as in the program.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/application.h"
#include "songs/services.h"
#include "tests/support/temp_dir.h"

#define QUAVREL_QTEST_MAIN(TestClass) QUAVREL_QTEST_MAIN_AFTER(TestClass, [](char**) {})

// The same, after `prepare(argv)`: a test that must run inside an environment of its own
// (a display, a bus) starts itself again there and returns only when it cannot.
#define QUAVREL_QTEST_MAIN_AFTER(TestClass, prepare)                               \
    int main(int argc, char** argv)                                                \
    {                                                                              \
        prepare(argv);                                                             \
        quavrel::test::TempDir scratch;                                            \
        setenv("XDG_CONFIG_HOME", scratch.file("config").c_str(), 1);              \
        setenv("XDG_DATA_HOME", scratch.file("data").c_str(), 1);                  \
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);                  \
        quavrel::test::UseTestCatalogue();                                         \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);               \
        quavrel::Application app(argc, argv);                                      \
        TestClass test;                                                            \
        return QTest::qExec(&test, argc, argv);                                    \
    }

namespace quavrel::test {

// The services at the test command's own catalogue (QUAVREL_CATALOG_ADDRESS, set by
// scripts/test-env), never at a service of the user's on the default port.
inline void UseTestCatalogue()
{
    const char* address = std::getenv("QUAVREL_CATALOG_ADDRESS");
    if (!address || !*address)
        return;
    ServiceAddresses addresses = services();
    addresses.searchServer = addresses.makerServer = addresses.portalServer = address;
    setServices(addresses);
}

// Answers the next modal message box: records what it showed and presses `button`.
class ModalBoxWatcher {
public:
    explicit ModalBoxWatcher(QMessageBox::StandardButton button = QMessageBox::Ok) : button_(button)
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    int seen = 0;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttonTexts;

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == last_)
            return;
        last_ = box;
        ++seen;
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttonTexts.clear();
        for (QAbstractButton* b : box->buttons())
            buttonTexts << b->text();
        if (QAbstractButton* b = box->button(button_))
            b->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton button_;
    QTimer timer_;
    QPointer<QMessageBox> last_;
};

}  // namespace quavrel::test
