#include "cupsclient.h"

#include "cupsdestlist.h"
#include "cupslog.h"
#include "cupstooldir.h"
#include "queueurilist.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMetaEnum>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

namespace {

const int kToolTimeoutMs = 30000;
const int kMaxPrinterPartLength = 40;
// cupsd refuses queue names of 128 bytes or more.
const int kMaxQueueNameBytes = 127;
// Room kept for "-" and a ten-digit seconds count.
const int kClashSuffixBytes = 11;

const QString kDeviceUriOption = QStringLiteral("device-uri");
const QString kReplacement = QStringLiteral("-");
const QString kGenericPpd = QStringLiteral("/usr/share/ppd/tqp/TQP.ppd");

// Dotted IPv4 address, optional ":port", a backslash, then the share name
// (capture group 10).
const QRegularExpression &serverPrinterIdPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("(((2(5[0-5]|[0-4]\\d))|[0-1]?\\d{1,2})\\.){3}(((2(5[0-5]|[0-4]\\d))|[0-1]?\\d{1,2}))"
                       "(:\\d*)?\\\\([\\w\\W]+)"));
    return pattern;
}

// Characters that are unreadable in a queue name or that CUPS refuses in one:
// brackets, controls and space, "/" and "#", and also "\", "?", quotes and DEL,
// which lpadmin rejects ("Printer name can only contain printable characters").
const QRegularExpression &replacedCharacters()
{
    static const QRegularExpression pattern(QStringLiteral("[()\\x{0}-\\x{20}\\x{7f}/#\\\\?'\"]"));
    return pattern;
}

QString textUpToNul(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

void chopLastCodePoint(QString &text)
{
    const bool pair =
        text.size() >= 2 && text.at(text.size() - 1).isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate();
    text.chop(pair ? 2 : 1);
}

QString printerPart(const QString &id)
{
    const QRegularExpressionMatch match = serverPrinterIdPattern().match(id);
    QString part = match.hasMatch() ? match.captured(10) : id;
    part.replace(replacedCharacters(), kReplacement);
    // cupsenable and cupsaccept would take a leading "-" for an option.
    int hyphens = 0;
    while (hyphens < part.size() && part.at(hyphens) == QLatin1Char('-'))
        ++hyphens;
    part.remove(0, hyphens);
    if (part.size() > kMaxPrinterPartLength) {
        part.truncate(kMaxPrinterPartLength);
        if (part.at(part.size() - 1).isHighSurrogate())
            part.chop(1);
    }
    return part;
}

bool runAdminTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(cupstooldir::toolPath(tool));
    process.setArguments(arguments);
    return checkProcessRun(process);
}

// Half-made queues whose removal failed, most likely because cupsd stopped
// answering in the middle of the install. Installs run on row threads and the
// retry runs on the UI thread as well, so the lock guards the names and is
// held through a retry: an install that takes a name over cannot race it.
struct LeftoverQueues
{
    QMutex mutex;
    QStringList names;
};

LeftoverQueues &leftoverQueues()
{
    static LeftoverQueues leftovers;
    return leftovers;
}

void rememberLeftover(const QString &queue)
{
    LeftoverQueues &leftovers = leftoverQueues();
    const QMutexLocker lock(&leftovers.mutex);
    if (!leftovers.names.contains(queue))
        leftovers.names.append(queue);
}

bool forgetLeftover(const QString &queue)
{
    LeftoverQueues &leftovers = leftoverQueues();
    const QMutexLocker lock(&leftovers.mutex);
    return leftovers.names.removeAll(queue) > 0;
}

enum class QueuePresence { Present, Absent, Unknown };

QueuePresence queuePresence(const QString &queue)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.toUtf8().constData());
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-name");
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    const ipp_status_t status = cupsLastError();
    if (status == IPP_STATUS_ERROR_NOT_FOUND)
        return QueuePresence::Absent;
    return status < IPP_STATUS_REDIRECTION_OTHER_SITE ? QueuePresence::Present : QueuePresence::Unknown;
}

