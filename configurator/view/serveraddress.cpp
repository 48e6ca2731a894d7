#include "serveraddress.h"

#include "printerport.h"

const QString urlScheme = QStringLiteral("tqp");

QUrl formatAddress(const QString &address)
{
    QUrl url;
    if (!address.contains(urlScheme + QStringLiteral("://"))) {
        const QStringList parts = address.split(QLatin1Char(':'));
        const QString port = parts.size() >= 2 ? parts.at(1) : QString::number(printerport::GetCloudPrintPort());
        url.setUrl(QStringLiteral("%1://%2:%3").arg(urlScheme, parts.at(0), port));
        return url;
    }
    url.setUrl(address);
    url.setPort(url.port(printerport::GetCloudPrintPort()));
    return url;
}

QUrl serverAddress(const QUrl &url)
{
    QUrl server;
    server.setScheme(url.scheme());
    server.setHost(url.host(QUrl::FullyDecoded), QUrl::DecodedMode);
    server.setPort(url.port());
    return server;
}
