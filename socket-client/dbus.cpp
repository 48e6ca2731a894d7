#include "dbus.h"

#include "clientlog.h"
#include "protocol.h"

#include <QFileInfo>

DBus::DBus(const QString &spoolDir, QObject *parent)
    : QObject(parent)
    , m_spoolDir(spoolDir)
{ }

int DBus::callPrintOperation(const QString &fileName, const QString &mode)
{
    // The client uploads and then deletes the file: only a job file lying
    // directly in the spool directory may be named, never a path leading
    // out of it or a link to somewhere else.
    const QFileInfo file(m_spoolDir + QLatin1Char('/') + fileName);
    if (!protocol::isPlainFileName(fileName) || file.isSymLink() || !file.isFile()) {
        qCWarning(lcBus).noquote() << "callPrintOperation: no job file" << fileName;
        return -1;
    }
    emit sendPrintSignal(fileName, mode);
    return 0;
}
