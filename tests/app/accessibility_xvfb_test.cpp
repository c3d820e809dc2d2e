// What assistive technology gets from the main window through Qt's accessibility
// interface: the status pane's messages as they come, and nothing of the two pages that
// are never shown. Qt raises accessibility events only while an AT-SPI bus listens, so
// the test runs itself inside a private session bus with one (on a real display).
#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

#include "app/frm_main.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

namespace {

// The accessibility events Qt raised, as (object, type).
QList<QPair<QObject*, QAccessible::Event>> raised;
void recordEvent(QAccessibleEvent* event) { raised.append({event->object(), event->type()}); }

// Every interface below `root`, depth first.
QList<QAccessibleInterface*> subtree(QAccessibleInterface* root)
{
    QList<QAccessibleInterface*> all{root};
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* child = root->child(i))
            all += subtree(child);
    return all;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TfrmMain> w_;

private slots:
    void initTestCase()
    {
        QAccessible::installUpdateHandler(recordEvent);
        if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 20000))
            QSKIP("no AT-SPI bus came up");
    }
    void init()
    {
        raised.clear();
        w_ = std::make_unique<TfrmMain>();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    // ---- Status pane ----

    // A screen reader reads the pane's message itself, and hears of each new one.
    void statusPaneReadsAndAnnouncesItsMessage()
    {
        const QString hint = QStringLiteral("请输入歌手名、歌曲名等任意关键字再搜索");
        QTest::mouseClick(w_->btnSearch, Qt::LeftButton);   // an empty keyword shows the hint
        QCOMPARE(w_->InfoPanel->text(), hint);
        QCOMPARE(QAccessible::queryAccessibleInterface(w_->InfoPanel)->text(QAccessible::Name), hint);
        QVERIFY(raised.contains({w_->InfoPanel, QAccessible::NameChanged}));
    }

    // ---- Hidden pages ----

    void hiddenPagesAreNotInTheAccessibleTree()
    {
        QStringList pageTabs;
        for (QAccessibleInterface* node : subtree(QAccessible::queryAccessibleInterface(qApp))) {
            QObject* object = node->object();
            QVERIFY(object != w_->TabSheet2 && object != w_->TabSheet3);
            if (node->role() == QAccessible::PageTab)
                pageTabs << node->text(QAccessible::Name);
        }
        QCOMPARE(pageTabs, (QStringList{"搜索", "设置", "Kitewood游戏"}));
    }
};

// Starts the test again inside `dbus-run-session` with the AT-SPI bus launched; returns
// only when that cannot be done (the test then finds no bus and skips).
void runInsideAnAccessibilityBus(char** argv)
{
    if (qEnvironmentVariableIsSet("QUAVREL_A11Y_BUS"))
        return;
    setenv("QUAVREL_A11Y_BUS", "1", 1);
    setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
    std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--"),
                            const_cast<char*>("sh"), const_cast<char*>("-c"),
                            const_cast<char*>("/usr/libexec/at-spi-bus-launcher --launch-immediately "
                                              ">/dev/null 2>&1 & exec \"$@\""),
                            const_cast<char*>("sh")};
    for (char** arg = argv; *arg; ++arg)
        args.push_back(*arg);
    args.push_back(nullptr);
    execvp(args[0], args.data());
}

QUAVREL_QTEST_MAIN_AFTER(AccessibilityTest, runInsideAnAccessibilityBus)

#include "accessibility_xvfb_test.moc"
