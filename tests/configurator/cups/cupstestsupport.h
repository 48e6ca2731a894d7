#pragma once

#include "Print_types.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <cups/cups.h>

// What the private cupsd reports for the queue: "<device-uri> <state>
// <error policy> <shared> <accepting>", e.g. "tqp://h/x idle abort-job false
// true"; empty when there is no queue of exactly this name.
inline QString queueState(const QString &queue)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.toUtf8().constData());
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    QStringList values;
    for (const char *name : {"printer-name", "device-uri", "printer-state", "printer-error-policy", "printer-is-shared",
                             "printer-is-accepting-jobs"}) {
        char value[HTTP_MAX_URI] = "";
        if (ipp_attribute_t *attribute = ippFindAttribute(response, name, IPP_TAG_ZERO))
            ippAttributeString(attribute, value, sizeof(value));
        values << QString::fromUtf8(value);
    }
    ippDelete(response);
    return values.takeFirst() == queue ? values.join(QLatin1Char(' ')) : QString();
}

// A server printer record as the RPC session builds it, for a server at
// 10.0.0.5:9100: Addr holds the ID percent-encoded except for unreserved
// characters, ":" and "/".
inline cloudprint::Printer printerRecord(const QString &id, const QString &portName = QString())
{
    cloudprint::Printer record;
    record.ID = id.toStdString();
    record.PortName = portName.toStdString();
    record.Addr = "tqp://10.0.0.5:9100/" + QUrl::toPercentEncoding(id, ":/").toStdString();
    return record;
}

// The PPD the private cupsd keeps for the queue.
inline QByteArray queuePpd(const QString &queue)
{
    QFile ppd(qEnvironmentVariable("QUORVIA_CUPSD_DIR") + QStringLiteral("/conf/ppd/") + queue
              + QStringLiteral(".ppd"));
    return ppd.open(QIODevice::ReadOnly) ? ppd.readAll() : QByteArray();
}

// Runs the real lpadmin against the private server; true on exit code 0.
inline bool lpadmin(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("/usr/sbin/lpadmin"), arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

inline bool addQueue(const QString &queue, const QString &deviceUri)
{
    return lpadmin({QStringLiteral("-p"), queue, QStringLiteral("-v"), deviceUri});
}

// Removes every queue; true when none is left.
inline bool removeAllQueues()
{
    cups_dest_t *dests = nullptr;
    int count = cupsGetDests(&dests);
    for (int i = 0; i < count; ++i)
        lpadmin({QStringLiteral("-x"), QString::fromUtf8(dests[i].name)});
    cupsFreeDests(count, dests);
    count = cupsGetDests(&dests);
    cupsFreeDests(count, dests);
    return count == 0;
}

// A directory of stand-in tools. Each one appends its name and arguments to
// "calls" and then runs the given shell body.
class StandInTools
{
public:
    bool add(const QString &tool, const QString &body)
    {
        // Closed on return, before anything runs it.
        QFile script(m_dir.filePath(tool));
        const QString text =
            QStringLiteral("#!/bin/sh\necho \"%1 $*\" >>'%2/calls'\n%3\n").arg(tool, m_dir.path(), body);
        return script.open(QIODevice::WriteOnly) && script.write(text.toUtf8()) > 0
               && script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString path() const { return m_dir.path(); }
    QStringList calls() const
    {
        QFile file(m_dir.filePath(QStringLiteral("calls")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
};
