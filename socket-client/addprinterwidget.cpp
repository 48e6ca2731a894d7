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
    return QPixmap(added ? QStringLiteral(":/data/img/printer-added.png") : QStringLiteral(":/data/img/printer-unadded.png"));
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

    QTableWidget *table = ui->tableWidget;
    table->setRowCount(names.size());
    for (int row = 0; row < names.size(); ++row) {
        const bool isAdded = added.contains(names.at(row));

        auto *picture = new QLabel;
        picture->setFixedSize(32, 60);
        table->setCellWidget(row, Picture, picture);
        setRowPicture(row, isAdded);

        auto *cell = new QWidget;
        auto *lines = new QVBoxLayout(cell);
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(0);
        auto *name = new QLabel(names.at(row));
        // Names come from the server: never read them as markup.
        name->setTextFormat(Qt::PlainText);
        name->setFixedSize(736, 30);
        name->setStyleSheet(QStringLiteral("background:transparent;border:0px;font-size:14px;color:#444444;"));
        auto *state = new QLabel(tr("Printer idle"));
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
}

void AddPrinterWidget::onAddPrinterBtnClicked()
{
    auto *button = qobject_cast<ToolButton *>(sender());
    if (!button)
        return;
    QTableWidget *table = ui->tableWidget;
    const int row = table->indexAt(button->mapTo(table->viewport(), QPoint(0, 0))).row();
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
}

void AddPrinterWidget::updateTableWidget()
{
    const QStringList busy = JobDatabase::busyPrinters();
    const QStringList failed = JobDatabase::failedPrinters();
    QTableWidget *table = ui->tableWidget;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString name = printerName(row);
        if (QLabel *state = nameLabel(table->cellWidget(row, Name), 1))
            state->setText(stateText(failed.contains(name), busy.contains(name)));
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
    const QLabel *name = nameLabel(ui->tableWidget->cellWidget(row, Name), 0);
    return name ? name->text() : QString();
}
