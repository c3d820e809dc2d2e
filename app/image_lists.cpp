#include "app/image_lists.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>

#include "app/program_icon.h"

namespace quavrel {
namespace {

using Painter = std::function<void(QPainter&)>;

// Draws on a 16 x 16 design grid, scaled to `size`.
QPixmap draw(QSize size, const Painter& paint)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / 16.0, size.height() / 16.0);
    paint(p);
    return pixmap;
}

QPixmap greyed(const QPixmap& pixmap)
{
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            int grey = 150 + qGray(line[x]) / 3;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 3 / 4);
        }
    }
    return QPixmap::fromImage(image);
}

QPen pen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

const QColor kBlue(52, 101, 164);
const QColor kGreen(46, 139, 87);
const QColor kRed(204, 51, 51);
const QColor kGold(230, 170, 30);

void magnifier(QPainter& p)
{
    p.setPen(pen(kBlue, 1.8));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
    p.setPen(pen(QColor(90, 70, 40), 2.6));
    p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
}

void disc(QPainter& p)
{
    p.setPen(pen(QColor(90, 90, 110), 1));
    QRadialGradient g(QPointF(8, 8), 7);
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(1, QColor(160, 180, 220));
    p.setBrush(g);
    p.drawEllipse(QPointF(8, 8), 7, 7);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 2, 2);
}

void gear(QPainter& p)
{
    p.setPen(pen(QColor(80, 80, 90), 1));
    p.setBrush(QColor(150, 155, 165));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(8, 8);
        p.rotate(i * 45);
        p.drawRect(QRectF(-1.5, -7.5, 3, 3));
        p.restore();
    }
    p.drawEllipse(QPointF(8, 8), 5, 5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 2, 2);
}

void downArrow(QPainter& p, const QColor& colour)
{
    p.setPen(pen(colour.darker(130), 1));
    p.setBrush(colour);
    QPolygonF arrow{{6, 2}, {10, 2}, {10, 8}, {13, 8}, {8, 14}, {3, 8}, {6, 8}};
    p.drawPolygon(arrow);
}

void upArrow(QPainter& p, const QColor& colour)
{
    p.save();
    p.translate(0, 16);
    p.scale(1, -1);
    downArrow(p, colour);
    p.restore();
}

void cross(QPainter& p, const QColor& colour)
{
    p.setPen(pen(colour, 2.4));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void floppy(QPainter& p)
{
    p.setPen(pen(QColor(30, 50, 100), 1));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(2, 2, 12, 12), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 2, 7, 4.5));
    p.setBrush(QColor(200, 210, 230));
    p.drawRect(QRectF(4.5, 9, 7, 5));
}

void folder(QPainter& p)
{
    p.setPen(pen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(250, 205, 90));
    QPolygonF back{{1.5, 4}, {6, 4}, {7.5, 5.5}, {14.5, 5.5}, {14.5, 13.5}, {1.5, 13.5}};
    p.drawPolygon(back);
    p.setBrush(QColor(255, 225, 130));
    QPolygonF front{{1.5, 13.5}, {3.5, 7.5}, {15.5, 7.5}, {14.5, 13.5}};
    p.drawPolygon(front);
}

void play(QPainter& p)
{
    p.setPen(pen(kGreen.darker(130), 1));
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF{{4, 2.5}, {13.5, 8}, {4, 13.5}});
}

void plus(QPainter& p)
{
    p.setPen(pen(kGreen, 3));
    p.drawLine(QPointF(8, 3), QPointF(8, 13));
    p.drawLine(QPointF(3, 8), QPointF(13, 8));
}

void star(QPainter& p, const QColor& colour)
{
    QPolygonF shape;
    for (int i = 0; i < 10; ++i) {
        qreal r = i % 2 ? 3 : 7;
        qreal a = -M_PI / 2 + i * M_PI / 5;
        shape << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
    }
    p.setPen(pen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawPolygon(shape);
}

void nextPage(QPainter& p)
{
    p.setPen(pen(kBlue, 2));
    p.drawLine(QPointF(3, 8), QPointF(12, 8));
    p.drawPolyline(QPolygonF{{8.5, 4}, {12.5, 8}, {8.5, 12}});
}

void thumbsUp(QPainter& p)
{
    p.setPen(pen(kRed.darker(130), 1));
    p.setBrush(kRed);
    QPainterPath heart;
    heart.moveTo(8, 14);
    heart.cubicTo(1, 9, 1, 3, 5, 3);
    heart.cubicTo(7, 3, 8, 5, 8, 5);
    heart.cubicTo(8, 5, 9, 3, 11, 3);
    heart.cubicTo(15, 3, 15, 9, 8, 14);
    p.drawPath(heart);
}

void tick(QPainter& p)
{
    p.setPen(pen(kGreen, 2.6));
    p.drawPolyline(QPolygonF{{3, 8.5}, {6.5, 12}, {13, 4}});
}

}  // namespace

ImageList::ImageList(QSize size, std::vector<QPixmap> pictures)
    : size_(size), pictures_(std::move(pictures))
{
}

QPixmap ImageList::picture(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return pictures_[static_cast<size_t>(index)];
}

QIcon ImageList::icon(int index) const
{
    QPixmap pixmap = picture(index);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

ImageList makeImageList1()
{
    const QSize size(32, 32);
    return ImageList(size, {draw(size, magnifier), draw(size, disc), draw(size, gear),
                            draw(size, [](QPainter& p) { downArrow(p, kGreen); }),
                            QPixmap::fromImage(programIconImage(size.width()))});
}

ImageList makeImageList2()
{
    const QSize size(16, 16);
    std::vector<Painter> painters{
        [](QPainter& p) { upArrow(p, kBlue); },
        [](QPainter& p) { downArrow(p, kBlue); },
        [](QPainter& p) { cross(p, kRed); },
        floppy,
        folder,
    };
    std::vector<QPixmap> pictures;
    for (const Painter& paint : painters) {
        QPixmap normal = draw(size, paint);
        pictures.push_back(normal);
        pictures.push_back(greyed(normal));
    }
    return ImageList(size, std::move(pictures));
}

QIcon buttonGlyph(Glyph glyph)
{
    const QSize size(16, 16);
    switch (glyph) {
    case Glyph::Search: return QIcon(draw(size, magnifier));
    case Glyph::NextPage: return QIcon(draw(size, nextPage));
    case Glyph::Clear: return QIcon(draw(size, [](QPainter& p) { cross(p, kRed); }));
    case Glyph::Hot: return QIcon(draw(size, [](QPainter& p) { star(p, kGold); }));
    case Glyph::Play: return QIcon(draw(size, play));
    case Glyph::Add: return QIcon(draw(size, plus));
    case Glyph::Recommend: return QIcon(draw(size, thumbsUp));
    case Glyph::Ok: return QIcon(draw(size, tick));
    }
    return {};
}

}  // namespace quavrel
