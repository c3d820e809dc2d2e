// The program's message boxes and the standard error box for exceptions that escape a
// handler.
#include <QPushButton>
#include <stdexcept>

#include "app/message_boxes.h"
#include "app/qt_ui_hooks.h"
#include "platform/exception.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

class ErrorBoxTest : public QObject {
    Q_OBJECT
private slots:
    // ---- The full-stop rule ----

    void fullStop_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QByteArray("abc") << QStringLiteral("abc.");
        QTest::newRow("has stop") << QByteArray("abc.") << QStringLiteral("abc.");
        QTest::newRow("space sorts below") << QByteArray("abc ") << QStringLiteral("abc ");
        QTest::newRow("comma sorts below") << QByteArray("abc,") << QStringLiteral("abc,");
        QTest::newRow("slash sorts above") << QByteArray("abc/") << QStringLiteral("abc/.");
        QTest::newRow("socket error")
            << QByteArray("Socket Error # 10061\r\nConnection refused.")
            << QStringLiteral("Socket Error # 10061\r\nConnection refused.");
        QTest::newRow("line break") << QByteArray("abc\r\n") << QStringLiteral("abc\r\n");
        QTest::newRow("empty") << QByteArray() << QStringLiteral(".");
        QTest::newRow("gbk") << QByteArray("\xD6\xD0\xCE\xC4") << QStringLiteral("中文.");
    }

    void fullStop()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, shown);
        QCOMPARE(errorBoxText(message.toStdString()), shown);
    }

    // ---- The boxes ----

    void errorBoxLooksAsDesigned()
    {
        test::ModalBoxWatcher watcher;
        showErrorBox(nullptr, "Read Timeout");
        QCOMPARE(watcher.seen, 1);
        QCOMPARE(watcher.title, QStringLiteral("Quavrel"));
        QCOMPARE(watcher.text, QStringLiteral("Read Timeout."));
        QCOMPARE(watcher.icon, QMessageBox::Critical);
        QCOMPARE(watcher.buttonTexts, QStringList{QStringLiteral("确定")});
    }

    void simpleMessageHasNoIcon()
    {
        test::ModalBoxWatcher watcher;
        showSimpleMessage(nullptr, QStringLiteral("设置保存完成！"));
        QCOMPARE(watcher.seen, 1);
        QCOMPARE(watcher.title, QStringLiteral("Quavrel"));
        QCOMPARE(watcher.text, QStringLiteral("设置保存完成！"));
        QCOMPARE(watcher.icon, QMessageBox::NoIcon);
        QCOMPARE(watcher.buttonTexts.size(), 1);
    }

    void confirmBoxAnswers()
    {
        QWidget owner;
        {
            test::ModalBoxWatcher ok(QMessageBox::Ok);
            QVERIFY(confirmBox(&owner, QStringLiteral("确定要推荐此歌曲吗？")));
            QCOMPARE(ok.title, QStringLiteral("注意"));
            QCOMPARE(ok.icon, QMessageBox::NoIcon);
            QCOMPARE(ok.buttonTexts.size(), 2);
        }
        {
            test::ModalBoxWatcher cancel(QMessageBox::Cancel);
            QVERIFY(!confirmBox(&owner, QStringLiteral("确定要推荐此歌曲吗？")));
            QCOMPARE(cancel.seen, 1);
        }
    }

    // ---- Exceptions escaping handlers ----

    void exceptionInHandlerShowsBoxAndLoopGoesOn()
    {
        QPushButton button(QStringLiteral("go"));
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&] {
            ++clicks;
            throw EFOpenError("Cannot open file \"/x/key.lst\". Permission denied");
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        test::ModalBoxWatcher watcher;
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(watcher.seen, 1);
        QCOMPARE(watcher.text, QStringLiteral("Cannot open file \"/x/key.lst\". Permission denied."));
        QCOMPARE(watcher.title, QStringLiteral("Quavrel"));
        QCOMPARE(watcher.icon, QMessageBox::Critical);

        // The loop still delivers timers and the button still works.
        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        QTRY_VERIFY(fired);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(watcher.seen, 2);
    }

    void standardExceptionShowsItsText()
    {
        QPushButton button;
        QObject::connect(&button, &QPushButton::clicked, [] { throw std::runtime_error("bad thing"); });
        test::ModalBoxWatcher watcher;
        // Queued, so the click arrives as an event of the loop, as a user's would.
        QMetaObject::invokeMethod(&button, "click", Qt::QueuedConnection);
        QTRY_COMPARE(watcher.seen, 1);
        QCOMPARE(watcher.text, QStringLiteral("bad thing."));
    }

    // A request given up because the window closed must not pop up a box after it.
    void nothingIsShownWhileClosing()
    {
        qtUiHooks().setClosing(true);
        QPushButton button;
        QObject::connect(&button, &QPushButton::clicked, [] { throw Exception("aborted"); });
        test::ModalBoxWatcher watcher;
        bool after = false;
        QMetaObject::invokeMethod(&button, "click", Qt::QueuedConnection);
        QTimer::singleShot(50, [&] { after = true; });
        QTRY_VERIFY(after);
        qtUiHooks().setClosing(false);
        QCOMPARE(watcher.seen, 0);
    }
};

QUAVREL_QTEST_MAIN(ErrorBoxTest)
#include "error_box_test.moc"
