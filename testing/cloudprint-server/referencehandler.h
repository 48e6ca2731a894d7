#pragma once

#include "CloudPrint.h"
#include "serverconfig.h"

#include <mutex>

// The reference server's answers: codes are checked against the configured
// list, printers and driver descriptions come from the configuration.
class ReferenceHandler : public cloudprint::CloudPrintIf
{
public:
    explicit ReferenceHandler(const ServerConfig &config);

    bool Verfiy(const cloudprint::Auth &auth) override;
    void DefaultPrinter(cloudprint::Printer &_return, const cloudprint::Auth &auth) override;
    void ListPrinter(std::vector<cloudprint::Printer> &_return, const cloudprint::Auth &auth) override;
    void GetServerPrinter(cloudprint::Printer &_return, const cloudprint::Auth &auth,
                          const std::string &printer) override;
    void ListJobs(std::vector<cloudprint::Job> &_return, const cloudprint::Auth &auth,
                  const cloudprint::Printer &printer) override;
    void CreateJob(std::string &_return, const cloudprint::Auth &auth, const cloudprint::Printer &printer,
                   const std::string &title, const cloudprint::Option &options) override;
    void WriteJob(const cloudprint::Auth &auth, const cloudprint::Printer &printer, const std::string &jobID,
                  int32_t seq, const std::string &data) override;
    void FinishJob(const cloudprint::Auth &auth, const cloudprint::Printer &printer,
                   const std::string &jobID) override;
    void CancelJob(const cloudprint::Auth &auth, const cloudprint::Printer &printer,
                   const std::string &jobId) override;
    void GetServerJob(cloudprint::Job &_return, const cloudprint::Auth &auth, const cloudprint::Printer &printer,
                      const std::string &jobId) override;
    void SetServerJob(const cloudprint::Auth &auth, const cloudprint::Printer &printer, const std::string &JobId,
                      cloudprint::JobCommand::type cmd) override;
    void GetServerVersion(std::string &_return, const cloudprint::Auth &auth) override;
    void GetPpdDrv(std::string &_return, const cloudprint::Auth &auth, const cloudprint::Printer &printer) override;

    bool accepts(const cloudprint::Auth &auth) const;
    // The serialized ListPrinter result, made once, when every call gets the
    // same list (no job count sequences); null otherwise.
    const std::string *fixedPrinterList();

private:
    void requireCode(const cloudprint::Auth &auth) const;
    const ServerPrinter *find(const std::string &id) const;

    const ServerConfig &m_config;
    std::mutex m_mutex;
    size_t m_listCalls = 0;
    int m_nextJob = 1;
    std::once_flag m_fixedListOnce;
    std::string m_fixedList;
    bool m_listIsFixed = false;
};
