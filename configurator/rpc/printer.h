#pragma once

#include "Print_types.h"

#include <QString>

// The configurator's record of a server printer: the server's record, with
// Addr holding the device URI of the local queue that installs it.
class Printer : public cloudprint::Printer
{
public:
    enum PrinterStatus {
        Idle = 0,
        Busy = 1,
        Error = 2,
        Offline = 4,
    };

    Printer() = default;
    explicit Printer(const cloudprint::Printer &record);
    explicit Printer(cloudprint::Printer &&record);

    // Both decided by the lowest set status flag; no flag means idle.
    PrinterStatus statusLevel() const;
    QString statusText() const;
};
