#pragma once

#include "buildconfig.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace cloudprinttest {

// A CA and server certificates made at test time with openssl (by
// testing/certs/make-certs.sh) in a private temporary folder that is removed
// with the object.
class TestCertificates
{
public:
    enum Server {
        VendorDomain,   // SAN DNS:<vendor domain>: the certificate a client accepts
        IpAddressFirst, // SAN IP:127.0.0.1, then DNS:<vendor domain>
        EmbeddedNul,    // SAN DNS:"<vendor domain>\0.example.org"
        Expired,        // SAN DNS:<vendor domain>, validity over
        UntrustedCa,    // SAN DNS:<vendor domain>, issued by a CA clients do not trust
    };

    // Generates everything; check ok() / errorString().
    TestCertificates()
        : m_dir(QDir::tempPath() + QStringLiteral("/cloudprint-certs-XXXXXX"))
    {
        QProcess script;
        script.setProcessChannelMode(QProcess::MergedChannels);
        script.start(QStringLiteral("bash"), {QStringLiteral(CLOUDPRINT_MAKE_CERTS_SCRIPT), m_dir.path(),
                                              QStringLiteral(QUORVIA_VENDOR_DOMAIN)});
        if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
            m_error = QStringLiteral("make-certs.sh failed: %1").arg(QString::fromLocal8Bit(script.readAll()));
    }

    bool ok() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    // The CA certificate that clients should trust.
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // The server's certificate ("pem") or private key ("key").
    QString serverFile(Server server, const char *suffix) const
    {
        // File names made by make-certs.sh, in the order of Server.
        static const char *const baseNames[] = {"server", "ip-first", "nul-name", "expired", "untrusted"};
        return m_dir.filePath(QStringLiteral("%1.%2").arg(QLatin1String(baseNames[server]), QLatin1String(suffix)));
    }

private:
    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace cloudprinttest
