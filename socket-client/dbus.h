#pragma once

#include <QObject>
#include <QString>

// The bus object through which the print backend hands over spooled jobs.
class DBus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.olvenka.cloud.printer")

public:
    explicit DBus(const QString &spoolDir, QObject *parent = nullptr);

public slots:
    // 0 when fileName names a job file in the spool directory and its upload
    // has been started, -1 otherwise.
    int callPrintOperation(const QString &fileName, const QString &mode);

signals:
    void sendPrintSignal(const QString &fileName, const QString &mode);

private:
    QString m_spoolDir;
};
