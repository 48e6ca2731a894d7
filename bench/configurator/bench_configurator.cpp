// Cost of the printer page for a large server, against the reference server
// and a private cupsd, each next to a baseline measured in the same run:
//  (a) building the page for 1,000 printers: time from listPrinterFinish(0)
//      to the page shown and painted, threads and resident memory; against
//      the same page for 10 printers, and against starting one idle thread
//      per row;                                             goal < 1 s
//  (b) one local refresh (every 2 s) with 1,000 rows and 500 local queues,
//      in the steady state and when half of the rows change; against the
//      CUPS query alone;                                    goal < 20 ms
// Usage: bench_configurator   (as root: it runs a private cupsd; scripts/bench.sh)
#include "benchsupport.h"
#include "cloudprintclient.h"
#include "config.h"
#include "configdialog.h"
#include "cupsclient.h"
#include "printerport.h"
#include "referenceserver.h"
#include "testcertificates.h"
#include "verifyworker.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

using bench::median;

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

namespace {

// A number from /proc/self/status, e.g. "Threads" or "VmRSS" (kB).
long procStatus(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(key) + ':'))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int openFiles()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

void settle()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// A private cupsd for the run, started and stopped by the project's scripts.
class PrivateCups
{
public:
    bool start()
    {
        QProcess script;
        script.start(QStringLiteral(QUORVIA_START_CUPSD), QStringList());
        if (!script.waitForFinished(30000) || script.exitCode() != 0)
            return false;
        for (const QByteArray &line : script.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.mid(7).split('=');
            if (!line.startsWith("export ") || parts.size() != 2)
                continue;
            QByteArray value = parts.at(1);
            value.replace('\'', "");
            qputenv(parts.at(0).constData(), value);
            if (parts.at(0) == "QUORVIA_CUPSD_DIR")
                m_dir = QString::fromLocal8Bit(value);
        }
        return !m_dir.isEmpty();
    }

    ~PrivateCups()
    {
        if (!m_dir.isEmpty())
            QProcess::execute(QStringLiteral(QUORVIA_STOP_CUPSD), {m_dir});
    }

private:
    QString m_dir;
};

// Runs lpadmin for every argument list, a few at a time.
bool runLpadmin(const std::vector<QStringList> &calls)
{
    constexpr size_t parallel = 4;
    std::vector<std::unique_ptr<QProcess>> running;
    bool ok = true;
    for (size_t next = 0; next < calls.size() || !running.empty();) {
        while (next < calls.size() && running.size() < parallel) {
            running.push_back(std::make_unique<QProcess>());
            running.back()->start(QStringLiteral("/usr/sbin/lpadmin"), calls[next++]);
        }
        running.front()->waitForFinished(30000);
        ok = ok && running.front()->exitCode() == 0;
        running.erase(running.begin());
    }
    return ok;
}

struct PageCost
{
    double ms = 0;
    long threads = 0;
    long rssKb = 0;
};

