// Search, next page, clear, hot list and the rows of the result list. The page work runs
// in the core (songs/song_search, songs/hot_list); the probes hand their records through the
// window's gate, which posts each one to the UI thread for AddResultRow.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "app/frm_main.h"
#include "app/gbk_qstring.h"
#include "app/media_variant.h"
#include "songs/hot_list.h"
#include "songs/services.h"
#include "songs/song_search.h"
#include "songs/text.h"

namespace quavrel {

namespace {

// Paints the row background the window chooses for the row's position, then lets the
// list's own delegate draw the cell as usual.
class RowColourDelegate : public QStyledItemDelegate {
public:
    RowColourDelegate(QAbstractItemDelegate* inner, QObject* parent) : QStyledItemDelegate(parent), inner_(inner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->fillRect(option.rect, TfrmMain::lvSearchResult2CustomDrawItem(index.row()));
        if (inner_)
            inner_->paint(painter, option, index);
        else
            QStyledItemDelegate::paint(painter, option, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return inner_ ? inner_->sizeHint(option, index) : QStyledItemDelegate::sizeHint(option, index);
    }

private:
    QAbstractItemDelegate* inner_;   // owned by the list
};

}  // namespace

TfrmMain::SearchGate::~SearchGate()
{
    if (gate)
        gate->close();
}

std::shared_ptr<SharedHttpClient> TfrmMain::makeHttpClient() { return std::make_shared<SharedHttpClient>(); }

std::shared_ptr<ResultHandover> TfrmMain::makeResultGate()
{
    // Runs on a probe thread: only posts. A post to a window that is gone meanwhile is
    // dropped by Qt, and the gate is closed before the window goes.
    auto gate = ResultHandover::create([this](const MediaPtr& media) {
        QMetaObject::invokeMethod(this, [this, media] { AddResultRow(media); }, Qt::QueuedConnection);
    });
    if (qApp)
        connect(qApp, &QCoreApplication::aboutToQuit, this, [gate] { gate->close(); });
    return gate;
}

ListingTarget TfrmMain::listingTarget(const std::string& server) const
{
    return ListingTarget{httpClient, searchGate_.gate, server, kProbeRequestLimit};
}

QColor TfrmMain::lvSearchResult2CustomDrawItem(int row)
{
    return row % 2 == 0 ? QColor(240, 240, 255) : QColor(255, 255, 255);
}

void TfrmMain::drawResultRowsByPosition()
{
    if (rowColoursInstalled_ || !lvSearchResult)
        return;
    lvSearchResult->setItemDelegate(new RowColourDelegate(lvSearchResult->itemDelegate(), lvSearchResult));
    rowColoursInstalled_ = true;
}

void TfrmMain::btnSearchClick()
{
    std::string text = toGbk(cbxKeyword->currentText());
    if (Trim(text).empty()) {
        InfoPanel->setText(QStringLiteral("请输入歌手名、歌曲名等任意关键字再搜索"));
        return;
    }
    NextItem = 1;
    const std::string keyword = text;   // as typed, blanks included
    lvSearchResult->clear();

    TSearchThread worker;
    worker.Keyword = keyword;
    // The worker holds the client and the gate; it reaches NextItem only through the
    // gate, which the window closes before NextItem goes.
    worker.OnSearch = [target = listingTarget(services().searchServer), next = &NextItem](const std::string& k) {
        DoSearch(k, *next, target);
    };
    worker.Start();

    RememberKeyword(Trim(keyword));
    cbxKeyword->setEditText(fromGbk(keyword));
    btnNextPage->setEnabled(true);
}

void TfrmMain::btnNextPageClick()
{
    // On the UI thread: the client lets the window handle its messages while it waits.
    DoSearch(toGbk(cbxKeyword->currentText()), NextItem, listingTarget(services().searchServer));
}

void TfrmMain::btnClearClick() { lvSearchResult->clear(); }

void TfrmMain::btnHotClick()
{
    InfoPanel->setText(fromGbk(kHotListOpeningText));
    lvSearchResult->clear();
    HotListResult result = FetchHotList(NextItem, listingTarget(services().makerServer));
    InfoPanel->setText(fromGbk(HotListStatusText(result)));
}

void TfrmMain::cbxKeywordChange() { btnNextPage->setEnabled(false); }

void TfrmMain::AddResultRow(const MediaPtr& media)
{
    if (!media || !lvSearchResult)
        return;
    drawResultRowsByPosition();
    auto* item = new QTreeWidgetItem(QStringList{fromGbk(media->Title), fromGbk(media->Singer), fromGbk(media->Album),
                                                 QString::number(media->Speed), QString::number(media->Size / 1024)});
    item->setData(0, Qt::UserRole, QVariant::fromValue(media));
    lvSearchResult->addTopLevelItem(item);
}

MediaPtr TfrmMain::mediaOf(const QTreeWidgetItem* item)
{
    if (!item)
        return nullptr;
    return item->data(0, Qt::UserRole).value<MediaPtr>();
}

}  // namespace quavrel
