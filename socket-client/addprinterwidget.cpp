#include "addprinterwidget.h"

#include "jobdatabase.h"
#include "printlogwidget.h"
#include "toolbutton.h"
#include "ui_addprinterwidget.h"

#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

enum Column { Picture, Name, Button };

const char *const scrollBarStyle =
    "QScrollBar{width:10px;padding-top:0px;padding-bottom:0px;background:transparent;border-radius:5px;}"
    "QScrollBar::handle{background-color:#D2D2D2; width:10px;border-radius:5px;min-height:50px;}"
    "QScrollBar::handle:hover{background-color:#697883;border-radius:5px;min-height:50px;}"
    "QScrollBar::handle:pressed{background-color:#8897a3;border-radius:5px;min-height:50px;}"
    "QScrollBar::sub-line{background-color:transparent;height:0px;width:0px;}"
    "QScrollBar::add-line{background-color:transparent;height:0px;width:0px;}";

QPixmap stateIcon(bool added)
{
    return QPixmap(added ? QStringLiteral(":/data/img/printer-added.png")
                         : QStringLiteral(":/data/img/printer-unadded.png"));
}

QLabel *nameLabel(QWidget *cell, int line)
{
    return cell ? cell->findChildren<QLabel *>().value(line) : nullptr;
}

} // namespace

AddPrinterWidget::AddPrinterWidget(const QString &ppdDir, const QString &queuePpd, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::AddPrinterWidget>())
    , m_logWidget(std::make_unique<PrintLogWidget>())
    , m_queues(ppdDir, queuePpd)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("border:0px;"));

    QTableWidget *table = ui->tableWidget;
    table->setColumnCount(3);
    table->horizontalHeader()->setFixedHeight(0);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(60);
    table->setColumnWidth(Picture, 32);
    table->setColumnWidth(Name, 736);
    table->setColumnWidth(Button, 32);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setShowGrid(false);
    table->setAlternatingRowColors(false);
    table->verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
    table->verticalScrollBar()->setStyleSheet(QLatin1String(scrollBarStyle));

    connect(table->verticalScrollBar(), &QScrollBar::valueChanged, this, &AddPrinterWidget::buildVisibleRows);

    connect(m_logWidget.get(), &PrintLogWidget::cancelPrintingActionSignal, this,
            &AddPrinterWidget::cancelPrintingActionSignal);
    connect(m_logWidget.get(), &PrintLogWidget::priorityPrintingActionSignal, this,
            &AddPrinterWidget::priorityPrintingActionSignal);
}

AddPrinterWidget::~AddPrinterWidget()
{
    // Whichever part is out of the layout is parentless and owned here.
    m_logWidget->setParent(nullptr);
    if (!ui->addPrinterWid->parent())
        ui->addPrinterWid->setParent(this);
}

QWidget *AddPrinterWidget::listPart() const
{
    return ui->addPrinterWid;
}

QString AddPrinterWidget::stateText(bool failed, bool busy)
{
    if (failed)
        return tr("Printer anomaly");
    return busy ? tr("Printing") : tr("Printer idle");
}

void AddPrinterWidget::fillTableWidget(const QStringList &names)
{
    const QStringList added = m_queues.removeClientQueuesExcept(names);
    m_names = names;
    m_added.clear();
    for (const QString &name : names)
        m_added.append(added.contains(name));
    m_states = QStringList();
    for (int row = 0; row < names.size(); ++row)
        m_states.append(tr("Printer idle"));

    QTableWidget *table = ui->tableWidget;
    table->clearContents();
    table->setRowCount(names.size());
    table->verticalScrollBar()->setValue(0);
    buildVisibleRows();
}

void AddPrinterWidget::buildVisibleRows()
{
    // A row's widgets are made when it first comes into view: a server with
    // a thousand printers costs the rows looked at, not a thousand rows.
    QTableWidget *table = ui->tableWidget;
    const int rowHeight = table->verticalHeader()->defaultSectionSize();
    const int first = table->verticalScrollBar()->value();
    const int last = qMin(table->rowCount() - 1, first + table->height() / rowHeight + 1);
    for (int row = first; row <= last; ++row) {
        if (!table->cellWidget(row, Name))
            buildRow(row);
    }
}

