#include "iconbutton.h"

#include "style.h"

#include <QPainter>

namespace toolkit {

IconButton::IconButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setIconSize(QSize(16, 16));
}

IconButton::IconButton(const QIcon &icon, QWidget *parent)
    : IconButton(parent)
{
    setIcon(icon);
}

QSize IconButton::sizeHint() const
{
    const int side = qMax(iconSize().width(), iconSize().height()) + 2 * metrics::spacing + 4;
    return QSize(qMax(side, 32), qMax(side, 32));
}

void IconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isEnabled() && (m_hovered || isDown() || hasFocus())) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(isDown() ? colors().buttonHover : colors().hover);
        painter.drawRoundedRect(rect(), metrics::controlRadius, metrics::controlRadius);
    }
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap pixmap = icon().pixmap(iconSize(), mode);
    const QSizeF logical = pixmap.size() / pixmap.devicePixelRatio();
    QRectF target(QPointF(0, 0), logical);
    target.moveCenter(QRectF(rect()).center());
    painter.drawPixmap(target.toRect(), pixmap);
}

void IconButton::enterEvent(QEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void IconButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace toolkit
