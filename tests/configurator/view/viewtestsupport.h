#pragma once

#include "config.h"
#include "configdialog.h"
#include "cupstestsupport.h"
#include "lineedit.h"
#include "printer.h"
#include "printerlist.h"
#include "printerport.h"
#include "printerwidget.h"
#include "referenceserver.h"
#include "verifyworker.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <functional>
#include <memory>

using cloudprinttest::ReferenceServer;
using cloudprinttest::TestCertificates;

// How long a verification may take: the worker waits a second before it starts.
inline constexpr int kVerifyTimeoutMs = 20000;
inline const QString kCode = QStringLiteral("page-code");
inline const QString kLaser = QStringLiteral("192.168.1.20\\HP LaserJet");
inline const QString kCanon = QStringLiteral("192.168.1.21\\Canon iR");
inline const QString kOffice = QStringLiteral("Office hp color");
inline const QString kLabel = QStringLiteral("Label printer");
inline const QString kSeven = QStringLiteral("Printer 7");

// A server printer record as the RPC client hands it on.
inline Printer makePrinter(const QString &id, const QString &portName = QString())
{
    return Printer(printerRecord(id, portName));
}

// Records a server in the user's server list, as a verification does.
void saveServer(const QString &address, const QString &code, const QDateTime &lastUsed = QDateTime::currentDateTime());

// A driver description that ppdc compiles into a PPD of this model.
QString driverText(const QString &model);

// Registers the rows' pictures and icons, trusts the certificates' CA and
// keeps windows from starting the agent; false when the certificates failed.
bool initViewTests(const TestCertificates &certificates);

// Threads of this process, from the kernel's view.
int threadCount();

// The names of the rows a search leaves visible.
QStringList visibleNames(const PrinterList &list);

// Runs `step` every few milliseconds while `context` lives, also inside
// modal loops that the test starts.
void every(QObject *context, const std::function<void()> &step);

// Reads what a printer row shows.
struct RowProbe
{
    const PrinterWidget &row;

    // "nameLabel", "statusText", "connectionLabel"
    QString text(const char *label) const { return row.findChild<QLabel *>(QLatin1String(label))->text(); }
    // The status text, the colour of the status dot and the connection, as
    // "Printer is idle, green, Local connection".
    QString look() const;
    // "(Added)" shown
    bool isAdded() const { return !row.findChild<QWidget *>(QStringLiteral("addedLabel"))->isHidden(); }
    // The picture differs from that of the same printer not installed.
    bool hasCheckMark() const;
    QAbstractButton *button() const { return row.findChild<QAbstractButton *>(QStringLiteral("actionButton")); }
    QWidget *spinner() const { return row.findChild<QWidget *>(QStringLiteral("rowSpinner")); }
};

// A server with sample printers, in all their states (the Canon has jobs
// from the second listing on, Printer 7 more from the third), that accepts
// kCode; windows built next reach
// it through the cloud port. `configure` runs before it starts. Null when it
// did not start.
std::unique_ptr<ReferenceServer> startServer(const TestCertificates &certificates,
                                             const std::function<void(ReferenceServer &)> &configure = {},
                                             bool withPrinters = true);

// The main window and the parts of it that a user works with.
struct Window
{
    std::unique_ptr<ConfiguratorWindow> window = std::make_unique<ConfiguratorWindow>();
    // Verification results, each recorded once the window has handled it.
    QList<int> results;

    Window();
    template<typename T = toolkit::LineEdit>
    T *part(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    int page() const { return window->findChild<QStackedWidget *>()->currentIndex(); }
    PrinterList *list() const { return part<PrinterList>("printerList"); }
    RowProbe row(const QString &id) const { return RowProbe{*list()->row(id.toStdString())}; }
    void type(const char *field, const QString &text) const;
    // Types address and code as a user would and presses "Next".
    void verify(const QString &code = kCode, const QString &address = QStringLiteral("127.0.0.1"));
    QStringList search(const QString &text) const;
};
