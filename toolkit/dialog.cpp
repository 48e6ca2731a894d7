#include "dialog.h"

#include "fontsize.h"
#include "style.h"
#include "windowbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariant>

namespace toolkit {

namespace {
constexpr int iconSide = 32;
constexpr int buttonHeight = 36;
} // namespace

Dialog::Dialog(QWidget *parent)
    : QDialog(parent)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(this))
    , m_message(new QLabel(this))
    , m_contentLayout(new QVBoxLayout)
    , m_buttonLayout(new QHBoxLayout)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);

    auto *closeButton = new WindowButton(WindowButton::Glyph::Close, this);
    closeButton->setToolTip(tr("Close"));
    connect(closeButton, &QAbstractButton::clicked, this, &Dialog::reject);

    m_icon->setFixedSize(iconSide, iconSide);
    m_icon->hide();
    for (QLabel *label : {m_title, m_message}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->hide();
    }
    bindFontSize(m_title, FontSize::T5, true);
    bindFontSize(m_message, FontSize::T6);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(m_icon, 0, Qt::AlignLeft | Qt::AlignTop);
    top->addStretch(1);
    top->addWidget(closeButton, 0, Qt::AlignRight | Qt::AlignTop);

    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    m_contentLayout->setSpacing(metrics::spacing);
    m_buttonLayout->setContentsMargins(0, 0, 0, 0);
    m_buttonLayout->setSpacing(metrics::spacing);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(metrics::spacingLarge, metrics::spacing, metrics::spacing, metrics::spacingLarge);
    layout->setSpacing(metrics::spacing);
    layout->addLayout(top);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(metrics::spacing, 0, metrics::spacing, 0);
    body->setSpacing(metrics::spacing);
    body->addWidget(m_title);
    body->addWidget(m_message);
    body->addLayout(m_contentLayout);
    body->addStretch(1);
    body->addSpacing(metrics::spacingSmall);
    body->addLayout(m_buttonLayout);
    layout->addLayout(body, 1);
}

void Dialog::setIcon(const QIcon &icon)
{
    m_icon->setPixmap(icon.pixmap(QSize(iconSide, iconSide)));
    m_icon->setVisible(!icon.isNull());
}

void Dialog::setTitle(const QString &title)
{
    m_title->setText(title);
    m_title->setVisible(!title.isEmpty());
}

void Dialog::setMessage(const QString &message)
{
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
}

void Dialog::setTextFormat(Qt::TextFormat format)
{
    m_title->setTextFormat(format);
    m_message->setTextFormat(format);
}

QLabel *Dialog::messageLabel() const
{
    return m_message;
}

void Dialog::addContent(QWidget *widget, Qt::Alignment alignment)
{
    m_contentLayout->addWidget(widget, 0, alignment);
}

int Dialog::addButton(const QString &text, bool isDefault, ButtonType type)
{
    const int index = m_buttons.size();
    auto *button = new QPushButton(text, this);
    button->setFixedHeight(buttonHeight);
    button->setMinimumWidth(80);
    button->setAutoDefault(false);
    button->setDefault(isDefault);
    // A default button is drawn as recommended unless it warns.
    if (type == ButtonWarning)
        button->setProperty("toolkitRole", QStringLiteral("warning"));
    else if (isDefault)
        button->setProperty("toolkitRole", QStringLiteral("recommend"));
    connect(button, &QPushButton::clicked, this, [this, index] { onButtonClicked(index); });
    m_buttonLayout->addWidget(button, 1);
    m_buttons.append(button);
    return index;
}

int Dialog::buttonCount() const
{
    return m_buttons.size();
}

QAbstractButton *Dialog::button(int index) const
{
    return m_buttons.value(index);
}

void Dialog::reject()
{
    done(-1);
}

void Dialog::onButtonClicked(int index)
{
    emit buttonClicked(index, m_buttons.at(index)->text());
    done(index);
}

void Dialog::showEvent(QShowEvent *event)
{
    // Word-wrapped texts make the plain size hint too tall; fit the height
    // to the width the dialog has.
    if (layout()->hasHeightForWidth())
        resize(width(), qMax(minimumHeight(), heightForWidth(width())));
    QDialog::showEvent(event);
}

void Dialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), colors().panel);
    painter.setPen(colors().border);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace toolkit
