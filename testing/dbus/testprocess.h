#pragma once

#include <QDeadlineTimer>
#include <QProcess>

// A program started by a test, optionally under another account, whose
// output is collected. Killed when the object goes away.
class TestProcess : public QProcess
{
public:
    ~TestProcess() override { stop(); }

    // account: a login name, run with the group nogroup; empty runs it as
    // the test's own user.
    void start(const QString &program, const QStringList &arguments = {}, const QString &account = {})
    {
        if (account.isEmpty())
            return QProcess::start(program, arguments);
        // setpriv execs the program, so the PID stays the program's own.
        const QString setpriv = QStringLiteral("--reuid=%1 --regid=nogroup --clear-groups --").arg(account);
        QProcess::start(QStringLiteral("setpriv"), setpriv.split(QLatin1Char(' ')) + QStringList(program) + arguments);
    }

    // Wait until the text appears on the channel or the process ends.
    bool waitForStdout(const QString &text, int timeoutMs = 10000) { return waitFor(m_stdout, text, timeoutMs); }
    bool waitForStderr(const QString &text, int timeoutMs = 10000) { return waitFor(m_stderr, text, timeoutMs); }

    // Waits for the end and returns the exit code, -1 if it did not end normally.
    int waitForExit(int timeoutMs = 10000)
    {
        return waitForFinished(timeoutMs) && exitStatus() == NormalExit ? exitCode() : -1;
    }

    QString standardOutput()
    {
        collect();
        return m_stdout;
    }

    QString errorOutput()
    {
        collect();
        return m_stderr;
    }

    void stop()
    {
        kill();
        waitForFinished();
    }

private:
    bool waitFor(const QString &output, const QString &text, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (collect(); !output.contains(text); collect()) {
            if (deadline.hasExpired() || state() == NotRunning)
                return false;
            waitForReadyRead(20);
        }
        return true;
    }

    void collect()
    {
        m_stdout += QString::fromLocal8Bit(readAllStandardOutput());
        m_stderr += QString::fromLocal8Bit(readAllStandardError());
    }

    QString m_stdout;
    QString m_stderr;
};
