#include "options.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

namespace {

bool fail(QString *error, const QString &text)
{
    *error = text;
    return false;
}

} // namespace

bool ServerOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reference socket print server for tests."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption listenOption(QStringLiteral("listen"), QStringLiteral("Address to listen on (127.0.0.1)."),
                                          QStringLiteral("ADDR"));
    const QCommandLineOption portsOption(QStringLiteral("ports"),
                                         QStringLiteral("Verify, file-info and file ports, 0 = any (8888,8848,8818)."),
                                         QStringLiteral("V,I,F"));
    const QCommandLineOption codeOption(QStringLiteral("code"), QStringLiteral("Accepted auth code."), QStringLiteral("CODE"));
    const QCommandLineOption printersOption(QStringLiteral("printers-file"),
                                            QStringLiteral("UTF-8 file with one printer name per line."),
                                            QStringLiteral("FILE"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Directory for received files."),
                                       QStringLiteral("DIR"));
    parser.addOptions({listenOption, portsOption, codeOption, printersOption, outOption});
    if (!parser.parse(arguments))
        return fail(error, parser.errorText());
    if (parser.isSet(help))
        parser.showHelp();

    if (parser.isSet(listenOption) && !listen.setAddress(parser.value(listenOption)))
        return fail(error, QStringLiteral("not an address: %1").arg(parser.value(listenOption)));
    if (parser.isSet(portsOption)) {
        const QStringList parts = parser.value(portsOption).split(QLatin1Char(','));
        if (parts.size() != 3)
            return fail(error, QStringLiteral("--ports takes three ports: V,I,F"));
        for (size_t i = 0; i < ports.size(); ++i) {
            bool ok = false;
            const uint port = parts.at(int(i)).toUInt(&ok);
            if (!ok || port > 65535)
                return fail(error, QStringLiteral("not a port: %1").arg(parts.at(int(i))));
            ports[i] = quint16(port);
        }
    }
    if (parser.isSet(codeOption))
        code = parser.value(codeOption);
    if (parser.isSet(printersOption)) {
        QFile file(parser.value(printersOption));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return fail(error, QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        printers = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    outDir = parser.value(outOption);
    if (outDir.isEmpty() || !QFileInfo(outDir).isDir())
        return fail(error, QStringLiteral("--out DIR must name an existing directory"));
    return true;
}
