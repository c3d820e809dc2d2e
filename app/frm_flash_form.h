#pragma once
// TfrmFlashForm: the splash window shown while the program starts (main() shows it before
// the main window is built and hides it before the main window appears). A borderless,
// always-on-top 466 x 200 picture with the version text; it ignores clicks and keys.
#include <QString>
#include <QWidget>
#include <string>

class QLabel;

namespace quavrel {

class TfrmFlashForm : public QWidget {
    Q_OBJECT
public:
    // `picturePath` empty: the picture installed with the program (splashPicturePath()).
    explicit TfrmFlashForm(const std::string& picturePath = {}, QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* lbVersion = nullptr;

    // True when the picture was decoded; otherwise the splash shows without it and
    // pictureError() says why.
    bool hasPicture() const { return hasPicture_; }
    const std::string& pictureError() const { return pictureError_; }

    // Shows the splash centred on the primary screen.
    void showCentred();

    // "splash.jpg" next to the executable, else the one of the build tree.
    static std::string splashPicturePath();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void loadPicture(const std::string& path);

    bool hasPicture_ = false;
    std::string pictureError_;
};

}  // namespace quavrel
