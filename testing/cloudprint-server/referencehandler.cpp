#include "referencehandler.h"

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <algorithm>

namespace {

cloudprint::Exception serverError(int code, const std::string &description)
{
    cloudprint::Exception e;
    e.__set_Code(code);
    e.__set_Description(description);
    return e;
}

} // namespace

ReferenceHandler::ReferenceHandler(const ServerConfig &config)
    : m_config(config)
{
}

bool ReferenceHandler::accepts(const cloudprint::Auth &auth) const
{
    return m_config.codes.empty()
        || std::find(m_config.codes.begin(), m_config.codes.end(), auth.Authcode) != m_config.codes.end();
}

void ReferenceHandler::requireCode(const cloudprint::Auth &auth) const
{
    if (!accepts(auth))
        throw serverError(401, "authorization code rejected");
}

const ServerPrinter *ReferenceHandler::find(const std::string &id) const
{
    const auto it = std::find_if(m_config.printers.begin(), m_config.printers.end(),
                                 [&](const ServerPrinter &p) { return p.record.ID == id; });
    return it == m_config.printers.end() ? nullptr : &*it;
}

const std::string *ReferenceHandler::fixedPrinterList()
{
    std::call_once(m_fixedListOnce, [this] {
        m_listIsFixed = std::none_of(m_config.printers.begin(), m_config.printers.end(),
                                     [](const ServerPrinter &p) { return !p.jobCounts.empty(); });
        if (!m_listIsFixed)
            return;
        cloudprint::CloudPrint_ListPrinter_result result;
        for (const ServerPrinter &printer : m_config.printers)
            result.success.push_back(printer.record);
        result.__isset.success = true;
        auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
        apache::thrift::protocol::TBinaryProtocol protocol(buffer);
        result.write(&protocol);
        m_fixedList = buffer->getBufferAsString();
    });
    return m_listIsFixed ? &m_fixedList : nullptr;
}

bool ReferenceHandler::Verfiy(const cloudprint::Auth &auth)
{
    return accepts(auth);
}

void ReferenceHandler::DefaultPrinter(cloudprint::Printer &_return, const cloudprint::Auth &auth)
{
    requireCode(auth);
    if (m_config.printers.empty())
        throw serverError(404, "no printer");
    _return = m_config.printers.front().record;
}

void ReferenceHandler::ListPrinter(std::vector<cloudprint::Printer> &_return, const cloudprint::Auth &auth)
{
    requireCode(auth);
    size_t call;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        call = m_listCalls++;
    }
    _return.reserve(m_config.printers.size());
    for (const ServerPrinter &printer : m_config.printers) {
        _return.push_back(printer.record);
        if (!printer.jobCounts.empty())
            _return.back().__set_cJobs(printer.jobCounts[std::min(call, printer.jobCounts.size() - 1)]);
    }
}

void ReferenceHandler::GetServerPrinter(cloudprint::Printer &_return, const cloudprint::Auth &auth,
                                        const std::string &printer)
{
    requireCode(auth);
    const ServerPrinter *found = find(printer);
    if (!found)
        throw serverError(404, "no such printer");
    _return = found->record;
}

void ReferenceHandler::ListJobs(std::vector<cloudprint::Job> &, const cloudprint::Auth &auth,
                                const cloudprint::Printer &)
{
    requireCode(auth);
}

void ReferenceHandler::CreateJob(std::string &_return, const cloudprint::Auth &auth, const cloudprint::Printer &,
                                 const std::string &, const cloudprint::Option &)
{
    requireCode(auth);
    std::lock_guard<std::mutex> lock(m_mutex);
    _return = "job-" + std::to_string(m_nextJob++);
}

void ReferenceHandler::WriteJob(const cloudprint::Auth &auth, const cloudprint::Printer &, const std::string &,
                                int32_t, const std::string &)
{
    requireCode(auth);
}

void ReferenceHandler::FinishJob(const cloudprint::Auth &auth, const cloudprint::Printer &, const std::string &)
{
    requireCode(auth);
}

void ReferenceHandler::CancelJob(const cloudprint::Auth &auth, const cloudprint::Printer &, const std::string &)
{
    requireCode(auth);
}

void ReferenceHandler::GetServerJob(cloudprint::Job &_return, const cloudprint::Auth &auth,
                                    const cloudprint::Printer &printer, const std::string &jobId)
{
    requireCode(auth);
    _return.__set_JobId(jobId);
    _return.__set_PrinterName(printer.ID);
}

void ReferenceHandler::SetServerJob(const cloudprint::Auth &auth, const cloudprint::Printer &, const std::string &,
                                    cloudprint::JobCommand::type)
{
    requireCode(auth);
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
    const ServerPrinter *found = find(printer.ID);
    _return = found && !found->driver.empty() ? found->driver : m_config.defaultDriver;
}
