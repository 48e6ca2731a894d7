#include "replytransport.h"

#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TTransportException.h>

#include <algorithm>
#include <climits>
#include <cstring>

using apache::thrift::TConfiguration;
using apache::thrift::protocol::TBinaryProtocolT;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::protocol::TType;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TTransport;
using apache::thrift::transport::TTransportException;

namespace {

[[noreturn]] void throwOversized()
{
    throw TTransportException(TTransportException::END_OF_FILE, "MaxMessageSize reached");
}

// Runs a read whose string sizes were limited to the budget and reports an
// exceeded limit as the transport failure it stands for.
template<typename Read>
uint32_t boundedRead(Read read)
{
    try {
        return read();
    } catch (const TProtocolException &e) {
        if (e.getType() == TProtocolException::SIZE_LIMIT)
            throwOversized();
        throw;
    }
}

} // namespace

ReplyTransport::ReplyTransport(std::shared_ptr<TTransport> socket, uint32_t bufferSize,
                               std::shared_ptr<TConfiguration> config)
    : TBufferedTransport(std::move(socket), bufferSize, bufferSize, config)
    , m_limit(config->getMaxMessageSize())
{ }

void ReplyTransport::beginCall()
{
    setReadBuffer(rBuf_.get(), 0);
    resetConsumedMessageSize();
    m_received = 0;
}

void ReplyTransport::requireBudget(long bytes) const
{
    if (bytes > remainingBudget())
        throwOversized();
}

uint32_t ReplyTransport::readSlow(uint8_t *buf, uint32_t len)
{
    // Hand out what is buffered first: the peer may have sent nothing more.
    const auto have = static_cast<uint32_t>(rBound_ - rBase_);
    if (have > 0) {
        std::memcpy(buf, rBase_, have);
        setReadBuffer(rBuf_.get(), 0);
        return have;
    }
    // A read as large as the buffer goes straight to the caller's memory
    // rather than through the buffer in buffer-sized pieces.
    if (len >= rBufSize_) {
        const uint32_t got = transport_->read(buf, len);
        account(got);
        return got;
    }
    const uint32_t got = transport_->read(rBuf_.get(), rBufSize_);
    setReadBuffer(rBuf_.get(), got);
    account(got);
    const uint32_t give = std::min(len, got);
    std::memcpy(buf, rBase_, give);
    rBase_ += give;
    return give;
}

void ReplyTransport::account(uint32_t fetched)
{
    m_received += fetched;
    if (m_received > m_limit)
        throwOversized();
}

ReplyProtocol::ReplyProtocol(std::shared_ptr<ReplyTransport> transport)
    : TBinaryProtocolT(transport, 0, 0, /*strict_read=*/false, /*strict_write=*/true)
    , m_transport(transport.get())
{ }

void ReplyProtocol::limitStrings()
{
    // A zero limit would mean "unlimited": keep at least one byte.
    string_limit_ = static_cast<int32_t>(std::clamp(m_transport->remainingBudget(), 1L, long(INT32_MAX)));
}

void ReplyProtocol::requireElements(uint32_t count, int elementSize) const
{
    // Every element takes at least one byte on the wire, even an empty struct.
    m_transport->requireBudget(static_cast<long>(count) * std::max(1, elementSize));
}

uint32_t ReplyProtocol::readMessageBegin_virt(std::string &name, TMessageType &messageType, int32_t &seqid)
{
    limitStrings();
    return boundedRead([&] { return TBinaryProtocolT::readMessageBegin_virt(name, messageType, seqid); });
}

uint32_t ReplyProtocol::readString_virt(std::string &str)
{
    limitStrings();
    return boundedRead([&] { return TBinaryProtocolT::readString_virt(str); });
}

uint32_t ReplyProtocol::readBinary_virt(std::string &str)
{
    limitStrings();
    return boundedRead([&] { return TBinaryProtocolT::readBinary_virt(str); });
}

uint32_t ReplyProtocol::readListBegin_virt(TType &elemType, uint32_t &size)
{
    const uint32_t read = TBinaryProtocolT::readListBegin_virt(elemType, size);
    requireElements(size, getMinSerializedSize(elemType));
    return read;
}

uint32_t ReplyProtocol::readSetBegin_virt(TType &elemType, uint32_t &size)
{
    const uint32_t read = TBinaryProtocolT::readSetBegin_virt(elemType, size);
    requireElements(size, getMinSerializedSize(elemType));
    return read;
}

uint32_t ReplyProtocol::readMapBegin_virt(TType &keyType, TType &valType, uint32_t &size)
{
    const uint32_t read = TBinaryProtocolT::readMapBegin_virt(keyType, valType, size);
    requireElements(size, getMinSerializedSize(keyType) + getMinSerializedSize(valType));
    return read;
}
