// Reference cloud print server: serves the CloudPrint interface over TLS for
// tests and the demo. Usage: cloudprint-reference-server CONFIG.json
#include "faultprocessor.h"
#include "referencehandler.h"
#include "serverconfig.h"

#include <thrift/TOutput.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TSSLServerSocket.h>
#include <thrift/transport/TSSLSocket.h>

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <csignal>
#include <cstdio>

using namespace apache::thrift;

namespace {

void quietOutput(const char *message)
{
    std::fprintf(stderr, "thrift: %s\n", message);
}

// Announces the bound port once the server listens: on stdout and, when
// configured, in the port file (written atomically, so readers never see half).
class ListenAnnouncer : public server::TServerEventHandler
{
public:
    ListenAnnouncer(std::shared_ptr<transport::TServerSocket> socket, QString portFile)
        : m_socket(std::move(socket))
        , m_portFile(std::move(portFile))
    {
    }

    void preServe() override
    {
        const int port = m_socket->getPort();
        if (!m_portFile.isEmpty()) {
            QSaveFile file(m_portFile);
            if (file.open(QIODevice::WriteOnly)) {
                file.write(QByteArray::number(port) + '\n');
                file.commit();
            }
        }
        std::printf("port %d\n", port);
        std::fflush(stdout);
    }

private:
    std::shared_ptr<transport::TServerSocket> m_socket;
    QString m_portFile;
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
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    GlobalOutput.setOutputFunction(quietOutput);

    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: %s CONFIG.json\n", argv[0]);
        return 2;
    }
    ServerConfig config;
    QString error;
    if (!config.load(args.at(1), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }

    try {
        auto factory = std::make_shared<transport::TSSLSocketFactory>(transport::SSLTLS);
        factory->server(true);
        factory->authenticate(false);
        factory->loadCertificate(QFile::encodeName(config.certificate).constData());
        factory->loadPrivateKey(QFile::encodeName(config.key).constData());

        auto socket = std::make_shared<transport::TSSLServerSocket>(config.listen.toStdString(), config.port, factory);
        auto handler = std::make_shared<ReferenceHandler>(config);
        server::TThreadedServer server(std::make_shared<FaultProcessor>(handler, config), socket,
                                       std::make_shared<WideBufferedTransportFactory>(),
                                       std::make_shared<protocol::TBinaryProtocolFactory>());
        server.setServerEventHandler(std::make_shared<ListenAnnouncer>(socket, config.portFile));
        server.serve();
    } catch (const TException &e) {
        std::fprintf(stderr, "cloudprint-reference-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
