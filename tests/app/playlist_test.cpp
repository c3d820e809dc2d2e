// The play list on the real main window: adding results, captions, deleting with
// renumbering, open and save through the real dialogs, default.m3u at start and close.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "app/frm_main.h"
#include "app/media_variant.h"
#include "media/m3u.h"
#include "platform/exception.h"
#include "platform/paths.h"
#include "player/windows_media_player.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/player/media_player_of.h"

using namespace quavrel;
using test::readFile;
using test::TempDir;
using test::writeFile;

namespace {

MediaPtr song(const std::string& title, const std::string& url)
{
    MediaPtr m = NewMedia();
    m->Title = title;
    m->Url = url;
    m->FileType = "mp3";
    m->Speed = 10;
    m->Size = 1000;
    return m;
}

// A result row as the search puts it there: the record under Qt::UserRole.
QTreeWidgetItem* addResult(TfrmMain& w, const MediaPtr& m)
{
    auto* item = new QTreeWidgetItem(w.lvSearchResult);
    item->setText(0, QString::fromStdString(m->Title));
    item->setData(0, Qt::UserRole, QVariant::fromValue(m));
    return item;
}

QStringList captions(const TfrmMain& w)
{
    QStringList out;
    for (int i = 0; i < w.lvPlaying->topLevelItemCount(); ++i)
        out << w.lvPlaying->topLevelItem(i)->text(0);
    return out;
}

// Answers the next modal dialog once it is up: runs `act` on it.
void whenModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

void chooseFile(const QString& path)
{
    whenModal([path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        // Typed into the name box, as a user would; the folder view loads asynchronously.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();
        if (dialog->isVisible())
            dialog->reject();   // fail rather than hang; the caller's checks then fail
    });
}

void cancelDialog()
{
    whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
}

void answerConfirm(QMessageBox::StandardButton button, QString* seenText)
{
    whenModal([button, seenText](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        *seenText = box->text();
        box->button(button)->click();
    });
}

std::string m3uOf(int n, bool sameAddress)
{
    std::string text = "#EXTM3U\r\n";
    for (int i = 0; i < n; ++i)
        text += "#EXTINF:0,t" + std::to_string(i) + "\r\n/nonexistent/h/" +
                (sameAddress ? std::string("one") : std::to_string(i)) + ".mp3\r\n\r\n";
    return text;
}

}  // namespace

class PlayListTest : public QObject {
    Q_OBJECT
    test::MainWindowFixture w_;

private slots:
    void init()
    {
        QVERIFY(w_.open());
    }
    void cleanup()
    {
        w_.close();
    }

    // ---- adding ----
    void addAppendsSelectedResultsInRowOrder()
    {
        TfrmMain& w = *w_;
        MediaPtr a = song("a", "/nonexistent/h/a"), b = song("b", "/nonexistent/h/b"),
                 c = song("c", "/nonexistent/h/c");
        addResult(w, a);
        addResult(w, b)->setSelected(true);
        addResult(w, c)->setSelected(true);
        w.AddToPlayList(song("listed", "/nonexistent/h/c"));
        w.RzBitBtn4->click();
        QCOMPARE(captions(w), QStringList({"1.\tlisted", "2.\tb"}));
        // The result row's record is the play-list row's record: no copy.
        QCOMPARE(w.playList().at(1), b);
        QVERIFY(w.lvSearchResult->topLevelItem(1)->isSelected());
        QVERIFY(w.lvSearchResult->topLevelItem(2)->isSelected());
        QCOMPARE(w.WindowsMediaPlayer->URL(), QString());
    }

