#include "cloudprintaccessmanager.h"

#include "buildconfig.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPeerCheck, "quorvia.rpc.peercheck")

CloudPrintAccessManager::~CloudPrintAccessManager() = default;

const std::string &CloudPrintAccessManager::vendorDomain()
{
    static const std::string domain(QUORVIA_VENDOR_DOMAIN);
    return domain;
}

CloudPrintAccessManager::Decision CloudPrintAccessManager::verify(const sockaddr_storage &) noexcept
{
    // The address a server is reached at says nothing; its certificate's names decide.
    return SKIP;
}

CloudPrintAccessManager::Decision CloudPrintAccessManager::verify(const std::string &, const char *name,
                                                                  int size) noexcept
{
    qCInfo(lcPeerCheck) << "v2 stage";
    // The name is the certificate's raw string and may hold a NUL byte:
    // compare it with its full length, never as a C string.
    if (!name || size < 0)
        return DENY;
    const std::string &domain = vendorDomain();
    if (static_cast<size_t>(size) == domain.size() && domain.compare(0, domain.size(), name, size) == 0)
        return ALLOW;
    return DENY;
}

CloudPrintAccessManager::Decision CloudPrintAccessManager::verify(const sockaddr_storage &, const char *, int) noexcept
{
    qCWarning(lcPeerCheck) << "v3 stage";
    return DENY;
}
