// The splash window and its picture: the generated artwork decodes as designed, and a
// missing or broken picture never stops the program.
#include <QLabel>
#include <QPixmap>

#include "app/frm_flash_form.h"
#include "app/jpeg_picture.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

class SplashTest : public QObject {
    Q_OBJECT
private:
    test::TempDir dir;

    static std::string generatedPicture()
    {
        return std::string(std::getenv("QUAVREL_BUILD_DIR")) + "/tools/splash-art/splash.jpg";
    }

private slots:
    // ---- The generated artwork ----

    void generatedPictureIsProgressive466x200Rgb()
    {
        JpegPicture picture;
        std::string error;
        QVERIFY2(loadJpegFile(generatedPicture(), picture, error), error.c_str());
        QCOMPARE(picture.width, 466);
        QCOMPARE(picture.height, 200);
        QCOMPARE(picture.components, 3);
        QVERIFY(picture.progressive);
        QCOMPARE(picture.rgb.size(), size_t(466 * 200 * 3));
        QImage image = picture.toImage();
        QCOMPARE(image.size(), QSize(466, 200));
        // Not a flat fill: the artwork has a gradient and light strokes.
        QVERIFY(image.pixelColor(5, 5) != image.pixelColor(460, 195));
    }

    // ---- Broken pictures fail cleanly ----

    void missingFileFails()
    {
        JpegPicture picture;
        std::string error;
        QVERIFY(!loadJpegFile(dir.file("none.jpg"), picture, error));
        QVERIFY(!error.empty());
        QCOMPARE(picture.width, 0);
    }

    // libjpeg only warns about a file cut short and would hand back a half-grey picture.
    void truncatedFileFails()
    {
        const std::string whole = test::readFile(generatedPicture());
        JpegPicture picture;
        std::string error;
        QVERIFY(!decodeJpeg(whole.substr(0, whole.size() / 2), picture, error));
        QVERIFY(!error.empty());
        QVERIFY(picture.rgb.empty());
    }

    void garbageFails()
    {
        JpegPicture picture;
        std::string error;
        QVERIFY(!decodeJpeg("this is not a picture at all", picture, error));
        QVERIFY(!error.empty());
        QVERIFY(!decodeJpeg(std::string(), picture, error));
        // A valid start of image followed by rubbish.
        QVERIFY(!decodeJpeg(std::string("\xFF\xD8\xFF\xE0") + std::string(300, '\x55'), picture, error));
    }

    // ---- The splash window ----

    void splashShowsPictureAndVersion()
    {
        TfrmFlashForm splash(generatedPicture());
        QVERIFY2(splash.hasPicture(), splash.pictureError().c_str());
        QCOMPARE(splash.size(), QSize(466, 200));
        QCOMPARE(splash.Image1->geometry(), QRect(0, 0, 466, 200));
        QCOMPARE(splash.Image1->pixmap().size(), QSize(466, 200));
        QCOMPARE(splash.lbVersion->text(), QStringLiteral("V3.0"));
        QCOMPARE(splash.lbVersion->pos(), QPoint(354, 121));
        QCOMPARE(splash.lbVersion->font().pixelSize(), 15);
        QVERIFY(splash.lbVersion->font().underline());
        QCOMPARE(splash.lbVersion->palette().color(QPalette::WindowText), QColor(0xFF, 0x75, 0x00));
        QVERIFY(!splash.lbVersion->autoFillBackground());
        const Qt::WindowFlags flags = splash.windowFlags();
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    }

    void versionIsDrawnOverThePicture()
    {
        TfrmFlashForm splash(generatedPicture());
        splash.showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QImage shot = splash.grab().toImage();
        // Somewhere in the version label's box the orange text shows over the artwork.
        bool orange = false;
        for (int y = 121; y < 121 + splash.lbVersion->height() && !orange; ++y)
            for (int x = 354; x < 354 + splash.lbVersion->width() && !orange; ++x) {
                QColor c = shot.pixelColor(x, y);
                orange = c.red() > 200 && c.green() > 80 && c.green() < 160 && c.blue() < 80;
            }
        QVERIFY(orange);
        QCOMPARE(shot.pixelColor(10, 10), splash.Image1->pixmap().toImage().pixelColor(10, 10));
    }

    void clicksAndKeysDoNothing()
    {
        TfrmFlashForm splash(generatedPicture());
        splash.showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseDClick(&splash, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::keyClick(&splash, Qt::Key_Escape);
        QTest::keyClick(&splash, Qt::Key_Return);
        QVERIFY(splash.isVisible());
    }

    void missingPictureStillShowsSplash()
    {
        TfrmFlashForm splash(dir.file("gone.jpg"));
        QVERIFY(!splash.hasPicture());
        QVERIFY(!splash.pictureError().empty());
        QVERIFY(splash.Image1->pixmap().isNull());
        splash.showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QCOMPARE(splash.lbVersion->text(), QStringLiteral("V3.0"));
    }

    void brokenPictureStillShowsSplash()
    {
        const std::string whole = test::readFile(generatedPicture());
        test::writeFile(dir.file("cut.jpg"), whole.substr(0, 2000));
        TfrmFlashForm splash(dir.file("cut.jpg"));
        QVERIFY(!splash.hasPicture());
        QVERIFY(splash.Image1->pixmap().isNull());
    }

    // In the build tree the splash finds the generated picture by itself.
    void defaultPicturePathIsFound()
    {
        TfrmFlashForm splash;
        QVERIFY2(splash.hasPicture(), splash.pictureError().c_str());
    }
};

QUAVREL_QTEST_MAIN(SplashTest)
#include "splash_test.moc"
