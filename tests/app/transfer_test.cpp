// Recommending and downloading the selected search result through the real window, against
// scripted servers on 127.0.0.1.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/frm_main.h"
#include "songs/services.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

using namespace quavrel;

namespace {

// Answers the next showing of `dialog`: `answer` gets the dialog and decides.
class DialogWatcher {
public:
    DialogWatcher(QFileDialog* dialog, std::function<void(QFileDialog*)> answer)
        : dialog_(dialog), answer_(std::move(answer))
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (dialog_->isVisible() && !answered_) {
                answered_ = true;
                suggested = dialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                answer_(dialog_);
            }
        });
        timer_.start();
    }
    QString suggested;

private:
    QFileDialog* dialog_;
    std::function<void(QFileDialog*)> answer_;
    QTimer timer_;
    bool answered_ = false;
};

void saveAs(QFileDialog* dialog, const std::string& path)
{
    dialog->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();   // as the dialog's own button does
}

class MakerServerScope {
public:
    explicit MakerServerScope(uint16_t port) : saved_(services())
    {
        ServiceAddresses addresses = saved_;
        addresses.makerServer = "127.0.0.1:" + std::to_string(port);
        setServices(addresses);
    }
    ~MakerServerScope() { setServices(saved_); }

private:
    ServiceAddresses saved_;
};

}  // namespace

class TransferTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TfrmMain> w_;

    // Lists one song and selects its row.
    void listAndSelect(const std::string& url, const std::string& title = "t a", const std::string& album = "")
    {
        MediaPtr media = NewMedia();
        media->Title = title;
        media->Singer = "s";
        media->Album = album;
        media->Url = url;
        media->Speed = 1;
        media->Size = 1000;
        w_->AddResultRow(media);
        w_->lvSearchResult->topLevelItem(w_->lvSearchResult->topLevelItemCount() - 1)->setSelected(true);
    }

