#pragma once
// TfrmMain: the main window. It builds every control (frm_main_layout.cpp) and holds the
// handlers of the user's actions, one concern per source file:
//   frm_main_layout.cpp     controls, menus, dialogs, player rectangle, portal page
//   frm_main_pages.cpp      the page control, its pages, the two pages never shown
//                           (frm_main_style.* sizes, colours)
//   frm_main_startup.cpp    FormCreate
//   frm_main_search.cpp     search, next page, clear, hot list, result rows
//   frm_main_playlist.cpp   play list, M3U files
//   frm_main_player.cpp     starting songs, cycling, player status
//   frm_main_settings.cpp   settings page, keyword history
//   frm_main_transfer.cpp   recommendation, download
//   frm_main_lifecycle.cpp  tray icon, minimise/restore, close sequence
// A handler reads the widgets, calls the core, and shows the result; the rules live in
// the core libraries.
#include <QMainWindow>
#include <QPointer>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "media/media.h"
#include "media/playlist.h"
#include "settings/settings_flags.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace quavrel {

class TWindowsMediaPlayer;
class AfterFirstPaint;
class ImageList;
class UrlLabel;
class TrayIcon;
class ResultHandover;
class SharedHttpClient;
struct ListingTarget;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Start-up work, in its fixed order (called once by main after construction).
    void FormCreate();

    // ---- controls (names as designed) ----
    QSplitter* splitter = nullptr;             // page control | size bar | right panel
    QWidget* RzSizePanel1 = nullptr;           // right-hand panel
    QWidget* RzPanel2 = nullptr;               // player block
    QWidget* RzPanelPlayer = nullptr;
    TWindowsMediaPlayer* WindowsMediaPlayer = nullptr;
    QWidget* RzPanel4 = nullptr;
    QLabel* lbPlayerInfo = nullptr;
    QWidget* RzPanel3 = nullptr;               // play-list tool bar
    QPushButton* btnOpen = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnUP = nullptr;
    QPushButton* btnDown = nullptr;
    QTreeWidget* lvPlaying = nullptr;

    QTabWidget* RzPageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;              // "搜索"
    QWidget* TabSheet2 = nullptr;              // "MP3库" (never shown, not in the page control)
    QWidget* TabSheet3 = nullptr;              // "下载" (never shown, not in the page control)
    QWidget* TabSheet4 = nullptr;              // "设置"
    QWidget* TabSheet5 = nullptr;              // "Kitewood游戏"

    QWidget* RzPanel1 = nullptr;               // search bar
    QLabel* RzLabel1 = nullptr;
    QComboBox* cbxKeyword = nullptr;
    QWidget* RzPanel5 = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnNextPage = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnHot = nullptr;
    QWidget* RzPanel6 = nullptr;               // action bar
    QPushButton* RzBitBtn3 = nullptr;          // "播放(&P)"
    QPushButton* RzBitBtn4 = nullptr;          // "添加(&A)"
    QPushButton* RzBitBtn5 = nullptr;          // "推荐(&H)"
    QTreeWidget* lvSearchResult = nullptr;

    QGroupBox* RzGroupBox1 = nullptr;
    QCheckBox* chkAUTOSTART = nullptr;
    QCheckBox* chkAUTOSTARTLEFTBOTTOM = nullptr;
    QCheckBox* chkAUTOLOADDEFAULTLIST = nullptr;
    QCheckBox* chkCYCLEPLAY = nullptr;
    QGroupBox* RzGroupBox2 = nullptr;
    QLabel* RzLabel5 = nullptr;
    QGroupBox* RzGroupBox3 = nullptr;
    QLabel* RzLabel3 = nullptr;
    QLabel* RzLabel4 = nullptr;
    UrlLabel* RzURLLabel1 = nullptr;
    QPushButton* RzBitBtn1 = nullptr;          // "保存设置(&A)"

    // The portal's web view (portal_browser.h): created once the window has been painted.
    QWidget* WebBrowserKitewood = nullptr;

    QStatusBar* RzStatusBar1 = nullptr;
    QLabel* InfoPanel = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* nDownload = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N8 = nullptr;
    QAction* N9 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* N5 = nullptr;
    QAction* P1 = nullptr;
    QAction* N6 = nullptr;
    QAction* X1 = nullptr;

    // The file dialogs, built when first used: each brings a file-system model, a thread
    // and icon look-ups that the start has no need of.
    QFileDialog* OpenDialog1();
    QFileDialog* SaveDialog1();
    QFileDialog* Mp3SaveDialog();
    QTimer* PlayTimer = nullptr;

    // ---- handlers ----
    void btnSearchClick();
    void btnNextPageClick();
    void btnClearClick();
    void btnHotClick();
    void cbxKeywordChange();
    void lvSearchResult2DblClick();
    void N2Click();
    void N4Click();
    void nDownloadClick();
    void lvPlayingDblClick();
    void btnOpenClick();
    void btnSaveClick();
    void btnDeleteClick();
    void btnUPClick() {}
    void btnDownClick() {}
    void WindowsMediaPlayerPlayStateChange(int NewState);
    void WindowsMediaPlayerStatusChange();
    void PlayTimerTimer();
    void P1Click();
    void N5Click();
    void X1Click();
    void chkAUTOSTARTClick();
    void RzBitBtn1Click();
    void FormResize();
    void RzSizePanel1Resize();

    // ---- routines ----
    int AddToPlayList(const MediaPtr& media);
    int LoadPlayList(const std::string& path);
    void SavePlayList(const std::string& path);
    void AddResultRow(const MediaPtr& media);

    // The record of a result row (nullptr for none).
    static MediaPtr mediaOf(const QTreeWidgetItem* item);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The start-up work that waits for the window's first paint (after_first_paint.h).
    AfterFirstPaint* afterFirstPaint_ = nullptr;
    void buildLayout();           // frm_main_layout.cpp
    void connectHandlers();       // frm_main_layout.cpp
    void updatePlayerRect();      // frm_main_layout.cpp

    // ---- layout (frm_main_layout.cpp, frm_main_pages.cpp) ----
