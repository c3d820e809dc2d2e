// The keyword history in the real keyword box: key.lst at start and close, searched
// keywords moving to the top, and completion while typing.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <memory>
#include <sys/resource.h>

#include "app/frm_main.h"
#include "songs/services.h"
#include "platform/exception.h"
#include "platform/paths.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;
using test::readFile;
using test::TempDir;
using test::writeFile;

class KeywordHistoryTest : public QObject {
    Q_OBJECT
private:
    test::MainWindowFixture w_;
    QTcpServer server_;  // a search service that hangs up at once

    QStringList items() const
    {
        QStringList out;
        for (int i = 0; i < w_->cbxKeyword->count(); ++i)
            out << w_->cbxKeyword->itemText(i);
        return out;
    }
    void start(const std::string& keyLst)
    {
        writeFile(ProgramDir() + "key.lst", keyLst);
        w_->loadKeywordHistoryAtStart();
    }
    void search(const QString& typed)
    {
        w_->cbxKeyword->setEditText(typed);
        w_->btnSearchClick();
    }
    // Selects all of the box's text with Ctrl+A and types `keys` over it.
    void typeOver(const char* keys)
    {
        QTest::keyClick(w_->cbxKeyword->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w_->cbxKeyword->lineEdit(), keys);
    }
    // Opens the drop-down list and clicks the entry at `row`.
    void pick(int row)
    {
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->cbxKeyword->showPopup();
        QAbstractItemView* view = w_->cbxKeyword->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        const QRect entry = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
        QTRY_VERIFY(!view->isVisible());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen(QHostAddress::LocalHost));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                socket->close();
        });
        ServiceAddresses addresses;
        addresses.searchServer = "127.0.0.1:" + std::to_string(server_.serverPort());
        setServices(addresses);
    }
    void init()
    {
        QVERIFY(w_.open(test::MainWindowFixture::Show::Hidden));
        w_->setUpKeywordBox();
    }
    void cleanup()
    {
        w_.close();
    }

    // ---- key.lst ----
    void mixedLineEndsKeepTheEmptyLine()
    {
        start("a\nb\r\n\r\nc");
        QCOMPARE(items(), (QStringList{"a", "b", "", "c"}));
        QCOMPARE(w_->cbxKeyword->currentText(), QString());
    }

    void noFileLeavesTheListEmpty()
    {
        w_->loadKeywordHistoryAtStart();
        QCOMPARE(w_->cbxKeyword->count(), 0);
    }

    void unopenableFileFails()
    {
        std::filesystem::create_directories(ProgramDir() + "key.lst");
        QVERIFY_THROWS_EXCEPTION(EFOpenError, w_->loadKeywordHistoryAtStart());
    }

    // Bytes that are not valid GBK come back unchanged at close.
    void closeWritesTheListByteForByte()
    {
        const std::string bytes = "\xD6\xD0\xCE\xC4\r\n\x81\r\n\r\nabc\r\n";
        start(bytes);
        w_->saveKeywordHistoryAtClose();
        QCOMPARE(readFile(ProgramDir() + "key.lst"), bytes);
    }

    void failedCloseWriteKeepsTheOldFile()
    {
        start("old\r\n");
        for (int i = 0; i < 100; ++i)
            search(QStringLiteral("keyword %1").arg(i));
        struct sigaction ignore {}, old {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &old);
        rlimit oldLimit{};
        getrlimit(RLIMIT_FSIZE, &oldLimit);
        rlimit small = oldLimit;
        small.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &small);
        QVERIFY_THROWS_EXCEPTION(Exception, w_->saveKeywordHistoryAtClose());
        setrlimit(RLIMIT_FSIZE, &oldLimit);
        sigaction(SIGXFSZ, &old, nullptr);
        QCOMPARE(readFile(ProgramDir() + "key.lst"), std::string("old\r\n"));
    }

    // ---- searching ----
    void searchTrimsTheEntryButNotTheBox()
    {
        search(QStringLiteral("  abc  "));
        QCOMPARE(items(), QStringList{"abc"});
        QCOMPARE(w_->cbxKeyword->currentText(), QStringLiteral("  abc  "));
        w_->saveKeywordHistoryAtClose();
        QCOMPARE(readFile(ProgramDir() + "key.lst"), std::string("abc\r\n"));
    }

    void matchMovesUpInItsOwnLetterCase()
    {
        start("x\r\nABC\r\ny\r\n");
        search(QStringLiteral("abc"));
        QCOMPARE(items(), (QStringList{"ABC", "x", "y"}));
        QCOMPARE(w_->cbxKeyword->currentText(), QStringLiteral("abc"));
    }

    void onlyTheFirstOfTwoEqualLinesMoves()
    {
        start("a\r\ndup\r\nb\r\ndup\r\n");
        search(QStringLiteral("dup"));
        QCOMPARE(items(), (QStringList{"dup", "a", "b", "dup"}));
    }

    void blankKeywordChangesNothing()
    {
        start("a\r\n");
        search(QStringLiteral("   "));
        QCOMPARE(items(), QStringList{"a"});
        w_->saveKeywordHistoryAtClose();
        QCOMPARE(readFile(ProgramDir() + "key.lst"), std::string("a\r\n"));
    }

    // ---- completion while typing ----
    void typingCompletesWithTheFirstEntryInListOrder()
    {
        start("zeta\r\nAbcd\r\nabc\r\n");
        QLineEdit* edit = w_->cbxKeyword->lineEdit();
        QTest::keyClicks(w_->cbxKeyword, "ab");
        QCOMPARE(edit->text(), QStringLiteral("Abcd"));
        QCOMPARE(edit->selectedText(), QStringLiteral("cd"));
        QTest::keyClicks(w_->cbxKeyword, "C");
        QCOMPARE(edit->text(), QStringLiteral("Abcd"));
        QCOMPARE(edit->selectedText(), QStringLiteral("d"));
        // Deleting the completed part completes nothing.
        QTest::keyClick(w_->cbxKeyword, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("Abc"));
        QCOMPARE(edit->selectedText(), QString());
    }

    void typingCompletesChineseAndNotUnknownText()
    {
        start("\xD6\xD0\xCE\xC4\xB8\xE8\r\n");  // 中文歌
        // Key clicks only know Latin keys; a typed Chinese character comes as text.
        QTest::sendKeyEvent(QTest::Press, w_->cbxKeyword->lineEdit(), Qt::Key_unknown,
                            QStringLiteral("中"), Qt::NoModifier);
        QCOMPARE(w_->cbxKeyword->currentText(), QStringLiteral("中文歌"));
        QCOMPARE(w_->cbxKeyword->lineEdit()->selectedText(), QStringLiteral("文歌"));
        w_->cbxKeyword->setEditText(QString());
        QTest::keyClicks(w_->cbxKeyword, "q");
        QCOMPARE(w_->cbxKeyword->currentText(), QStringLiteral("q"));
    }

    // Completion looks at the text as it was just before each edit, whatever was typed,
    // searched or picked earlier.
    void completionFollowsTheTextBeforeEachEdit()
    {
        start("zeta\r\nabcd\r\n");
        QLineEdit* edit = w_->cbxKeyword->lineEdit();
        QTest::keyClicks(edit, "ab");
        QCOMPARE(edit->text(), QStringLiteral("abcd"));
        typeOver("z");
        QCOMPARE(edit->text(), QStringLiteral("zeta"));
        QCOMPARE(edit->selectedText(), QStringLiteral("eta"));

        typeOver("abcd");
        w_->btnSearchClick();
        typeOver("z");
        QCOMPARE(edit->text(), QStringLiteral("zeta"));

        pick(w_->cbxKeyword->findText(QStringLiteral("abcd")));
        QCOMPARE(edit->text(), QStringLiteral("abcd"));
        typeOver("z");
        QCOMPARE(edit->text(), QStringLiteral("zeta"));
    }

    // ---- the next-page button ----
    // Filling the box from key.lst at start is not a change by the user.
    void loadingTheHistoryKeepsNextPageEnabled()
    {
        start("abc\r\nxyz\r\n");
        QVERIFY(w_->btnNextPage->isEnabled());
    }

    void pickingFromTheListDisablesNextPage()
    {
        start("abc\r\nxyz\r\n");
        w_->btnNextPage->setEnabled(true);
        pick(1);
        QCOMPARE(w_->cbxKeyword->currentText(), QStringLiteral("xyz"));
        QVERIFY(!w_->btnNextPage->isEnabled());
    }

    // The drop-down list shows the history order, and Enter adds nothing to it.
    void listIsNeitherSortedNorGrownByTyping()
    {
        start("b\r\na\r\n");
        QCOMPARE(w_->cbxKeyword->view()->model()->index(0, 0).data().toString(), QStringLiteral("b"));
        w_->cbxKeyword->setEditText(QStringLiteral("new"));
        QTest::keyClick(w_->cbxKeyword->lineEdit(), Qt::Key_Return);
        QCOMPARE(items(), (QStringList{"b", "a"}));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    KeywordHistoryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "keyword_history_test.moc"
