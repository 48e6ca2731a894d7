// Cost of the RPC client against the reference server on loopback, each next
// to a baseline measured in the same run:
//  (a) one Verfiy (connect, TLS handshake, call, close) vs a bare TLS
//      connect-handshake-close with the same certificates;     goal <= 1.3x
//  (b) ListPrinter of 10,000 printers (connection included, Addr filled) vs a
//      bare TLS handshake plus decoding the same reply bytes with the
//      generated types alone; time and peak C++ heap;          goal <= 1.5x
#include "CloudPrint.h"
#include "benchsupport.h"
#include "cloudprintclient.h"
#include "referenceserver.h"
#include "serverconfig.h"
#include "testcertificates.h"

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QUrl>

#include <openssl/ssl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <malloc.h>
#include <new>
#include <unistd.h>
#include <vector>

using bench::median;

// Live and peak bytes of the C++ heap, for peak memory per call.
namespace heap {
std::atomic<long> live{0};
std::atomic<long> peak{0};
void resetPeak()
{
    peak = live.load();
}
} // namespace heap

void *operator new(size_t size)
{
    void *p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const long now = heap::live += long(malloc_usable_size(p));
    long seen = heap::peak.load();
    while (now > seen && !heap::peak.compare_exchange_weak(seen, now)) { }
    return p;
}

void operator delete(void *p) noexcept
{
    if (!p)
        return;
    heap::live -= long(malloc_usable_size(p));
    std::free(p);
}

void operator delete(void *p, size_t) noexcept
{
    operator delete(p);
}

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread: less disturbed than wall time on a busy machine.
double cpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Bare TLS: TCP connect, handshake with the same CA, orderly close.
class BareTls
{
public:
    explicit BareTls(const QString &caFile)
        : m_ctx(SSL_CTX_new(TLS_client_method()))
    {
        SSL_CTX_load_verify_locations(m_ctx, QFile::encodeName(caFile).constData(), nullptr);
        SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER, nullptr);
    }
    ~BareTls() { SSL_CTX_free(m_ctx); }

    bool handshake(quint16 port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
        SSL *ssl = SSL_new(m_ctx);
        SSL_set_fd(ssl, fd);
        ok = ok && SSL_connect(ssl) == 1 && SSL_get_verify_result(ssl) == X509_V_OK;
        SSL_shutdown(ssl);
        SSL_free(ssl);
        ::close(fd);
        return ok;
    }

private:
    SSL_CTX *m_ctx;
};

std::string listReplyBytes(int count)
{
    std::vector<cloudprint::Printer> printers;
    for (int i = 0; i < count; ++i)
        printers.push_back(samplePrinter(i, 0));
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    apache::thrift::protocol::TBinaryProtocol protocol(buffer);
    cloudprint::CloudPrint_ListPrinter_result result;
    result.success = printers;
    result.__isset.success = true;
    protocol.writeMessageBegin("ListPrinter", apache::thrift::protocol::T_REPLY, 0);
    result.write(&protocol);
    protocol.writeMessageEnd();
    return buffer->getBufferAsString();
}

size_t decodeReply(const std::string &bytes)
{
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>(
        reinterpret_cast<uint8_t *>(const_cast<char *>(bytes.data())), uint32_t(bytes.size()));
    apache::thrift::protocol::TBinaryProtocol protocol(buffer);
    std::string name;
    apache::thrift::protocol::TMessageType type;
    int32_t seqid;
    protocol.readMessageBegin(name, type, seqid);
    std::vector<cloudprint::Printer> printers;
    cloudprint::CloudPrint_ListPrinter_presult result;
    result.success = &printers;
    result.read(&protocol);
    protocol.readMessageEnd();
    return printers.size();
}