public:
    std::unique_ptr<ImageList> ImageList1;     // 32 x 32: tab pictures; 4 is the tray icon
    std::unique_ptr<ImageList> ImageList2;     // 16 x 16: play-list tool bar
    // The hidden pages' controls: built with the window, never shown, never filled.
    QWidget* RzSizePanel2 = nullptr;
    QTreeWidget* RzTreeView1 = nullptr;
    QTreeWidget* RzListView2 = nullptr;
    QTreeWidget* RzListView3 = nullptr;
    QWidget* RzSizePanel3 = nullptr;
    // The button Enter clicks on the page now showing (nullptr on the portal page).
    QPushButton* defaultButtonOfCurrentPage() const;
    // FormCreate step 6: directs the portal page to its address once; the web view is
    // created and sent there right after the window's first paint.
    void navigatePortal();
private:
    void buildRightPanel();
    void buildStatusBar();
    void buildMenus();
    void buildPageControl();      // frm_main_pages.cpp, with the pages below
    void buildSearchPage();
    void buildSettingsPage();
    void buildHiddenPages();
    void buildPortalPage();
    void createPortalView();
    bool handleEnter(QKeyEvent* event);
    QFileDialog* openDialog1_ = nullptr;
    QFileDialog* saveDialog1_ = nullptr;
    QFileDialog* mp3SaveDialog_ = nullptr;
    // A new download dialog in the folder of the one before (frm_main_layout.cpp).
    QFileDialog* renewMp3SaveDialog();

    // ---- search (frm_main_search.cpp) ----
public:
    std::atomic<int32_t> NextItem{0};
    // The shared client of the search, the next page and the hot list.
    std::shared_ptr<SharedHttpClient> httpClient = makeHttpClient();
    // Background of the result row at `row` (0-based position in the list).
    static QColor lvSearchResult2CustomDrawItem(int row);
