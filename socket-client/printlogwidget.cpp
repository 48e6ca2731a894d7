#include "printlogwidget.h"

#include "getlogthread.h"
#include "protocol.h"
#include "ui_printlogwidget.h"

#include <QCursor>
#include <QHeaderView>
#include <QItemSelectionModel>
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

    m_model->setHorizontalHeaderLabels({QStringLiteral(" "), tr("Printer"), tr("File Name"), tr("Status"), tr("Time")});
    QTableView *view = ui->tableView;
    view->setModel(m_model);
    QHeaderView *header = view->horizontalHeader();
    header->setFixedHeight(26);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setStretchLastSection(false);
    setColumnWidths();
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

void PrintLogWidget::setColumnWidths()
{
    for (const auto &[column, width] :
         {std::pair{Number, 40}, {Printer, 250}, {FileName, 260}, {Status, 150}, {Time, 100}})
        ui->tableView->setColumnWidth(column, width);
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
    // Filled while no view watches the model: a view relays every item it is
    // told of, which made a refresh grow with the square of the jobs. The
    // scroll position stays where the user is, and rows fill from there on.
    QTableView *view = ui->tableView;
    QScrollBar *bar = view->verticalScrollBar();
    const int position = bar->sliderPosition();
    std::unique_ptr<QItemSelectionModel> detached(view->selectionModel());
    view->setModel(nullptr);
    std::unique_ptr<QItemSelectionModel> empty(view->selectionModel());

    m_jobs = jobs;
    // The texts of states -1 to 3, looked up once for all rows.
    m_stateTexts.clear();
    for (int state = -1; state <= protocol::StateCancelled; ++state)
        m_stateTexts.append(stateText(state));
    m_model->removeRows(0, m_model->rowCount());
    m_model->setRowCount(m_jobs.size());
    for (int row = qMin(position, m_jobs.size()); row < m_jobs.size(); ++row)
        fillRow(row);

    view->setModel(m_model);
    setColumnWidths();
    view->doItemsLayout();
    const QSignalBlocker blocker(bar);
    bar->setValue(position);
}

void PrintLogWidget::valueChangedSlot(int value)
{
    for (int row = value; row <= value + rowsPerScroll - 1 && row < m_jobs.size(); ++row)
        fillRow(row);
}

void PrintLogWidget::fillRow(int row)
{
    const QStringList &job = m_jobs.at(row);
    m_model->setItem(row, Number, new QStandardItem(QString::number(row + 1)));
    m_model->setItem(row, Printer, new QStandardItem(job.value(1)));
    m_model->setItem(row, FileName, new QStandardItem(job.value(2)));
    m_model->setItem(row, Status,
                     new QStandardItem(m_stateTexts.value(job.value(3).toInt() + 1, m_stateTexts.first())));
    m_model->setItem(row, Time, new QStandardItem(job.value(4)));
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