void AddPrinterWidget::buildRow(int row)
{
    QTableWidget *table = ui->tableWidget;
    const bool isAdded = m_added.at(row);

    auto *picture = new QLabel;
    picture->setFixedSize(32, 60);
    picture->setPixmap(stateIcon(isAdded));
    table->setCellWidget(row, Picture, picture);

    auto *cell = new QWidget;
    auto *lines = new QVBoxLayout(cell);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(0);
    auto *name = new QLabel(m_names.at(row));
    // Names come from the server: never read them as markup.
    name->setTextFormat(Qt::PlainText);
    name->setFixedSize(736, 30);
    name->setStyleSheet(QStringLiteral("background:transparent;border:0px;font-size:14px;color:#444444;"));
    auto *state = new QLabel(m_states.at(row));
    state->setFixedSize(736, 30);
    state->setStyleSheet(QStringLiteral("background:transparent;border:0px;font-size:12px;color:#999999;"));
    lines->addWidget(name);
    lines->addWidget(state);
    table->setCellWidget(row, Name, cell);

    auto *button = new ToolButton(isAdded ? QStringLiteral("del") : QStringLiteral("add"), 32, 60, ToolButton::Plain);
    // Showing the queue's state is no request to change it.
    button->blockSignals(true);
    button->setChecked(isAdded);
    button->blockSignals(false);
    connect(button, &ToolButton::clicked, this, &AddPrinterWidget::onAddPrinterBtnClicked);
    table->setCellWidget(row, Button, button);
}

void AddPrinterWidget::onAddPrinterBtnClicked()
{
    auto *button = qobject_cast<ToolButton *>(sender());
    if (!button)
        return;
    // The button's row, whatever its place on screen at the moment.
    QTableWidget *table = ui->tableWidget;
    int row = table->rowCount() - 1;
    while (row >= 0 && table->cellWidget(row, Button) != button)
        --row;
    const QString name = printerName(row);
    if (row < 0 || name.isEmpty())
        return;
    if (button->isChecked()) {
        button->setChecked(false);
        setRowPicture(row, false);
        LocalQueues::remove(name);
    } else {
        button->setChecked(true);
        setRowPicture(row, true);
        m_queues.add(name);
    }
    m_added[row] = button->isChecked();
}

void AddPrinterWidget::updateTableWidget()
{
    const QStringList busy = JobDatabase::busyPrinters();
    const QStringList failed = JobDatabase::failedPrinters();
    QTableWidget *table = ui->tableWidget;
    for (int row = 0; row < m_names.size(); ++row) {
        const QString &name = m_names.at(row);
        m_states[row] = stateText(failed.contains(name), busy.contains(name));
        if (QLabel *state = nameLabel(table->cellWidget(row, Name), 1))
            state->setText(m_states.at(row));
    }
}

void AddPrinterWidget::updateLogWidTableView()
{
    // A hidden view is filled when it is opened; refilling it after every
    // reply would cost a read of the whole log each time for nothing.
    if (m_logWidget->isVisible())
        m_logWidget->fillTableView();
}

void AddPrinterWidget::on_viewBtn_clicked()
{
    ui->mainLayout->removeWidget(ui->addPrinterWid);
    ui->addPrinterWid->setParent(nullptr);
    ui->mainLayout->addWidget(m_logWidget.get());
    m_logWidget->show();
    m_logWidget->fillTableView();
    emit loadPrintLogWidSignal();
}

void AddPrinterWidget::loadAddPrinterWidSlot()
{
    widgetMakeZero();
}

void AddPrinterWidget::widgetMakeZero()
{
    ui->mainLayout->removeWidget(m_logWidget.get());
    m_logWidget->setParent(nullptr);
    ui->mainLayout->addWidget(ui->addPrinterWid);
    ui->addPrinterWid->show();
}

void AddPrinterWidget::removeClientQueues()
{
    m_queues.removeClientQueuesExcept({});
}

void AddPrinterWidget::setRowPicture(int row, bool added)
{
    if (auto *picture = qobject_cast<QLabel *>(ui->tableWidget->cellWidget(row, Picture)))
        picture->setPixmap(stateIcon(added));
}

QString AddPrinterWidget::printerName(int row) const
{
    return m_names.value(row);
}