// A queue that cannot be enabled or does not accept jobs is of no use and
// would only block the name; take it away again, or later if CUPS does not
// answer now.
void removeHalfInstalledQueue(const QString &queue, const char *reason)
{
    qCWarning(lcCups).noquote() << "Removing queue" << queue << "because" << reason;
    if (!runAdminTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue})) {
        qCWarning(lcCups).noquote() << "Could not remove queue" << queue << "- trying again when CUPS answers";
        rememberLeftover(queue);
    }
}

bool installQueue(const cloudprint::Printer &printer, const QString &ppd)
{
    // Before the name is chosen, so that a leftover does not push it aside.
    CUPSClient::removeLeftoverQueues();
    const QUrl url(QString::fromLatin1(printer.Addr.data(), int(printer.Addr.size())), QUrl::TolerantMode);
    const QString queue = printerNameEncode(QString::fromStdString(printer.ID), url);

    const QStringList arguments = {
        QStringLiteral("-E"),
        QStringLiteral("-p"),
        queue,
        QStringLiteral("-v"),
        url.toString(QUrl::FullyEncoded),
        QStringLiteral("-P"),
        ppd,
        QStringLiteral("-o"),
        QStringLiteral("printer-is-shared=false"),
        QStringLiteral("-o"),
        QStringLiteral("printer-error-policy=abort-job"),
    };
    // With CUPS silent while the name was chosen, it can be a leftover's, which
    // lpadmin -p takes over: no retry may remove it meanwhile.
    const bool wasLeftover = forgetLeftover(queue);
    if (!runAdminTool(QStringLiteral("lpadmin"), arguments)) {
        if (wasLeftover)
            rememberLeftover(queue);
        return false;
    }
    if (!enablePrinter(queue)) {
        removeHalfInstalledQueue(queue, "it could not be enabled");
        return false;
    }
    if (!acceptPrinter(queue)) {
        removeHalfInstalledQueue(queue, "it could not be set to accept jobs");
        return false;
    }
    return true;
}

} // namespace

CUPSClient::CUPSClient(QObject *parent)
    : QObject(parent)
{ }

QMap<QString, cloudprint::Printer> CUPSClient::listPrinter()
{
    QMap<QString, cloudprint::Printer> printers;
    const CupsDestList dests = QueueUriList::fetch();
    for (cups_dest_t &dest : dests) {
        const cloudprint::Printer printer = copyCUPSDest(&dest);
        printers.insert(QString::fromLatin1(printer.Addr.data(), int(printer.Addr.size())), printer);
    }
    return printers;
}

void CUPSClient::removeLeftoverQueues()
{
    LeftoverQueues &leftovers = leftoverQueues();
    const QMutexLocker lock(&leftovers.mutex);
    for (auto it = leftovers.names.begin(); it != leftovers.names.end();) {
        const QString &queue = *it;
        bool gone = false;
        switch (queuePresence(queue)) {
        case QueuePresence::Absent:
            qCInfo(lcCups).noquote() << "Leftover queue" << queue << "is gone";
            gone = true;
            break;
        case QueuePresence::Present:
            gone = runAdminTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue});
            if (gone)
                qCInfo(lcCups).noquote() << "Removed leftover queue" << queue;
            break;
        case QueuePresence::Unknown:
            // CUPS still does not answer; lpadmin would fail as well.
            break;
        }
        it = gone ? leftovers.names.erase(it) : it + 1;
    }
}

QStringList CUPSClient::listPrinterName()
{
    QStringList names;
    const CupsDestList dests = CupsDestList::fromCupsGetDests();
    names.reserve(dests.count());
    // CUPS keeps queue names in UTF-8.
    for (const cups_dest_t &dest : dests)
        names.append(QString::fromUtf8(dest.name));
    return names;
}

