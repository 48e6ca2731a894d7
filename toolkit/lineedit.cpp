#include "lineedit.h"

#include "alertbubble.h"
#include "themeicon.h"

#include <QAction>
#include <QStyle>

namespace toolkit {

LineEdit::LineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    m_alertTimer.setSingleShot(true);
    connect(&m_alertTimer, &QTimer::timeout, this, &LineEdit::hideAlertMessage);
}

void LineEdit::showAlertMessage(const QString &text, int durationMs)
{
    if (!m_bubble)
        m_bubble = new AlertBubble(this);
    m_bubble->setText(text);
    m_bubble->reposition();
    m_bubble->show();
    setAlertLook(true);
    if (durationMs >= 0)
        m_alertTimer.start(durationMs);
    else
        m_alertTimer.stop();
}

void LineEdit::hideAlertMessage()
{
    m_alertTimer.stop();
    if (m_bubble)
        m_bubble->hide();
    setAlertLook(false);
}

bool LineEdit::isAlert() const
{
    return m_bubble && !m_bubble->isHidden();
}

QString LineEdit::alertMessage() const
{
    return isAlert() ? m_bubble->text() : QString();
}

void LineEdit::moveEvent(QMoveEvent *event)
{
    QLineEdit::moveEvent(event);
    if (isAlert())
        m_bubble->reposition();
}

void LineEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    if (isAlert())
        m_bubble->reposition();
}

void LineEdit::hideEvent(QHideEvent *event)
{
    QLineEdit::hideEvent(event);
    // A field that leaves the screen (another page shown) takes its alert along.
    if (isAlert())
        hideAlertMessage();
}

void LineEdit::setAlertLook(bool alert)
{
    if (property("toolkitAlert").toBool() == alert)
        return;
    setProperty("toolkitAlert", alert);
    style()->unpolish(this);
    style()->polish(this);
    update();
    emit alertChanged(alert);
}

PasswordEdit::PasswordEdit(QWidget *parent)
    : LineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    m_echoAction = addAction(QIcon(), QLineEdit::TrailingPosition);
    connect(m_echoAction, &QAction::triggered, this, [this] {
        setEchoMode(echoMode() == QLineEdit::Password ? QLineEdit::Normal : QLineEdit::Password);
        updateEchoAction();
    });
    updateEchoAction();
}

void PasswordEdit::updateEchoAction()
{
    const bool hidden = echoMode() == QLineEdit::Password;
    m_echoAction->setIcon(themeIcon(hidden ? QStringLiteral("password_show") : QStringLiteral("password_hide")));
    m_echoAction->setToolTip(hidden ? tr("Show password") : tr("Hide password"));
}

SearchEdit::SearchEdit(QWidget *parent)
    : LineEdit(parent)
{
    addAction(themeIcon(QStringLiteral("search")), QLineEdit::LeadingPosition);
    setPlaceholderText(tr("Search"));
    setClearButtonEnabled(true);
}

} // namespace toolkit
