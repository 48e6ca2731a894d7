#include "printerwidget.h"

#include "cloudprintclient.h"
#include "config.h"
#include "configuratorlog.h"
#include "cupsclient.h"
#include "fontsize.h"
#include "iconbutton.h"
#include "label.h"
#include "spinner.h"
#include "themeicon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHostAddress>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QSvgRenderer>
#include <QThread>
#include <QUuid>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int kOfflineStatus = 0x80;
constexpr int kOfflineAttribute = 0x400;

constexpr int kPictureSize = 52;
constexpr int kCheckMarkSize = 20;
constexpr int kCheckMarkOffset = 29;
constexpr int kDotSize = 8;

// SVG pictures are rendered directly, so that rows look the same whatever
// icon engine plugins are installed, and once per process: a page may hold a
// thousand rows that refresh every two seconds.
QPixmap renderSvg(const QString &path, int size, qreal ratio)
{
    const QString key = QStringLiteral("quorvia-row:%1:%2:%3").arg(path).arg(size).arg(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

// The printer picture, with the check mark painted over it when installed.
QPixmap printerPicture(bool added, qreal ratio)
{
    QPixmap picture = renderSvg(QStringLiteral(":/view/resource/could-printer.svg"), kPictureSize, ratio);
    if (!added)
        return picture;
    const QString key = QStringLiteral("quorvia-row:checked-picture:%1").arg(ratio);
    QPixmap checked;
    if (QPixmapCache::find(key, &checked))
        return checked;
    QPainter painter(&picture);
    painter.drawPixmap(kCheckMarkOffset, kCheckMarkOffset,
                       renderSvg(QStringLiteral(":/view/resource/checked.svg"), kCheckMarkSize, ratio));
    painter.end();
    QPixmapCache::insert(key, picture);
    return picture;
}

// Theme icons are looked up once per process. The cache belongs to the
// application object, so it goes before the icon engines are unloaded.
class IconCache : public QObject
{
public:
    using QObject::QObject;
    QHash<QString, QIcon> icons;
};

QIcon rowIcon(const QString &name)
{
    static QPointer<IconCache> cache;
    if (!cache)
        cache = new IconCache(QCoreApplication::instance());
    auto found = cache->icons.find(name);
    if (found == cache->icons.end())
        found = cache->icons.insert(name, toolkit::themeIcon(name));
    return found.value();
}

} // namespace

Printer::PrinterStatus printerRowStatus(const cloudprint::Printer &printer)
{
    if ((printer.Status & kOfflineStatus) || (printer.Attributes & kOfflineAttribute))
        return Printer::Offline;
    return printer.cJobs > 0 ? Printer::Busy : Printer::Idle;
}

namespace PrinterWidgetInnter {

Worker::Worker(const cloudprint::Printer &printer, QObject *parent)
    : QObject(parent)
    , m_printer(printer)
{ }

void Worker::doAddPrinter()
{
    int result = 1;
    // Nothing may escape the worker thread's slot; the log says which stage
    // failed.
    try {
        result = addPrinter();
    } catch (const std::exception &error) {
        qCWarning(lcConfigurator).noquote()
            << "add printer failed while" << QLatin1String(m_stage) << ':' << error.what();
    } catch (...) {
        qCWarning(lcConfigurator).noquote() << "add printer failed while" << QLatin1String(m_stage);
    }
    emit addPrinterFinish(result);
}

namespace {

// The driver description and the compiled PPD are needed only until the
// queue has its own copy of the PPD; their names are known to this run alone.
void removeTemporaryFiles(const QString &driver, const QString &ppd)
{
    if (!driver.isEmpty())
        QFile::remove(driver);
    if (!ppd.isEmpty()) {
        QFile::remove(ppd);
        QDir().rmdir(QFileInfo(ppd).path());
    }
}

} // namespace

int Worker::addPrinter()
{
    m_stage = "connecting to the server";
    const ServerConfig server = Config().lastUsed();
    // Client and auth record belong to this run only.
    auto client = std::make_unique<CloudPrintRPCClient>(server.Address, this);
    cloudprint::Auth auth;
    auth.Authcode = server.Authcode.toUtf8().toStdString();

    if (!client->Connect()) {
        qCWarning(lcConfigurator) << "invalid server address";
        return 1;
    }
    if (!client->Verfiy(auth)) {
        qCWarning(lcConfigurator) << "invalid authcode";
        return 1;
    }
    qCInfo(lcConfigurator) << "get ppd driver begin";
    m_stage = "fetching the driver description";

    // Each installation names its own files, so several rows can install at once.
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString driver;
    QString ppd;
    const auto cleanUp = qScopeGuard([&] { removeTemporaryFiles(driver, ppd); });
    try {
        driver = client->GetPpdDrv(auth, m_printer, name);
    } catch (...) {
        qCWarning(lcConfigurator) << "get ppd driver failed";
        return 1;
    }
    if (driver.isEmpty())
        return 1;

    m_stage = "compiling the PPD";
    ppd = CUPSClient::generatePpdByDrv(driver, name);
    if (ppd.isEmpty()) {
        qCWarning(lcConfigurator) << "generate ppd failed";
        return 1;
    }
    m_stage = "creating the queue";
    return CUPSClient::addPrinter(m_printer, ppd) ? 0 : 1;
}

} // namespace PrinterWidgetInnter

PrinterWidget::PrinterWidget(Printer &printer, bool added, QWidget *parent)
    : toolkit::Frame(parent)
    , m_iconLabel(new QLabel(this))
    , m_statusText(new QLabel(this))
    , m_statusDot(new QLabel(this))
    , m_addedLabel(new toolkit::Label(tr("(Added)"), this))
    , m_actionButton(new toolkit::IconButton(this))
    , m_spinner(new toolkit::Spinner(this))
    , m_printer(printer)
{
    // Named so that the page and its tests can tell the parts apart.
    m_iconLabel->setObjectName(QStringLiteral("iconLabel"));
    m_statusText->setObjectName(QStringLiteral("statusText"));
    m_statusDot->setObjectName(QStringLiteral("statusDot"));
    m_addedLabel->setObjectName(QStringLiteral("addedLabel"));
    m_actionButton->setObjectName(QStringLiteral("actionButton"));
    m_spinner->setObjectName(QStringLiteral("rowSpinner"));

    m_iconLabel->setContentsMargins(0, 0, 0, 0);
    m_iconLabel->setFixedSize(48, 48);
    setPicture(added);

    auto *nameLabel = new QLabel(QString::fromStdString(m_printer.ID), this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    toolkit::bindFontSize(nameLabel, toolkit::FontSize::T6);
    m_addedLabel->hide();
    auto *nameRow = new QHBoxLayout;
    nameRow->setSpacing(0);
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_addedLabel);

    m_statusDot->setFixedSize(kDotSize, kDotSize);
    setStatusLabel(printerRowStatus(m_printer));

    const QString portName = QString::fromStdString(m_printer.PortName);
    auto *connectionLabel = new QLabel(this);
    connectionLabel->setObjectName(QStringLiteral("connectionLabel"));
    if (QHostAddress().setAddress(portName))
        connectionLabel->setText(tr("Internet connection:%1").arg(portName));
    else
        connectionLabel->setText(tr("Local connection"));
    toolkit::bindFontSize(m_statusText, toolkit::FontSize::T8);
    toolkit::bindFontSize(connectionLabel, toolkit::FontSize::T8);

    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_statusDot);
    statusRow->addSpacing(6);
    statusRow->addWidget(m_statusText);

    auto *textColumn = new QVBoxLayout;
    textColumn->setSpacing(0);
    textColumn->addLayout(nameRow);
    textColumn->addLayout(statusRow);
    textColumn->addWidget(connectionLabel);

    auto *buttonColumn = new QWidget(this);
    auto *buttonLayout = new QVBoxLayout(buttonColumn);
    buttonLayout->setSpacing(0);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->addStretch();
    buttonLayout->addWidget(m_actionButton);
    buttonLayout->addWidget(m_spinner, 0, Qt::AlignCenter);
    buttonLayout->addStretch();

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_iconLabel);
    row->addLayout(textColumn);
    row->addStretch();
    row->addWidget(buttonColumn);
    row->addSpacing(9);

    // The worker thread of a not-installed row is created by its first
    // installation (addPrinter), not here: a page of a thousand printers would
    // otherwise hold a thousand idle threads, each with its own wake-up file
    // descriptor, close to the usual per-process limit.
    if (added)
        showAdded();
    else
        showNotAdded();

    m_spinner->setFixedSize(14, 14);
    m_spinner->hide();
    setFixedSize(640, 74);
    setFrameShape(QFrame::NoFrame);
    // Laid out now, while the row has no parent: laid out later, inside a
    // list of a thousand rows, every row would repaint against all others.
    row->activate();
}

