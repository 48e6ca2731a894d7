#include "clientresources.h"

#include <QApplication>
#include <QFile>

void registerClientResources()
{
    Q_INIT_RESOURCE(socket_client);
    Q_INIT_RESOURCE(socket_client_translations);
}

void applyClientStyleSheet(QApplication &app)
{
    QFile styleSheet(QStringLiteral(":/data/QSS/server.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));
}

QRect initialGeometry(const QSize &available)
{
    constexpr int width = 500;
    constexpr int height = 350;
    return {(available.width() - width) / 2, (available.height() - height) / 2, width, height};
}
