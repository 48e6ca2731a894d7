#include "printerport.h"

#include "CloudPrint_constants.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("PrinterPorts");
const QString kKey = QStringLiteral("CloudPort");

// A fresh constants object: the generated global may not be initialised yet
// while static initialisers run.
const int kDefaultPort = cloudprint::CloudPrintConstants().CLOUD_PRINT_PORT;

int g_cloudPort = kDefaultPort;
QString g_portFile;

bool isValidPort(int port)
{
    return static_cast<unsigned>(port - 1025) < 64511u;
}

QString keyPath()
{
    return kGroup + QLatin1Char('/') + kKey;
}

int readPort(const QSettings &settings)
{
    bool ok = false;
    const int port = settings.value(keyPath()).toInt(&ok);
    return ok ? port : 0;
}

} // namespace

namespace printerport {

int GetCloudPrintPort()
{
    return g_cloudPort;
}

int GetCloudPrintPortInFile()
{
    if (g_portFile.isEmpty())
        return 0;
    const QSettings settings(g_portFile, QSettings::IniFormat);
    return readPort(settings);
}

void SetCloudPrintPort(int port)
{
    if (!isValidPort(port) || g_portFile.isEmpty())
        return;
    QSettings settings(g_portFile, QSettings::IniFormat);
    settings.setValue(keyPath(), port);
    settings.sync();
}

void ConfigPrinterPort()
{
    g_portFile = QDir::homePath()
        + QStringLiteral("/.config/quorvia/quorvia-cloud-print-configurator/portconfig.conf");
    if (QFileInfo::exists(g_portFile)) {
        const QSettings settings(g_portFile, QSettings::IniFormat);
        const int port = readPort(settings);
        g_cloudPort = isValidPort(port) ? port : kDefaultPort;
        return;
    }
    g_cloudPort = kDefaultPort;
    QDir().mkpath(QFileInfo(g_portFile).absolutePath());
    QSettings settings(g_portFile, QSettings::IniFormat);
    settings.setValue(keyPath(), kDefaultPort);
    settings.sync();
}

} // namespace printerport
