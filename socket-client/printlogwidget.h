#pragma once

#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

class GetLogThread;
class QStandardItemModel;
namespace Ui {
class PrintLogWidget;
}

// The job log, newest first. Rows are filled from the scroll position on,
// so a long log costs only the rows that are looked at.
class PrintLogWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PrintLogWidget(QWidget *parent = nullptr);
    ~PrintLogWidget() override;

    void fillTableView();

    static QString stateText(int state);
    // The two menu entries' enabled states for a job in this state.
    static bool canCancel(int state);
    static bool canPrioritize(int state);

public slots:
    void recvLogList(const QVector<QStringList> &jobs);
    void valueChangedSlot(int value);
    void rightClickedSlot();

signals:
    void cancelPrintingActionSignal(const QString &command);
    void priorityPrintingActionSignal(const QString &command);

private:
    void fillRow(int row);
    void setColumnWidths();

    std::unique_ptr<Ui::PrintLogWidget> ui;
    QStandardItemModel *m_model;
    std::unique_ptr<GetLogThread> m_reader;
    QVector<QStringList> m_jobs;
    QStringList m_stateTexts;
};
