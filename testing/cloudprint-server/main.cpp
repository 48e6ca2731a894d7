// Reference cloud print server: serves the CloudPrint interface over TLS for
// tests and the demo. Usage: cloudprint-reference-server CONFIG.json
#include "CloudPrint.h"
#include "serverconfig.h"

#include <thrift/TOutput.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSSLServerSocket.h>
#include <thrift/transport/TSSLSocket.h>

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>

using namespace apache::thrift;
using protocol::TProtocol;

namespace {

template<typename Result>
std::string serialized(const Result &result)
{
    auto buffer = std::make_shared<transport::TMemoryBuffer>();
    protocol::TBinaryProtocol memory(buffer);
    result.write(&memory);
    return buffer->getBufferAsString();
}

// A result holding the declared exception: every method has it as field 1.
std::string failed(int code, const std::string &description)
{
    cloudprint::CloudPrint_ListPrinter_result result;
    result.err.__set_Code(code);
    result.err.__set_Description(description);
    result.__isset.err = true;
    return serialized(result);
}

void send(TProtocol *out, const std::string &bytes)
{
    out->getTransport()->write(reinterpret_cast<const uint8_t *>(bytes.data()), uint32_t(bytes.size()));
    out->getTransport()->flush();
}

// Serves the four calls the configurator makes: codes are checked against the
// configured list, printers and driver descriptions come from the
// configuration. A method the configuration makes misbehave gets its broken
// reply instead.
class ReferenceProcessor : public TProcessor
{
public:
    explicit ReferenceProcessor(const ServerConfig &config)
        : m_config(config)
    {
        // A long list that never changes is serialized once and sent as it is.
        if (std::none_of(config.printers.begin(), config.printers.end(),
                         [](const ServerPrinter &p) { return !p.jobCounts.empty(); }))
            m_fixedList = serialized(listing(0));
    }

    bool process(std::shared_ptr<TProtocol> in, std::shared_ptr<TProtocol> out, void *) override
    {
        std::string name;
        protocol::TMessageType type;
        int32_t seqid = 0;
        in->readMessageBegin(name, type, seqid);
        // GetPpdDrv takes the code and a printer, the other calls the code alone.
        cloudprint::CloudPrint_GetPpdDrv_args args;
        args.read(in.get());
        in->readMessageEnd();
        in->getTransport()->readEnd();

        const QJsonObject fault = takeFault(name);
        const QString mode = fault.value(QStringLiteral("mode")).toString();
        if (mode == QLatin1String("raw")) {
            send(out.get(), QByteArray::fromHex(fault.value(QStringLiteral("hex")).toString().toLatin1()).toStdString());
            return false;
        }
        if (mode == QLatin1String("stall")) {
            // Holds the connection until the client gives up and closes it.
            uint8_t byte;
            try {
                while (in->getTransport()->read(&byte, 1) > 0) {
                }
            } catch (const TException &) {
            }
            return false;
        }
        // Other methods are not served: the connection closes.
        static const std::set<std::string> served{"Verfiy", "ListPrinter", "GetServerVersion", "GetPpdDrv"};
        if (!served.count(name))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(fault.value(QStringLiteral("delayMs")).toInt()));
        out->writeMessageBegin(name, protocol::T_REPLY, seqid);
        if (mode == QLatin1String("exception"))
            send(out.get(), failed(fault.value(QStringLiteral("code")).toInt(),
                                   fault.value(QStringLiteral("description")).toString().toStdString()));
        else
            send(out.get(), answer(name, args));
        return true;
    }

private:
    std::string answer(const std::string &name, const cloudprint::CloudPrint_GetPpdDrv_args &args)
    {
        const std::vector<std::string> &codes = m_config.codes;
        const bool accepted = codes.empty() || std::find(codes.begin(), codes.end(), args.auth.Authcode) != codes.end();
        if (name == "Verfiy") {
            cloudprint::CloudPrint_Verfiy_result result;
            result.success = accepted;
            result.__isset.success = true;
            return serialized(result);
        }
        if (!accepted)
            return failed(401, "authorization code rejected");
        if (name == "ListPrinter")
            return m_fixedList.empty() ? serialized(listing(m_listCalls++)) : m_fixedList;
        // GetServerVersion's result is a string as field 0 as well.
        cloudprint::CloudPrint_GetPpdDrv_result result;
        const auto found = std::find_if(m_config.printers.begin(), m_config.printers.end(),
                                        [&](const ServerPrinter &p) { return p.record.ID == args.printer.ID; });
        const bool ownDriver = found != m_config.printers.end() && !found->driver.empty();
        result.success = name == "GetServerVersion" ? m_config.version
                         : ownDriver                ? found->driver
                                                    : m_config.defaultDriver;
        result.__isset.success = true;
        return serialized(result);
    }

