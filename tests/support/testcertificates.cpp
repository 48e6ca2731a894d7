#include "testcertificates.h"

#include "buildconfig.h"

#include <QDir>
#include <QProcess>

namespace cloudprinttest {

namespace {

// File names made by make-certs.sh, in the order of TestCertificates::Server.
const char *const kBaseNames[] = {"server", "ip-first", "nul-name", "expired", "untrusted"};

} // namespace

TestCertificates::TestCertificates()
    : m_dir(QDir::tempPath() + QStringLiteral("/cloudprint-certs-XXXXXX"))
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"),
                 {QStringLiteral(CLOUDPRINT_MAKE_CERTS_SCRIPT), m_dir.path(), QStringLiteral(QUORVIA_VENDOR_DOMAIN)});
    if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        m_error = QStringLiteral("make-certs.sh failed: %1").arg(QString::fromLocal8Bit(script.readAll()));
}

QString TestCertificates::serverFile(Server server, const char *suffix) const
{
    return m_dir.filePath(QStringLiteral("%1.%2").arg(QLatin1String(kBaseNames[server]), QLatin1String(suffix)));
}

} // namespace cloudprinttest
