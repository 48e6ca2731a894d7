#include "application.h"

#include "fontsize.h"
#include "singleinstance.h"
#include "style.h"

#include <QFile>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace toolkit {

namespace {

bool loadCatalogue(QCoreApplication *app, const QString &file)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(file))
        return false;
    // The application owns an installed catalogue.
    translator->setParent(app);
    QCoreApplication::installTranslator(translator.release());
    return true;
}

} // namespace

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // Text without a size class of its own uses T6.
    QFont base = font();
    base.setPixelSize(pixelSize(FontSize::T6));
    setFont(base);
    applyTheme(this, Theme::Light);
}

Application::~Application() = default;

Application *Application::instance()
{
    return qobject_cast<Application *>(QCoreApplication::instance());
}

bool Application::setSingleInstance(const QString &key)
{
    if (!m_singleInstance)
        m_singleInstance = new SingleInstance(key, this);
    return m_singleInstance->claim();
}

SingleInstance *Application::singleInstance() const
{
    return m_singleInstance;
}

bool Application::loadTranslator(const QList<QLocale> &locales)
{
    for (const QLocale &locale : locales) {
        const QString program =
            QStringLiteral(":/translations/") + applicationName() + QLatin1Char('_') + locale.name();
        if (!QFile::exists(program + QStringLiteral(".qm")))
            continue;
        loadCatalogue(this, QLibraryInfo::location(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_")
                                + locale.name());
        loadCatalogue(this, QStringLiteral(":/toolkit/translations/toolkit_") + locale.name());
        return loadCatalogue(this, program);
    }
    return false;
}

void Application::setProductIcon(const QIcon &icon)
{
    m_productIcon = icon;
}

QIcon Application::productIcon() const
{
    return m_productIcon;
}

void Application::setApplicationDescription(const QString &description)
{
    m_description = description;
}

QString Application::applicationDescription() const
{
    return m_description;
}

void Application::setApplicationHomePage(const QString &url)
{
    m_homePage = url;
}

QString Application::applicationHomePage() const
{
    return m_homePage;
}

void Application::setApplicationAcknowledgementPage(const QString &url)
{
    m_acknowledgementPage = url;
}

QString Application::applicationAcknowledgementPage() const
{
    return m_acknowledgementPage;
}

} // namespace toolkit
