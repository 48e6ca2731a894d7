#pragma once

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <memory>

// Buffered transport of one RPC connection that bounds what a single reply
// may make us read or allocate. The bound is the configuration's maximum
// message size; going past it is a transport failure ("MaxMessageSize reached").
class ReplyTransport : public apache::thrift::transport::TBufferedTransport
{
public:
    ReplyTransport(std::shared_ptr<apache::thrift::transport::TTransport> socket, uint32_t bufferSize,
                   std::shared_ptr<apache::thrift::TConfiguration> config);

    // Starts a new call: drops bytes left over from a failed reply and
    // restores the full message budget.
    void beginCall();

    // Bytes a reply may still bring before the bound is reached.
    long remainingBudget() const { return m_limit > m_received ? m_limit - m_received : 0; }

    // Throws the transport failure when a declared size cannot fit the budget.
    void requireBudget(long bytes) const;

protected:
    uint32_t readSlow(uint8_t *buf, uint32_t len) override;

private:
    void account(uint32_t fetched);

    long m_limit;
    long m_received = 0;
};

// Binary protocol (strict headers written, both header forms read) whose
// declared string and container sizes are checked against the reply budget
// before anything is allocated for them. Bound to our transport's type, so
// the reads of each field take the buffer's inline path instead of a
// virtual call per field.
class ReplyProtocol : public apache::thrift::protocol::TBinaryProtocolT<ReplyTransport>
{
public:
    explicit ReplyProtocol(std::shared_ptr<ReplyTransport> transport);

    uint32_t readMessageBegin_virt(std::string &name, apache::thrift::protocol::TMessageType &messageType,
                                   int32_t &seqid) override;
    uint32_t readString_virt(std::string &str) override;
    uint32_t readBinary_virt(std::string &str) override;
    uint32_t readListBegin_virt(apache::thrift::protocol::TType &elemType, uint32_t &size) override;
    uint32_t readSetBegin_virt(apache::thrift::protocol::TType &elemType, uint32_t &size) override;
    uint32_t readMapBegin_virt(apache::thrift::protocol::TType &keyType, apache::thrift::protocol::TType &valType,
                               uint32_t &size) override;

private:
    void limitStrings();
    void requireElements(uint32_t count, int elementSize) const;

    ReplyTransport *m_transport;
};
