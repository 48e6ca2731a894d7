#include "label.h"

#include "style.h"

#include <QEvent>

namespace toolkit {

Label::Label(QWidget *parent)
    : QLabel(parent)
{
}

Label::Label(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
}

void Label::setTone(Tone tone)
{
    m_tone = tone;
    applyTone();
}

Label::Tone Label::tone() const
{
    return m_tone;
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
    switch (m_tone) {
    case Tone::Normal:
        p.setColor(QPalette::WindowText, colors().text);
        break;
    case Tone::Secondary:
        p.setColor(QPalette::WindowText, colors().secondaryText);
        break;
    case Tone::Accent:
        p.setColor(QPalette::WindowText, colors().accent);
        break;
    case Tone::Warning:
        p.setColor(QPalette::WindowText, colors().warning);
        break;
    }
    setPalette(p);
}

} // namespace toolkit
