#include "shell/Picture.h"

#include <QPainter>
#include <QPainterPath>

QPixmap DrawInstrumentPicture(const QSize &size)
{
    QPixmap picture(size);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    // The body of the hand-held instrument, standing upright.
    const QRectF body(size.width() * 0.3, size.height() * 0.08, size.width() * 0.4, size.height() * 0.84);
    painter.setPen(QPen(QColor(40, 40, 60), 2));
    painter.setBrush(QColor(90, 110, 150));
    painter.drawRoundedRect(body, 18, 18);

    // Its display with a reading.
    const QRectF display(body.left() + 10, body.top() + 22, body.width() - 20, body.height() * 0.22);
    painter.setBrush(QColor(170, 200, 150));
    painter.drawRect(display);
    painter.setPen(QColor(20, 40, 20));
    QFont digits("Monospace");
    digits.setPixelSize(int(display.height() * 0.55));
    digits.setBold(true);
    painter.setFont(digits);
    painter.drawText(display, Qt::AlignCenter, "0.00");

    // The mouthpiece on top and two keys below the display.
    painter.setPen(QPen(QColor(40, 40, 60), 2));
    painter.setBrush(QColor(230, 230, 230));
    painter.drawRect(QRectF(body.center().x() - 6, body.top() - 14, 12, 16));
    painter.setBrush(QColor(200, 60, 60));
    const qreal keyY = display.bottom() + 24;
    painter.drawEllipse(QPointF(body.left() + body.width() * 0.3, keyY), 9, 9);
    painter.setBrush(QColor(60, 160, 60));
    painter.drawEllipse(QPointF(body.left() + body.width() * 0.7, keyY), 9, 9);
    return picture;
}
