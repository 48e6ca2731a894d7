#pragma once

#include <thrift/transport/TSSLSocket.h>

#include <string>

// Peer check for the TLS connection to a cloud print server: the peer must
// present a certificate whose first usable name is exactly the vendor domain,
// whatever address the server was reached at.
class CloudPrintAccessManager : public apache::thrift::transport::AccessManager
{
public:
    ~CloudPrintAccessManager() override;

    Decision verify(const sockaddr_storage &sa) noexcept override;
    Decision verify(const std::string &host, const char *name, int size) noexcept override;
    Decision verify(const sockaddr_storage &sa, const char *data, int size) noexcept override;

    // The name the certificate must carry; fixed when the project is configured.
    static const std::string &vendorDomain();
};
