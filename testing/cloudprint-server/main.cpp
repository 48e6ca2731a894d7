// Reference cloud print server: serves the CloudPrint interface over TLS for
// tests and the demo. Usage: cloudprint-reference-server CONFIG.json
#include "CloudPrint.h"
#include "serverconfig.h"

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSSLServerSocket.h>
#include <thrift/transport/TSSLSocket.h>

#include <QFile>
#include <QJsonArray>
#include <QMutex>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>

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

// Writes a reply, or any bytes, in one piece: the transport is not buffered.
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
        , m_printers(config.json.value(QStringLiteral("printers")).toArray())
    {
        // Every list a ListPrinter call can get is serialized once: the job
        // counts change over the first calls, then the last list repeats.
        cloudprint::CloudPrint_ListPrinter_result result;
        result.success = config.printers;
        result.__isset.success = true;
        for (bool changing = true; changing;) {
            changing = false;
            const int call = int(m_lists.size());
            for (int i = 0; i < m_printers.size(); ++i) {
                const QJsonArray jobs = m_printers.at(i).toObject().value(QStringLiteral("cJobsSequence")).toArray();
                if (!jobs.isEmpty())
                    result.success[size_t(i)].__set_cJobs(jobs.at(std::min(call, jobs.size() - 1)).toInt());
                changing = changing || call + 1 < jobs.size();
            }
            m_lists.push_back(serialized(result));
        }
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
            send(out.get(),
                 QByteArray::fromHex(fault.value(QStringLiteral("hex")).toString().toLatin1()).toStdString());
            return false;
        }
        if (mode == QLatin1String("stall")) {
            // Holds the connection long after the client gave up.
            QThread::sleep(600);
            return false;
        }
        if (mode == QLatin1String("slow"))
            QThread::msleep(fault.value(QStringLiteral("delayMs")).toInt());
        const std::string result = mode == QLatin1String("exception")
                                       ? failed(fault.value(QStringLiteral("code")).toInt(), text(fault, "description"))
                                       : answer(name, args);
        // Other methods are not served: the connection closes.
        if (result.empty())
            return false;
        auto header = std::make_shared<transport::TMemoryBuffer>();
        protocol::TBinaryProtocol(header).writeMessageBegin(name, protocol::T_REPLY, seqid);
        send(out.get(), header->getBufferAsString() + result);
        return true;
    }

private:
    static std::string text(const QJsonObject &json, const char *key)
    {
        return json.value(QLatin1String(key)).toString().toStdString();
    }

    std::string answer(const std::string &name, const cloudprint::CloudPrint_GetPpdDrv_args &args)
    {
        const QJsonArray codes = m_config.json.value(QStringLiteral("codes")).toArray();
        const bool accepted = codes.isEmpty() || codes.contains(QString::fromStdString(args.auth.Authcode));
        if (name == "Verfiy") {
            cloudprint::CloudPrint_Verfiy_result result;
            result.success = accepted;
            result.__isset.success = true;
            return serialized(result);
        }
        if (!accepted)
            return failed(401, "authorization code rejected");
        if (name == "ListPrinter")
            return m_lists[std::min(m_listCalls++, m_lists.size() - 1)];
        // GetServerVersion's result is a string as field 0 as well.
        cloudprint::CloudPrint_GetPpdDrv_result result;
        result.__isset.success = true;
        if (name == "GetServerVersion")
            result.success = text(m_config.json, "version");
        else if (name == "GetPpdDrv")
            result.success = driver(args.printer.ID);
        else
            return {};
        return serialized(result);
    }

    std::string driver(const std::string &printerId) const
    {
        for (const QJsonValue &printer : m_printers) {
            const QJsonObject json = printer.toObject();
            if (text(json, "ID") == printerId && !text(json, "driver").empty())
                return text(json, "driver");
        }
        return text(m_config.json, "defaultDriver");
    }

    // The fault for this call of `name`, empty when it answers normally.
    QJsonObject takeFault(const std::string &name)
    {
        QMutexLocker lock(&m_mutex);
        const QString method = QString::fromStdString(name);
        const QJsonObject fault = m_config.json.value(QStringLiteral("faults")).toObject().value(method).toObject();
        const int count = fault.value(QStringLiteral("count")).toInt(-1);
        return count < 0 || m_calls[method]++ < count ? fault : QJsonObject();
    }

    const ServerConfig &m_config;
    const QJsonArray m_printers; // as configured, before the generated ones
    QMutex m_mutex;
    QHash<QString, int> m_calls;
    std::atomic<size_t> m_listCalls{0};
    std::vector<std::string> m_lists;
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

} // namespace

int main(int argc, char *argv[])
{
    std::signal(SIGPIPE, SIG_IGN);

    ServerConfig config;
    QString error = QStringLiteral("usage: cloudprint-reference-server CONFIG.json");
    if (argc != 2 || !config.load(QFile::decodeName(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const auto setting = [&config](const char *key) { return config.json.value(QLatin1String(key)).toString(); };
    try {
        auto factory = std::make_shared<transport::TSSLSocketFactory>(transport::SSLTLS);
        factory->loadCertificate(QFile::encodeName(setting("certificate")).constData());
        factory->loadPrivateKey(QFile::encodeName(setting("key")).constData());

        const QString listen = config.json.value(QStringLiteral("listen")).toString(QStringLiteral("127.0.0.1"));
        auto socket = std::make_shared<AnnouncingSocket>(listen.toStdString(),
                                                         config.json.value(QStringLiteral("port")).toInt(), factory);
        socket->portFile = setting("portFile");
        server::TThreadedServer server(std::make_shared<ReferenceProcessor>(config), socket,
                                       std::make_shared<transport::TTransportFactory>(),
                                       std::make_shared<protocol::TBinaryProtocolFactory>());
        server.serve();
    } catch (const TException &e) {
        std::fprintf(stderr, "cloudprint-reference-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
