#include "placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace toolkit {

void moveToCenter(QWidget *widget)
{
    QScreen *screen = widget->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    widget->move(frame.topLeft());
}

void moveToCenterOf(QWidget *widget, const QWidget *reference)
{
    if (!reference) {
        moveToCenter(widget);
        return;
    }
    const QWidget *window = reference->window();
    QRect frame = widget->frameGeometry();
    frame.moveCenter(window->frameGeometry().center());
    widget->move(frame.topLeft());
}

} // namespace toolkit
