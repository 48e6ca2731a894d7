#include "cloudprintclient.h"

#include "CloudPrint.h"
#include "cloudprintaccessmanager.h"
#include "printerport.h"
#include "replytransport.h"

#include <thrift/TApplicationException.h>
#include <thrift/TConfiguration.h>
#include <thrift/TOutput.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TSSLSocket.h>
#include <thrift/transport/TTransportException.h>

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRpc, "quorvia.rpc")
Q_LOGGING_CATEGORY(lcThrift, "quorvia.rpc.thrift")

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TInputRecursionTracker;
using apache::thrift::protocol::TMessageType;
using apache::thrift::protocol::TProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::protocol::TType;
using apache::thrift::TConfiguration;
using apache::thrift::transport::SSLTLS;
using apache::thrift::transport::TSSLSocket;
using apache::thrift::transport::TSSLSocketFactory;
using apache::thrift::transport::TTransportException;

namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr int kDefaultReceiveTimeoutMs = 60000;
constexpr uint32_t kBufferSize = 512;
// Generous for any printer list, small enough that a broken or hostile peer
// cannot make us read or allocate without end.
constexpr int kMaxReplyBytes = 64 * 1024 * 1024;
constexpr int kRecursionLimit = 64;
// Printer records a reply may hold: at most four times the reply bound in memory.
constexpr uint32_t kMaxPrinterRecords = uint32_t(4L * kMaxReplyBytes / long(sizeof(Printer)));

QString g_trustedCaFile = QStringLiteral("/usr/share/quorvia-cloud-print-configurator/cert/CA.pem");
int g_receiveTimeoutMs = kDefaultReceiveTimeoutMs;

void thriftOutput(const char *message)
{
    qCWarning(lcThrift).noquote() << message;
}

void prepareProcess()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Closing a TLS session can write to a socket the peer already closed.
        std::signal(SIGPIPE, SIG_IGN);
        apache::thrift::GlobalOutput.setOutputFunction(thriftOutput);
    });
}

struct FailureTexts
{
    const char *transport;
    const char *application;
};

const FailureTexts kConnectTexts = {"Connect Exception", "Connect TApplicationException"};
const FailureTexts kVerfiyTexts = {"Verfiy Exception", "TApplicationException"};
const FailureTexts kDataTexts = {"TTransportException", "TApplicationException"};

// Logs the exception being handled, with the text for its kind.
void logFailure(const FailureTexts &texts)
{
    try {
        throw;
    } catch (const TTransportException &e) {
        qCWarning(lcRpc).noquote() << texts.transport << e.what();
    } catch (const TApplicationException &e) {
        qCWarning(lcRpc).noquote() << texts.application << e.what();
    } catch (...) {
        qCWarning(lcRpc) << "Unknow Exception";
    }
}

bool writeWhole(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Reads a ListPrinter reply straight into the configurator's records, in the
// same steps as the generated receive, so the list is not held twice. Each
// record is handed to complete() while it is still in the cache.
template<typename Complete>
void receivePrinters(TProtocol *in, std::vector<Printer> &printers, Complete complete)
{
    std::string name;
    TMessageType type;
    int32_t seqid = 0;
    in->readMessageBegin(name, type, seqid);
    if (type == apache::thrift::protocol::T_EXCEPTION) {
        TApplicationException x;
        x.read(in);
        in->readMessageEnd();
        in->getTransport()->readEnd();
        throw x;
    }
    if (type != apache::thrift::protocol::T_REPLY || name != "ListPrinter") {
        in->skip(apache::thrift::protocol::T_STRUCT);
        in->readMessageEnd();
        in->getTransport()->readEnd();
    }

    bool haveList = false;
    bool haveError = false;
    cloudprint::Exception error;
    {
        TInputRecursionTracker tracker(*in);
        in->readStructBegin(name);
        for (;;) {
            TType fieldType;
            int16_t id;
            in->readFieldBegin(name, fieldType, id);
            if (fieldType == apache::thrift::protocol::T_STOP)
                break;
            if (id == 0 && fieldType == apache::thrift::protocol::T_LIST) {
                TType elementType;
                uint32_t count;
                in->readListBegin(elementType, count);
                if (elementType != apache::thrift::protocol::T_STRUCT)
                    throw TProtocolException(TProtocolException::INVALID_DATA, "printer list of another type");
                // An empty record is one byte on the wire but hundreds in
                // memory: bound the records too, and construct only what arrives.
                if (count > kMaxPrinterRecords)
                    throw TTransportException(TTransportException::END_OF_FILE, "MaxMessageSize reached");
                printers.clear();
                printers.reserve(count);
                for (uint32_t i = 0; i < count; ++i) {
                    printers.emplace_back();
                    printers.back().read(in);
                    complete(printers.back());
                }
                in->readListEnd();
                haveList = true;
            } else if (id == 1 && fieldType == apache::thrift::protocol::T_STRUCT) {
                error.read(in);
                haveError = true;
            } else {
                in->skip(fieldType);
            }
            in->readFieldEnd();
        }
        in->readStructEnd();
    }
    in->readMessageEnd();
    in->getTransport()->readEnd();

    if (haveList)
        return;
    if (haveError)
        throw error;
    throw TApplicationException(TApplicationException::MISSING_RESULT, "ListPrinter failed: unknown result");
}

// How each byte of a printer ID appears in its device URI: as itself for the
// unreserved characters, ':' and '/', as a %XX escape otherwise. Bytes of
// non-ASCII text have no entry (width 0): such IDs are encoded as a whole.
struct UriBytes
{
    char text[256][4] = {};
    unsigned char width[256] = {};
    constexpr UriBytes()
    {
        const char hex[] = "0123456789ABCDEF";
        for (int c = 0; c < 0x80; ++c) {
            text[c][0] = '%';
            text[c][1] = hex[c >> 4];
            text[c][2] = hex[c & 0xF];
            width[c] = 3;
        }
        for (int c = 0; c < 0x80; ++c) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
                              || c == '.' || c == '_' || c == '~' || c == ':' || c == '/';
            if (kept) {
                text[c][0] = char(c);
                text[c][1] = text[c][2] = '\0';
                width[c] = 1;
            }
        }
    }
};
constexpr UriBytes kUriBytes;

