#include "localqueues.h"

#include "clientlog.h"

#include <QDir>
#include <QProcess>

const QString LocalQueues::deviceUri = QStringLiteral("olvenka-cloud-printer:/");

namespace {

const QString onLocalhost = QStringLiteral("localhost");

// Runs one tool to its end and returns what it printed.
QByteArray runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    // lpstat's answer is read, so it must not come translated.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        qCWarning(lcPrinters).noquote() << program << "did not finish:" << process.errorString();
        process.kill();
        process.waitForFinished();
    }
    return process.readAllStandardOutput();
}

void runOnQueue(const char *program, const QString &name)
{
    runTool(QLatin1String(program), {QStringLiteral("-h"), onLocalhost, name});
}

} // namespace

LocalQueues::LocalQueues(const QString &ppdDir, const QString &queuePpd)
    : m_ppdDir(ppdDir)
    , m_queuePpd(queuePpd)
{ }

QStringList LocalQueues::withPpd() const
{
    QStringList names;
    const QStringList files = QDir(m_ppdDir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (QString file : files)
        names << file.remove(QStringLiteral(".ppd"));
    return names;
}

bool LocalQueues::isClientQueue(const QString &name)
{
    const QString device = QString::fromLocal8Bit(
        runTool(QStringLiteral("lpstat"), {QStringLiteral("-h"), onLocalhost, QStringLiteral("-v"), name}));
    // "device for NAME: URI"
    return device.trimmed().endsWith(QStringLiteral(": ") + deviceUri);
}

void LocalQueues::add(const QString &name) const
{
    runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), onLocalhost, QStringLiteral("-p"), name,
                                        QStringLiteral("-v"), deviceUri, QStringLiteral("-P"), m_queuePpd,
                                        QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo"),
                                        QStringLiteral("-o"), QStringLiteral("printer-is-shared=no")});
    runOnQueue("cupsenable", name);
    runOnQueue("cupsaccept", name);
}

void LocalQueues::remove(const QString &name)
{
    runOnQueue("cupsreject", name);
    runOnQueue("cupsdisable", name);
    runTool(QStringLiteral("lpadmin"), {QStringLiteral("-h"), onLocalhost, QStringLiteral("-x"), name});
}

QStringList LocalQueues::removeClientQueuesExcept(const QStringList &keep) const
{
    QStringList remaining;
    for (const QString &name : withPpd()) {
        if (!keep.contains(name) && isClientQueue(name))
            remove(name);
        else
            remaining << name;
    }
    return remaining;
}
