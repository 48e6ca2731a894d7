#pragma once

#include "Print_types.h"
#include "printer.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class ReplyProtocol;
class ReplyTransport;
namespace apache::thrift::transport {
class TTransport;
}

// Client of one cloud print server over TLS. Every call opens the
// connection, makes one RPC and closes it again, so a failed call leaves the
// object ready for the next one. Not safe for concurrent use.
class CloudPrintRPCClient : public QObject
{
    Q_OBJECT

public:
    explicit CloudPrintRPCClient(const QString &address, QObject *parent = nullptr);
    ~CloudPrintRPCClient() override;

    // True when a connection to the server could be opened.
    bool Connect();
    // The server's answer; false on any failure.
    bool Verfiy(const cloudprint::Auth &auth);
    // The server's version text; empty on any failure.
    std::string GetServerVersion(const cloudprint::Auth &auth);
    // The server's printers in its order, each Addr set to its device URI.
    // Failures are logged and the exception goes on to the caller.
    std::vector<Printer> ListPrinter(const cloudprint::Auth &auth);
    // Writes the printer's driver description to "/tmp/<name>.drv" and returns
    // that path; empty when the server sent no text or the file could not be
    // written. RPC failures are logged and the exception goes on to the caller.
    QString GetPpdDrv(const cloudprint::Auth &auth, const cloudprint::Printer &printer, const QString &name);

    // Test seams: the only trusted CA file and the receive time-out of
    // clients constructed afterwards. Programs never call these.
    static void setTrustedCaFileForTesting(const QString &path);
    static void setReceiveTimeoutForTesting(int milliseconds);

    // The reply side of the calls, apart from the connection: the transport
    // with the buffer and reply bounds every call reads through, over `wire`,
    // and the reading of a ListPrinter reply with device URIs starting with
    // `uriPrefix`. The calls above use these; tests feed them bytes.
    static std::shared_ptr<ReplyTransport> replyTransport(std::shared_ptr<apache::thrift::transport::TTransport> wire);
    static std::vector<Printer> readPrinters(ReplyProtocol &in, const QByteArray &uriPrefix);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
