#include "appmetadata.h"

#include "application.h"
#include "versionmatch.h"

#include <QIcon>

void setApplicationIdentity(toolkit::Application &app)
{
    app.setOrganizationName(QStringLiteral("brantel"));
    app.setApplicationName(QStringLiteral("quorvia-cloud-print-configurator"));
    app.setApplicationVersion(clientVersion());
}

void setApplicationMetadata(toolkit::Application &app)
{
    const QIcon icon(QStringLiteral(":/view/resource/config-helper.svg"));
    app.setWindowIcon(icon);
    app.setApplicationDisplayName(QCoreApplication::translate("main", "Brantel Cloud Print"));
    app.setProductIcon(icon);
    app.setApplicationHomePage(QStringLiteral("https://www.brantel.com"));
    app.setApplicationAcknowledgementPage(QStringLiteral("https://www.brantel.com/acknowledgements"));
    app.setApplicationDescription(QCoreApplication::translate(
        "main", "Brantel Cloud Print is a new printing solution from Brantel. It connects your printer to the network "
                "so that you can print over the network from the applications you use every day. It suits desktops, "
                "laptops, some tablets and other networked devices that you have authorised to print."));
}
