// The main window's page control with its three pages (search, settings, games portal),
// and the two pages that are never shown.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/after_first_paint.h"
#include "app/application.h"
#include "app/frm_main.h"
#include "app/frm_main_style.h"
#include "app/image_lists.h"
#include "app/portal_browser.h"
#include "app/startup_trace.h"
#include "app/url_label.h"
#include "songs/services.h"
#include "platform/exception.h"

namespace quavrel {
namespace {

QWidget* page(const char* name)
{
    auto* widget = new QWidget;
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, QColor(247, 246, 245));
    widget->setPalette(p);
    return widget;
}

QWidget* panel(QWidget* parent, const char* name)
{
    auto* widget = new QWidget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QVBoxLayout* column(QWidget* widget)
{
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, QRect geometry,
                    const QIcon& icon = {})
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setIcon(icon);
    // A focused button takes Enter itself, before the page's default button can.
    b->setAutoDefault(true);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QPoint at)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(at);
    l->adjustSize();
    return l;
}

// Lines at a fixed distance, so a label keeps its designed height whatever face the
// fontconfig fallback picks for "宋体".
void setLines(QLabel* label, const QStringList& lines, int lineHeight, QSize size)
{
    QStringList escaped;
    for (const QString& line : lines)
        escaped << line.toHtmlEscaped();
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<div style=\"line-height:%1px; -qt-line-height-type:fixed;\">%2</div>")
                       .arg(lineHeight)
                       .arg(escaped.join(QStringLiteral("<br>"))));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFixedSize(size);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, QRect geometry)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

QTreeWidget* reportList(QWidget* parent, const char* name, const std::vector<std::pair<const char*, int>>& columns)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setItemDelegate(new RowHeightDelegate(kRowHeight, list));
    if (columns.empty()) {
        list->setHeaderHidden(true);
        return list;
    }
    QStringList captions;
    for (const auto& c : columns)
        captions << QString::fromUtf8(c.first);
    list->setHeaderLabels(captions);
    for (size_t i = 0; i < columns.size(); ++i)
        list->setColumnWidth(static_cast<int>(i), columns[i].second);
    return list;
}

}  // namespace

void TfrmMain::buildPageControl()
{
    RzPageControl1 = new QTabWidget;
    RzPageControl1->setObjectName(QStringLiteral("RzPageControl1"));
    RzPageControl1->setIconSize(ImageList1->size());
    RzPageControl1->setDocumentMode(false);
    TabSheet1 = page("TabSheet1");
    TabSheet2 = page("TabSheet2");
    TabSheet3 = page("TabSheet3");
    TabSheet4 = page("TabSheet4");
    TabSheet5 = page("TabSheet5");
    buildSearchPage();
    buildHiddenPages();
    buildSettingsPage();
    buildPortalPage();
    RzPageControl1->addTab(TabSheet1, ImageList1->icon(0), QStringLiteral("搜索"));
    RzPageControl1->addTab(TabSheet4, ImageList1->icon(2), QStringLiteral("设置"));
    RzPageControl1->addTab(TabSheet5, QStringLiteral("Kitewood游戏"));
    RzPageControl1->setCurrentWidget(TabSheet1);
    // "MP3库" and "下载" are never shown: they stay out of the page control and out of the
    // window, in a holder that is never shown, so that no key, click or assistive
    // technology can reach them.
    auto* neverShown = new QWidget(this, Qt::Window);
    neverShown->setObjectName(QStringLiteral("neverShownPages"));
    TabSheet2->setParent(neverShown);
    TabSheet2->setWindowTitle(QStringLiteral("MP3库"));
    TabSheet3->setParent(neverShown);
    TabSheet3->setWindowTitle(QStringLiteral("下载"));
}