// Opens a window for the server, verifies through it and times
// listPrinterFinish(0) to the page shown; null when the verification failed.
std::unique_ptr<ConfiguratorWindow> buildPage(const ReferenceServer &server, PageCost *cost)
{
    // The window takes the cloud port from the port file when it is built.
    printerport::SetCloudPrintPort(server.port());
    auto window = std::make_unique<ConfiguratorWindow>();
    window->show();
    settle();

    std::atomic<qint64> listedAt{0};
    std::atomic<int> result{-1};
    QElapsedTimer clock;
    clock.start();
    QObject::connect(
        window->worker(), &ConfiguratorWindowInnter::Worker::listPrinterFinish, window->worker(),
        [&](int code) {
            listedAt = clock.nsecsElapsed();
            result = code;
        },
        Qt::DirectConnection);

    const long rssBefore = procStatus("VmRSS");
    const long threadsBefore = procStatus("Threads");
    window->findChild<QLineEdit *>(QStringLiteral("ipEdit"))->setText(QStringLiteral("127.0.0.1"));
    window->findChild<QLineEdit *>(QStringLiteral("authCodeEdit"))->setText(QStringLiteral("bench"));
    window->findChild<QPushButton *>(QStringLiteral("nextButton"))->click();
    auto *pages = window->findChild<QStackedWidget *>();
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired() && (result < 0 || (result == 0 && pages->currentIndex() != 1)))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (result != 0 || pages->currentIndex() != 1)
        return nullptr;
    settle();
    window->repaint();
    cost->ms = double(clock.nsecsElapsed() - listedAt) / 1e6;
    cost->threads = procStatus("Threads") - threadsBefore;
    cost->rssKb = procStatus("VmRSS") - rssBefore;
    QObject::disconnect(window->worker(), nullptr, window->worker(), nullptr);
    return window;
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QLoggingCategory::setFilterRules(QStringLiteral("quorvia.*=false\nqt.*=false"));

    PrivateCups cups;
    if (!cups.start()) {
        std::fprintf(stderr, "cannot start a private cupsd (run as root)\n");
        return 1;
    }
    QApplication app(argc, argv);
    TestCertificates certificates;
    if (!certificates.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(certificates.errorString()));
        return 1;
    }
    CloudPrintRPCClient::setTrustedCaFileForTesting(certificates.caFile());
    ConfiguratorWindow::setAgentPathForTesting(QString());
    printerport::ConfigPrinterPort();

    ReferenceServer small(certificates);
    small.generatePrinters(10);
    ReferenceServer large(certificates);
    large.generatePrinters(1000);
    for (ReferenceServer *server : {&small, &large})
        server->setVersion(QStringLiteral("1.2.0"));
    if (!small.start() || !large.start()) {
        std::fprintf(stderr, "reference server: %s %s\n", qPrintable(small.errorString()),
                     qPrintable(large.errorString()));
        return 1;
    }

    std::printf("(a) printer page for a server with 1,000 printers\n");
    PageCost baseline;
    PageCost page;
    if (!buildPage(small, &baseline)) {
        std::fprintf(stderr, "verification failed\n");
        return 1;
    }
    const int filesBefore = openFiles();
    const std::unique_ptr<ConfiguratorWindow> window = buildPage(large, &page);
    if (!window) {
        std::fprintf(stderr, "verification failed\n");
        return 1;
    }
    std::printf("  10 printers (baseline):  %7.1f ms\n", baseline.ms);
    std::printf("  1,000 printers:          %7.1f ms  (%.1fx the baseline; goal < 1000 ms: %s)\n", page.ms,
                page.ms / baseline.ms, page.ms < 1000 ? "met" : "MISSED");
    std::printf("  threads added:           %7ld      (rows start their worker thread on their first installation)\n",
                page.threads);
    std::printf("  resident memory added:   %7.1f MB\n", double(page.rssKb) / 1024);
    std::printf("  open files added:        %7d\n", openFiles() - filesBefore);

    {
        // One idle thread per row, as rows that start their worker at once would hold.
        const long rssBefore = procStatus("VmRSS");
        const int filesBeforeThreads = openFiles();
        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<QThread>> threads;
        for (int i = 0; i < 1000; ++i) {
            threads.push_back(std::make_unique<QThread>());
            threads.back()->start();
        }
        const double startMs = double(clock.nsecsElapsed()) / 1e6;
        QThread::msleep(200);
        std::printf("  baseline, 1,000 idle row threads: %.1f ms to start, +%.1f MB resident, +%d open files\n",
                    startMs, double(procStatus("VmRSS") - rssBefore) / 1024, openFiles() - filesBeforeThreads);
        for (auto &thread : threads) {
            thread->quit();
            thread->wait();
        }
    }

    std::printf("(b) local refresh with 1,000 rows and 500 local queues\n");
    std::vector<QStringList> add;
    const std::vector<Printer> printers = window->worker()->printers();
    for (int i = 0; i < 500; ++i) {
        // Half of them install server printers, half are other queues.
        const QString uri = i % 2 == 0 ? QString::fromStdString(printers.at(size_t(i)).Addr)
                                       : QStringLiteral("tqp://10.9.9.9:9100/other-%1").arg(i);
        add.push_back({QStringLiteral("-p"), QStringLiteral("bench-%1").arg(i), QStringLiteral("-v"), uri});
    }
    if (!runLpadmin(add)) {
        std::fprintf(stderr, "lpadmin failed\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    window->checkoutStatus();
    const double changing = double(clock.nsecsElapsed()) / 1e6;
    std::vector<double> query, refresh;
    for (int i = 0; i < 21; ++i) {
        clock.restart();
        const auto local = CUPSClient::listPrinter();
        query.push_back(double(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        window->checkoutStatus();
        refresh.push_back(double(clock.nsecsElapsed()) / 1e6);
        settle();
    }
    std::printf("  CUPS query alone (baseline): %6.2f ms (median of 21)\n", median(query));
    std::printf("  refresh, steady state:       %6.2f ms  (%.2fx the baseline; goal < 20 ms: %s)\n", median(refresh),
                median(refresh) / median(query), median(refresh) < 20 ? "met" : "MISSED");
    std::printf("  refresh, 250 rows turn added: %5.2f ms  (once)\n", changing);
    return 0;
}