PrinterWidget::~PrinterWidget()
{
    if (m_workerThread) {
        m_workerThread->quit();
        m_workerThread->wait();
    }
}

void PrinterWidget::setPicture(bool added)
{
    m_iconLabel->setPixmap(printerPicture(added, devicePixelRatioF()));
}

void PrinterWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 7));
    painter.drawRoundedRect(rect(), 3, 25, Qt::RelativeSize);
}

void PrinterWidget::showAdded()
{
    m_added = true;
    disconnect(m_actionButton, nullptr, this, nullptr);
    setPicture(true);
    m_addedLabel->show();
    m_actionButton->setIcon(rowIcon(QStringLiteral("set_normal")));
    connect(m_actionButton, &QAbstractButton::clicked, this, &PrinterWidget::configPrinter);
}

void PrinterWidget::showNotAdded()
{
    m_added = false;
    disconnect(m_actionButton, nullptr, this, nullptr);
    m_addedLabel->hide();
    setPicture(false);
    m_actionButton->setIcon(rowIcon(QStringLiteral("add_normal")));
    connect(m_actionButton, &QAbstractButton::clicked, this, &PrinterWidget::addPrinter);
}

void PrinterWidget::setPrinterStatus(bool added)
{
    // Called for every row every two seconds; only a change needs work.
    if (added == m_added)
        return;
    if (added)
        showAdded();
    else
        showNotAdded();
}

