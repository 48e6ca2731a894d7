#include "faultprocessor.h"

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <algorithm>
#include <chrono>
#include <thread>

using apache::thrift::protocol::TProtocol;
using apache::thrift::transport::TMemoryBuffer;
namespace protocol = apache::thrift::protocol;

namespace {

template<typename Write>
std::string serialized(Write write)
{
    auto buffer = std::make_shared<TMemoryBuffer>();
    protocol::TBinaryProtocol memory(buffer);
    write(memory);
    return buffer->getBufferAsString();
}

// A result struct that holds the declared exception, or nothing at all.
std::string resultStruct(const std::optional<cloudprint::Exception> &error)
{
    return serialized([&](TProtocol &p) {
        p.writeStructBegin("result");
        if (error) {
            p.writeFieldBegin("err", protocol::T_STRUCT, 1);
            error->write(&p);
            p.writeFieldEnd();
        }
        p.writeFieldStop();
        p.writeStructEnd();
    });
}

void sendBytes(TProtocol *out, const std::string &bytes)
{
    out->getTransport()->write(reinterpret_cast<const uint8_t *>(bytes.data()), uint32_t(bytes.size()));
    out->getTransport()->flush();
}

void reply(TProtocol *out, const std::string &name, int32_t seqid, const std::string &result)
{
    out->writeMessageBegin(name, protocol::T_REPLY, seqid);
    out->getTransport()->write(reinterpret_cast<const uint8_t *>(result.data()), uint32_t(result.size()));
    out->writeMessageEnd();
    out->getTransport()->writeEnd();
    out->getTransport()->flush();
}

void endCall(TProtocol *in)
{
    in->readMessageEnd();
    in->getTransport()->readEnd();
}

cloudprint::Exception exception(int code, const std::string &description)
{
    cloudprint::Exception e;
    e.__set_Code(code);
    e.__set_Description(description);
    return e;
}

} // namespace

FaultProcessor::FaultProcessor(std::shared_ptr<cloudprint::CloudPrintIf> handler, const ServerConfig &config)
    : CloudPrintProcessor(std::move(handler))
    , m_faults(config.faults)
{
    // A long list that never changes is serialized once and sent as it is.
    if (std::any_of(config.printers.begin(), config.printers.end(),
                    [](const ServerPrinter &p) { return !p.jobCounts.empty(); }))
        return;
    cloudprint::CloudPrint_ListPrinter_result result;
    for (const ServerPrinter &printer : config.printers)
        result.success.push_back(printer.record);
    result.__isset.success = true;
    m_fixedList = serialized([&](TProtocol &p) { result.write(&p); });
}

std::optional<Fault> FaultProcessor::takeFault(const std::string &name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_faults.find(QString::fromStdString(name));
    if (it == m_faults.end() || it->remaining == 0)
        return std::nullopt;
    if (it->remaining > 0)
        --it->remaining;
    return *it;
}

bool FaultProcessor::dispatchCall(TProtocol *in, TProtocol *out, const std::string &name, int32_t seqid,
                                  void *context)
{
    const std::optional<Fault> fault = takeFault(name);
    if (fault && fault->mode == Fault::Slow)
        std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
    if ((!fault || fault->mode == Fault::Slow) && name == "ListPrinter" && !m_fixedList.empty())
        return sendFixedList(in, out, seqid);
    if (!fault || fault->mode == Fault::Slow)
        return CloudPrintProcessor::dispatchCall(in, out, name, seqid, context);
    if (fault->mode == Fault::CloseMidReply) {
        const std::string whole = serialized(
            [&](TProtocol &memory) { CloudPrintProcessor::dispatchCall(in, &memory, name, seqid, context); });
        sendBytes(out, whole.substr(0, whole.size() / 2));
        return false;
    }

    in->skip(protocol::T_STRUCT);
    endCall(in);
    switch (fault->mode) {
    case Fault::Stall: {
        // Holds the connection until the client gives up and closes it.
        uint8_t byte;
        try {
            while (in->getTransport()->read(&byte, 1) > 0) {
            }
        } catch (const apache::thrift::TException &) {
        }
        return false;
    }
    case Fault::Raw:
        sendBytes(out, fault->bytes);
        return false;
    case Fault::Exception:
        reply(out, name, seqid, resultStruct(exception(fault->code, fault->description)));
        return true;
    default: // NoResult
        reply(out, name, seqid, resultStruct(std::nullopt));
        return true;
    }
}

bool FaultProcessor::sendFixedList(TProtocol *in, TProtocol *out, int32_t seqid)
{
    cloudprint::CloudPrint_ListPrinter_args args;
    args.read(in);
    endCall(in);
    const bool accepted = iface_->Verfiy(args.auth);
    reply(out, "ListPrinter", seqid,
          accepted ? m_fixedList : resultStruct(exception(401, "authorization code rejected")));
    return true;
}