private:
    // Closes the probes' hand-over gate when the window goes, before NextItem and the
    // list do, so a late worker reaches neither.
    struct SearchGate {
        std::shared_ptr<ResultHandover> gate;
        ~SearchGate();
    };
    static std::shared_ptr<SharedHttpClient> makeHttpClient();
    std::shared_ptr<ResultHandover> makeResultGate();
    ListingTarget listingTarget(const std::string& server) const;
    void drawResultRowsByPosition();
    SearchGate searchGate_{makeResultGate()};
    bool rowColoursInstalled_ = false;
    // ---- play list and M3U (frm_main_playlist.cpp) ----
public:
    void loadDefaultPlayListAtStart();    // FormCreate step 5
    void saveDefaultPlayListAtClose();    // close sequence step 1
    // The songs of the play list, row by row; lvPlaying shows them.
    const PlayList& playList() const { return playList_; }
private:
    // The one owner of the play list's rows and their Url index. lvPlaying shows one
    // caption per row, in the same order; only the routines of frm_main_playlist.cpp
    // change the two, always together.
    PlayList playList_;
    void clearPlayList();
    void renumberPlayList();
    // ---- player (frm_main_player.cpp) ----
public:
    int32_t PlayIndex = 0;
    void startSong(const MediaPtr& media);   // close, then URL
    // Moves PlayIndex one row on (step 1) or back (step -1) with the wrap-around of cycling
    // play, selects that row and starts its song. False when the play list is empty.
    bool stepPlayList(int step);
    // The record last given to the player; nullptr before the first song.
    const MediaPtr& songInPlayer() const { return songInPlayer_; }
private:
    MediaPtr songInPlayer_;
    void createMediaBackEndWhenIdle();
    // ---- settings and keyword history (frm_main_settings.cpp) ----
public:
    void loadSettingsAtStart();           // FormCreate steps 2 and 3
    void loadKeywordHistoryAtStart();     // FormCreate step 4
    void saveKeywordHistoryAtClose();     // close sequence step 2
    void RememberKeyword(const std::string& trimmedKeyword);
    // Sets the keyword box up for the history: GBK entries kept with each item, completion
    // while typing. Idempotent; loadSettingsAtStart calls it too.
    void setUpKeywordBox();
    // The settings flags, as last read or saved; the player reads CyclePlay when a song
    // ends, the play list AutoLoadDefaultList at start-up.
    SettingsFlags settingsFlags;
private:
    QObject* keywordCompleter_ = nullptr;
    // ---- recommendation and download (frm_main_transfer.cpp) ----
    // ---- tray and lifecycle (frm_main_lifecycle.cpp) ----
public:
    TrayIcon* RzTrayIcon1 = nullptr;
    bool FormCloseQuery();                // the close sequence; true allows the close
    // The session is ending (the session manager asks before logging off): both files are
    // written and the window stays, as the log-out may be cancelled. Failures are shown
    // when mayInteract() says the user can answer a box, else written to standard error.
    void commitSessionData(const std::function<bool()>& mayInteract);
    // The close sequence with failures written to standard error instead of boxes nobody
    // may answer: a termination signal or a session that ends.
    void closeWithoutInteraction();
    // Brings the window back from the tray or the minimised state, in the foreground.
    void restoreProgram();
    // A minimised start: only the tray icon shows until the window is restored (without
    // a tray, the window starts minimised as usual).
    void showMinimizedStart();
    bool hiddenToTray() const { return hiddenToTray_; }

signals:
    // The close sequence ran and the close was allowed: the program ends.
    void closed();

private:
    void setUpTrayIcon();                 // called while the layout is built
    // Writes default.m3u and key.lst, each attempted; returns what failed.
    std::vector<std::exception_ptr> writeSessionFiles();
    void reportFailures(const std::vector<std::exception_ptr>& failures, Interaction interaction);
    Interaction closeInteraction_ = Interaction::Allowed;
    void hideToTray();
    // The state to come back to from the tray: normal or maximised.
    Qt::WindowStates stateBeforeMinimize_ = Qt::WindowNoState;
    bool hiddenToTray_ = false;
};

}  // namespace quavrel
