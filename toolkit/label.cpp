#include "label.h"

#include "style.h"

#include <QEvent>

namespace toolkit {

Label::Label(QWidget *parent)
    : QLabel(parent)
{ }

Label::Label(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{ }

void Label::setTone(Tone tone)
{
    m_tone = tone;
    applyTone();
}

void Label::changeEvent(QEvent *event)
{
    // A theme switch replaces the application palette; pick the tone again.
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyTone();
    QLabel::changeEvent(event);
}

void Label::applyTone()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, m_tone == Tone::Secondary ? colors().secondaryText : colors().text);
    setPalette(p);
}

} // namespace toolkit
