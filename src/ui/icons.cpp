#include "ui/icons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace talvex::icons {

namespace {

// A picture of w x h logical pixels at the ratio: the pixel size is rounded up,
// so a fractional ratio never cuts off the last row or column.
QPixmap blank(int w, int h, qreal ratio, const QColor& fill = Qt::transparent) {
    const auto pixels = [ratio](int logical) { return int(std::ceil(logical * ratio - 1e-6)); };
    QPixmap p(pixels(w), pixels(h));
    p.setDevicePixelRatio(ratio);
    p.fill(fill);
    return p;
}

// A plug seen from the side: cable from the left, body, two prongs to the right.
void drawPlug(QPainter& p, QPointF body, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(body.x(), body.y() - 4, 7, 8), 1.5, 1.5);
    p.drawRect(QRectF(body.x() + 7, body.y() - 3, 3, 1.6));
    p.drawRect(QRectF(body.x() + 7, body.y() + 1.4, 3, 1.6));
}

// A socket facing left: body with two holes.
void drawSocket(QPainter& p, QPointF body, const QColor& colour, const QColor& hole) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(body.x(), body.y() - 5, 7, 10), 1.5, 1.5);
    p.setBrush(hole);
    p.drawRect(QRectF(body.x(), body.y() - 3, 2.5, 1.6));
    p.drawRect(QRectF(body.x(), body.y() + 1.4, 2.5, 1.6));
}

QPixmap connection(bool up, qreal ratio) {
    QPixmap pm = blank(32, 32, ratio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor disc = up ? QColor(0, 150, 0) : QColor(200, 40, 40);
    p.setPen(QPen(disc.darker(130), 1));
    p.setBrush(disc);
    p.drawEllipse(QRectF(1, 1, 30, 30));

    const QColor white(255, 255, 255);
    p.setPen(QPen(white, 2, Qt::SolidLine, Qt::FlatCap));
    if (up) {
        p.drawLine(QPointF(3, 16), QPointF(9, 16));
        p.drawLine(QPointF(23, 16), QPointF(29, 16));
        drawPlug(p, {9, 16}, white);
        drawSocket(p, {17, 16}, white, white);
        p.setBrush(white);
        p.drawRect(QRectF(16, 11, 2, 10)); // plug seated in the socket
    } else {
        p.drawLine(QPointF(3, 16), QPointF(6, 16));
        p.drawLine(QPointF(26, 16), QPointF(29, 16));
        drawPlug(p, {6, 16}, white);
        drawSocket(p, {19, 16}, white, disc);
    }
    return pm;
}

} // namespace

QPixmap connected(qreal ratio) { return connection(true, ratio); }
QPixmap disconnected(qreal ratio) { return connection(false, ratio); }

QPixmap bridge(Bridge kind, qreal ratio) {
    // Fed from below is exactly fed from above turned upside down.
    if (kind == Bridge::FromBelow) {
        QImage above = bridge(Bridge::FromAbove, ratio).toImage().mirrored(false, true);
        above.setDevicePixelRatio(ratio);
        return QPixmap::fromImage(std::move(above));
    }
    QPixmap pm = blank(30, 27, ratio);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(30, 30, 30);
    const qreal mid = 13.5;
    const qreal tip = 28;
    p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);

    QPainterPath line;
    if (kind == Bridge::Plain) {
        line.moveTo(2, mid);
    } else {
        // Comes in vertically from the top edge, with a short bar at
        // its far end, and turns right towards the row.
        const qreal edge = 1;
        p.drawLine(QPointF(4, edge), QPointF(14, edge));
        line.moveTo(9, edge);
        line.lineTo(9, mid);
    }
    line.lineTo(tip - 6, mid);
    p.drawPath(line);

    QPainterPath head;
    head.moveTo(tip, mid);
    head.lineTo(tip - 7, mid - 4.5);
    head.lineTo(tip - 7, mid + 4.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(head);
    return pm;
}

QPixmap bandMarker(int band, qreal ratio) {
    static const QColor rings[10] = {{161, 8, 8},     {161, 84, 8},  {161, 161, 8}, {8, 161, 8},
                                     {8, 161, 161},   {70, 96, 131}, {91, 8, 161},  {161, 161, 161},
                                     {161, 8, 8},     {161, 84, 8}};
    band = std::clamp(band, 0, 9);
    QPixmap pm = blank(20, 20, ratio, QColor(20, 20, 20));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(rings[band], 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(1.5, 1.5, 17, 17));

    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(band == 9 ? 9 : 11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, QString::number(band + 1));
    return pm;
}

} // namespace talvex::icons
