#include "logmanager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <cstdio>
#include <memory>

namespace toolkit {

namespace {

// A file beyond this size is moved aside when the file appender starts, so
// the log never grows without bound.
constexpr qint64 maxLogFileSize = 4 * 1024 * 1024;

struct Appenders
{
    QMutex mutex;
    bool console = false;
    std::unique_ptr<QFile> file;
    bool installed = false;
};

// Never destroyed: log lines may still arrive from other static destructors.
Appenders &appenders()
{
    static Appenders *instance = new Appenders;
    return *instance;
}

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "Debug";
    case QtInfoMsg:
        return "Info";
    case QtWarningMsg:
        return "Warning";
    case QtCriticalMsg:
        return "Critical";
    case QtFatalMsg:
        return "Fatal";
    }
    return "Debug";
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toUtf8()
                            + " [" + levelName(type) + "] [" + (context.category ? context.category : "default") + "] "
                            + message.toUtf8() + '\n';

    Appenders &a = appenders();
    {
        QMutexLocker locker(&a.mutex);
        if (a.console) {
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
            std::fflush(stderr);
        }
        if (a.file) {
            a.file->write(line);
            a.file->flush();
        }
    }
}

void install()
{
    Appenders &a = appenders();
    QMutexLocker locker(&a.mutex);
    if (!a.installed) {
        a.installed = true;
        qInstallMessageHandler(handleMessage);
    }
}

} // namespace

void LogManager::registerConsoleAppender()
{
    Appenders &a = appenders();
    {
        QMutexLocker locker(&a.mutex);
        a.console = true;
    }
    install();
}

void LogManager::registerFileAppender()
{
    const QString path = logFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (QFileInfo(path).size() > maxLogFileSize) {
        QFile::remove(path + QStringLiteral(".old"));
        QFile::rename(path, path + QStringLiteral(".old"));
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;

    Appenders &a = appenders();
    {
        QMutexLocker locker(&a.mutex);
        a.file = std::move(file);
    }
    install();
}

QString LogManager::logFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QLatin1Char('/')
           + QCoreApplication::applicationName() + QStringLiteral(".log");
}

} // namespace toolkit
