// Shows the socket client's whole job on the window it really runs:
//     socket-client-demo-driver <screenshots> <spool folder> <ppd folder> <queue ppd>
// It starts the reference socket print server, saves it as a server to log
// in to automatically, opens the client's window (which logs in), adds a
// queue for the first printer through the printer table, prints a PDF to it
// with lp (through the private cupsd's stand-in backend, which spools the
// job and hands it to the window over the bus) and lets the server report
// the job printing and printed, saving the window at each step.
#include "addprinterwidget.h"
#include "clientresources.h"
#include "jobdatabase.h"
#include "mainwindow.h"
#include "socketserver.h"
#include "toolbutton.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

// A one-page PDF that says what it is.
bool writeSamplePdf(const QString &path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    if (!painter.isActive())
        return false;
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 24));
    painter.drawText(QRect(0, 0, writer.width(), writer.height() / 4), Qt::AlignCenter,
                     QStringLiteral("Olvenka demo page"));
    return painter.end();
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

int fail(const char *what)
{
    std::fprintf(stderr, "demo: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <screenshots> <spool folder> <ppd folder> <queue ppd>\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    registerClientResources();
    applyClientStyleSheet(app);
    const QString shots = QString::fromLocal8Bit(argv[1]);
    int step = 0;
    const auto save = [&](QWidget *window, const char *name) {
        QCoreApplication::processEvents();
        const QString file = QStringLiteral("%1/%2-%3.png").arg(shots).arg(++step).arg(QLatin1String(name));
        window->grab().save(file);
        std::printf("  %s\n", qPrintable(file));
    };

    sockettest::ReferenceSocketServer server;
    if (!server.start())
        return fail("the reference socket print server did not start");
    ClientSettings settings = ClientSettings::defaults();
    settings.spoolDir = QString::fromLocal8Bit(argv[2]);
    settings.ppdDir = QString::fromLocal8Bit(argv[3]);
    settings.queuePpd = QString::fromLocal8Bit(argv[4]);
    settings.verifyPort = server.verifyPort();
    settings.fileInfoPort = server.infoPort();
    settings.filePort = server.filePort();
    std::printf("reference socket print server on 127.0.0.1, ports %d %d %d\n", settings.verifyPort,
                settings.fileInfoPort, settings.filePort);

    QDir().mkpath(settings.configDir);
    JobDatabase::open(settings.databaseFile);
    JobDatabase::saveServer(QStringLiteral("127.0.0.1"), QStringLiteral("ABCDEF123456"), true, true);
    JobDatabase::close();

    MainWindow window(settings);
    window.setGeometry(initialGeometry(QGuiApplication::primaryScreen()->availableGeometry().size()));
    window.show();
    if (!waitUntil([&] { return window.width() == 850; }))
        return fail("the client did not log in");
    auto *table = window.addPrinterWidget()->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    window.addPrinterWidget()->updateTableWidget();
    save(&window, "logged-in");

    QTest::mouseClick(qobject_cast<ToolButton *>(table->cellWidget(0, 2)), Qt::LeftButton);
    save(&window, "queue-added");
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-h"), QStringLiteral("localhost"), QStringLiteral("-v")});
    lpstat.waitForFinished();
    std::printf("queues of the private CUPS server:\n%s", lpstat.readAllStandardOutput().constData());

    QFile pdf(QDir::temp().filePath(QStringLiteral("olvenka-demo.pdf")));
    if (!writeSamplePdf(pdf.fileName()))
        return fail("cannot write the sample PDF");
    QProcess lp;
    lp.setProcessChannelMode(QProcess::ForwardedChannels);
    lp.start(QStringLiteral("lp"),
             {QStringLiteral("-h"), QStringLiteral("localhost"), QStringLiteral("-d"), QStringLiteral("Office"),
              QStringLiteral("-t"), QStringLiteral("report.pdf"), pdf.fileName()});
    lp.waitForFinished();
    const QStringList received = server.waitFor(QStringLiteral("received"), 60000);
    pdf.remove();
    if (received.isEmpty())
        return fail("the job did not reach the server");
    std::printf("the server received job %s: %s bytes\n", qPrintable(received.value(0)), qPrintable(received.value(1)));
    if (!waitUntil([] { return !JobDatabase::jobs().isEmpty(); }))
        return fail("the job has no row");
    const QString pdfName = JobDatabase::jobs().constFirst().constFirst();

    window.addPrinterWidget()->findChild<QPushButton *>(QStringLiteral("viewBtn"))->click();
    save(&window, "print-waiting");
    for (const auto &[code, state, name] : {std::tuple{13, 1, "printing"}, {11, 0, "completed"}}) {
        server.command(QStringLiteral("status %1 %2").arg(code).arg(pdfName));
        if (!waitUntil([&, state = state] { return JobDatabase::jobState(pdfName) == state; }))
            return fail("the job's state did not follow the server");
        save(&window, name);
    }
    std::printf("job %s: Print waiting, Printing, Completed\n", qPrintable(pdfName));
    window.quitAppSlot();
    return 0;
}
