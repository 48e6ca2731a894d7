#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Log lines of the "quorvia.cups" category, collected while the object lives.
class CupsLogCapture
{
public:
    CupsLogCapture();
    ~CupsLogCapture();
    QStringList lines() const { return m_lines; }
    bool contains(const QString& text) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    QStringList m_lines;
    QtMessageHandler m_previous;
};

// A queue as the private cupsd reports it.
struct QueueState
{
    bool exists = false;
    QString deviceUri;
    bool shared = true;
    QString errorPolicy;
    int state = 0;  // 3 idle, 4 processing, 5 stopped
    bool accepting = false;
};

QueueState queueState(const QString& queue);
// The PPD the private cupsd keeps for the queue.
QByteArray queuePpd(const QString& queue);
// Runs a CUPS command-line tool against the private server; true on exit code 0.
bool runCupsTool(const QString& program, const QStringList& arguments);

// A directory of stand-in tools. Each one appends its name and arguments to
// "calls" and then runs the given shell body.
class StandInTools
{
public:
    bool add(const QString& tool, const QString& body);
    QString path() const { return m_dir.path(); }
    QStringList calls() const;

private:
    QTemporaryDir m_dir;
};
