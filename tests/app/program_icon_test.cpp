// One picture for the program everywhere: the icons drawn at build time for the install,
// the tray icon and the window's icon.
#include <QTest>
#include <cstdlib>

#include "app/frm_main.h"
#include "app/image_lists.h"
#include "app/program_icon.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

namespace {

QImage installedIcon(int pixels)
{
    return QImage(QStringLiteral("%1/tools/icon-art/icons/hicolor/%2x%2/apps/quavrel.png")
                      .arg(QString::fromLocal8Bit(std::getenv("QUAVREL_BUILD_DIR")))
                      .arg(pixels));
}

// Compared as a PNG file stores them.
QImage comparable(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

}  // namespace

class ProgramIconTest : public QObject {
    Q_OBJECT
private slots:
    void installedIconsAreTheProgramsDrawing()
    {
        for (int pixels : kProgramIconSizes) {
            const QImage file = installedIcon(pixels);
            QVERIFY2(!file.isNull(), qPrintable(QStringLiteral("no %1 px icon was drawn").arg(pixels)));
            QCOMPARE(comparable(file), comparable(programIconImage(pixels)));
        }
    }

    void trayAndWindowShowTheInstalledIcon()
    {
        TfrmMain w;
        const QImage installed = comparable(installedIcon(32));
        QCOMPARE(comparable(w.ImageList1->picture(4).toImage()), installed);
        QCOMPARE(comparable(w.windowIcon().pixmap(32, 32).toImage()), installed);
    }
};

QUAVREL_QTEST_MAIN(ProgramIconTest)
#include "program_icon_test.moc"