    // The printers as the `call`th ListPrinter call (from 0) lists them.
    cloudprint::CloudPrint_ListPrinter_result listing(size_t call) const
    {
        cloudprint::CloudPrint_ListPrinter_result result;
        for (const ServerPrinter &printer : m_config.printers) {
            result.success.push_back(printer.record);
            if (!printer.jobCounts.empty())
                result.success.back().__set_cJobs(printer.jobCounts[std::min(call, printer.jobCounts.size() - 1)]);
        }
        result.__isset.success = true;
        return result;
    }

    // The fault for this call of `name`, empty when it answers normally.
    QJsonObject takeFault(const std::string &name)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const QJsonObject fault = m_config.faults.value(QString::fromStdString(name)).toObject();
        const int count = fault.value(QStringLiteral("count")).toInt(-1);
        return count < 0 || m_calls[name]++ < count ? fault : QJsonObject();
    }

    const ServerConfig &m_config;
    std::mutex m_mutex;
    std::map<std::string, int> m_calls;
    std::atomic<size_t> m_listCalls{0};
    // The serialized ListPrinter result when every call gets the same list.
    std::string m_fixedList;
};

// Announces the bound port once it listens: on stdout and, when configured,
// in the port file (written atomically, so readers never see half).
class AnnouncingSocket : public transport::TSSLServerSocket
{
public:
    using TSSLServerSocket::TSSLServerSocket;
    QString portFile;

    void listen() override
    {
        TSSLServerSocket::listen();
        QSaveFile file(portFile);
        if (!portFile.isEmpty() && file.open(QIODevice::WriteOnly)) {
            file.write(QByteArray::number(getPort()) + '\n');
            file.commit();
        }
        std::printf("port %d\n", getPort());
        std::fflush(stdout);
    }
};

// Large write buffers: a long printer list leaves in a few big TLS records
// instead of thousands of small ones.
class WideBufferedTransportFactory : public transport::TTransportFactory
{
public:
    std::shared_ptr<transport::TTransport> getTransport(std::shared_ptr<transport::TTransport> trans) override
    {
        return std::make_shared<transport::TBufferedTransport>(trans, 512, 64 * 1024);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    std::signal(SIGPIPE, SIG_IGN);
    GlobalOutput.setOutputFunction([](const char *message) { std::fprintf(stderr, "thrift: %s\n", message); });

    ServerConfig config;
    QString error = QStringLiteral("usage: cloudprint-reference-server CONFIG.json");
    if (argc != 2 || !config.load(QFile::decodeName(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    try {
        auto factory = std::make_shared<transport::TSSLSocketFactory>(transport::SSLTLS);
        factory->server(true);
        factory->authenticate(false);
        factory->loadCertificate(QFile::encodeName(config.certificate).constData());
        factory->loadPrivateKey(QFile::encodeName(config.key).constData());

        auto socket = std::make_shared<AnnouncingSocket>(config.listen.toStdString(), config.port, factory);
        socket->portFile = config.portFile;
        server::TThreadedServer server(std::make_shared<ReferenceProcessor>(config), socket,
                                       std::make_shared<WideBufferedTransportFactory>(),
                                       std::make_shared<protocol::TBinaryProtocolFactory>());
        server.serve();
    } catch (const TException &e) {
        std::fprintf(stderr, "cloudprint-reference-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