QString CUPSClient::generatePpdByDrv(const QString &drv, const QString &name)
{
    const QString outputDir = QStringLiteral("/tmp/%1").arg(name);
    const QString ppd = QStringLiteral("/tmp/%1/TQP.ppd").arg(name);

    QProcess ppdc;
    ppdc.start(QStringLiteral("ppdc"), {QStringLiteral("-d"), outputDir, drv, QStringLiteral("-v")},
               QIODevice::ReadWrite);
    const bool finished = ppdc.waitForFinished(kToolTimeoutMs);
    if (finished && QFileInfo::exists(ppd))
        return ppd;

    const QString reason = textUpToNul(ppdc.readAllStandardError());
    if (finished)
        qCWarning(lcCups).noquote() << "ppdc complier failed because:" << reason;
    else
        qCWarning(lcCups).noquote() << "ppdc complier failed because:" << reason << ppdc.errorString();
    if (ppdc.state() != QProcess::NotRunning) {
        ppdc.kill();
        ppdc.waitForFinished();
    }
    // The folder is this run's own; whatever ppdc left in it is of no use.
    QDir(outputDir).removeRecursively();
    return {};
}

bool CUPSClient::addPrinter(const cloudprint::Printer &printer, const QString &ppd)
{
    qCInfo(lcCups) << "addPrinter printer by dynamic ppd";
    return installQueue(printer, ppd);
}

bool CUPSClient::addPrinter(const cloudprint::Printer &printer)
{
    qCDebug(lcCups) << "addPrinter";
    return installQueue(printer, kGenericPpd);
}

cloudprint::Printer copyCUPSDest(cups_dest_t *dest)
{
    cloudprint::Printer printer;
    QMap<QString, QString> options;
    for (int i = 0; i < dest->num_options; ++i) {
        options.insert(QString::fromLatin1(dest->options[i].name), QString::fromLatin1(dest->options[i].value));
    }
    printer.Addr = options.value(kDeviceUriOption).toUtf8().toStdString();
    return printer;
}

QString printerNameEncode(const QString &name, const QUrl &url)
{
    QString part = printerPart(name);
    const QString host = url.host(QUrl::FullyDecoded);
    const QString port = QString::number(url.port());
    // One pass, so that "%1" and the like in an ID stay as they are.
    const auto queueName = [&] { return QStringLiteral("%1@%2:%3").arg(part, host, port); };

    while (!part.isEmpty() && queueName().toUtf8().size() > kMaxQueueNameBytes - kClashSuffixBytes)
        chopLastCodePoint(part);
    const QString queue = queueName();

    // CUPS compares queue names without regard to case, and lpadmin -p on a
    // taken name rewrites that queue; so any match counts, and so does a
    // suffixed name that is taken already.
    const QStringList existing = CUPSClient::listPrinterName();
    if (!existing.contains(queue, Qt::CaseInsensitive))
        return queue;
    qint64 seconds = QDateTime::currentSecsSinceEpoch();
    QString suffixed = queue + kReplacement + QString::number(seconds);
    while (existing.contains(suffixed, Qt::CaseInsensitive))
        suffixed = queue + kReplacement + QString::number(++seconds);
    return suffixed;
}

bool enablePrinter(const QString &name)
{
    return runAdminTool(QStringLiteral("cupsenable"), {name});
}

bool acceptPrinter(const QString &name)
{
    return runAdminTool(QStringLiteral("cupsaccept"), {name});
}

bool checkProcessRun(QProcess &process)
{
    const QString program = process.program();
    qCInfo(lcCups).noquote() << "Start" << (QStringList(program) + process.arguments()).join(QLatin1Char(' '));

    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(kToolTimeoutMs)) {
        qCWarning(lcCups).noquote() << "Start failed" << program << process.errorString();
        return false;
    }
    // None of the tools reads input; a closed stdin keeps one that tries from waiting forever.
    process.closeWriteChannel();
    process.waitForFinished(-1);

    if (process.exitStatus() != QProcess::NormalExit) {
        qCWarning(lcCups).noquote() << program << "exit status"
                                    << QMetaEnum::fromType<QProcess::ExitStatus>().valueToKey(process.exitStatus());
        return false;
    }
    if (process.exitCode() == 0)
        return true;
    qCWarning(lcCups).noquote() << program << "exit with" << process.exitCode()
                                << textUpToNul(process.readAllStandardError());
    return false;
}