// The device URI for a printer ID: the encoded prefix followed by the ID
// percent-encoded as UTF-8 text. IDs in plain ASCII, the usual case, are
// encoded in one pass without a detour through QString: every byte stores
// its whole table entry and advances by its width, so the loop does not
// branch on the text.
std::string deviceUri(const QByteArray &prefix, const std::string &id)
{
    char shortUri[256];
    std::unique_ptr<char[]> longUri;
    // Room for every byte escaped, plus the spare byte the last entry writes.
    const size_t worst = size_t(prefix.size()) + 3 * id.size() + 1;
    char *const begin = worst <= sizeof shortUri ? shortUri : (longUri = std::make_unique<char[]>(worst)).get();
    char *out = std::copy(prefix.constData(), prefix.constData() + prefix.size(), begin);
    for (const char ch : id) {
        const auto c = static_cast<unsigned char>(ch);
        if (kUriBytes.width[c] == 0) {
            const QByteArray encoded = QUrl::toPercentEncoding(QString::fromStdString(id), QByteArrayLiteral(":/"));
            return std::string(prefix.constData(), size_t(prefix.size()))
                .append(encoded.constData(), size_t(encoded.size()));
        }
        std::memcpy(out, kUriBytes.text[c], sizeof kUriBytes.text[c]);
        out += kUriBytes.width[c];
    }
    return std::string(begin, out);
}

} // namespace

struct CloudPrintRPCClient::Private
{
    std::unique_ptr<QUrl> url;
    std::unique_ptr<cloudprint::CloudPrintClient> client;
    std::shared_ptr<ReplyTransport> transport;
    std::shared_ptr<ReplyProtocol> protocol;
    std::shared_ptr<TSSLSocket> socket;
    QString host;
    int port = 0;
    // Device URIs are "tqp://host:port/ID", percent-encoded except for the
    // unreserved characters, ':' and '/'. Encoding works byte by byte, so the
    // common prefix is encoded once. The port is the one actually used.
    QByteArray uriPrefix;

    void close() noexcept;

    // Opens the connection, runs one RPC, closes again. On failure the
    // connection is closed and the failure logged; then the exception goes on
    // to the caller when passOn is set, else the failure value is returned.
    template<typename Result, typename Rpc>
    Result call(const FailureTexts &texts, bool passOn, Result failed, Rpc rpc);
};

void CloudPrintRPCClient::Private::close() noexcept
{
    try {
        transport->close();
    } catch (...) {
        // Flushing failed; the socket itself must still be released.
        try {
            socket->close();
        } catch (...) { }
    }
}

template<typename Result, typename Rpc>
Result CloudPrintRPCClient::Private::call(const FailureTexts &texts, bool passOn, Result failed, Rpc rpc)
{
    try {
        transport->beginCall();
        transport->open();
        Result result = rpc();
        close();
        return result;
    } catch (...) {
        close();
        logFailure(texts);
        if (passOn)
            throw;
    }
    return failed;
}