// The records a listing of `count` generated printers must return: the
// server's own, with Addr replaced by a device URI ending in the encoded ID.
bool sameRecords(std::vector<Printer> printers, int count)
{
    if (printers.size() != size_t(count))
        return false;
    for (int i = 0; i < count; ++i) {
        const cloudprint::Printer expected = samplePrinter(i, 0);
        Printer &listed = printers[size_t(i)];
        const QByteArray id = QUrl::toPercentEncoding(QString::fromStdString(expected.ID), QByteArrayLiteral(":/"));
        if (!QByteArray::fromStdString(listed.Addr).endsWith('/' + id))
            return false;
        listed.Addr = expected.Addr;
        if (!(static_cast<const cloudprint::Printer &>(listed) == expected))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Measure the calls, not the console: the per-call log lines are dropped.
    QLoggingCategory::setFilterRules(QStringLiteral("quorvia.*=false"));
    const int verifyRounds = 200;
    const int listRounds = 15;
    const int printerCount = 10000;

    cloudprinttest::TestCertificates certs;
    if (!certs.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(certs.errorString()));
        return 1;
    }
    CloudPrintRPCClient::setTrustedCaFileForTesting(certs.caFile());
    BareTls bare(certs.caFile());
    cloudprint::Auth auth;

    // (a) one verified call per connection
    {
        cloudprinttest::ReferenceServer server(certs);
        if (!server.start()) {
            std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
            return 1;
        }
        CloudPrintRPCClient client(server.url());
        std::vector<double> call, tls, callCpu, tlsCpu;
        for (int i = 0; i < verifyRounds + 10; ++i) {
            auto start = Clock::now();
            double cpu = cpuMs();
            const bool verified = client.Verfiy(auth);
            const double callMs = msSince(start);
            const double callCpuMs = cpuMs() - cpu;
            start = Clock::now();
            cpu = cpuMs();
            const bool shook = bare.handshake(server.port());
            const double tlsMs = msSince(start);
            const double tlsCpuMs = cpuMs() - cpu;
            if (!verified || !shook) {
                std::fprintf(stderr, "call failed\n");
                return 1;
            }
            if (i >= 10) {
                call.push_back(callMs);
                tls.push_back(tlsMs);
                callCpu.push_back(callCpuMs);
                tlsCpu.push_back(tlsCpuMs);
            }
        }
        std::printf("(a) Verfiy per connection: median %.3f ms (client CPU %.3f ms); bare TLS connect+handshake+close: "
                    "median %.3f ms (client CPU %.3f ms); ratio %.2fx wall, %.2fx client CPU (goal <= 1.3x)\n",
                    median(call), median(callCpu), median(tls), median(tlsCpu), median(call) / median(tls),
                    median(callCpu) / median(tlsCpu));
    }

    // (b) ListPrinter of 10,000 printers
    {
        cloudprinttest::ReferenceServer server(certs);
        server.generatePrinters(printerCount);
        if (!server.start()) {
            std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
            return 1;
        }
        const std::string reply = listReplyBytes(printerCount);
        CloudPrintRPCClient client(server.url());
        // Only a correct listing is worth timing.
        if (!sameRecords(client.ListPrinter(auth), printerCount)) {
            std::fprintf(stderr, "listing differs from the server's records\n");
            return 1;
        }
        std::vector<double> call, base, callPeak, basePeak, callCpu, baseCpu;
        for (int i = 0; i < listRounds + 2; ++i) {
            heap::resetPeak();
            long before = heap::live;
            auto start = Clock::now();
            double cpu = cpuMs();
            const size_t listed = client.ListPrinter(auth).size();
            const double callMs = msSince(start);
            const double callCpuMs = cpuMs() - cpu;
            const double callHeap = double(heap::peak - before) / (1024 * 1024);

            heap::resetPeak();
            before = heap::live;
            start = Clock::now();
            cpu = cpuMs();
            const bool shook = bare.handshake(server.port());
            const size_t decoded = decodeReply(reply);
            const double baseMs = msSince(start);
            const double baseCpuMs = cpuMs() - cpu;
            const double baseHeap = double(heap::peak - before) / (1024 * 1024);
            if (listed != size_t(printerCount) || decoded != size_t(printerCount) || !shook) {
                std::fprintf(stderr, "listing failed\n");
                return 1;
            }
            if (i >= 2) {
                call.push_back(callMs);
                base.push_back(baseMs);
                callPeak.push_back(callHeap);
                basePeak.push_back(baseHeap);
                callCpu.push_back(callCpuMs);
                baseCpu.push_back(baseCpuMs);
            }
        }
        std::printf("(b) ListPrinter %d printers (%.1f MiB reply): median %.2f ms (client CPU %.2f ms), peak heap "
                    "%.1f MiB; bare TLS + decode: median %.2f ms (CPU %.2f ms), peak heap %.1f MiB; ratio %.2fx wall, "
                    "%.2fx client CPU, %.2fx memory (goal <= 1.5x)\n",
                    printerCount, double(reply.size()) / (1024 * 1024), median(call), median(callCpu), median(callPeak),
                    median(base), median(baseCpu), median(basePeak), median(call) / median(base),
                    median(callCpu) / median(baseCpu), median(callPeak) / median(basePeak));
    }
    return 0;
}
