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
    using P = cloudprint::Printer;
    static const std::pair<const char *, std::string P::*> texts[] = {
        {"ID", &P::ID}, {"ServerName", &P::ServerName}, {"ShareName", &P::ShareName}, {"PortName", &P::PortName},
        {"Addr", &P::Addr}, {"DriverName", &P::DriverName}, {"Comment", &P::Comment}, {"Location", &P::Location},
        {"SepFile", &P::SepFile}, {"PrintProcessor", &P::PrintProcessor}, {"Datatype", &P::Datatype},
        {"Parameters", &P::Parameters}};
    static const std::pair<const char *, int32_t P::*> numbers[] = {
        {"Attributes", &P::Attributes}, {"Priority", &P::Priority}, {"DefaultPriority", &P::DefaultPriority},
        {"Status", &P::Status}, {"cJobs", &P::cJobs}, {"AveragePPM", &P::AveragePPM}};
    P p;
    for (const auto &[key, member] : texts)
        p.*member = text(json.value(QLatin1String(key)));
    for (const auto &[key, member] : numbers)
        p.*member = json.value(QLatin1String(key)).toInt();
    return p;
}

bool parseFault(const QString &method, const QJsonObject &json, Fault *fault, QString *error)
{
    static const QHash<QString, Fault::Mode> modes = {
        {QStringLiteral("exception"), Fault::Exception}, {QStringLiteral("noResult"), Fault::NoResult},
        {QStringLiteral("stall"), Fault::Stall}, {QStringLiteral("closeMidReply"), Fault::CloseMidReply},
        {QStringLiteral("raw"), Fault::Raw}, {QStringLiteral("slow"), Fault::Slow},
    };
    const QString mode = json.value(QStringLiteral("mode")).toString();
    if (!modes.contains(mode)) {
        *error = QStringLiteral("unknown fault mode '%1' for %2").arg(mode, method);
        return false;
    }
    fault->mode = modes.value(mode);
    fault->code = json.value(QStringLiteral("code")).toInt();
    fault->description = text(json.value(QStringLiteral("description")));
    fault->bytes = QByteArray::fromHex(json.value(QStringLiteral("hex")).toString().toLatin1()).toStdString();
    fault->delayMs = json.value(QStringLiteral("delayMs")).toInt();
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
