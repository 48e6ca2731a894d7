#pragma once

#include <QRect>
#include <QSize>

class QApplication;

// Registers the client's resource bundle and catalogue, which live in a
// static library and so are not registered by themselves.
void registerClientResources();
// Sets the bundle's style sheet on the application; without it the
// interface stays unstyled.
void applyClientStyleSheet(QApplication &app);

// Where the window first appears: centred by the available area's size
// alone (its offset is not added), so a small screen gives negative values.
QRect initialGeometry(const QSize &available);
