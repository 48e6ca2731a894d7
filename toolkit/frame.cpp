#include "frame.h"

#include "style.h"

#include <QPainter>

namespace toolkit {

Frame::Frame(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
}

void Frame::paintEvent(QPaintEvent *)
{
    if (frameShape() == QFrame::NoFrame)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colors().border, 1));
    painter.setBrush(colors().panel);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), metrics::controlRadius,
                            metrics::controlRadius);
}

BackgroundGroup::BackgroundGroup(QWidget *parent)
    : QFrame(parent)
{ }

void BackgroundGroup::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colors().panel);
    painter.drawRoundedRect(contentsRect(), metrics::panelRadius, metrics::panelRadius);
}

} // namespace toolkit
