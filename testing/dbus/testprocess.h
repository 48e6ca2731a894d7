#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// A program started by a test, optionally under another account, whose
// output is collected. Stopped by its PID when the object goes away.
class TestProcess : public QObject
{
    Q_OBJECT

public:
    explicit TestProcess(QObject *parent = nullptr);
    ~TestProcess() override;

    // account: a login name, run with the group nogroup; empty runs it as
    // the test's own user.
    void start(const QString &program, const QStringList &arguments = {}, const QString &account = {});
    void setEnvironment(const QProcessEnvironment &environment);

    // Wait until the text appears on the channel or the process ends.
    bool waitForStdout(const QString &text, int timeoutMs = 10000);
    bool waitForStderr(const QString &text, int timeoutMs = 10000);
    // Wait until standard output holds at least count complete lines.
    bool waitForStdoutLines(int count, int timeoutMs = 10000);
    // Waits for the end and returns the exit code, -1 if it did not end normally.
    int waitForExit(int timeoutMs = 10000);

    QString standardOutput();
    QString errorOutput();
    qint64 pid() const;
    void stop();

private:
    bool waitFor(const std::function<bool()> &done, int timeoutMs);
    void collect();

    QProcess m_process;
    QString m_stdout;
    QString m_stderr;
};