void TfrmMain::buildSearchPage()
{
    QVBoxLayout* layout = column(TabSheet1);

    RzPanel1 = panel(TabSheet1, "RzPanel1");
    RzPanel1->setFixedHeight(33);
    RzLabel1 = label(RzPanel1, "RzLabel1", QStringLiteral("关键字:"), {5, 12});
    cbxKeyword = new QComboBox(RzPanel1);
    cbxKeyword->setObjectName(QStringLiteral("cbxKeyword"));
    cbxKeyword->setAccessibleName(QStringLiteral("关键字"));
    cbxKeyword->setEditable(true);
    cbxKeyword->setInsertPolicy(QComboBox::NoInsert);
    cbxKeyword->setCompleter(nullptr);
    cbxKeyword->setGeometry(50, 7, 174, 20);
    cbxKeyword->setItemDelegate(new RowHeightDelegate(kKeywordRowHeight, cbxKeyword));
    RzLabel1->setBuddy(cbxKeyword);
    RzPanel5 = panel(RzPanel1, "RzPanel5");
    RzPanel5->setFixedWidth(278);
    btnSearch = button(RzPanel5, "btnSearch", "搜索", {6, 3, 57, 27}, buttonGlyph(Glyph::Search));
    btnNextPage = button(RzPanel5, "btnNextPage", "下页", {64, 3, 57, 27}, buttonGlyph(Glyph::NextPage));
    btnClear = button(RzPanel5, "btnClear", "清空", {122, 3, 57, 27}, buttonGlyph(Glyph::Clear));
    btnHot = button(RzPanel5, "btnHot", "推荐列表", {192, 3, 81, 27}, buttonGlyph(Glyph::Hot));
    auto* bar = new QHBoxLayout(RzPanel1);   // RzPanel5 docks right; the rest is placed by hand
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addStretch(1);
    bar->addWidget(RzPanel5);

    RzPanel6 = panel(TabSheet1, "RzPanel6");
    RzPanel6->setFixedHeight(32);
    RzBitBtn3 = button(RzPanel6, "RzBitBtn3", "播放(&P)", {8, 3, 75, 25}, buttonGlyph(Glyph::Play));
    RzBitBtn4 = button(RzPanel6, "RzBitBtn4", "添加(&A)", {96, 3, 75, 25}, buttonGlyph(Glyph::Add));
    RzBitBtn5 = button(RzPanel6, "RzBitBtn5", "推荐(&H)", {184, 3, 75, 25}, buttonGlyph(Glyph::Recommend));

    lvSearchResult = reportList(TabSheet1, "lvSearchResult",
                                {{"歌曲名", 120}, {"歌手", 80}, {"专辑", 120}, {"网速", 80}, {"大小", 80}});
    lvSearchResult->setAccessibleName(QStringLiteral("搜索结果"));
    lvSearchResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvSearchResult->header()->setStretchLastSection(true);
    lvSearchResult->setContextMenuPolicy(Qt::CustomContextMenu);
    keepSelectionWithoutFocus(lvSearchResult, false);

    layout->addWidget(RzPanel1);
    layout->addWidget(RzPanel6);
    layout->addWidget(lvSearchResult, 1);
}

void TfrmMain::buildHiddenPages()
{
    auto* library = new QHBoxLayout(TabSheet2);
    library->setContentsMargins(0, 0, 0, 0);
    library->setSpacing(0);
    RzSizePanel2 = panel(TabSheet2, "RzSizePanel2");
    RzSizePanel2->setFixedWidth(153);
    RzTreeView1 = reportList(RzSizePanel2, "RzTreeView1", {});
    column(RzSizePanel2)->addWidget(RzTreeView1);
    RzListView2 = reportList(TabSheet2, "RzListView2", {});
    library->addWidget(RzSizePanel2);
    library->addWidget(RzListView2, 1);

    QVBoxLayout* downloads = column(TabSheet3);
    RzListView3 = reportList(TabSheet3, "RzListView3",
                             {{"歌曲名", 120}, {"下载进程", 100}, {"开始时间", 80}, {"速度", 80},
                              {"预计结束时间", 107}});
    RzSizePanel3 = panel(TabSheet3, "RzSizePanel3");
    RzSizePanel3->setFixedHeight(56);
    downloads->addWidget(RzListView3, 1);
    downloads->addWidget(RzSizePanel3);
}

