#include "serverconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

std::string text(const QJsonValue &value)
{
    return value.toString().toStdString();
}

QString resolved(const QDir &base, const QString &path)
{
    return path.isEmpty() ? path : QDir::cleanPath(base.absoluteFilePath(path));
}

cloudprint::Printer printerRecord(const QJsonObject &json)
{
    cloudprint::Printer p;
    p.__set_ID(text(json.value(QStringLiteral("ID"))));
    p.__set_ServerName(text(json.value(QStringLiteral("ServerName"))));
    p.__set_ShareName(text(json.value(QStringLiteral("ShareName"))));
    p.__set_PortName(text(json.value(QStringLiteral("PortName"))));
    p.__set_Addr(text(json.value(QStringLiteral("Addr"))));
    p.__set_DriverName(text(json.value(QStringLiteral("DriverName"))));
    p.__set_Comment(text(json.value(QStringLiteral("Comment"))));
    p.__set_Location(text(json.value(QStringLiteral("Location"))));
    p.__set_SepFile(text(json.value(QStringLiteral("SepFile"))));
    p.__set_PrintProcessor(text(json.value(QStringLiteral("PrintProcessor"))));
    p.__set_Datatype(text(json.value(QStringLiteral("Datatype"))));
    p.__set_Parameters(text(json.value(QStringLiteral("Parameters"))));
    p.__set_Attributes(json.value(QStringLiteral("Attributes")).toInt());
    p.__set_Priority(json.value(QStringLiteral("Priority")).toInt());
    p.__set_DefaultPriority(json.value(QStringLiteral("DefaultPriority")).toInt());
    p.__set_Status(json.value(QStringLiteral("Status")).toInt());
    p.__set_cJobs(json.value(QStringLiteral("cJobs")).toInt());
    p.__set_AveragePPM(json.value(QStringLiteral("AveragePPM")).toInt());
    return p;
}

bool parseFault(const QString &method, const QJsonObject &json, Fault *fault, QString *error)
{
    static const QHash<QString, Fault::Mode> modes = {
        {QStringLiteral("exception"), Fault::Exception},   {QStringLiteral("noResult"), Fault::NoResult},
        {QStringLiteral("slow"), Fault::Slow},             {QStringLiteral("stall"), Fault::Stall},
        {QStringLiteral("closeMidReply"), Fault::CloseMidReply}, {QStringLiteral("oversized"), Fault::Oversized},
        {QStringLiteral("raw"), Fault::Raw},
    };
    const QString mode = json.value(QStringLiteral("mode")).toString();
    if (!modes.contains(mode)) {
        *error = QStringLiteral("unknown fault mode '%1' for %2").arg(mode, method);
        return false;
    }
    fault->mode = modes.value(mode);
    fault->code = json.value(QStringLiteral("code")).toInt();
    fault->description = text(json.value(QStringLiteral("description")));
    fault->delayMs = json.value(QStringLiteral("delayMs")).toInt();
    fault->length = qint64(json.value(QStringLiteral("length")).toDouble(double(0x7ffffff0)));
    fault->bytes = QByteArray::fromHex(json.value(QStringLiteral("hex")).toString().toLatin1()).toStdString();
    fault->remaining = json.value(QStringLiteral("count")).toInt(-1);
    return true;
}

} // namespace

cloudprint::Printer samplePrinter(int index, int commentBytes)
{
    const std::string number = std::to_string(index);
    const std::string host = "192.168." + std::to_string(index / 250 % 250) + "." + std::to_string(index % 250 + 1);
    cloudprint::Printer p;
    p.__set_ID(host + "\\Printer " + number);
    p.__set_ServerName("print-server-01");
    p.__set_ShareName("Printer " + number);
    p.__set_PortName("IP_" + host);
    p.__set_Addr(host);
    p.__set_DriverName("Generic PostScript Printer");
    p.__set_Comment(std::string(size_t(commentBytes), 'c'));
    p.__set_Location("Building A, floor " + std::to_string(index % 7));
    p.__set_SepFile("");
    p.__set_PrintProcessor("winprint");
    p.__set_Datatype("RAW");
    p.__set_Parameters("");
    p.__set_Attributes(0x240);
    p.__set_Priority(1);
    p.__set_DefaultPriority(1);
    p.__set_Status(0);
    p.__set_cJobs(index % 3);
    p.__set_AveragePPM(30);
    return p;
}

bool ServerConfig::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString());
        return false;
    }
    const QJsonObject root = doc.object();
    const QDir base = QFileInfo(path).absoluteDir();

    listen = root.value(QStringLiteral("listen")).toString(listen);
    port = root.value(QStringLiteral("port")).toInt(0);
    portFile = resolved(base, root.value(QStringLiteral("portFile")).toString());
    certificate = resolved(base, root.value(QStringLiteral("certificate")).toString());
    key = resolved(base, root.value(QStringLiteral("key")).toString());
    if (certificate.isEmpty() || key.isEmpty()) {
        *error = QStringLiteral("certificate and key are required");
        return false;
    }
    for (const QJsonValue &code : root.value(QStringLiteral("codes")).toArray())
        codes.push_back(text(code));
    version = text(root.value(QStringLiteral("version")));
    defaultDriver = text(root.value(QStringLiteral("defaultDriver")));

    for (const QJsonValue &value : root.value(QStringLiteral("printers")).toArray()) {
        const QJsonObject json = value.toObject();
        ServerPrinter printer;
        printer.record = printerRecord(json);
        for (const QJsonValue &count : json.value(QStringLiteral("cJobsSequence")).toArray())
            printer.jobCounts.push_back(count.toInt());
        printer.driver = text(json.value(QStringLiteral("driver")));
        printers.push_back(std::move(printer));
    }
    const QJsonObject generate = root.value(QStringLiteral("generatePrinters")).toObject();
    const int count = generate.value(QStringLiteral("count")).toInt();
    const int commentBytes = generate.value(QStringLiteral("commentBytes")).toInt();
    for (int i = 0; i < count; ++i)
        printers.push_back(ServerPrinter{samplePrinter(i, commentBytes), {}, {}});

    const QJsonObject faultsJson = root.value(QStringLiteral("faults")).toObject();
    for (auto it = faultsJson.begin(); it != faultsJson.end(); ++it) {
        Fault fault;
        if (!parseFault(it.key(), it.value().toObject(), &fault, error))
            return false;
        faults.insert(it.key(), fault);
    }
    return true;
}
