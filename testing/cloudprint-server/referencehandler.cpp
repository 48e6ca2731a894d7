#include "referencehandler.h"

#include <algorithm>

ReferenceHandler::ReferenceHandler(const ServerConfig &config)
    : m_config(config)
{
}

bool ReferenceHandler::accepts(const cloudprint::Auth &auth) const
{
    const std::vector<std::string> &codes = m_config.codes;
    return codes.empty() || std::find(codes.begin(), codes.end(), auth.Authcode) != codes.end();
}

bool ReferenceHandler::Verfiy(const cloudprint::Auth &auth)
{
    return accepts(auth);
}

void ReferenceHandler::requireCode(const cloudprint::Auth &auth) const
{
    if (!accepts(auth)) {
        cloudprint::Exception e;
        e.__set_Code(401);
        e.__set_Description("authorization code rejected");
        throw e;
    }
}

void ReferenceHandler::ListPrinter(std::vector<cloudprint::Printer> &_return, const cloudprint::Auth &auth)
{
    requireCode(auth);
    const size_t call = m_listCalls++;
    _return.reserve(m_config.printers.size());
    for (const ServerPrinter &printer : m_config.printers) {
        _return.push_back(printer.record);
        if (!printer.jobCounts.empty())
            _return.back().__set_cJobs(printer.jobCounts[std::min(call, printer.jobCounts.size() - 1)]);
    }
}

void ReferenceHandler::GetServerVersion(std::string &_return, const cloudprint::Auth &auth)
{
    requireCode(auth);
    _return = m_config.version;
}

void ReferenceHandler::GetPpdDrv(std::string &_return, const cloudprint::Auth &auth,
                                 const cloudprint::Printer &printer)
{
    requireCode(auth);
    const auto found = std::find_if(m_config.printers.begin(), m_config.printers.end(),
                                    [&](const ServerPrinter &p) { return p.record.ID == printer.ID; });
    _return = found != m_config.printers.end() && !found->driver.empty() ? found->driver : m_config.defaultDriver;
}
