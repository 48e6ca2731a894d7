#include "windowbutton.h"

#include "style.h"

#include <QPainter>

namespace toolkit {

WindowButton::WindowButton(Glyph glyph, QWidget *parent)
    : QAbstractButton(parent)
    , m_glyph(glyph)
{
    setFixedSize(36, 36);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void WindowButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool hot = underMouse() || isDown();
    if (hot) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_glyph == Glyph::Close ? colors().warning : colors().hover);
        painter.drawRoundedRect(rect().adjusted(2, 2, -2, -2), metrics::controlRadius, metrics::controlRadius);
    }
    const QColor ink = hot && m_glyph == Glyph::Close ? colors().onAccent : colors().text;
    painter.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    const QPointF c = QRectF(rect()).center();
    switch (m_glyph) {
    case Glyph::Menu:
        for (int row = -1; row <= 1; ++row)
            painter.drawLine(QPointF(c.x() - 6, c.y() + row * 4), QPointF(c.x() + 6, c.y() + row * 4));
        break;
    case Glyph::Minimize:
        painter.drawLine(QPointF(c.x() - 6, c.y()), QPointF(c.x() + 6, c.y()));
        break;
    case Glyph::Maximize:
        painter.drawRect(QRectF(c.x() - 5.5, c.y() - 5.5, 11, 11));
        break;
    case Glyph::Close:
        painter.drawLine(QPointF(c.x() - 5, c.y() - 5), QPointF(c.x() + 5, c.y() + 5));
        painter.drawLine(QPointF(c.x() + 5, c.y() - 5), QPointF(c.x() - 5, c.y() + 5));
        break;
    }
}

} // namespace toolkit
