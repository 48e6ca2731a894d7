#include "faultprocessor.h"

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <chrono>
#include <thread>

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocol;
using apache::thrift::transport::TMemoryBuffer;
using apache::thrift::transport::TTransport;
namespace protocol = apache::thrift::protocol;

namespace {

void skipCall(TProtocol *in)
{
    in->skip(protocol::T_STRUCT);
    in->readMessageEnd();
    in->getTransport()->readEnd();
}

void sendBytes(TProtocol *out, const std::string &bytes)
{
    TTransport *transport = out->getTransport().get();
    transport->write(reinterpret_cast<const uint8_t *>(bytes.data()), uint32_t(bytes.size()));
    transport->flush();
}

// Holds the connection until the client gives up and closes it.
void waitForClose(TProtocol *in)
{
    uint8_t byte;
    try {
        while (in->getTransport()->read(&byte, 1) > 0) {
        }
    } catch (const apache::thrift::TException &) {
    }
}

void writeError(TProtocol *out, const std::string &name, int32_t seqid, int code, const std::string &description)
{
    cloudprint::Exception error;
    error.__set_Code(code);
    error.__set_Description(description);
    out->writeMessageBegin(name, protocol::T_REPLY, seqid);
    out->writeStructBegin("result");
    out->writeFieldBegin("err", protocol::T_STRUCT, 1);
    error.write(out);
    out->writeFieldEnd();
    out->writeFieldStop();
    out->writeStructEnd();
    out->writeMessageEnd();
    out->getTransport()->writeEnd();
    out->getTransport()->flush();
}

} // namespace

FaultProcessor::FaultProcessor(std::shared_ptr<ReferenceHandler> handler, QHash<QString, Fault> faults)
    : CloudPrintProcessor(handler)
    , m_handler(std::move(handler))
    , m_faults(std::move(faults))
{
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
    if (!fault && name == "ListPrinter")
        return listPrinters(in, out, seqid, context);
    if (!fault)
        return CloudPrintProcessor::dispatchCall(in, out, name, seqid, context);

    switch (fault->mode) {
    case Fault::Slow:
        std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
        return CloudPrintProcessor::dispatchCall(in, out, name, seqid, context);
    case Fault::CloseMidReply: {
        auto buffer = std::make_shared<TMemoryBuffer>();
        TBinaryProtocol memory(buffer);
        CloudPrintProcessor::dispatchCall(in, &memory, name, seqid, context);
        const std::string reply = buffer->getBufferAsString();
        sendBytes(out, reply.substr(0, reply.size() / 2));
        return false;
    }
    case Fault::Stall:
        skipCall(in);
        waitForClose(in);
        return false;
    case Fault::Raw:
        skipCall(in);
        sendBytes(out, fault->bytes);
        return false;
    case Fault::Exception:
    case Fault::NoResult:
    case Fault::Oversized:
        break;
    }

    skipCall(in);
    if (fault->mode == Fault::Exception) {
        writeError(out, name, seqid, fault->code, fault->description);
        return true;
    }
    out->writeMessageBegin(name, protocol::T_REPLY, seqid);
    out->writeStructBegin("result");
    if (fault->mode == Fault::Oversized) {
        // A declared size far beyond any sane reply, followed by a little data.
        out->writeFieldBegin("success", protocol::T_STRING, 0);
        out->writeI32(int32_t(fault->length));
        sendBytes(out, std::string(64, 'x'));
        return false;
    }
    out->writeFieldStop();
    out->writeStructEnd();
    out->writeMessageEnd();
    out->getTransport()->writeEnd();
    out->getTransport()->flush();
    return true;
}

bool FaultProcessor::listPrinters(TProtocol *in, TProtocol *out, int32_t seqid, void *context)
{
    // A long list that never changes is serialized once and sent as it is.
    const std::string *fixed = m_handler->fixedPrinterList();
    if (!fixed)
        return CloudPrintProcessor::dispatchCall(in, out, "ListPrinter", seqid, context);
    cloudprint::CloudPrint_ListPrinter_args args;
    args.read(in);
    in->readMessageEnd();
    in->getTransport()->readEnd();
    if (!m_handler->accepts(args.auth)) {
        writeError(out, "ListPrinter", seqid, 401, "authorization code rejected");
        return true;
    }
    out->writeMessageBegin("ListPrinter", protocol::T_REPLY, seqid);
    out->getTransport()->write(reinterpret_cast<const uint8_t *>(fixed->data()), uint32_t(fixed->size()));
    out->writeMessageEnd();
    out->getTransport()->writeEnd();
    out->getTransport()->flush();
    return true;
}
