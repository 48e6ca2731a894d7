// What the user types as a server address, saved server URLs, and the
// version texts the version rule compares. The input is the address; its
// first line is also a client version and the rest a server version.

#include "fuzzing.h"

#include "printerport.h"
#include "serveraddress.h"
#include "versionmatch.h"

#include <algorithm>

void fuzz(const QByteArray &bytes)
{
    const QString typed = QString::fromUtf8(bytes.constData(), bytes.size());

    // A typed address becomes a tqp URL, with the cloud port when none is given.
    const QUrl url = formatAddress(typed);
    if (url.isValid() && !typed.contains(QStringLiteral("tqp://"))) {
        FUZZ_CHECK(url.scheme() == urlScheme);
        const bool hostOnly = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
            return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-'));
        });
        if (hostOnly)
            FUZZ_CHECK(url.port() == printerport::GetCloudPrintPort());
    }
    // The server part keeps scheme, host and port only, and a saved server
    // URL formats to itself.
    const QUrl server = serverAddress(url);
    FUZZ_CHECK(server.userInfo().isEmpty() && server.path().isEmpty() && !server.hasQuery() && !server.hasFragment());
    FUZZ_CHECK(serverAddress(server) == server);
    if (server.isValid() && server.scheme() == urlScheme && !server.host().isEmpty() && server.port() >= 0)
        FUZZ_CHECK(formatAddress(server.toString()) == server);

    // The version rule answers one of its results, and the same for the
    // stored server version. Which result for an empty server version or a
    // client version of one part: configurator.verify (versionRule).
    const int newline = bytes.indexOf('\n');
    const QByteArray clientBytes = bytes.left(newline);
    const QString client = QString::fromUtf8(clientBytes.constData(), clientBytes.size());
    const QByteArray version = newline < 0 ? bytes : bytes.mid(newline + 1);
    const int match = isVersionMatch(client, version);
    FUZZ_CHECK(match >= VersionCompatible && match <= ClientVersionInvalid);
    setServerVersion(version);
    FUZZ_CHECK(isVersionMatch() == isVersionMatch(clientVersion(), version));
}
