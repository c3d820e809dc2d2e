// The main window's frame: construction, the right-hand panel, status bar, menus, dialogs,
// the handler wiring, the player rectangle and the Enter key. The pages of the page
// control are built in frm_main_pages.cpp.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/after_first_paint.h"
#include "app/application.h"
#include "app/frm_main.h"
#include "app/frm_main_style.h"
#include "app/image_lists.h"
#include "app/list_double_click.h"
#include "app/program_icon.h"
#include "app/qt_ui_hooks.h"
#include "player/windows_media_player.h"

namespace quavrel {

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent)
{
    // A new main window is open until its own close sequence says otherwise.
    qtUiHooks().setClosing(false);
    afterFirstPaint_ = new AfterFirstPaint(this);
    ImageList1 = std::make_unique<ImageList>(makeImageList1());
    ImageList2 = std::make_unique<ImageList>(makeImageList2());
    buildLayout();
    connectHandlers();
    setUpTrayIcon();
    createMediaBackEndWhenIdle();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::buildLayout()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kProductName));
    setWindowIcon(programIcon());   // the tray's picture, at every size
    setFont(mainFont());
    setStyleSheet(mainStyleSheet());

    // The splitter handle is the right-hand panel's sizing bar: page control | bar | panel.
    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setHandleWidth(kSizeBarWidth);
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    buildPageControl();
    buildRightPanel();
    splitter->addWidget(RzPageControl1);
    splitter->addWidget(RzSizePanel1);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({kClientWidth - kSizeBarWidth - kRightPanelWidth, kRightPanelWidth});

    buildStatusBar();
    buildMenus();

    PlayTimer = new QTimer(this);
    PlayTimer->setObjectName(QStringLiteral("PlayTimer"));
    PlayTimer->setInterval(100);

    cbxKeyword->setFocus();   // takes effect when the window first becomes active
    resize(kClientWidth, kClientHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

void TfrmMain::buildRightPanel()
{
    RzSizePanel1 = new QWidget;
    RzSizePanel1->setObjectName(QStringLiteral("RzSizePanel1"));
    auto* column = new QVBoxLayout(RzSizePanel1);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    RzPanel2 = new QWidget(RzSizePanel1);
    RzPanel2->setObjectName(QStringLiteral("RzPanel2"));
    RzPanel2->setFixedHeight(64);
    auto* playerBlock = new QVBoxLayout(RzPanel2);
    playerBlock->setContentsMargins(0, 0, 0, 0);
    playerBlock->setSpacing(0);
    RzPanelPlayer = new QWidget(RzPanel2);
    RzPanelPlayer->setObjectName(QStringLiteral("RzPanelPlayer"));
    // The player is placed by hand (updatePlayerRect), never by a layout.
    WindowsMediaPlayer = new TWindowsMediaPlayer(RzPanelPlayer);
    WindowsMediaPlayer->setObjectName(QStringLiteral("WindowsMediaPlayer"));
    WindowsMediaPlayer->setAccessibleName(QStringLiteral("播放器"));
    RzPanel4 = new QFrame(RzPanel2);
    RzPanel4->setObjectName(QStringLiteral("RzPanel4"));
    RzPanel4->setFixedHeight(19);
    lbPlayerInfo = new QLabel(RzPanel4);
    lbPlayerInfo->setObjectName(QStringLiteral("lbPlayerInfo"));
    // At (5, 3), as wide as the panel lets it be: 200 at the designed width. A long text
    // never widens the panel.
    lbPlayerInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* statusStrip = new QHBoxLayout(RzPanel4);
    statusStrip->setContentsMargins(5, 3, 3, 3);
    statusStrip->addWidget(lbPlayerInfo);
    playerBlock->addWidget(RzPanelPlayer, 1);
    playerBlock->addWidget(RzPanel4);

    RzPanel3 = new QWidget(RzSizePanel1);
    RzPanel3->setObjectName(QStringLiteral("RzPanel3"));
    RzPanel3->setFixedHeight(30);
    struct ToolButton {
        QPushButton** button;
        const char* name;
        int left;
        int picture;
        const char* accessibleName;
        bool visible;
    };
    const ToolButton toolButtons[] = {
        {&btnOpen, "btnOpen", 0, 8, "打开播放列表", true},
        {&btnSave, "btnSave", 25, 6, "保存播放列表", true},
        {&btnDelete, "btnDelete", 50, 4, "删除", true},
        {&btnUP, "btnUP", 103, 0, "上移", false},
        {&btnDown, "btnDown", 128, 2, "下移", false},
    };
    for (const ToolButton& t : toolButtons) {
        auto* button = new QPushButton(RzPanel3);
        button->setObjectName(QString::fromLatin1(t.name));
        button->setGeometry(t.left, 2, 25, 25);
        button->setIcon(ImageList2->icon(t.picture));
        button->setIconSize(ImageList2->size());
        button->setFlat(true);
        button->setAutoDefault(true);
        button->setAccessibleName(QString::fromUtf8(t.accessibleName));
        button->setToolTip(QString::fromUtf8(t.accessibleName));
        button->setVisible(t.visible);
        *t.button = button;
    }

    lvPlaying = new QTreeWidget(RzSizePanel1);
    lvPlaying->setObjectName(QStringLiteral("lvPlaying"));
    lvPlaying->setAccessibleName(QStringLiteral("播放列表"));
    lvPlaying->setColumnCount(1);
    lvPlaying->setHeaderHidden(true);
    lvPlaying->header()->setStretchLastSection(false);
    lvPlaying->setColumnWidth(0, 187);
    lvPlaying->setRootIsDecorated(false);
    lvPlaying->setUniformRowHeights(true);
    lvPlaying->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvPlaying->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPlaying->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvPlaying->setItemDelegate(new RowHeightDelegate(kRowHeight, lvPlaying));
    keepSelectionWithoutFocus(lvPlaying, true);

    column->addWidget(RzPanel2);
    column->addWidget(RzPanel3);
    column->addWidget(lvPlaying, 1);
}

void TfrmMain::buildStatusBar()
{
    RzStatusBar1 = new QStatusBar(this);
    RzStatusBar1->setObjectName(QStringLiteral("RzStatusBar1"));
    RzStatusBar1->setSizeGripEnabled(false);
    RzStatusBar1->setFixedHeight(19);
    InfoPanel = new QLabel(RzStatusBar1);
    InfoPanel->setObjectName(QStringLiteral("InfoPanel"));
    // No accessible name of its own: assistive technology then reads the message itself
    // as the pane's name, and Qt announces each new one.
    InfoPanel->setAccessibleDescription(QStringLiteral("状态"));
    InfoPanel->setFont(mainFont());
    QPalette black = InfoPanel->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    InfoPanel->setPalette(black);
    RzStatusBar1->addWidget(InfoPanel, 1);
    setStatusBar(RzStatusBar1);
}

void TfrmMain::buildMenus()
{
    auto item = [](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setFont(mainFont());
    N1 = item(PopupMenu1, "N1", "播放");
    N2 = item(PopupMenu1, "N2", "添加至播放列表");
    nDownload = item(PopupMenu1, "nDownload", "下载到本地");
    N3 = separator(PopupMenu1, "N3");
    N4 = item(PopupMenu1, "N4", "推荐此曲");
    N8 = separator(PopupMenu1, "N8");
    N9 = item(PopupMenu1, "N9", "属性(&R)");
    N8->setVisible(false);
    N9->setVisible(false);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2->setFont(mainFont());
    N5 = item(PopupMenu2, "N5", "显示主窗口(&M)");
    P1 = item(PopupMenu2, "P1", "播放(&P)");
    N6 = separator(PopupMenu2, "N6");
    X1 = item(PopupMenu2, "X1", "退出(&X)");
}

namespace {

QFileDialog* fileDialog(QWidget* owner, const char* name, QFileDialog::AcceptMode mode, const QString& filter,
                        const QString& suffix)
{
    auto* d = new QFileDialog(owner);
    d->setObjectName(QString::fromLatin1(name));
    d->setOption(QFileDialog::DontUseNativeDialog);
    d->setAcceptMode(mode);
    if (mode == QFileDialog::AcceptSave)
        d->setOption(QFileDialog::DontConfirmOverwrite);
    else
        d->setFileMode(QFileDialog::ExistingFile);
    if (!filter.isEmpty())
        d->setNameFilter(filter);
    d->setDefaultSuffix(suffix);
    return d;
}

}  // namespace

QFileDialog* TfrmMain::OpenDialog1()
{
    if (!openDialog1_)
        openDialog1_ = fileDialog(this, "OpenDialog1", QFileDialog::AcceptOpen,
                                  QStringLiteral("MP3 播放列表(*.m3u)"), QStringLiteral("m3u"));
    return openDialog1_;
}

QFileDialog* TfrmMain::SaveDialog1()
{
    if (!saveDialog1_)
        saveDialog1_ = fileDialog(this, "SaveDialog1", QFileDialog::AcceptSave, QStringLiteral("(*.m3u)"),
                                  QStringLiteral("m3u"));
    return saveDialog1_;
}

QFileDialog* TfrmMain::Mp3SaveDialog()
{
    if (!mp3SaveDialog_)
        mp3SaveDialog_ = fileDialog(this, "Mp3SaveDialog", QFileDialog::AcceptSave, QString(), QStringLiteral("MP3"));
    return mp3SaveDialog_;
}

// A dialog that has been shown keeps the last file's name and selection, and an empty name
// cannot clear them; Save would then replace that song. So each download gets a new
// dialog, opening in the folder of the one before.
QFileDialog* TfrmMain::renewMp3SaveDialog()
{
    const QString folder = mp3SaveDialog_ ? mp3SaveDialog_->directory().path() : QString();
    delete mp3SaveDialog_;
    mp3SaveDialog_ = nullptr;
    QFileDialog* dialog = Mp3SaveDialog();
    if (!folder.isEmpty())
        dialog->setDirectory(folder);
    return dialog;
}

void TfrmMain::connectHandlers()
{
    connect(btnSearch, &QPushButton::clicked, this, &TfrmMain::btnSearchClick);
    connect(btnNextPage, &QPushButton::clicked, this, &TfrmMain::btnNextPageClick);
    connect(btnClear, &QPushButton::clicked, this, &TfrmMain::btnClearClick);
    connect(btnHot, &QPushButton::clicked, this, &TfrmMain::btnHotClick);
    // Only the user's changes of the text: typing, deleting, pasting, picking from the list
    // (filling the list from the history and the search's own setting of the text are not).
    connect(cbxKeyword->lineEdit(), &QLineEdit::textEdited, this, &TfrmMain::cbxKeywordChange);
    connect(cbxKeyword, &QComboBox::activated, this, &TfrmMain::cbxKeywordChange);

    connect(new ListDoubleClick(lvSearchResult), &ListDoubleClick::doubleClicked, this,
            &TfrmMain::lvSearchResult2DblClick);
    connect(RzBitBtn3, &QPushButton::clicked, this, &TfrmMain::lvSearchResult2DblClick);
    connect(N1, &QAction::triggered, this, &TfrmMain::lvSearchResult2DblClick);
    connect(RzBitBtn4, &QPushButton::clicked, this, &TfrmMain::N2Click);
    connect(N2, &QAction::triggered, this, &TfrmMain::N2Click);
    connect(RzBitBtn5, &QPushButton::clicked, this, &TfrmMain::N4Click);
    connect(N4, &QAction::triggered, this, &TfrmMain::N4Click);
    connect(nDownload, &QAction::triggered, this, &TfrmMain::nDownloadClick);
    connect(lvSearchResult, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(lvSearchResult->viewport()->mapToGlobal(pos));
    });

    connect(new ListDoubleClick(lvPlaying), &ListDoubleClick::doubleClicked, this, &TfrmMain::lvPlayingDblClick);
    connect(btnOpen, &QPushButton::clicked, this, &TfrmMain::btnOpenClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmMain::btnSaveClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmMain::btnDeleteClick);
    connect(btnUP, &QPushButton::clicked, this, &TfrmMain::btnUPClick);
    connect(btnDown, &QPushButton::clicked, this, &TfrmMain::btnDownClick);

    connect(WindowsMediaPlayer, &TWindowsMediaPlayer::PlayStateChange, this,
            &TfrmMain::WindowsMediaPlayerPlayStateChange);
    connect(WindowsMediaPlayer, &TWindowsMediaPlayer::StatusChange, this,
            &TfrmMain::WindowsMediaPlayerStatusChange);
    connect(PlayTimer, &QTimer::timeout, this, &TfrmMain::PlayTimerTimer);

    connect(chkAUTOSTART, &QCheckBox::clicked, this, &TfrmMain::chkAUTOSTARTClick);
    connect(RzBitBtn1, &QPushButton::clicked, this, &TfrmMain::RzBitBtn1Click);

    // The tray menu's items act after the menu has closed (and its open mark is cleared).
    connect(N5, &QAction::triggered, this, &TfrmMain::N5Click, Qt::QueuedConnection);
    connect(P1, &QAction::triggered, this, &TfrmMain::P1Click, Qt::QueuedConnection);
    connect(X1, &QAction::triggered, this, &TfrmMain::X1Click, Qt::QueuedConnection);

    RzSizePanel1->installEventFilter(this);
    RzPanelPlayer->installEventFilter(this);
}

void TfrmMain::updatePlayerRect()
{
    if (!WindowsMediaPlayer || !RzPanelPlayer)
        return;
    WindowsMediaPlayer->setGeometry(RzPanelPlayer->rect());
}

void TfrmMain::FormResize() { updatePlayerRect(); }

void TfrmMain::RzSizePanel1Resize() { updatePlayerRect(); }

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == RzSizePanel1)
            RzSizePanel1Resize();
        else if (watched == RzPanelPlayer)
            // The panel's own layout may settle after the window's and the panel's resize.
            updatePlayerRect();
    }
    return QMainWindow::eventFilter(watched, event);
}

// An Enter that no control took for itself (a focused push button or link takes it)
// climbs to the window, wherever the focus is: in the page, the play list or the
// player's bar. It clicks the default button of the page that is showing.
void TfrmMain::keyPressEvent(QKeyEvent* event)
{
    if (handleEnter(event)) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool TfrmMain::handleEnter(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (event->modifiers() & ~Qt::KeypadModifier)
        return false;
    QPushButton* button = defaultButtonOfCurrentPage();
    if (!button || !button->isEnabled() || !button->isVisible())
        return false;
    button->click();
    return true;
}

QPushButton* TfrmMain::defaultButtonOfCurrentPage() const
{
    QWidget* page = RzPageControl1 ? RzPageControl1->currentWidget() : nullptr;
    if (page == TabSheet1)
        return btnSearch;
    if (page == TabSheet4)
        return RzBitBtn1;
    return nullptr;
}

}  // namespace quavrel