    void addWithoutSelectionDoesNothing()
    {
        addResult(*w_, song("a", "/nonexistent/h/a"));
        w_->N2Click();
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 0);
    }

    void addReturnsTheRowOfAnExistingSong()
    {
        TfrmMain& w = *w_;
        QCOMPARE(w.AddToPlayList(song("a", "/nonexistent/h/a")), 0);
        QCOMPARE(w.AddToPlayList(song("b", "/nonexistent/h/b")), 1);
        QCOMPARE(w.AddToPlayList(song("other", "/nonexistent/h/a")), 0);
        QCOMPARE(w.AddToPlayList(song("B", "/nonexistent/h/B")), 2);
        QCOMPARE(captions(w), QStringList({"1.\ta", "2.\tb", "3.\tB"}));
    }

    void captionsShowGbkTitlesAndEmptyTitles()
    {
        TfrmMain& w = *w_;
        w.AddToPlayList(song("\xD6\xD0\xCE\xC4", "/nonexistent/h/1"));   // 中文
        w.AddToPlayList(song("", "/nonexistent/h/2"));
        QCOMPARE(captions(w), QStringList({QStringLiteral("1.\t中文"), "2.\t"}));
        QVERIFY(w.lvPlaying->selectedItems().isEmpty());
    }

    // ---- deleting ----
    void deleteRenumbersTheRowsLeft()
    {
        TfrmMain& w = *w_;
        for (const char* t : {"a", "b", "c"})
            w.AddToPlayList(song(t, std::string("/nonexistent/h/") + t));
        w.lvPlaying->topLevelItem(1)->setSelected(true);
        w.PlayIndex = 2;
        w.btnDelete->click();
        QCOMPARE(captions(w), QStringList({"1.\ta", "2.\tc"}));
        QCOMPARE(w.PlayIndex, 2);
        // The deleted song can be added again, as a new last row.
        QCOMPARE(w.AddToPlayList(song("b", "/nonexistent/h/b")), 2);
        QCOMPARE(captions(w), QStringList({"1.\ta", "2.\tc", "3.\tb"}));
    }

    // The Url index moves with the rows: after a delete, a song still listed is found at
    // its new row, and the deleted one comes back as a new last row.
    void urlIndexFollowsDeletedRows()
    {
        TfrmMain& w = *w_;
        for (const char* t : {"a", "b", "c"})
            w.AddToPlayList(song(t, std::string("/nonexistent/h/") + t));
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.btnDelete->click();
        QCOMPARE(w.AddToPlayList(song("c again", "/nonexistent/h/c")), 1);
        QCOMPARE(w.AddToPlayList(song("a again", "/nonexistent/h/a")), 2);
        QCOMPARE(captions(w), QStringList({"1.\tb", "2.\tc", "3.\ta again"}));
        QCOMPARE(w.playList().size(), w.lvPlaying->topLevelItemCount());
    }

    void deleteWithoutSelectionKeepsTheList()
    {
        TfrmMain& w = *w_;
        w.AddToPlayList(song("a", "/nonexistent/h/a"));
        w.btnDeleteClick();
        QCOMPARE(captions(w), QStringList({"1.\ta"}));
    }

    void deletingThePlayingSongKeepsThePlayer()
    {
        TfrmMain& w = *w_;
        w.AddToPlayList(song("a", "/nonexistent/h/a"));
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.lvPlayingDblClick();
        QCOMPARE(w.WindowsMediaPlayer->URL(), QStringLiteral("/nonexistent/h/a"));
        w.btnDeleteClick();
        QCOMPARE(w.lvPlaying->topLevelItemCount(), 0);
        QCOMPARE(w.WindowsMediaPlayer->URL(), QStringLiteral("/nonexistent/h/a"));
    }

    void deletedPlayListRowLeavesTheResultRowUsable()
    {
        TfrmMain& w = *w_;
        MediaPtr a = song("a", "/nonexistent/h/a");
        addResult(w, a)->setSelected(true);
        w.N2Click();
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.btnDeleteClick();
        w.N2Click();
        QCOMPARE(w.playList().at(0), a);
    }

    // ---- open ----
    void openReplacesTheListAndLeavesThePlayer()
    {
        TfrmMain& w = *w_;
        w.AddToPlayList(song("old", "/nonexistent/h/old"));
        w.lvPlaying->topLevelItem(0)->setSelected(true);
        w.lvPlayingDblClick();
        w.PlayIndex = 7;
        std::string file = w_.home().file("list.m3u");
        writeFile(file, "#EXTM3U\n#EXTINF:0,x\n/nonexistent/h/x\n/nonexistent/h/y\n/nonexistent/h/x\n");
        chooseFile(QString::fromStdString(file));
        w.btnOpenClick();
        QCOMPARE(captions(w), QStringList({"1.\tx", "2.\t/nonexistent/h/y"}));
        QCOMPARE(w.PlayIndex, 7);
        QCOMPARE(w.WindowsMediaPlayer->URL(), QStringLiteral("/nonexistent/h/old"));
        // The old rows are gone from the duplicate check too.
        QCOMPARE(w.AddToPlayList(song("old", "/nonexistent/h/old")), 2);
    }

    void cancelledOpenChangesNothing()
    {
        w_->AddToPlayList(song("a", "/nonexistent/h/a"));
        cancelDialog();
        w_->btnOpenClick();
        QCOMPARE(captions(*w_), QStringList({"1.\ta"}));
    }

    void unreadableFileLeavesTheListAsItWas()
    {
        w_->AddToPlayList(song("a", "/nonexistent/h/a"));
        QVERIFY_THROWS_EXCEPTION(EFOpenError, w_->LoadPlayList(w_.home().file("none.m3u")));
        QCOMPARE(captions(*w_), QStringList({"1.\ta"}));
    }

    void loadCountsEveryEntryLine()
    {
        std::string file = w_.home().file("big.m3u");
        writeFile(file, m3uOf(3000, false) + m3uOf(10, true) + m3uOf(10, true));
        QCOMPARE(w_->LoadPlayList(file), 3020);
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 3001);
        QCOMPARE(w_->lvPlaying->topLevelItem(3000)->text(0), QStringLiteral("3001.\tt0"));
    }

    // ---- save ----
    void saveWritesANewFile()
    {
        TfrmMain& w = *w_;
        w.AddToPlayList(song("\xD6\xD0", "/nonexistent/h/1"));
        QString file = QString::fromStdString(w_.home().file("new.m3u"));
        chooseFile(file);
        w.btnSaveClick();
        QCOMPARE(readFile(file.toStdString()),
                 std::string("#EXTM3U\r\n#EXTINF:0,\xD6\xD0\r\n/nonexistent/h/1\r\n\r\n"));
    }

    void replacingAFileAsksFirst()
    {
        TfrmMain& w = *w_;
        w.AddToPlayList(song("a", "/nonexistent/h/a"));
        std::string file = w_.home().file("old.m3u");
        writeFile(file, "keep");
        QString asked;
        chooseFile(QString::fromStdString(file));
        answerConfirm(QMessageBox::Cancel, &asked);
        w.btnSaveClick();
        QCOMPARE(asked, QStringLiteral("文件已经存在，需要覆盖吗？"));
        QCOMPARE(readFile(file), std::string("keep"));

        chooseFile(QString::fromStdString(file));
        answerConfirm(QMessageBox::Ok, &asked);
        w.btnSaveClick();
        QCOMPARE(readFile(file), FormatM3U({song("a", "/nonexistent/h/a")}));
    }

    void cancelledSaveWritesNothing()
    {
        cancelDialog();
        w_->btnSaveClick();
        QDir dir(QString::fromStdString(w_.home().path()));
        QCOMPARE(dir.entryList({"*.m3u"}, QDir::Files), QStringList());
    }

    // ---- default.m3u ----
    void closeWritesDefaultList()
    {
        w_->AddToPlayList(song("a", "/nonexistent/h/a"));
        w_->saveDefaultPlayListAtClose();
        QCOMPARE(readFile(ProgramDir() + "default.m3u"), FormatM3U({song("a", "/nonexistent/h/a")}));
        QVERIFY(ProgramDir().rfind(w_.home().path(), 0) == 0);
    }

    void startWithAutoLoadOffLoadsNothingButCloseStillWrites()
    {
        writeFile(ProgramDir() + "default.m3u", m3uOf(3, false));
        w_->settingsFlags.AutoLoadDefaultList = false;
        w_->loadDefaultPlayListAtStart();
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 0);
        w_->AddToPlayList(song("new", "/nonexistent/h/new"));
        w_->saveDefaultPlayListAtClose();
        QCOMPARE(readFile(ProgramDir() + "default.m3u"),
                 FormatM3U({song("new", "/nonexistent/h/new")}));
    }

    void startWithoutDefaultListLeavesItEmpty()
    {
        w_->loadDefaultPlayListAtStart();
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 0);
    }

    // More than 1000 entries (duplicates count) loads the first song, silent.
    void startWithMoreThanThousandEntriesPreparesTheFirstSong()
    {
        writeFile(ProgramDir() + "default.m3u", m3uOf(1001, true));
        w_->PlayIndex = 5;
        w_->loadDefaultPlayListAtStart();
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 1);
        QVERIFY(w_->lvPlaying->topLevelItem(0)->isSelected());
        QCOMPARE(w_->WindowsMediaPlayer->URL(), QStringLiteral("/nonexistent/h/one.mp3"));
        QCOMPARE(w_->PlayIndex, 0);
        QTest::qWait(200);
        QVERIFY(test::mediaPlayerOf(w_->WindowsMediaPlayer)->playbackState() !=
                QMediaPlayer::PlayingState);
    }

    void startWithThousandEntriesLeavesThePlayerEmpty()
    {
        writeFile(ProgramDir() + "default.m3u", m3uOf(1000, false));
        w_->loadDefaultPlayListAtStart();
        QCOMPARE(w_->lvPlaying->topLevelItemCount(), 1000);
        QVERIFY(w_->lvPlaying->selectedItems().isEmpty());
        QCOMPARE(w_->WindowsMediaPlayer->URL(), QString());
    }
};

int main(int argc, char** argv)
{
    // The window hosts a web view, which wants shared GL contexts before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    PlayListTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "playlist_test.moc"
