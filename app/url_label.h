#pragma once
// UrlLabel: an underlined link on the settings page. Clicking it (or Enter / Space while it
// has the focus) opens its address with the desktop's handler for web addresses; after a
// successful opening it is drawn in the visited colour.
#include <QLabel>
#include <QUrl>

namespace quavrel {

class UrlLabel : public QLabel {
    Q_OBJECT
public:
    explicit UrlLabel(QWidget* parent = nullptr);

    void setUrl(const QUrl& url) { url_ = url; }
    QUrl url() const { return url_; }
    bool visited() const { return visited_; }

    static QColor visitedColor() { return QColor(128, 0, 128); }

    // Opens the address; true when the desktop accepted it.
    bool openLink();

signals:
    void linkOpened(const QUrl& url);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyColour();

    QUrl url_;
    bool visited_ = false;
};

}  // namespace quavrel
