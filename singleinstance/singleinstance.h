#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// Keeps a program to one running process per user and key. The first process
// claims a lock file in the user's runtime directory and listens on a local
// socket beside it; later processes fail to claim and may pass a message to
// the first one instead.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process now holds the key; false when another process
    // of the same user does (or the lock could not be created).
    bool claim();
    bool isClaimed() const;

    // Delivers a message to the process that holds the key.
    bool sendMessage(const QByteArray &message, int timeoutMs = 3000) const;

    static QString lockFilePath(const QString &key);
    static QString socketPath(const QString &key);

signals:
    void messageReceived(const QByteArray &message);

private:
    void acceptConnection();

    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
