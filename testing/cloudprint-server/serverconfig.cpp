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
    const QJsonObject root =
        file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    const auto filePath = [&root, base = QFileInfo(path).absoluteDir()](const char *key) {
        const QString name = root.value(QLatin1String(key)).toString();
        return name.isEmpty() ? name : QDir::cleanPath(base.absoluteFilePath(name));
    };
    listen = root.value(QStringLiteral("listen")).toString(QStringLiteral("127.0.0.1"));
    port = root.value(QStringLiteral("port")).toInt();
    portFile = filePath("portFile");
    certificate = filePath("certificate");
    key = filePath("key");
    for (const QJsonValue &code : root.value(QStringLiteral("codes")).toArray())
        codes.push_back(text(code));
    version = text(root.value(QStringLiteral("version")));
    defaultDriver = text(root.value(QStringLiteral("defaultDriver")));
    for (const QJsonValue &value : root.value(QStringLiteral("printers")).toArray()) {
        const QJsonObject json = value.toObject();
        ServerPrinter printer{printerRecord(json), {}, text(json.value(QStringLiteral("driver")))};
        for (const QJsonValue &count : json.value(QStringLiteral("cJobsSequence")).toArray())
            printer.jobCounts.push_back(count.toInt());
        printers.push_back(std::move(printer));
    }
    const QJsonObject generate = root.value(QStringLiteral("generatePrinters")).toObject();
    for (int i = 0; i < generate.value(QStringLiteral("count")).toInt(); ++i)
        printers.push_back({samplePrinter(i, generate.value(QStringLiteral("commentBytes")).toInt()), {}, {}});

    faults = root.value(QStringLiteral("faults")).toObject();
    // A mistyped mode would otherwise hang the call as "stall" does.
    const QStringList modes{QStringLiteral("exception"), QStringLiteral("raw"), QStringLiteral("slow"),
                            QStringLiteral("stall")};
    bool known = !root.isEmpty();
    for (const QJsonValue &fault : faults)
        known = known && modes.contains(fault.toObject().value(QStringLiteral("mode")).toString());
    if (!known)
        *error = QStringLiteral("%1: no JSON object, or an unknown fault mode").arg(path);
    return known;
}
