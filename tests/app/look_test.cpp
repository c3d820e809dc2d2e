// The main window's look as drawn: the player status label's width, the colours of the
// check boxes and the keyword box's frame, the tab pictures' size and the keyword
// drop-down's row height. Reads the pixels of the real widgets.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "app/frm_main.h"
#include "app/image_lists.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

namespace {

QColor pixel(QWidget* widget, QPoint at) { return widget->grab().toImage().pixelColor(at); }

QRect indicatorOf(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    return box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
}

// True when every opaque pixel of `picture` appears unchanged somewhere in `shot`: the
// picture was drawn at its own size, neither scaled nor cut.
bool drawnAtItsSize(const QImage& shot, const QImage& picture)
{
    for (int top = 0; top + picture.height() <= shot.height(); ++top)
        for (int left = 0; left + picture.width() <= shot.width(); ++left) {
            bool same = true;
            for (int y = 0; same && y < picture.height(); ++y)
                for (int x = 0; same && x < picture.width(); ++x) {
                    const QRgb p = picture.pixel(x, y);
                    same = qAlpha(p) < 255 || shot.pixel(left + x, top + y) == p;
                }
            if (same)
                return true;
        }
    return false;
}

}  // namespace

class LookTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TfrmMain> w_;

private slots:
    void init()
    {
        w_ = std::make_unique<TfrmMain>();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    // The status text gets the whole width of the panel, whatever the user drags it to.
    void playerStatusFollowsThePanelWidth()
    {
        QCOMPARE(w_->lbPlayerInfo->geometry(), QRect(5, 3, 200, 13));
        w_->splitter->setSizes({400, 320});
        QTRY_COMPARE(w_->RzSizePanel1->width(), 320);
        QTRY_COMPARE(w_->lbPlayerInfo->width(), 312);
    }

    void checkBoxFrameAndHighlightColours()
    {
        w_->RzPageControl1->setCurrentWidget(w_->TabSheet4);
        QCheckBox* box = w_->chkCYCLEPLAY;
        const QRect indicator = indicatorOf(box);
        box->setChecked(false);
        QCOMPARE(pixel(box, {indicator.left(), indicator.center().y()}), QColor(28, 81, 128));
        box->setChecked(true);
        QCOMPARE(pixel(box, indicator.center()), QColor(33, 161, 33));
    }

    void keywordBoxFrameColour()
    {
        QComboBox* box = w_->cbxKeyword;
        QCOMPARE(pixel(box, {0, box->height() / 2}), QColor(127, 157, 185));
        QCOMPARE(pixel(box, {box->width() / 2, 0}), QColor(127, 157, 185));
    }

    void tabPicturesAreDrawnAt32Pixels()
    {
        QTabBar* tabs = w_->RzPageControl1->tabBar();
        const QImage shot = tabs->grab(tabs->tabRect(0)).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage picture = w_->ImageList1->picture(0).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(picture.size(), QSize(32, 32));
        QVERIFY(drawnAtItsSize(shot, picture));
    }

    void keywordDropDownRowsAre12PixelsHigh()
    {
        w_->cbxKeyword->addItems({"a", "b"});
        w_->cbxKeyword->showPopup();
        QAbstractItemView* view = w_->cbxKeyword->view();
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        QCOMPARE(view->visualRect(view->model()->index(1, 0)).height(), 12);
        w_->cbxKeyword->hidePopup();
    }
};

QUAVREL_QTEST_MAIN(LookTest)
#include "look_test.moc"
