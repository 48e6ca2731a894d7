#pragma once

#include "configdialog.h"
#include "cupstestsupport.h"
#include "printer.h"
#include "referenceserver.h"

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class PrinterList;
class PrinterWidget;
class QAbstractButton;
class QWidget;

enum class DotColour { None, Red, Green, Grey, Other };
Q_DECLARE_METATYPE(DotColour)

// A server printer record as the RPC client hands it on.
inline Printer makePrinter(const QString &id, const QString &portName = QString())
{
    return Printer(printerRecord(id, portName));
}

// Registers the rows' pictures and icons, trusts the certificates' CA and
// keeps windows from starting the agent.
void initViewTests(const cloudprinttest::TestCertificates &certificates);

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

    QString text(const char *label) const; // "nameLabel", "statusText", "connectionLabel"
    DotColour dot() const;
    bool isAdded() const; // "(Added)" shown
    // The picture differs from that of the same printer not installed.
    bool hasCheckMark() const;
    QAbstractButton *button() const;
    QWidget *spinner() const;
};

extern const QString kCode;
extern const QString kLaser;
extern const QString kCanon;
extern const QString kOffice;
extern const QString kLabel;
extern const QString kSeven;

// A server with sample printers, in all their states (the Canon has jobs
// from the second listing on), that accepts kCode; windows built next reach it through the cloud
// port. `configure` runs before it starts. Null when it did not start.
std::unique_ptr<cloudprinttest::ReferenceServer> startServer(
    const cloudprinttest::TestCertificates &certificates,
    const std::function<void(cloudprinttest::ReferenceServer &)> &configure = {}, bool withPrinters = true);

// The main window and the parts of it that a user works with.
struct Window
{
    std::unique_ptr<ConfiguratorWindow> window = std::make_unique<ConfiguratorWindow>();
    // Verification results, each recorded once the window has handled it.
    QList<int> results;

    Window();
    template<typename T>
    T *part(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    int page() const;
    PrinterList *list() const;
    RowProbe row(const QString &id) const;
    void type(const char *field, const QString &text) const;
    // Types address and code as a user would and presses "Next".
    void verify(const QString &code = kCode, const QString &address = QStringLiteral("127.0.0.1"));
    QStringList search(const QString &text) const;
};
