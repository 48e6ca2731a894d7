#include "printerport.h"

#include "CloudPrint_constants.h"
#include "config.h"

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

bool IsValidPort(int port)
{
    return port >= MinimumPort && port <= MaximumPort;
}

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

bool SetCloudPrintPort(int port)
{
    if (!IsValidPort(port) || g_portFile.isEmpty())
        return false;
    QSettings settings(g_portFile, QSettings::IniFormat);
    const QVariant previous = settings.value(keyPath());
    settings.setValue(keyPath(), port);
    // Reading the value back would only show the settings' own cache.
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    // Qt keeps the unsaved value in its per-file cache, where every later
    // reader in this process would take it for the stored one.
    if (previous.isValid())
        settings.setValue(keyPath(), previous);
    else
        settings.remove(keyPath());
    return false;
}

QString PortFilePath()
{
    return Config::dirPath() + QStringLiteral("/portconfig.conf");
}

void ConfigPrinterPort()
{
    g_portFile = PortFilePath();
    if (QFileInfo::exists(g_portFile)) {
        const QSettings settings(g_portFile, QSettings::IniFormat);
        const int port = readPort(settings);
        g_cloudPort = IsValidPort(port) ? port : kDefaultPort;
        return;
    }
    g_cloudPort = kDefaultPort;
    QDir().mkpath(QFileInfo(g_portFile).absolutePath());
    QSettings settings(g_portFile, QSettings::IniFormat);
    settings.setValue(keyPath(), kDefaultPort);
    settings.sync();
}

} // namespace printerport
