#include "protocol.h"

#include <QFileInfo>
#include <QTextCodec>

namespace protocol {

namespace {

const QString separator = QStringLiteral("##");

QByteArray joined(const QStringList &parts)
{
    return parts.join(separator).toLocal8Bit();
}

} // namespace

QStringList fields(const QString &message)
{
    return message.split(separator, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

int code(const QString &message)
{
    return message.section(separator, 0, 0).toInt();
}

int replyCode(const QByteArray &reply)
{
    return code(QString::fromUtf8(reply.constData(), int(qstrnlen(reply.constData(), uint(reply.size())))));
}

QString fromGbk(const QByteArray &bytes)
{
    static QTextCodec *const gbk = QTextCodec::codecForName("GBK");
    return gbk->toUnicode(bytes);
}

QStringList printerList(const QByteArray &reply)
{
    QStringList names = fields(fromGbk(reply));
    names.removeFirst();
    // A bare "2" leaves nothing to drop: it lists no printers.
    if (!names.isEmpty())
        names.removeLast();
    return names;
}

QByteArray verifyMessage(const QString &authCode, const QString &address)
{
    return joined({QString::number(Verify), authCode, address});
}

QByteArray fileHeader(const QString &documentName, const QString &printerName, qint64 size, const QString &jobTag,
                      const QString &mode)
{
    return joined({QString::number(FileHeader), documentName, printerName, QString::number(size), jobTag, mode});
}

QString jobCommand(Code command, const QString &printer, const QString &pdfName)
{
    return QStringList{QString::number(command), printer, pdfName}.join(separator);
}

SpooledName parseSpooledName(const QString &fileName)
{
    const QStringList parts = fileName.split(QStringLiteral("_0_"));
    SpooledName name;
    name.jobTag = parts.value(0);
    name.documentName = parts.value(1);
    name.printerName = parts.value(2).remove(QStringLiteral(".pdf"));
    return name;
}

QString pdfName(const QString &documentName, const QString &jobTag)
{
    return QFileInfo(documentName).completeBaseName() + jobTag + QStringLiteral(".pdf");
}

bool isPlainFileName(const QString &fileName)
{
    return !fileName.isEmpty() && !fileName.contains(QLatin1Char('/')) && fileName != QLatin1String(".")
           && fileName != QLatin1String("..");
}

} // namespace protocol
