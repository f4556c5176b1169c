#include "core/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tallyra::AppIcon {

QPixmap pixmap(int size)
{
    QPixmap board(size, size);
    board.fill(Qt::transparent);
    QPainter p(&board);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2E, 0x6B, 0x4F));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

    p.setBrush(QColor(0xFB, 0xFA, 0xF3));
    p.drawRoundedRect(QRectF(13, 9, 38, 46), 3, 3);

    p.setPen(QPen(QColor(0x9D, 0xB8, 0xD9), 2));
    for (int y = 19; y <= 47; y += 7)
        p.drawLine(QPointF(18, y), QPointF(46, y));
    p.drawLine(QPointF(27, 14), QPointF(27, 50));

    QPainterPath tick;
    tick.moveTo(24, 34);
    tick.lineTo(32, 43);
    tick.lineTo(50, 20);
    p.setPen(QPen(QColor(0xE8, 0x7A, 0x1D), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    p.end();
    return board;
}

QIcon icon()
{
    QIcon result;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        result.addPixmap(pixmap(size));
    return result;
}

} // namespace tallyra::AppIcon
