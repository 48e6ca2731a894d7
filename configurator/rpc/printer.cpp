#include "printer.h"

#include <QCoreApplication>

namespace {

struct StatusFlag
{
    const char *text;
    Printer::PrinterStatus level;
};

// One entry per status flag bit, lowest bit first.
const StatusFlag kStatusFlags[] = {
    {QT_TRANSLATE_NOOP("QObject", "Paused"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Unknown error"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Printer is idle"), Printer::Idle},
    {QT_TRANSLATE_NOOP("QObject", "Paper jammed"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Out of paper"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Manual feed"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Paper problem"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Offline"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Printer is idle"), Printer::Idle},
    {QT_TRANSLATE_NOOP("QObject", "Processing"), Printer::Busy},
    {QT_TRANSLATE_NOOP("QObject", "Processing"), Printer::Busy},
    {QT_TRANSLATE_NOOP("QObject", "Output bin full"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Unavailable"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Printer is idle"), Printer::Idle},
    {QT_TRANSLATE_NOOP("QObject", "Processing"), Printer::Busy},
    {QT_TRANSLATE_NOOP("QObject", "Printer is idle"), Printer::Idle},
    {QT_TRANSLATE_NOOP("QObject", "Printer is idle"), Printer::Idle},
    {QT_TRANSLATE_NOOP("QObject", "Low on toner"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "No toner"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Page punt"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "User intervention required"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Out of memory"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Door opened"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Unknown service"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Printer is idle"), Printer::Idle},
    {QT_TRANSLATE_NOOP("QObject", "Server Offline"), Printer::Error},
    {QT_TRANSLATE_NOOP("QObject", "Need update driver"), Printer::Error},
};

const StatusFlag kNoFlag = {QT_TRANSLATE_NOOP("QObject", "Printer is idle"), Printer::Idle};

const StatusFlag &decidingFlag(int32_t status)
{
    const auto bits = static_cast<uint32_t>(status);
    for (size_t bit = 0; bit < std::size(kStatusFlags); ++bit) {
        if (bits & (1u << bit))
            return kStatusFlags[bit];
    }
    return kNoFlag;
}

} // namespace

Printer::Printer(const cloudprint::Printer &record)
    : cloudprint::Printer(record)
{ }

Printer::Printer(cloudprint::Printer &&record)
    : cloudprint::Printer(std::move(record))
{ }

Printer::PrinterStatus Printer::statusLevel() const
{
    return decidingFlag(Status).level;
}

QString Printer::statusText() const
{
    return QCoreApplication::translate("QObject", decidingFlag(Status).text);
}