CloudPrintRPCClient::CloudPrintRPCClient(const QString &address, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    prepareProcess();
    qCDebug(lcRpc).noquote() << "server address:" << address;
    d->url = std::make_unique<QUrl>(address, QUrl::TolerantMode);

    auto factory = std::make_shared<TSSLSocketFactory>(SSLTLS);
    factory->access(std::make_shared<CloudPrintAccessManager>());
    if (QFileInfo::exists(g_trustedCaFile)) {
        try {
            factory->loadTrustedCertificates(QFile::encodeName(g_trustedCaFile).constData());
        } catch (const apache::thrift::TException &e) {
            // Same outcome as a missing file: every later certificate check fails.
            qCCritical(lcRpc).noquote() << "CA.pem not usable" << e.what();
        }
    } else {
        qCCritical(lcRpc) << "CA.pem not exist";
    }
    factory->authenticate(true);
    factory->server(false);

    d->host = d->url->host(QUrl::FullyDecoded);
    d->port = d->url->port(printerport::GetCloudPrintPort());
    d->uriPrefix =
        QUrl::toPercentEncoding(QStringLiteral("tqp://%1:%2/").arg(d->host).arg(d->port), QByteArrayLiteral(":/"));
    d->socket = factory->createSocket(d->host.toUtf8().toStdString(), d->port);
    d->socket->setConnTimeout(kConnectTimeoutMs);
    d->socket->setRecvTimeout(g_receiveTimeoutMs);

    d->transport = replyTransport(d->socket);
    d->protocol = std::make_shared<ReplyProtocol>(d->transport);
    d->client = std::make_unique<cloudprint::CloudPrintClient>(d->protocol);
}

CloudPrintRPCClient::~CloudPrintRPCClient()
{
    d->url.reset();
    d->client.reset();
    d->transport.reset();
    d->socket.reset();
}

void CloudPrintRPCClient::setTrustedCaFileForTesting(const QString &path)
{
    g_trustedCaFile = path;
}

void CloudPrintRPCClient::setReceiveTimeoutForTesting(int milliseconds)
{
    g_receiveTimeoutMs = milliseconds;
}

std::shared_ptr<ReplyTransport> CloudPrintRPCClient::replyTransport(
    std::shared_ptr<apache::thrift::transport::TTransport> wire)
{
    // make_shared forwards by reference, and Thrift only declares this constant:
    // pass a copy so unoptimized builds link.
    auto config =
        std::make_shared<TConfiguration>(kMaxReplyBytes, int(TConfiguration::DEFAULT_MAX_FRAME_SIZE), kRecursionLimit);
    return std::make_shared<ReplyTransport>(std::move(wire), kBufferSize, config);
}

std::vector<Printer> CloudPrintRPCClient::readPrinters(ReplyProtocol &in, const QByteArray &uriPrefix)
{
    std::vector<Printer> printers;
    receivePrinters(&in, printers, [&uriPrefix](Printer &printer) {
        printer.Addr = deviceUri(uriPrefix, printer.ID);
        printer.__isset.Addr = true;
    });
    return printers;
}

bool CloudPrintRPCClient::Connect()
{
    return d->call(kConnectTexts, false, false, [] { return true; });
}

bool CloudPrintRPCClient::Verfiy(const cloudprint::Auth &auth)
{
    return d->call(kVerfiyTexts, false, false, [&] { return d->client->Verfiy(auth); });
}

std::string CloudPrintRPCClient::GetServerVersion(const cloudprint::Auth &auth)
{
    std::string version = d->call(kDataTexts, false, std::string(), [&] {
        std::string answer;
        d->client->GetServerVersion(answer, auth);
        return answer;
    });
    if (!version.empty())
        qCDebug(lcRpc).noquote() << "GetServerVersion:" << QString::fromStdString(version);
    return version;
}

std::vector<Printer> CloudPrintRPCClient::ListPrinter(const cloudprint::Auth &auth)
{
    std::vector<Printer> printers;
    d->call(kDataTexts, true, false, [&] {
        d->client->send_ListPrinter(auth);
        printers = readPrinters(*d->protocol, d->uriPrefix);
        return true;
    });
    return printers;
}

QString CloudPrintRPCClient::GetPpdDrv(const cloudprint::Auth &auth, const cloudprint::Printer &printer,
                                       const QString &name)
{
    std::string text;
    d->call(kDataTexts, true, false, [&] {
        d->client->GetPpdDrv(text, auth, printer);
        return true;
    });
    if (text.empty())
        return QString();

    const QString path = QStringLiteral("%1%2%3").arg(QStringLiteral("/tmp/"), name, QStringLiteral(".drv"));
    qCInfo(lcRpc).noquote() << "create temp ppd driver file:" << path;
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
        qCWarning(lcRpc).noquote() << "invalid driver file name:" << name;
        return QString();
    }

    // A new file only we can read: never follow or reuse what someone else put there.
    const QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(lcRpc).noquote() << "cannot create driver file:" << path << QString::fromLocal8Bit(strerror(errno));
        return QString();
    }
    const size_t length = std::min(text.size(), text.find('\0'));
    const bool written = writeWhole(fd, text.data(), length);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        qCWarning(lcRpc).noquote() << "cannot write driver file:" << path;
        ::unlink(nativePath.constData());
        return QString();
    }
    return path;
}
