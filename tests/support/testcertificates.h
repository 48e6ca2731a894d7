#pragma once

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
    TestCertificates();

    bool ok() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    // The CA certificate that clients should trust.
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // The server's certificate ("pem") or private key ("key").
    QString serverFile(Server server, const char *suffix) const;

private:
    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace cloudprinttest
