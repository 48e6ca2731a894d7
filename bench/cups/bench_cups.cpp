// Cost of CUPSClient::listPrinter(), which the printer list page calls every
// 2 seconds, with 1, 50 and 500 queues, against the plain cupsGetDests()
// listing measured in the same run. CPU counts both this process and cupsd,
// which does most of the work. Needs the private server of with-cupsd.sh.

#include "benchsupport.h"
#include "cupsclient.h"
#include "cupsdestlist.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTextStream>

#include <cups/cups.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include <unistd.h>

namespace {

const double kCallIntervalMs = 2000.0;

double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double cupsdCpuMs(const QByteArray &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
    if (pid.isEmpty() || !stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line.
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

bool addQueue(int index)
{
    const QByteArray name = "Bench-" + QByteArray::number(index) + "@10.0.0.5:9100";
    const QByteArray device = "tqp://10.0.0.5:9100/10.0.0.9%5CBench%20" + QByteArray::number(index);
    char uri[512];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0, "/printers/%s",
                     name.constData());
    ipp_t *request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device.constData());
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
    return cupsLastError() < IPP_STATUS_REDIRECTION_OTHER_SITE;
}

struct Figures
{
    double wallMs; // median per call
    double cpuMs;  // client + cupsd, mean per call
    int entries;
};

Figures measure(const std::function<int()> &call, const QByteArray &cupsdPid, int calls)
{
    for (int i = 0; i < 3; ++i)
        call();
    std::vector<double> walls;
    int entries = 0;
    const double cpu0 = processCpuMs() + cupsdCpuMs(cupsdPid);
    for (int i = 0; i < calls; ++i) {
        QElapsedTimer timer;
        timer.start();
        entries = call();
        walls.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double cpu = processCpuMs() + cupsdCpuMs(cupsdPid) - cpu0;
    return {bench::median(walls), cpu / calls, entries};
}

int plainListing()
{
    QMap<QString, cloudprint::Printer> printers;
    const CupsDestList dests = CupsDestList::fromCupsGetDests();
    for (cups_dest_t &dest : dests) {
        const cloudprint::Printer printer = copyCUPSDest(&dest);
        printers.insert(QString::fromLatin1(printer.Addr.data(), int(printer.Addr.size())), printer);
    }
    return printers.size();
}

int lightListing()
{
    return CUPSClient::listPrinter().size();
}

} // namespace

int main()
{
    QTextStream out(stdout);
    if (qEnvironmentVariableIsEmpty("QUORVIA_CUPSD_DIR")) {
        out << "run under testing/cups/with-cupsd.sh\n";
        return 2;
    }
    QFile pidFile(qEnvironmentVariable("QUORVIA_CUPSD_DIR") + QStringLiteral("/cupsd.pid"));
    const QByteArray cupsdPid = pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed() : QByteArray();

    out << "queues | cupsGetDests ms/call | listPrinter ms/call | time ratio | "
           "cupsGetDests CPU ms/call | listPrinter CPU ms/call | CPU ratio | "
           "listPrinter CPU share at 2 s\n";
    int queues = 0;
    for (const int target : {1, 50, 500}) {
        while (queues < target) {
            if (!addQueue(queues++)) {
                out << "adding a queue failed: " << cupsLastErrorString() << "\n";
                return 1;
            }
        }
        const int calls = target >= 500 ? 30 : 200;
        const Figures plain = measure(plainListing, cupsdPid, calls);
        const Figures light = measure(lightListing, cupsdPid, calls);
        if (plain.entries != light.entries || light.entries != target) {
            out << "listings differ: " << plain.entries << " / " << light.entries << "\n";
            return 1;
        }
        out << target << " | " << QString::number(plain.wallMs, 'f', 2) << " | "
            << QString::number(light.wallMs, 'f', 2) << " | " << QString::number(light.wallMs / plain.wallMs, 'f', 3)
            << " | " << QString::number(plain.cpuMs, 'f', 2) << " | " << QString::number(light.cpuMs, 'f', 2) << " | "
            << QString::number(light.cpuMs / plain.cpuMs, 'f', 3) << " | "
            << QString::number(100.0 * light.cpuMs / kCallIntervalMs, 'f', 3) << " %\n";
        out.flush();
    }
    return 0;
}
