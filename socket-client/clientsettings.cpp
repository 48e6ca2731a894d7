#include "clientsettings.h"

#include <QDir>

ClientSettings ClientSettings::defaults()
{
    ClientSettings settings;
    settings.configDir = QDir::homePath() + QStringLiteral("/.config/olvenka-cloud-printer");
    settings.databaseFile = settings.configDir + QStringLiteral("/OlvenkaCloudPrinter.db");
    return settings;
}
