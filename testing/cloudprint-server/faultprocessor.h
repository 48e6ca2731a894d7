#pragma once

#include "CloudPrint.h"
#include "serverconfig.h"

#include <mutex>
#include <optional>

// CloudPrint processor that answers normally unless the configuration asks a
// method to misbehave; then it writes the broken reply itself.
class FaultProcessor : public cloudprint::CloudPrintProcessor
{
public:
    FaultProcessor(std::shared_ptr<cloudprint::CloudPrintIf> handler, const ServerConfig &config);

protected:
    bool dispatchCall(apache::thrift::protocol::TProtocol *in, apache::thrift::protocol::TProtocol *out,
                      const std::string &name, int32_t seqid, void *context) override;

private:
    std::optional<Fault> takeFault(const std::string &name);
    bool sendFixedList(apache::thrift::protocol::TProtocol *in, apache::thrift::protocol::TProtocol *out,
                       int32_t seqid);

    std::mutex m_mutex;
    QHash<QString, Fault> m_faults;
    // The serialized ListPrinter result when every call gets the same list.
    std::string m_fixedList;
};
