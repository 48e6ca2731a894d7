#include "versionmatch.h"

#include "buildconfig.h"

#include <QStringList>

namespace {

QByteArray g_serverVersion;

// Major and minor of a version text; a part that is not a number counts as 0.
struct MajorMinor
{
    int major;
    int minor;
};

bool parseMajorMinor(const QString &text, MajorMinor *version)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() < 2)
        return false;
    version->major = parts.at(0).toInt(nullptr, 10);
    version->minor = parts.at(1).toInt(nullptr, 10);
    return true;
}

} // namespace

QString clientVersion()
{
    const QString built = QStringLiteral(QUORVIA_CLIENT_VERSION);
    return built.isEmpty() ? QStringLiteral("1.0") : built;
}

QByteArray serverVersion()
{
    return g_serverVersion;
}

void setServerVersion(const QByteArray &version)
{
    g_serverVersion = version;
}

int isVersionMatch()
{
    return isVersionMatch(clientVersion(), g_serverVersion);
}

int isVersionMatch(const QString &client, const QByteArray &server)
{
    if (server.isEmpty())
        return ServerVersionInvalid;
    MajorMinor c{};
    if (!parseMajorMinor(client, &c))
        return ClientVersionInvalid;
    MajorMinor s{};
    if (!parseMajorMinor(QString::fromUtf8(server), &s))
        return ServerVersionInvalid;

    // Old clients and old servers work with anything.
    if (c.major < 6 && c.minor < 3)
        return VersionCompatible;
    if (s.major < 2 && s.minor < 2)
        return VersionCompatible;
    // Otherwise client major N+4 pairs with server major N, and client minor
    // M+1 with server minor M. Summed in 64 bits: a server may send any
    // number up to INT_MAX, and the sum must not wrap.
    const qint64 pairedMajor = qint64(s.major) + 4;
    const qint64 pairedMinor = qint64(s.minor) + 1;
    if (c.major != pairedMajor)
        return c.major > pairedMajor ? ClientVersionTooHigh : ClientVersionTooLow;
    if (c.minor == pairedMinor)
        return VersionCompatible;
    return c.minor > pairedMinor ? ClientVersionTooHigh : ClientVersionTooLow;
}
