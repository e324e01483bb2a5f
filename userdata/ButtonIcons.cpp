#include "userdata/ButtonIcons.h"

#include <QPainter>
#include <QPixmap>

namespace userdata {
namespace {

QPixmap Blank() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QIcon LetterIcon() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(2, 1, 11, 13);
    p.setPen(QColor(0, 0, 160));
    for (int y = 4; y <= 11; y += 3)
        p.drawLine(4, y, 11, y);
    return QIcon(pixmap);
}

QIcon AddIcon() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(QColor(255, 250, 205));
    p.drawRect(1, 3, 10, 10);
    p.setPen(QPen(QColor(0, 128, 0), 2));
    p.drawLine(12, 6, 12, 14);
    p.drawLine(8, 10, 16, 10);
    return QIcon(pixmap);
}

}  // namespace userdata
