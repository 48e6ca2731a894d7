#pragma once

#include "frame.h"
#include "printer.h"

#include <QObject>
#include <QString>

class QLabel;
class QThread;

namespace toolkit {
class IconButton;
class Label;
class Spinner;
} // namespace toolkit

namespace PrinterWidgetInnter {

// Installs one server printer as a local queue: fetches its driver
// description, compiles the PPD and creates the queue. Lives on the row's
// worker thread; every run reports exactly one result.
class Worker : public QObject
{
    Q_OBJECT

public:
    explicit Worker(const cloudprint::Printer &printer, QObject *parent = nullptr);

signals:
    // 0 installed, 1 not installed.
    void addPrinterFinish(int result);

public slots:
    void doAddPrinter();

private:
    int addPrinter();

    cloudprint::Printer m_printer;
    // What the installation is doing, for the log when it fails.
    const char *m_stage = "starting";
};

} // namespace PrinterWidgetInnter

// State shown for a server printer: offline when the printer's offline status
// bit or offline attribute is set, else busy while it has jobs, else idle.
Printer::PrinterStatus printerRowStatus(const cloudprint::Printer &printer);

// One row of the printer page: name, state, connection kind and one action
// button that either installs the printer or opens the printer manager.
class PrinterWidget : public toolkit::Frame
{
    Q_OBJECT

public:
    PrinterWidget(Printer &printer, bool added, QWidget *parent = nullptr);
    // Quits the worker thread and waits for it, so a rebuilt page leaves no
    // thread behind.
    ~PrinterWidget() override;

    // Switches between installed and not installed; an installation in
    // progress keeps its spinner.
    void setPrinterStatus(bool added);
    // State text and dot; a job count comes from the row's own record.
    void setStatusLabel(Printer::PrinterStatus status);
    // The same after a server poll, with the polled record's job count.
    void setStatusLabel(Printer::PrinterStatus status, int jobs);

    QString getAddr() const;
    bool containsName(const QString &text) const;
    bool isSameIpAddress(const QString &text) const;

    // Creates the worker thread and the worker.
    void setThreadWork();

signals:
    void addPrinterBegin();

public slots:
    void addPrinter();
    void finishAddPrinter(int result);
    void configPrinter();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setPicture(bool added);
    void showAdded();
    void showNotAdded();

    PrinterWidgetInnter::Worker *m_worker = nullptr;
    QThread *m_workerThread = nullptr;
    QLabel *m_iconLabel = nullptr;
    QLabel *m_statusText = nullptr;
    QLabel *m_statusDot = nullptr;
    toolkit::Label *m_addedLabel = nullptr;
    toolkit::IconButton *m_actionButton = nullptr;
    toolkit::Spinner *m_spinner = nullptr;
    Printer m_printer;
    bool m_added = false;
};
