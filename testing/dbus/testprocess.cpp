#include "testprocess.h"

#include <QDeadlineTimer>

TestProcess::TestProcess(QObject *parent)
    : QObject(parent)
{
}

TestProcess::~TestProcess()
{
    stop();
}

void TestProcess::start(const QString &program, const QStringList &arguments, const QString &account)
{
    if (account.isEmpty()) {
        m_process.start(program, arguments);
        return;
    }
    // setpriv execs the program, so the PID stays the program's own.
    const QStringList wrapped{QStringLiteral("--reuid=") + account, QStringLiteral("--regid=nogroup"),
                              QStringLiteral("--clear-groups"), QStringLiteral("--"), program};
    m_process.start(QStringLiteral("setpriv"), wrapped + arguments);
}

void TestProcess::setEnvironment(const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
}

bool TestProcess::waitForStdout(const QString &text, int timeoutMs)
{
    return waitFor([&] { return m_stdout.contains(text); }, timeoutMs);
}

bool TestProcess::waitForStderr(const QString &text, int timeoutMs)
{
    return waitFor([&] { return m_stderr.contains(text); }, timeoutMs);
}

bool TestProcess::waitForStdoutLines(int count, int timeoutMs)
{
    return waitFor([&] { return m_stdout.count(QLatin1Char('\n')) >= count; }, timeoutMs);
}

int TestProcess::waitForExit(int timeoutMs)
{
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    collect();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString TestProcess::standardOutput()
{
    collect();
    return m_stdout;
}

QString TestProcess::errorOutput()
{
    collect();
    return m_stderr;
}

qint64 TestProcess::pid() const
{
    return m_process.processId();
}

void TestProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    collect();
}

bool TestProcess::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    collect();
    while (!done()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(20);
        collect();
    }
    return true;
}

void TestProcess::collect()
{
    m_stdout += QString::fromLocal8Bit(m_process.readAllStandardOutput());
    m_stderr += QString::fromLocal8Bit(m_process.readAllStandardError());
}
