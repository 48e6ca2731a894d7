#include "printlogwidget.h"

#include "getlogthread.h"
#include "protocol.h"
#include "ui_printlogwidget.h"

#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QStandardItemModel>

namespace {

// Rows filled per scroll step: a page of the view.
constexpr int rowsPerScroll = 9;

const char *const scrollBarStyle =
    "QScrollBar{width:10px;padding-top:26px;padding-bottom:0px;background:transparent;border-radius:5px;}"
    "QScrollBar::handle{background-color:#D2D2D2; width:10px;border-radius:5px;min-height:50px;}"
    "QScrollBar::handle:hover{background-color:#697883;border-radius:5px;min-height:50px;}"
    "QScrollBar::handle:pressed{background-color:#8897a3;border-radius:5px;min-height:50px;}"
    "QScrollBar::sub-line{background-color:transparent;height:0px;width:0px;}"
    "QScrollBar::add-line{background-color:transparent;height:0px;width:0px;}";

enum Column { Number, Printer, FileName, Status, Time, ColumnCount };

} // namespace

PrintLogWidget::PrintLogWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::PrintLogWidget>())
    , m_model(new QStandardItemModel(0, ColumnCount, this))
    , m_reader(std::make_unique<GetLogThread>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("border:0px;"));

    m_model->setHorizontalHeaderLabels(
        {QStringLiteral(" "), tr("Printer"), tr("File Name"), tr("Status"), tr("Time")});
    QTableView *view = ui->tableView;
    view->setModel(m_model);
    QHeaderView *header = view->horizontalHeader();
    header->setFixedHeight(26);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setStretchLastSection(false);
    for (const auto &[column, width] : {std::pair{Number, 40}, {Printer, 250}, {FileName, 260}, {Status, 150}, {Time, 100}})
        view->setColumnWidth(column, width);
    view->verticalHeader()->setVisible(false);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(60);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setFocusPolicy(Qt::NoFocus);
    view->setShowGrid(false);
    view->setMouseTracking(true);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
    view->verticalScrollBar()->setStyleSheet(QLatin1String(scrollBarStyle));

    connect(m_reader.get(), &GetLogThread::sendLogList, this, &PrintLogWidget::recvLogList);
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &PrintLogWidget::valueChangedSlot);
    connect(view, &QWidget::customContextMenuRequested, this, &PrintLogWidget::rightClickedSlot);
}

PrintLogWidget::~PrintLogWidget() = default;

void PrintLogWidget::fillTableView()
{
    m_reader->run();
}

QString PrintLogWidget::stateText(int state)
{
    switch (state) {
    case protocol::StatePrinted:
        return tr("Completed");
    case protocol::StatePrinting:
        return tr("Printing");
    case protocol::StateWaiting:
        return tr("Print waiting");
    case protocol::StateCancelled:
        return tr("Cancel printing");
    default:
        return tr("Printer anomaly");
    }
}

bool PrintLogWidget::canCancel(int state)
{
    return state == protocol::StatePrinting || state == protocol::StateWaiting;
}

bool PrintLogWidget::canPrioritize(int state)
{
    return state == protocol::StateWaiting;
}

void PrintLogWidget::recvLogList(const QVector<QStringList> &jobs)
{
    // Emptying the model moves the scroll bar to the top: keep where the
    // user is, and fill from there on.
    QScrollBar *bar = ui->tableView->verticalScrollBar();
    const int position = bar->sliderPosition();
    {
        const QSignalBlocker blocker(bar);
        m_jobs = jobs;
        m_model->removeRows(0, m_model->rowCount());
        m_model->setRowCount(m_jobs.size());
        // The scroll range follows the new rows only after a layout.
        ui->tableView->doItemsLayout();
    }
    bar->setValue(position);
    for (int row = bar->value(); row < m_jobs.size(); ++row)
        fillRow(row);
}

void PrintLogWidget::valueChangedSlot(int value)
{
    for (int row = value; row <= value + rowsPerScroll - 1 && row < m_jobs.size(); ++row)
        fillRow(row);
}

void PrintLogWidget::fillRow(int row)
{
    const QStringList &job = m_jobs.at(row);
    const QStringList texts{QString::number(row + 1), job.value(1), job.value(2), stateText(job.value(3).toInt()),
                            job.value(4)};
    for (int column = 0; column < ColumnCount; ++column)
        m_model->setItem(row, column, new QStandardItem(texts.at(column)));
}

void PrintLogWidget::rightClickedSlot()
{
    const int row = ui->tableView->currentIndex().row();
    // Without a current row there is no job to act on: both entries stay off.
    const bool hasJob = row >= 0 && row < m_jobs.size();
    const QStringList job = hasJob ? m_jobs.at(row) : QStringList();
    const int state = job.value(3).toInt();

    QMenu menu(this);
    QAction *cancel = menu.addAction(tr("Cancel printing"));
    QAction *priority = menu.addAction(tr("Priority printing"));
    cancel->setEnabled(hasJob && canCancel(state));
    priority->setEnabled(hasJob && canPrioritize(state));

    const QAction *chosen = menu.exec(QCursor::pos());
    if (!chosen)
        return;
    const QString printer = job.value(1);
    const QString pdfName = job.value(0);
    if (chosen == cancel)
        emit cancelPrintingActionSignal(protocol::jobCommand(protocol::CancelJob, printer, pdfName));
    else if (chosen == priority)
        emit priorityPrintingActionSignal(protocol::jobCommand(protocol::PrioritizeJob, printer, pdfName));
}
