#include "alertbubble.h"

#include "fontsize.h"
#include "style.h"

#include <QPainter>
#include <QPainterPath>

namespace toolkit {

namespace {
// Compact, so that the bubble reaches little into the widget below the field.
constexpr int arrowHeight = 5;
constexpr int arrowHalfWidth = 5;
constexpr int arrowInset = 20;
constexpr int paddingX = 8;
constexpr int paddingY = 3;
constexpr int gap = 1;
} // namespace

AlertBubble::AlertBubble(QWidget *anchor)
    : QWidget(anchor->window())
    , m_anchor(anchor)
{
    bindFontSize(this, FontSize::T7);
    // The bubble belongs to the window but ends with its field.
    connect(anchor, &QObject::destroyed, this, &QObject::deleteLater);
    hide();
}

void AlertBubble::setText(const QString &text)
{
    m_text = text;
    resize(sizeHint());
    update();
}

QString AlertBubble::text() const
{
    return m_text;
}

QSize AlertBubble::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(m_text) + 2 * paddingX, metrics.height() + 2 * paddingY + arrowHeight);
}

void AlertBubble::reposition()
{
    if (!m_anchor)
        return;
    QWidget *window = parentWidget();
    // The field may have been moved to another window since the bubble was made.
    if (window != m_anchor->window()) {
        setParent(m_anchor->window());
        window = parentWidget();
    }
    resize(sizeHint());
    QPoint pos = m_anchor->mapTo(window, QPoint(0, m_anchor->height() + gap));
    const int maxX = window->width() - width() - metrics::spacingSmall;
    const int x = qMax(0, qMin(pos.x(), maxX));
    m_arrowX = qBound(arrowInset, pos.x() + arrowInset - x, width() - arrowInset);
    pos.setX(x);
    move(pos);
    raise();
}

void AlertBubble::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(0.5, arrowHeight + 0.5, -0.5, -0.5);

    QPainterPath path;
    path.addRoundedRect(body, 6, 6);
    QPainterPath arrow;
    arrow.moveTo(m_arrowX - arrowHalfWidth, body.top() + 1);
    arrow.lineTo(m_arrowX, 0.5);
    arrow.lineTo(m_arrowX + arrowHalfWidth, body.top() + 1);
    arrow.closeSubpath();
    path = path.united(arrow);

    painter.setPen(QPen(colors().alertBorder, 1));
    painter.setBrush(colors().alertBackground);
    painter.drawPath(path);
    painter.setPen(colors().alertText);
    painter.drawText(body, Qt::AlignCenter, m_text);
}

void AlertBubble::mousePressEvent(QMouseEvent *)
{
    hide();
}

} // namespace toolkit
