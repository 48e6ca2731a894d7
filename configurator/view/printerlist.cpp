#include "printerlist.h"

#include "configuratorlog.h"
#include "printerwidget.h"

#include <QHostAddress>

PrinterList::PrinterList(QWidget *parent)
    : QListWidget(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    setFlow(QListView::TopToBottom);
    setMovement(QListView::Static);
    setViewMode(QListView::ListMode);
    setSpacing(5);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::NoSelection);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
}

void PrinterList::removeRows()
{
    // Rows are deleted right here rather than later by the view, so that
    // their worker threads end before the new rows exist.
    m_printerMap.clear();
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem *entry = item(i);
        QWidget *widget = itemWidget(entry);
        removeItemWidget(entry);
        delete widget;
    }
    clear();
}

void PrinterList::rebuild(const std::vector<Printer> &printers, const QMap<QString, cloudprint::Printer> &local)
{
    setUpdatesEnabled(false);
    removeRows();
    // Every item goes in before any row widget: a visible view re-places all
    // its item widgets on each inserted item, which would make a long list
    // take quadratic time.
    std::vector<PrinterWidget *> widgets;
    widgets.reserve(printers.size());
    for (const Printer &printer : printers) {
        Printer record = printer;
        const bool added = local.contains(QString::fromStdString(printer.Addr));
        auto *widget = new PrinterWidget(record, added);
        auto *entry = new QListWidgetItem;
        entry->setSizeHint(widget->size());
        addItem(entry);
        widgets.push_back(widget);
        m_printerMap.insert(printer.ID, widget);
    }
    for (int i = 0; i < int(widgets.size()); ++i)
        setItemWidget(item(i), widgets[size_t(i)]);
    // Rows placed while updates are off are painted once, as a whole, and
    // not each against all its siblings.
    doItemsLayout();
    setUpdatesEnabled(true);
}

void PrinterList::refreshInstalled(const QMap<QString, cloudprint::Printer> &local)
{
    for (int i = 0; i < count(); ++i) {
        if (auto *widget = rowAt(i))
            widget->setPrinterStatus(local.contains(widget->getAddr()));
    }
}

void PrinterList::applyServerStates(const std::vector<Printer> &printers)
{
    for (const Printer &printer : printers) {
        if (PrinterWidget *widget = row(printer.ID))
            widget->setStatusLabel(printerRowStatus(printer), printer.cJobs);
    }
}

void PrinterList::filter(const QString &text)
{
    if (text.isEmpty()) {
        for (int i = 0; i < count(); ++i)
            item(i)->setHidden(false);
        return;
    }
    bool isNumber = false;
    text.toLongLong(&isNumber, 10);
    // A plain number would pass as an address too; it is taken as a name.
    if (QHostAddress().setAddress(text) && !isNumber)
        updateVisiblePrinter(QString(), text, false);
    else
        updateVisiblePrinter(text, QString(), true);
}

void PrinterList::updateVisiblePrinter(const QString &name, const QString &ip, bool byName)
{
    for (int i = 0; i < count(); ++i) {
        const auto *widget = dynamic_cast<PrinterWidget *>(itemWidget(item(i)));
        if (!widget) {
            qCWarning(lcConfigurator) << "dynamic_cast item to PrinterWidget failed";
            return;
        }
        item(i)->setHidden(byName ? !widget->containsName(name) : !widget->isSameIpAddress(ip));
    }
}

PrinterWidget *PrinterList::row(const std::string &id) const
{
    return m_printerMap.value(id);
}

PrinterWidget *PrinterList::rowAt(int index) const
{
    return qobject_cast<PrinterWidget *>(itemWidget(item(index)));
}
