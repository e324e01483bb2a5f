#include "app/Glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace glyphs {
namespace {

const QColor kOutline(0, 0, 0);
const QColor kPaper(255, 255, 255);
const QColor kInk(0, 0, 128);

// A transparent 16 x 16 canvas; drawn without antialiasing so every pixel stays crisp.
QImage Canvas() {
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void DrawSheet(QPainter& p) {
    p.setPen(kOutline);
    p.setBrush(kPaper);
    p.drawRect(1, 1, 10, 13);
    p.setPen(kInk);
    for (int y = 4; y <= 10; y += 3)
        p.drawLine(3, y, 9, y);
}

void DrawPencilInHand(QPainter& p) {
    // The pencil runs from its point on the sheet up to the right, where the hand holds it.
    p.setPen(QPen(QColor(255, 200, 0), 2));
    p.drawLine(8, 11, 12, 7);
    p.setPen(kOutline);
    p.drawPoint(7, 12);
    p.setPen(QColor(128, 64, 0));
    p.setBrush(QColor(255, 204, 153));
    p.drawEllipse(11, 8, 4, 5);
    p.drawLine(12, 13, 13, 15);
}

}  // namespace

QImage HandWriting() {
    QImage image = Canvas();
    QPainter p(&image);
    DrawSheet(p);
    DrawPencilInHand(p);
    return image;
}

QImage EnvelopeWithStamp() {
    QImage image = Canvas();
    QPainter p(&image);
    p.setPen(kOutline);
    p.setBrush(kPaper);
    p.drawRect(0, 3, 15, 10);
    p.drawLine(0, 3, 7, 9);
    p.drawLine(8, 9, 15, 3);
    p.setPen(QColor(128, 0, 0));
    p.setBrush(QColor(255, 0, 0));
    p.drawRect(11, 4, 3, 3);
    return image;
}

QImage SpiralNotepad() {
    QImage image = Canvas();
    QPainter p(&image);
    p.setPen(kOutline);
    p.setBrush(QColor(255, 255, 192));
    p.drawRect(2, 2, 12, 13);
    p.setPen(QColor(0, 128, 128));
    for (int y = 6; y <= 12; y += 2)
        p.drawLine(4, y, 12, y);
    // The spiral: a ring through the top edge every third pixel.
    p.setPen(QColor(128, 128, 128));
    p.setBrush(Qt::NoBrush);
    for (int x = 3; x <= 12; x += 3)
        p.drawRect(x, 0, 1, 3);
    return image;
}

QImage Globe() {
    QImage image = Canvas();
    QPainter p(&image);
    p.setPen(QColor(0, 0, 128));
    p.setBrush(QColor(0, 128, 255));
    p.drawEllipse(1, 1, 13, 13);
    QPainterPath land;
    land.addPolygon(QPolygonF({{4, 4}, {8, 3}, {9, 6}, {6, 8}, {7, 11}, {4, 10}}));
    land.addPolygon(QPolygonF({{10, 8}, {13, 8}, {12, 12}, {10, 11}}));
    p.fillPath(land, QColor(0, 160, 0));
    p.setPen(QColor(0, 0, 128));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(5, 1, 5, 13);
    p.drawLine(1, 8, 14, 8);
    return image;
}

// A clip bent into three nested loops, standing on end.
QImage PaperClip() {
    QImage image = Canvas();
    QPainter p(&image);
    p.setPen(QColor(64, 64, 64));
    p.drawLine(5, 4, 5, 13);
    p.drawArc(5, 11, 5, 4, 180 * 16, 180 * 16);
    p.drawLine(10, 13, 10, 2);
    p.drawArc(7, 0, 6, 4, 0, 180 * 16);
    p.drawLine(7, 2, 7, 11);
    p.drawPoint(8, 12);
    p.drawLine(5, 4, 6, 3);
    return image;
}

QImage DisabledForm(const QImage& normal) {
    const QImage source = normal.convertToFormat(QImage::Format_ARGB32);
    QImage result = Canvas();
    auto dark = [&](int x, int y) {
        const QColor c = source.pixelColor(x, y);
        return c.alpha() > 0 && qGray(c.rgb()) < 192;
    };
    // White edge first, one pixel down and right, so the grey drawn next stays on top.
    for (int y = 0; y + 1 < kSize; ++y) {
        for (int x = 0; x + 1 < kSize; ++x) {
            if (dark(x, y))
                result.setPixelColor(x + 1, y + 1, QColor(255, 255, 255));
        }
    }
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            if (dark(x, y))
                result.setPixelColor(x, y, QColor(128, 128, 128));
        }
    }
    return result;
}

QIcon Icon(const QImage& normal) {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(normal), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(DisabledForm(normal)), QIcon::Disabled);
    return icon;
}

}  // namespace glyphs
