#include "app/program_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace quavrel {
namespace {

QPen roundPen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// On a 16 x 16 design grid.
void paintQuaver(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 117, 0));
    p.drawEllipse(QPointF(8, 8), 7.5, 7.5);
    p.setBrush(Qt::white);
    p.save();
    p.translate(6.2, 11.2);
    p.rotate(-25);
    p.drawEllipse(QPointF(0, 0), 2.4, 1.7);
    p.restore();
    p.setPen(roundPen(Qt::white, 1.2));
    p.drawLine(QPointF(8.2, 10.6), QPointF(8.2, 3.2));
    p.drawArc(QRectF(5.4, 3.2, 6, 6), 90 * 16, -100 * 16);
}

}  // namespace

QImage programIconImage(int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixels / 16.0, pixels / 16.0);
    paintQuaver(p);
    return image;
}

namespace {

// Draws the icon when a size is asked for, so that building the window costs nothing.
class ProgramIconEngine : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(rect.width(), rect.height());
        painter->drawImage(QRect(rect.topLeft(), QSize(side, side)), programIconImage(side));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return QPixmap::fromImage(programIconImage(qMin(size.width(), size.height())));
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int pixels : kProgramIconSizes)
            sizes << QSize(pixels, pixels);
        return sizes;
    }
    QIconEngine* clone() const override { return new ProgramIconEngine; }
};

}  // namespace

QIcon programIcon() { return QIcon(new ProgramIconEngine); }

}  // namespace quavrel
