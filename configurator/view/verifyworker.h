#pragma once

#include "printer.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class CloudPrintRPCClient;

namespace cloudprint {
class Auth;
}

namespace ConfiguratorWindowInnter {

// Verifies an address and code against a cloud print server and fetches its
// printers. Lives on a thread of its own; doListPrinter() reports one result
// code through listPrinterFinish(). The RPC client and the auth record are
// kept after a success for later runs against the same server.
class Worker : public QObject
{
    Q_OBJECT

public:
    // Result codes of listPrinterFinish().
    enum Result {
        Listed = 0,
        ConnectFailed = 1,
        VerifyFailed = 2,
        ListFailed = 3,
    };

    explicit Worker(QObject *parent = nullptr);
    ~Worker() override;

    // Address and code of the next run; set from another thread before the
    // run is triggered.
    void setAddress(const QString &address);
    QString address() const;
    void setAuthcode(const QString &authcode);
    QString authcode() const;

    // The printers of the last successful listing.
    std::vector<Printer> printers() const;

    // The session of the last successful run, or null. Use only while no
    // run is active.
    CloudPrintRPCClient *client() const;
    const cloudprint::Auth *auth() const;

    std::vector<Printer> listPrinter();
    // Drops the RPC client and the auth record; the next run builds them anew.
    void releaseMemory();

signals:
    void listPrinterFinish(int code);
    // Emitted just before listPrinterFinish, with the printers of the last
    // successful listing, so that another thread gets them with the result.
    void listPrinterResult(int code, const std::vector<Printer> &printers);

public slots:
    void doListPrinter();
    // A run for the address and code given with the call; the values travel
    // with the queued call instead of being set from another thread.
    void doListPrinterFor(const QString &address, const QString &authcode);

private:
    void listPrinterRun();
    void recordServer(const QString &server);
    void finish(Result code);

    mutable QMutex m_mutex; // guards address, code and printers
    QString m_address;
    QString m_authcode;
    std::unique_ptr<cloudprint::Auth> m_auth;
    std::unique_ptr<CloudPrintRPCClient> m_client;
    QString m_clientServer; // the server m_client talks to
    std::vector<Printer> m_printers;
};

} // namespace ConfiguratorWindowInnter

Q_DECLARE_METATYPE(std::vector<Printer>)
