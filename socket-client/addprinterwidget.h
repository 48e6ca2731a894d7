#pragma once

#include "localqueues.h"

#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

class PrintLogWidget;
namespace Ui {
class AddPrinterWidget;
}

// The printer list page: one row per server printer with its local queue
// (added or not) and the state of its jobs, and the way to the job log.
class AddPrinterWidget : public QWidget
{
    Q_OBJECT

public:
    AddPrinterWidget(const QString &ppdDir, const QString &queuePpd, QWidget *parent = nullptr);
    ~AddPrinterWidget() override;

    PrintLogWidget *printLogWidget() const { return m_logWidget.get(); }
    QWidget *listPart() const;

    static QString stateText(bool failed, bool busy);

public slots:
    void fillTableWidget(const QStringList &names);
    void onAddPrinterBtnClicked();
    void updateTableWidget();
    void updateLogWidTableView();
    void on_viewBtn_clicked();
    void loadAddPrinterWidSlot();
    void widgetMakeZero();
    // Removes the client's queues, as at quit.
    void removeClientQueues();

signals:
    void loadPrintLogWidSignal();
    void cancelPrintingActionSignal(const QString &command);
    void priorityPrintingActionSignal(const QString &command);

private:
    void buildVisibleRows();
    void buildRow(int row);
    void setRowPicture(int row, bool added);
    QString printerName(int row) const;

    std::unique_ptr<Ui::AddPrinterWidget> ui;
    std::unique_ptr<PrintLogWidget> m_logWidget;
    LocalQueues m_queues;
    // Per table row: the server's name, whether its queue is added, its state text.
    QStringList m_names;
    QVector<bool> m_added;
    QStringList m_states;
};
