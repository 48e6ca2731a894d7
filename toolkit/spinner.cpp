#include "spinner.h"

#include "style.h"

#include <QPainter>

namespace toolkit {

namespace {
constexpr int frameIntervalMs = 16;
constexpr int stepDegrees = 6;
} // namespace

Spinner::Spinner(QWidget *parent)
    : QWidget(parent)
{
    m_timer.setInterval(frameIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + stepDegrees) % 360;
        update();
    });
}

bool Spinner::isPlaying() const
{
    return m_timer.isActive();
}

void Spinner::start()
{
    m_timer.start();
}

void Spinner::stop()
{
    m_timer.stop();
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(width(), height());
    const qreal pen = qMax(2.0, side / 10.0);
    const QRectF circle(QPointF(0, 0), QSizeF(side - pen, side - pen));
    QRectF box = circle;
    box.moveCenter(QRectF(rect()).center());

    QColor track = colors().accent;
    track.setAlpha(40);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(box);
    painter.setPen(QPen(colors().accent, pen, Qt::SolidLine, Qt::RoundCap));
    // Qt counts arcs in sixteenths of a degree, counter-clockwise.
    painter.drawArc(box, -m_angle * 16, 100 * 16);
}

} // namespace toolkit
