#pragma once

#include "CloudPrint.h"
#include "serverconfig.h"

#include <atomic>

// The reference server's answers to the four calls the configurator makes:
// codes are checked against the configured list, printers and driver
// descriptions come from the configuration. Other methods do nothing.
class ReferenceHandler : public cloudprint::CloudPrintNull
{
public:
    explicit ReferenceHandler(const ServerConfig &config);

    bool Verfiy(const cloudprint::Auth &auth) override;
    void ListPrinter(std::vector<cloudprint::Printer> &_return, const cloudprint::Auth &auth) override;
    void GetServerVersion(std::string &_return, const cloudprint::Auth &auth) override;
    void GetPpdDrv(std::string &_return, const cloudprint::Auth &auth, const cloudprint::Printer &printer) override;

private:
    bool accepts(const cloudprint::Auth &auth) const;
    void requireCode(const cloudprint::Auth &auth) const;

    const ServerConfig &m_config;
    std::atomic<size_t> m_listCalls{0};
};
