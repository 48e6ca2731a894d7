#include "aboutdialog.h"

#include "application.h"
#include "fontsize.h"
#include "label.h"
#include "style.h"

#include <QLabel>

namespace toolkit {

namespace {

QString link(const QString &url, const QString &text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped());
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : Dialog(parent)
{
    setFixedWidth(400);
    const Application *app = Application::instance();

    auto *logo = new QLabel(this);
    const QIcon icon = app ? app->productIcon() : QIcon();
    logo->setPixmap(icon.pixmap(QSize(96, 96)));
    logo->setVisible(!icon.isNull());
    addContent(logo, Qt::AlignHCenter);

    auto *name = new Label(QGuiApplication::applicationDisplayName(), this);
    bindFontSize(name, FontSize::T4, true);
    addContent(name, Qt::AlignHCenter);

    auto *version = new Label(tr("Version: %1").arg(QCoreApplication::applicationVersion()), this);
    version->setTone(Label::Tone::Secondary);
    bindFontSize(version, FontSize::T7);
    addContent(version, Qt::AlignHCenter);

    if (app)
        addLinksAndDescription(*app);
}

void AboutDialog::addLinksAndDescription(const Application &app)
{
    QStringList links;
    if (!app.applicationHomePage().isEmpty())
        links << link(app.applicationHomePage(), tr("Home page"));
    if (!app.applicationAcknowledgementPage().isEmpty())
        links << link(app.applicationAcknowledgementPage(), tr("Acknowledgements"));
    if (!links.isEmpty()) {
        auto *linkLabel = new Label(links.join(QStringLiteral(" &middot; ")), this);
        linkLabel->setTextFormat(Qt::RichText);
        linkLabel->setOpenExternalLinks(true);
        bindFontSize(linkLabel, FontSize::T7);
        addContent(linkLabel, Qt::AlignHCenter);
    }

    if (!app.applicationDescription().isEmpty()) {
        auto *description = new Label(app.applicationDescription(), this);
        description->setWordWrap(true);
        description->setAlignment(Qt::AlignCenter);
        bindFontSize(description, FontSize::T7);
        addContent(description);
    }
}

} // namespace toolkit
