#include "app/frm_flash_form.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <filesystem>

#include "app/application.h"
#include "app/jpeg_picture.h"
#include "platform/paths.h"

namespace quavrel {
namespace {

constexpr int kSplashWidth = 466;
constexpr int kSplashHeight = 200;

}  // namespace

TfrmFlashForm::TfrmFlashForm(const std::string& picturePath, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmFlashForm"));
    setFixedSize(kSplashWidth, kSplashHeight);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kSplashWidth, kSplashHeight);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);   // unscaled, from the corner

    lbVersion = new QLabel(this);
    lbVersion->setObjectName(QStringLiteral("lbVersion"));
    QFont versionFont(QStringLiteral("宋体"));
    versionFont.setPixelSize(15);
    versionFont.setUnderline(true);
    lbVersion->setFont(versionFont);
    QPalette palette = lbVersion->palette();
    palette.setColor(QPalette::WindowText, QColor(0xFF, 0x75, 0x00));
    lbVersion->setPalette(palette);
    lbVersion->setAttribute(Qt::WA_TranslucentBackground);
    lbVersion->setAutoFillBackground(false);
    lbVersion->move(354, 121);

    loadPicture(picturePath.empty() ? splashPicturePath() : picturePath);
    FormCreate();
}

void TfrmFlashForm::FormCreate()
{
    lbVersion->setText(QString::fromLatin1(kVersionText));
    lbVersion->adjustSize();
}

void TfrmFlashForm::loadPicture(const std::string& path)
{
    JpegPicture picture;
    if (path.empty()) {
        pictureError_ = "No splash picture";
        return;
    }
    if (!loadJpegFile(path, picture, pictureError_))
        return;
    QImage image = picture.toImage();
    if (image.isNull()) {
        pictureError_ = "Empty splash picture";
        return;
    }
    Image1->setPixmap(QPixmap::fromImage(image));
    hasPicture_ = true;
}

void TfrmFlashForm::showCentred()
{
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}

std::string TfrmFlashForm::splashPicturePath()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path beside = fs::path(ExecutablePath()).parent_path() / "splash.jpg";
    if (fs::is_regular_file(beside, ec))
        return beside.string();
#ifdef QUAVREL_SPLASH_JPEG
    if (fs::is_regular_file(QUAVREL_SPLASH_JPEG, ec))
        return QUAVREL_SPLASH_JPEG;
#endif
    return beside.string();
}

// The splash takes no part in the user's input.
void TfrmFlashForm::mousePressEvent(QMouseEvent* event) { event->accept(); }
void TfrmFlashForm::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void TfrmFlashForm::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }
void TfrmFlashForm::keyPressEvent(QKeyEvent* event) { event->accept(); }

}  // namespace quavrel
