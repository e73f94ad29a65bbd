#include "ui/drawn_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Every image is designed on a 16 by 16 grid, the buttons' icon size, with
// straight edges on whole pixels. Drawing each size afresh instead of letting
// QIcon scale one large pixmap down keeps the edges sharp; the larger sizes
// serve scaled screens (125 %, 150 %, 200 %).
using Draw = void (*)(QPainter&, const QColor&);

QIcon Render(Draw draw, const QColor& colour) {
    QIcon icon;
    for (const int px : {16, 20, 24, 32}) {
        QPixmap pm(px, px);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(px / 16.0, px / 16.0);
        draw(p, colour);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

void DrawGear(QPainter& p, const QColor& colour) {
    // Body and teeth are filled one over the other and the hole cleared
    // afterwards: uniting them as paths first costs far more than the
    // drawing itself, and this runs on every start.
    p.translate(8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(0, 0), 5, 5);
    for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-1.5, -7.5, 3, 3.5));
        p.rotate(45);
    }
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawEllipse(QPointF(0, 0), 2.25, 2.25);
}

void DrawHelp(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));

    // The mark is cleared rather than painted, so it takes the colour of
    // whatever face the button has (hovered, pressed, dark theme).
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    QPainterPath hook;
    hook.moveTo(5.5, 6);
    hook.arcTo(QRectF(5.5, 3.5, 5, 5), 180, -230);
    hook.quadTo(8, 8.3, 8, 9.5);
    hook.lineTo(8, 10);
    p.strokePath(hook, QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.fillRect(QRectF(7, 11, 2, 2), Qt::black);
}

void DrawTick(QPainter& p, const QColor& colour) {
    QPainterPath tick;
    tick.moveTo(3.5, 8.5);
    tick.lineTo(6.5, 11.5);
    tick.lineTo(12.5, 4.5);
    p.strokePath(tick, QPen(colour, 2.25, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void DrawCopy(QPainter& p, const QColor& colour) {
    // Two overlapping sheets. The front one is cleared inside, so the back
    // one goes behind it and the button's face shows through.
    p.setPen(QPen(colour, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5.5, 1.5, 8, 10), 1, 1);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillRect(QRectF(2.5, 4.5, 8, 10), Qt::black);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawRoundedRect(QRectF(2.5, 4.5, 8, 10), 1, 1);
}

}  // namespace

QIcon CopyIcon(const QColor& colour) { return Render(DrawCopy, colour); }

QIcon GearIcon(const QColor& colour) { return Render(DrawGear, colour); }

QIcon HelpIcon(const QColor& colour) { return Render(DrawHelp, colour); }

QIcon TickIcon(const QColor& colour) { return Render(DrawTick, colour); }
