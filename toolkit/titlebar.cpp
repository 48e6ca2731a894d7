#include "titlebar.h"

#include "aboutdialog.h"
#include "application.h"
#include "style.h"
#include "windowbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace toolkit {

TitleBar::TitleBar(QWidget *parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(this))
    , m_left(new QHBoxLayout)
    , m_center(new QHBoxLayout)
    , m_right(new QHBoxLayout)
    , m_menuButton(new WindowButton(WindowButton::Glyph::Menu, this))
    , m_minimizeButton(new WindowButton(WindowButton::Glyph::Minimize, this))
    , m_maximizeButton(new WindowButton(WindowButton::Glyph::Maximize, this))
    , m_closeButton(new WindowButton(WindowButton::Glyph::Close, this))
    , m_popup(new QMenu(this))
{
    setFixedHeight(metrics::titleBarHeight);
    m_icon->setFixedSize(32, 32);
    m_icon->setAlignment(Qt::AlignCenter);
    m_title->setAlignment(Qt::AlignCenter);

    m_menuButton->setToolTip(tr("Menu"));
    m_minimizeButton->setToolTip(tr("Minimize"));
    m_maximizeButton->setToolTip(tr("Maximize"));
    m_closeButton->setToolTip(tr("Close"));

    for (QHBoxLayout *box : {m_left, m_center, m_right}) {
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(metrics::spacingSmall);
    }
    m_center->addWidget(m_title);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(metrics::spacing + 2, 0, metrics::spacingSmall + 2, 0);
    layout->setSpacing(metrics::spacingSmall);
    layout->addWidget(m_icon);
    layout->addLayout(m_left);
    layout->addStretch(1);
    layout->addLayout(m_center);
    layout->addStretch(1);
    layout->addLayout(m_right);
    layout->addWidget(m_menuButton);
    layout->addWidget(m_minimizeButton);
    layout->addWidget(m_maximizeButton);
    layout->addWidget(m_closeButton);

    connect(m_menuButton, &QAbstractButton::clicked, this, &TitleBar::showMenu);
    connect(m_minimizeButton, &QAbstractButton::clicked, this, [this] { window()->showMinimized(); });
    connect(m_maximizeButton, &QAbstractButton::clicked, this, &TitleBar::toggleMaximized);
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] { window()->close(); });
    connect(m_popup, &QMenu::aboutToShow, this, &TitleBar::rebuildPopup);
    rebuildPopup();
}

void TitleBar::setIcon(const QIcon &icon)
{
    m_icon->setPixmap(icon.pixmap(QSize(32, 32)));
}

void TitleBar::setTitle(const QString &title)
{
    m_title->setText(title);
}

void TitleBar::setSeparatorVisible(bool visible)
{
    m_separatorVisible = visible;
    update();
}

void TitleBar::setBackgroundTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

void TitleBar::setMenu(QMenu *menu)
{
    m_menu = menu;
    rebuildPopup();
}

QMenu *TitleBar::menu() const
{
    return m_menu;
}

void TitleBar::setMenuVisible(bool visible)
{
    m_menuButton->setVisible(visible);
}

bool TitleBar::menuVisible() const
{
    return !m_menuButton->isHidden();
}

QMenu *TitleBar::popupMenu() const
{
    return m_popup;
}

void TitleBar::addWidget(QWidget *widget, Qt::Alignment alignment)
{
    if (alignment & Qt::AlignLeft)
        m_left->addWidget(widget);
    else if (alignment & Qt::AlignRight)
        m_right->addWidget(widget);
    else
        m_center->addWidget(widget);
}

void TitleBar::updateWindowButtons()
{
    const Qt::WindowFlags flags = window()->windowFlags();
    m_minimizeButton->setVisible(flags & Qt::WindowMinimizeButtonHint);
    const bool resizable = window()->minimumSize() != window()->maximumSize();
    m_maximizeButton->setVisible((flags & Qt::WindowMaximizeButtonHint) && resizable);
    m_closeButton->setVisible(flags & Qt::WindowCloseButtonHint);
}

void TitleBar::showMenu()
{
    m_popup->popup(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height())));
}

void TitleBar::rebuildPopup()
{
    m_popup->clear();
    if (m_menu && !m_menu->actions().isEmpty()) {
        m_popup->addActions(m_menu->actions());
        m_popup->addSeparator();
    }
    m_popup->addAction(tr("About"), this, &TitleBar::showAbout);
    m_popup->addAction(tr("Exit"), this, [this] { window()->close(); });
}

void TitleBar::showAbout()
{
    AboutDialog dialog(window());
    dialog.exec();
}

void TitleBar::toggleMaximized()
{
    QWidget *w = window();
    if (w->isMaximized())
        w->showNormal();
    else
        w->showMaximized();
}

void TitleBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), colors().window);
    if (m_separatorVisible)
        painter.fillRect(QRect(0, height() - 1, width(), 1), colors().separator);
}

void TitleBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Let the window manager move the window where it can; otherwise move it
    // by hand.
    QWindow *handle = window()->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPos() - window()->frameGeometry().topLeft();
}

void TitleBar::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        window()->move(event->globalPos() - m_dragOffset);
    QWidget::mouseMoveEvent(event);
}

void TitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_maximizeButton->isVisible())
        toggleMaximized();
    QWidget::mouseDoubleClickEvent(event);
}

void TitleBar::showEvent(QShowEvent *event)
{
    updateWindowButtons();
    QWidget::showEvent(event);
}

} // namespace toolkit