private slots:
    void init()
    {
        w_ = std::make_unique<TfrmMain>();
        w_->show();
    }
    void cleanup() { w_.reset(); }

    // ---- Recommendation ----

    void withoutSelectionNothingIsAskedOrSent()
    {
        test::ModalBoxWatcher boxes;
        w_->N4Click();
        QTest::qWait(60);
        QCOMPARE(boxes.seen, 0);
    }

    void cancelSendsNothing()
    {
        test::ScriptedServer maker;
        MakerServerScope scope(maker.port());
        listAndSelect("http://h/x.mp3");
        test::ModalBoxWatcher boxes(QMessageBox::Cancel);
        w_->N4Click();
        QCOMPARE(boxes.seen, 1);
        QCOMPARE(boxes.text, QStringLiteral("确定要推荐此歌曲吗？"));
        QCOMPARE(boxes.title, QStringLiteral("注意"));
        QTest::qWait(50);
        QCOMPARE(maker.connections(), 0);
    }

    void okSendsTheSongAndThanks()
    {
        test::ScriptedServer maker;
        maker.add(test::Script().answer(test::HttpResponseText("ok")));
        MakerServerScope scope(maker.port());
        listAndSelect("http://h/x.mp3", "t a", "");
        test::ModalBoxWatcher boxes;   // OK to the question, then OK to the thanks
        w_->N4Click();
        QCOMPARE(boxes.seen, 2);
        QCOMPARE(boxes.text, QStringLiteral("推荐成功，谢谢！"));
        QVERIFY(maker.request(0).rfind(
                    "GET /recommend.asp?subject=t+a&url=http%3A%2F%2Fh%2Fx%2Emp3&author=s&special= HTTP/1.1\r\n", 0) == 0);
    }

    // Thanking the user for a request that failed would report a failure as a success.
    void aDeadServerGetsTheFailureText()
    {
        uint16_t deadPort;
        {
            test::ScriptedServer gone;
            deadPort = gone.port();
        }
        MakerServerScope scope(deadPort);
        listAndSelect("http://h/x.mp3");
        test::ModalBoxWatcher boxes;
        w_->N4Click();
        QCOMPARE(boxes.seen, 2);
        QCOMPARE(boxes.text, QStringLiteral("推荐失败，请检查网络后再试。"));
    }

    // ---- Download ----

    void suggestsTheNameAndReplacesWithoutAsking()
    {
        test::ScriptedServer songs;
        songs.add(test::Script().answer(test::HttpResponseText("new bytes")));
        test::TempDir dir;
        test::writeFile(dir.file("song.mp3"), "old");
        listAndSelect(songs.url("/music/song.mp3"));
        DialogWatcher save(w_->Mp3SaveDialog(), [&](QFileDialog* d) { saveAs(d, dir.file("song.mp3")); });
        test::ModalBoxWatcher boxes;
        w_->nDownloadClick();
        QCOMPARE(save.suggested, QStringLiteral("song.mp3"));
        QCOMPARE(boxes.seen, 0);
        QCOMPARE(test::readFile(dir.file("song.mp3")), std::string("new bytes"));
    }

    void cancelInTheDialogFetchesNothing()
    {
        test::ScriptedServer songs;
        listAndSelect(songs.url("/a.mp3"));
        DialogWatcher save(w_->Mp3SaveDialog(), [](QFileDialog* d) { d->reject(); });
        w_->nDownloadClick();
        QTest::qWait(50);
        QCOMPARE(songs.connections(), 0);
    }

    void a404ShowsTheStatusLineAndCreatesNoFile()
    {
        test::ScriptedServer songs;
        songs.add(test::Script().answer(test::HttpResponseText("", "HTTP/1.1 404 Not Found")));
        test::TempDir dir;
        listAndSelect(songs.url("/gone.mp3"));
        DialogWatcher save(w_->Mp3SaveDialog(), [&](QFileDialog* d) { saveAs(d, dir.file("gone.mp3")); });
        test::ModalBoxWatcher boxes;
        w_->nDownloadClick();
        QCOMPARE(boxes.seen, 1);
        QCOMPARE(boxes.text, QStringLiteral("HTTP/1.1 404 Not Found."));
        QVERIFY(!std::filesystem::exists(dir.file("gone.mp3")));
    }

    void aFolderThatCannotBeWrittenIsReported()
    {
        test::ScriptedServer songs;
        songs.add(test::Script().answer(test::HttpResponseText("abc")));
        test::TempDir dir;
        test::writeFile(dir.file("plainfile"), "");
        const std::string path = dir.file("plainfile/x.mp3");   // a file is no folder
        listAndSelect(songs.url("/x.mp3"));
        DialogWatcher save(w_->Mp3SaveDialog(), [&](QFileDialog* d) {
            d->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(d)->accept();
        });
        test::ModalBoxWatcher boxes;
        w_->nDownloadClick();
        QCOMPARE(boxes.seen, 1);
        QVERIFY2(boxes.text.startsWith(QStringLiteral("Cannot create file \"")), qPrintable(boxes.text));
    }

    // While a slow song arrives the status pane shows its progress, the window goes on
    // handling events, and the earlier text comes back at the end.
    void progressShowsWhileASlowBodyStreams()
    {
        const std::string part(40000, 'z');
        test::ScriptedServer songs;
        songs.add(test::Script()
                      .read()
                      .send("HTTP/1.1 200 OK\r\nContent-Length: 120000\r\n\r\n" + part)
                      .pause(400)
                      .send(part)
                      .pause(400)
                      .send(part));
        test::TempDir dir;
        listAndSelect(songs.url("/slow.mp3"));
        w_->InfoPanel->setText(QStringLiteral("before"));
        QStringList seen;
        int ticks = 0;
        QTimer sampler;
        sampler.setInterval(50);
        connect(&sampler, &QTimer::timeout, [&] {
            ++ticks;
            if (seen.isEmpty() || seen.last() != w_->InfoPanel->text())
                seen << w_->InfoPanel->text();
        });
        sampler.start();
        DialogWatcher save(w_->Mp3SaveDialog(), [&](QFileDialog* d) { saveAs(d, dir.file("slow.mp3")); });
        w_->nDownloadClick();
        sampler.stop();
        QCOMPARE(test::readFile(dir.file("slow.mp3")).size(), size_t(120000));
        QCOMPARE(w_->InfoPanel->text(), QStringLiteral("before"));
        QVERIFY2(ticks >= 3, qPrintable(QStringLiteral("only %1 timer ticks while the song arrived").arg(ticks)));
        bool sawProgress = false;
        for (const QString& text : seen)
            sawProgress = sawProgress || (text.contains(QStringLiteral("slow.mp3")) &&
                                          text.contains(QStringLiteral("/ 117 KB")));
        QVERIFY2(sawProgress, qPrintable(seen.join(QStringLiteral(" | "))));
    }
};

QUAVREL_QTEST_MAIN(TransferTest)
#include "transfer_test.moc"
