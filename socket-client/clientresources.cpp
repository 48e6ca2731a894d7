#include "clientresources.h"

#include <QtGlobal>

void registerClientResources()
{
    Q_INIT_RESOURCE(socket_client);
    Q_INIT_RESOURCE(socket_client_translations);
}

QRect initialGeometry(const QSize &available)
{
    constexpr int width = 500;
    constexpr int height = 350;
    return {(available.width() - width) / 2, (available.height() - height) / 2, width, height};
}
