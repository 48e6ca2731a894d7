#pragma once

class QWidget;

namespace toolkit {

// Moves a top-level widget to the centre of the screen it is on (the
// primary screen when it is not shown yet).
void moveToCenter(QWidget *widget);

// Moves a top-level widget so that its centre is the centre of another
// widget's window.
void moveToCenterOf(QWidget *widget, const QWidget *reference);

} // namespace toolkit