void TfrmMain::buildSettingsPage()
{
    const QString home = QString::fromStdString(serviceUrl(services().portalServer, "/"));
    const QString mail = QString::fromStdString(services().supportMail);

    RzGroupBox1 = new QGroupBox(QStringLiteral("播放设置"), TabSheet4);
    RzGroupBox1->setObjectName(QStringLiteral("RzGroupBox1"));
    RzGroupBox1->setGeometry(8, 8, 241, 129);
    chkAUTOSTART = checkBox(RzGroupBox1, "chkAUTOSTART", "程序随计算机自动启动", {8, 16, 185, 17});
    chkAUTOSTARTLEFTBOTTOM =
        checkBox(RzGroupBox1, "chkAUTOSTARTLEFTBOTTOM", "自动启动时缩小到右下角", {32, 32, 169, 17});
    chkAUTOSTARTLEFTBOTTOM->setVisible(false);
    chkAUTOLOADDEFAULTLIST =
        checkBox(RzGroupBox1, "chkAUTOLOADDEFAULTLIST", "启动程序时打开上次播放列表", {8, 64, 201, 17});
    chkCYCLEPLAY = checkBox(RzGroupBox1, "chkCYCLEPLAY", "循环播放列表中的歌曲", {8, 88, 193, 17});

    RzGroupBox2 = new QGroupBox(TabSheet4);
    RzGroupBox2->setObjectName(QStringLiteral("RzGroupBox2"));
    RzGroupBox2->setGeometry(256, 8, 241, 129);
    RzLabel5 = label(RzGroupBox2, "RzLabel5", QString(), {16, 24});
    setLines(RzLabel5, {QStringLiteral("Quavrel"), QString(), QStringLiteral("免费软件，欢迎使用和转发。"),
                        QStringLiteral("网址: %1").arg(home), QStringLiteral("邮件: %1").arg(mail)},
             14, {210, 72});

    RzGroupBox3 = new QGroupBox(TabSheet4);
    RzGroupBox3->setObjectName(QStringLiteral("RzGroupBox3"));
    RzGroupBox3->setGeometry(8, 144, 489, 217);
    RzLabel3 = label(RzGroupBox3, "RzLabel3", QString(), {24, 24});
    setLines(RzLabel3, {QStringLiteral("Quavrel 帮您在网上找到想听的歌曲，搜到即可试听，还能保存播放列表。"),
                        QStringLiteral("我们会不断改进这个小程序，让它更好用。"),
                        QStringLiteral("有任何意见或建议，欢迎发邮件到 %1 告诉我们。").arg(mail)},
             12, {432, 36});
    RzLabel4 = label(RzGroupBox3, "RzLabel4", QStringLiteral("欢迎访问我们的网站:"), {24, 72});
    RzURLLabel1 = new UrlLabel(RzGroupBox3);
    RzURLLabel1->setObjectName(QStringLiteral("RzURLLabel1"));
    RzURLLabel1->setText(QStringLiteral("Kitewood游戏 %1").arg(home));
    RzURLLabel1->setAccessibleName(RzURLLabel1->text());
    RzURLLabel1->setUrl(QUrl(home));
    RzURLLabel1->move(56, 88);
    RzURLLabel1->adjustSize();

    RzBitBtn1 = button(TabSheet4, "RzBitBtn1", "保存设置(&A)", {384, 384, 113, 25}, buttonGlyph(Glyph::Ok));
}

void TfrmMain::buildPortalPage()
{
    // The web view joins the page in openPortal.
    column(TabSheet5);
}

void TfrmMain::navigatePortal()
{
    const std::string address = serviceUrl(services().portalServer, "/index_quavrel.asp");
    QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        throw Exception("Cannot open the page " + address);
    // Loading the module, starting the engine and navigating each hold the window a while:
    // three steps, with the user's input handled between them.
    afterFirstPaint_->add([this] { createPortalView(); });
    afterFirstPaint_->add([this] {
        if (!WebBrowserKitewood)
            return;
        startPortalEngine(WebBrowserKitewood);
        startupMark("portal_engine");
    });
    afterFirstPaint_->add([this, url] {
        if (!WebBrowserKitewood)
            return;
        WebBrowserKitewood->setProperty("url", url);   // QWebEngineView::setUrl
        startupMark("portal_requested");
    });
}

void TfrmMain::createPortalView()
{
    if (WebBrowserKitewood)
        return;
    try {
        WebBrowserKitewood = createPortalBrowser(TabSheet5);
    } catch (...) {
        reportCurrentException(this);
        return;
    }
    WebBrowserKitewood->setObjectName(QStringLiteral("WebBrowserKitewood"));
    WebBrowserKitewood->setAccessibleName(QStringLiteral("Kitewood游戏"));
    TabSheet5->layout()->addWidget(WebBrowserKitewood);
    startupMark("portal_view");
}

}  // namespace quavrel
