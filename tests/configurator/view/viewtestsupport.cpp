#include "viewtestsupport.h"

#include "cloudprintclient.h"

#include <QFile>
#include <QImage>
#include <QTimer>

namespace {

QImage labelImage(const QWidget &row, const char *name)
{
    const auto *label = row.findChild<QLabel *>(QLatin1String(name));
    return label ? label->pixmap(Qt::ReturnByValue).toImage() : QImage();
}

} // namespace

void saveServer(const QString &address, const QString &code, const QDateTime &lastUsed)
{
    Config config;
    config.servers.insert(address, ServerConfig{code, address, lastUsed});
    config.save();
}

QString driverText(const QString &model)
{
    return QStringLiteral("#include <media.defs>\nManufacturer \"Quorvia\"\nVersion 1.0\n*MediaSize A4\n"
                          "{\n  ModelName \"%1\"\n  PCFileName \"TQP.ppd\"\n}\n")
        .arg(model);
}

bool initViewTests(const TestCertificates &certificates)
{
    Q_INIT_RESOURCE(confighelper);
    Q_INIT_RESOURCE(theme_icons);
    CloudPrintRPCClient::setTrustedCaFileForTesting(certificates.caFile());
    ConfiguratorWindow::setAgentPathForTesting(QString());
    return certificates.ok();
}

void every(QObject *context, const std::function<void()> &step)
{
    auto *timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, step);
    timer->start(10);
}

int threadCount()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

QStringList visibleNames(const PrinterList &list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        if (!list.item(i)->isHidden())
            names << RowProbe{*list.rowAt(i)}.text("nameLabel");
    }
    return names;
}

QString RowProbe::look() const
{
    const QImage image = labelImage(row, "statusDot");
    const QColor c = image.isNull() ? QColor(Qt::transparent) : image.pixelColor(image.width() / 2, image.height() / 2);
    QString dot = QStringLiteral("other");
    if (c.alpha() < 128)
        dot = QStringLiteral("none");
    else if (c.red() > c.green() + 40 && c.red() > c.blue() + 40)
        dot = QStringLiteral("red");
    else if (c.green() > c.red() + 40 && c.green() > c.blue())
        dot = QStringLiteral("green");
    else if (qAbs(c.red() - c.green()) < 30 && qAbs(c.green() - c.blue()) < 30)
        dot = QStringLiteral("grey");
    return QStringLiteral("%1, %2, %3").arg(text("statusText"), dot, text("connectionLabel"));
}

bool RowProbe::hasCheckMark() const
{
    Printer printer = makePrinter(text("nameLabel"));
    const PrinterWidget plain(printer, false);
    const QImage image = labelImage(row, "iconLabel");
    return !image.isNull() && image != labelImage(plain, "iconLabel");
}

std::unique_ptr<ReferenceServer> startServer(const TestCertificates &certificates,
                                             const std::function<void(ReferenceServer &)> &configure, bool withPrinters)
{
    auto server = std::make_unique<ReferenceServer>(certificates);
    server->setCodes({kCode});
    server->setVersion(QStringLiteral("1.2.3"));
    server->setDefaultDriver(driverText(QStringLiteral("Quorvia Page Test")));
    const struct
    {
        QString id;
        const char *portName;
        int status, attributes;
        QJsonArray jobs;
    } printers[] = {{kLaser, "192.168.1.20", 0, 0, {0}},
                    {kCanon, "IP_192.168.1.21", 0x8, 0x240, {0, 3}},
                    {kOffice, "USB001", 0x80, 0, {2, 5}},
                    {kLabel, "LPT1", 0, 0x400, {2}},
                    {kSeven, "fe80::1", 0, 0, {2, 2, 4}}};
    for (const auto &p : printers) {
        QJsonObject printer = ReferenceServer::printer(p.id, p.status, p.jobs.first().toInt());
        printer.insert(QStringLiteral("PortName"), QLatin1String(p.portName));
        printer.insert(QStringLiteral("Attributes"), p.attributes);
        printer.insert(QStringLiteral("cJobsSequence"), p.jobs);
        if (withPrinters)
            server->addPrinter(printer);
    }
    if (configure)
        configure(*server);
    if (!server->start())
        return nullptr;
    printerport::ConfigPrinterPort();
    printerport::SetCloudPrintPort(server->port());
    return server;
}

Window::Window()
{
    // After the window's own handler: a recorded result has been handled.
    QObject::connect(window->worker(), &ConfiguratorWindowInnter::Worker::listPrinterFinish, window.get(),
                     [this](int result) { results << result; });
    window->show();
}

void Window::type(const char *field, const QString &text) const
{
    part<QLineEdit>(field)->clear();
    QTest::keyClicks(part<QLineEdit>(field), text);
}

void Window::verify(const QString &code, const QString &address)
{
    type("ipEdit", address);
    type("authCodeEdit", code);
    QTest::mouseClick(part<QPushButton>("nextButton"), Qt::LeftButton);
}

QStringList Window::search(const QString &text) const
{
    type("searchEdit", text);
    QTest::keyClick(part<QLineEdit>("searchEdit"), Qt::Key_Return);
    return visibleNames(*list());
}
