#include "applicationsettings.h"

#include <QApplication>
#include <QSettings>

#include <memory>

namespace toolkit {

namespace {

const QString themeKey = QStringLiteral("Appearance/Theme");

std::unique_ptr<QSettings> settingsFile()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                                       QCoreApplication::applicationName() + QStringLiteral("/toolkit"));
}

} // namespace

ApplicationSettings::ApplicationSettings(QObject *parent)
    : QObject(parent)
{
    const QString stored = settingsFile()->value(themeKey).toString();
    m_theme = stored == QLatin1String("dark") ? Theme::Dark : Theme::Light;
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        applyTheme(app, m_theme);
}

Theme ApplicationSettings::theme() const
{
    return m_theme;
}

void ApplicationSettings::setTheme(Theme theme)
{
    if (theme == m_theme)
        return;
    m_theme = theme;
    const auto settings = settingsFile();
    settings->setValue(themeKey, theme == Theme::Dark ? QStringLiteral("dark") : QStringLiteral("light"));
    settings->sync();
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        applyTheme(app, theme);
}

QString ApplicationSettings::filePath()
{
    return settingsFile()->fileName();
}

} // namespace toolkit