void PrinterWidget::setStatusLabel(Printer::PrinterStatus status)
{
    setStatusLabel(status, m_printer.cJobs);
}

void PrinterWidget::setStatusLabel(Printer::PrinterStatus status, int jobs)
{
    QString dot;
    switch (status) {
    case Printer::Offline:
        m_statusText->setText(tr("Printer is offline"));
        dot = QStringLiteral(":/view/resource/grey.svg");
        break;
    case Printer::Idle:
        m_statusText->setText(tr("Printer is idle"));
        dot = QStringLiteral(":/view/resource/green.svg");
        break;
    default:
        m_statusText->setText(tr("%1 print jobs are being processed").arg(jobs));
        dot = QStringLiteral(":/view/resource/red.svg");
        break;
    }
    m_statusDot->setPixmap(renderSvg(dot, kDotSize, devicePixelRatioF()));
}

QString PrinterWidget::getAddr() const
{
    return QString::fromStdString(m_printer.Addr);
}

bool PrinterWidget::containsName(const QString &name) const
{
    return QString::fromStdString(m_printer.ID).contains(name, Qt::CaseInsensitive);
}

bool PrinterWidget::isSameIpAddress(const QString &address) const
{
    return address.toUtf8() == QByteArray::fromStdString(m_printer.PortName);
}

void PrinterWidget::setThreadWork()
{
    m_workerThread = new QThread(this);
    m_worker = new PrinterWidgetInnter::Worker(m_printer);
    m_worker->moveToThread(m_workerThread);
    connect(m_workerThread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &PrinterWidgetInnter::Worker::addPrinterFinish, this, &PrinterWidget::finishAddPrinter);
    connect(this, &PrinterWidget::addPrinterBegin, m_worker, &PrinterWidgetInnter::Worker::doAddPrinter);
    m_workerThread->start(QThread::InheritPriority);
}

void PrinterWidget::addPrinter()
{
    qCDebug(lcConfigurator).noquote() << QString::fromStdString(m_printer.ID) << "addPrinter";
    if (!m_worker || !m_workerThread)
        setThreadWork();
    emit addPrinterBegin();
    m_actionButton->hide();
    m_spinner->show();
    m_spinner->start();
}

void PrinterWidget::finishAddPrinter(int result)
{
    m_spinner->stop();
    m_spinner->hide();
    m_actionButton->show();
    if (result == 0)
        showAdded();
}

void PrinterWidget::configPrinter()
{
    qCDebug(lcConfigurator) << "call configPrinter";
    QProcess::startDetached(QStringLiteral("vesk-printer"), QStringList());
}
