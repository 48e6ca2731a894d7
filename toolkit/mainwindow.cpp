#include "mainwindow.h"

#include "style.h"
#include "titlebar.h"

#include <QEvent>
#include <QPainter>

namespace toolkit {

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_titlebar(new TitleBar(this))
{
    // Frameless, so the hints only say which buttons the title bar shows.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setMenuWidget(m_titlebar);
}

TitleBar *MainWindow::titlebar() const
{
    return m_titlebar;
}

void MainWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), colors().window);
    painter.setPen(colors().border);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowTitleChange)
        m_titlebar->setTitle(windowTitle());
    QMainWindow::changeEvent(event);
}

} // namespace toolkit
