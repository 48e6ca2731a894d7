#include "testcertificates.h"

#include "buildconfig.h"

#include <QDir>
#include <QProcess>

namespace cloudprinttest {

namespace {

QString baseName(TestCertificates::Server server)
{
    switch (server) {
    case TestCertificates::VendorDomain:
        return QStringLiteral("server");
    case TestCertificates::OtherName:
        return QStringLiteral("other-name");
    case TestCertificates::IpAddressFirst:
        return QStringLiteral("ip-first");
    case TestCertificates::CommonNameOnly:
        return QStringLiteral("cn-only");
    case TestCertificates::EmbeddedNul:
        return QStringLiteral("nul-name");
    case TestCertificates::Expired:
        return QStringLiteral("expired");
    case TestCertificates::UntrustedCa:
        return QStringLiteral("untrusted");
    }
    return QString();
}

} // namespace

TestCertificates::TestCertificates()
    : m_dir(QDir::tempPath() + QStringLiteral("/cloudprint-certs-XXXXXX"))
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: %1").arg(m_dir.errorString());
        return;
    }
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"), {QStringLiteral(CLOUDPRINT_MAKE_CERTS_SCRIPT), m_dir.path(),
                                          QStringLiteral(QUORVIA_VENDOR_DOMAIN)});
    if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        m_error = QStringLiteral("make-certs.sh failed: %1").arg(QString::fromLocal8Bit(script.readAll()));
}

QString TestCertificates::directory() const
{
    return m_dir.path();
}

QString TestCertificates::file(const QString &name) const
{
    return m_dir.filePath(name);
}

QString TestCertificates::caFile() const
{
    return file(QStringLiteral("ca.pem"));
}

QString TestCertificates::certificateFile(Server server) const
{
    return file(baseName(server) + QStringLiteral(".pem"));
}

QString TestCertificates::keyFile(Server server) const
{
    return file(baseName(server) + QStringLiteral(".key"));
}

} // namespace cloudprinttest
