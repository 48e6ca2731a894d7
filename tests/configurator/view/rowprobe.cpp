#include "rowprobe.h"

#include "printerlist.h"
#include "printerwidget.h"

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QLabel>

namespace {

QImage labelImage(const QWidget &row, const char *name)
{
    const auto *label = row.findChild<QLabel *>(QLatin1String(name));
    return label ? label->pixmap(Qt::ReturnByValue).toImage() : QImage();
}

} // namespace

void initRowResources()
{
    Q_INIT_RESOURCE(confighelper);
    Q_INIT_RESOURCE(theme_icons);
}

int threadCount()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

QStringList visibleNames(const PrinterList &list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        if (!list.item(i)->isHidden())
            names << RowProbe{*list.rowAt(i)}.text("nameLabel");
    }
    return names;
}

QString RowProbe::text(const char *label) const
{
    const auto *widget = row.findChild<QLabel *>(QLatin1String(label));
    return widget ? widget->text() : QStringLiteral("<no %1>").arg(QLatin1String(label));
}

DotColour RowProbe::dot() const
{
    const QImage image = labelImage(row, "statusDot");
    if (image.isNull())
        return DotColour::None;
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    if (c.alpha() < 128)
        return DotColour::None;
    if (c.red() > c.green() + 40 && c.red() > c.blue() + 40)
        return DotColour::Red;
    if (c.green() > c.red() + 40 && c.green() > c.blue())
        return DotColour::Green;
    if (qAbs(c.red() - c.green()) < 30 && qAbs(c.green() - c.blue()) < 30)
        return DotColour::Grey;
    return DotColour::Other;
}

bool RowProbe::isAdded() const
{
    const auto *added = row.findChild<QWidget *>(QStringLiteral("addedLabel"));
    return added && !added->isHidden();
}

bool RowProbe::hasCheckMark() const
{
    Printer printer = makePrinter(text("nameLabel"));
    const PrinterWidget plain(printer, false);
    const QImage image = labelImage(row, "iconLabel");
    return !image.isNull() && image != labelImage(plain, "iconLabel");
}

QAbstractButton *RowProbe::button() const
{
    return row.findChild<QAbstractButton *>(QStringLiteral("actionButton"));
}

QWidget *RowProbe::spinner() const
{
    return row.findChild<QWidget *>(QStringLiteral("rowSpinner"));
}
