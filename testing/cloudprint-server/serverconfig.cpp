#include "serverconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

cloudprint::Printer printerRecord(const QJsonObject &json)
{
    using P = cloudprint::Printer;
    // The fields the configurator or the demo configuration use.
    static const std::pair<const char *, std::string P::*> texts[] = {
        {"ID", &P::ID},
        {"ServerName", &P::ServerName},
        {"ShareName", &P::ShareName},
        {"PortName", &P::PortName},
        {"DriverName", &P::DriverName},
        {"Location", &P::Location},
    };
    static const std::pair<const char *, int32_t P::*> numbers[] = {
        {"Attributes", &P::Attributes}, {"Status", &P::Status}, {"cJobs", &P::cJobs}};
    P p;
    for (const auto &[key, member] : texts)
        p.*member = json.value(QLatin1String(key)).toString().toStdString();
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
    p.__set_PrintProcessor("winprint");
    p.__set_Datatype("RAW");
    p.__set_Attributes(0x240);
    p.__set_Priority(1);
    p.__set_DefaultPriority(1);
    p.__set_cJobs(index % 3);
    p.__set_AveragePPM(30);
    return p;
}

bool ServerConfig::load(const QString &path, QString *error)
{
    QFile file(path);
    json = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    const QDir base = QFileInfo(path).absoluteDir();
    for (const QString &key : {QStringLiteral("certificate"), QStringLiteral("key"), QStringLiteral("portFile")}) {
        if (json.contains(key))
            json.insert(key, QDir::cleanPath(base.absoluteFilePath(json.value(key).toString())));
    }
    for (const QJsonValue &printer : json.value(QStringLiteral("printers")).toArray())
        printers.push_back(printerRecord(printer.toObject()));
    const QJsonObject generate = json.value(QStringLiteral("generatePrinters")).toObject();
    for (int i = 0; i < generate.value(QStringLiteral("count")).toInt(); ++i)
        printers.push_back(samplePrinter(i, generate.value(QStringLiteral("commentBytes")).toInt()));

    if (json.isEmpty())
        *error = QStringLiteral("%1 holds no JSON object").arg(path);
    return !json.isEmpty();
}
