#pragma once

#include "Print_types.h"
#include "printer.h"

#include <QListWidget>
#include <QMap>
#include <QString>

#include <string>
#include <vector>

class PrinterWidget;

// The rows of the printer page: one PrinterWidget per server printer, kept
// current against the local print system and the server's polled states,
// and filtered by a search text.
class PrinterList : public QListWidget
{
    Q_OBJECT

public:
    explicit PrinterList(QWidget *parent = nullptr);

    // Replaces every row with one row per printer, in list order; a printer
    // counts as installed when `local` has its device URI as a key.
    void rebuild(const std::vector<Printer> &printers, const QMap<QString, cloudprint::Printer> &local);

    // Marks each row installed or not by the local queues' device URIs.
    void refreshInstalled(const QMap<QString, cloudprint::Printer> &local);

    // Shows each polled printer's state on the row of the same ID.
    void applyServerStates(const std::vector<Printer> &printers);

    // Empty text: every row. A dotted address (not a plain number): the rows
    // whose connection is that address. Anything else: the rows whose name
    // contains the text in any case.
    void filter(const QString &text);

    // Shows only the rows that match `name` (byName) or `ip` (otherwise).
    void updateVisiblePrinter(const QString &name, const QString &ip, bool byName);

    // The row of the printer with this ID (the last one when IDs repeat).
    PrinterWidget *row(const std::string &id) const;
    PrinterWidget *rowAt(int index) const;

private:
    void removeRows();

    QMap<std::string, PrinterWidget *> m_printerMap;
};
