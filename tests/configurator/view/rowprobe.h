#pragma once

#include "cupstestsupport.h"
#include "printer.h"

#include <QMetaType>
#include <QString>
#include <QStringList>

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

// The pictures and theme icons the rows show, as the window registers them.
void initRowResources();

// Threads of this process, from the kernel's view.
int threadCount();

// The names of the rows a search leaves visible.
QStringList visibleNames(const PrinterList &list);

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
