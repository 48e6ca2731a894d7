#include "jobdatabase.h"

#include "clientlog.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Runs a statement on the default connection with its values bound in order.
QSqlQuery run(const QString &statement, const QVariantList &values = {}, bool *ok = nullptr)
{
    QSqlQuery query;
    // Every reader walks its rows once.
    query.setForwardOnly(true);
    bool done = query.prepare(statement);
    if (done) {
        for (const QVariant &value : values)
            query.addBindValue(value);
        done = query.exec();
    }
    if (ok)
        *ok = done;
    return query;
}

void logFailure(const char *text, const QSqlQuery &query)
{
    qCDebug(lcDatabase).noquote() << QLatin1String(text) << query.lastError().text();
}

void createTable(const QString &statement)
{
    bool ok = false;
    const QSqlQuery query = run(statement, {}, &ok);
    if (ok)
        qCDebug(lcDatabase) << "Table created!";
    else
        logFailure("Error: Fail to create table.", query);
}

QStringList printersOf(const QString &statement, const char *failureText)
{
    bool ok = false;
    QSqlQuery query = run(statement, {}, &ok);
    QStringList printers;
    if (!ok) {
        logFailure(failureText, query);
        return printers;
    }
    while (query.next())
        printers << query.value(1).toString();
    return printers;
}

} // namespace

void JobDatabase::open(const QString &file)
{
    QSqlDatabase db = QSqlDatabase::contains()
                          ? QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(file);
    if (db.open())
        qCDebug(lcDatabase) << "Succeed to connect database.";
    else
        qCDebug(lcDatabase).noquote() << "Error: Failed to connect database." << db.lastError().text();

    createTable(QStringLiteral("create table if not exists printerinfo(%1,%2,%3,%4,%5)")
                    .arg(QStringLiteral("pdfname char primary key"), QStringLiteral("printer char"),
                         QStringLiteral("filename char"), QStringLiteral("state int"), QStringLiteral("time char")));
    createTable(
        QStringLiteral("create table if not exists confInfo(%1,%2,%3)")
            .arg(QStringLiteral("ip char primary key"), QStringLiteral("code char"), QStringLiteral("login int")));
}

void JobDatabase::close()
{
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

QVector<JobDatabase::Server> JobDatabase::servers()
{
    bool ok = false;
    QSqlQuery query = run(QStringLiteral("select * from confInfo"), {}, &ok);
    QVector<Server> result;
    if (!ok) {
        logFailure("select failed!", query);
        return result;
    }
    while (query.next())
        result.append({query.value(0).toString(), query.value(1).toString(), query.value(2).toInt()});
    return result;
}

void JobDatabase::removeServer(const QString &ip)
{
    run(QStringLiteral("delete from confInfo where ip=?"), {ip});
}

std::optional<JobDatabase::Server> JobDatabase::server(const QString &ip)
{
    bool ok = false;
    QSqlQuery query = run(QStringLiteral("select code,login from confInfo where ip=?"), {ip}, &ok);
    if (!ok || !query.next())
        return std::nullopt;
    return Server{ip, query.value(0).toString(), query.value(1).toInt()};
}

std::optional<JobDatabase::Server> JobDatabase::autoLoginServer()
{
    bool ok = false;
    QSqlQuery query = run(QStringLiteral("select ip,code from confInfo where login=1"), {}, &ok);
    if (!ok || !query.next())
        return std::nullopt;
    return Server{query.value(0).toString(), query.value(1).toString(), 1};
}

void JobDatabase::saveServer(const QString &ip, const QString &code, bool save, bool login)
{
    if (login)
        run(QStringLiteral("update confInfo set login=0"));
    bool ok = false;
    QSqlQuery lookup = run(QStringLiteral("select * from confinfo where ip=?"), {ip}, &ok);
    const bool exists = ok && lookup.next();
    if (!save) {
        if (exists)
            run(QStringLiteral("delete from confinfo where ip=?"), {ip});
        return;
    }
    if (!exists)
        run(QStringLiteral("insert into confinfo values(?,?,?)"), {ip, code, int(login)});
    else
        run(QStringLiteral("update confinfo set code=?,login=? where ip=?"), {code, int(login), ip});
}

int JobDatabase::jobState(const QString &pdfName)
{
    bool ok = false;
    QSqlQuery query = run(QStringLiteral("select state from printerinfo where pdfname= ?"), {pdfName}, &ok);
    return ok && query.next() ? query.value(0).toInt() : 0;
}

bool JobDatabase::insertJob(const QString &pdfName, const QString &printer, const QString &fileName, int state,
                            const QString &date)
{
    bool ok = false;
    const QSqlQuery query = run(QStringLiteral("insert into printerinfo values(?,?,?,?,?)"),
                                {pdfName, printer, fileName, state, date}, &ok);
    if (!ok)
        logFailure("insert failed!", query);
    return ok;
}

bool JobDatabase::setJobState(const QString &pdfName, int state, const char *failureText)
{
    bool ok = false;
    const QSqlQuery query =
        run(QStringLiteral("update printerinfo set state= ? where pdfname = ?"), {state, pdfName}, &ok);
    if (!ok)
        logFailure(failureText, query);
    return ok;
}

QVector<QStringList> JobDatabase::jobs()
{
    bool ok = false;
    QSqlQuery query = run(QStringLiteral("select * from printerinfo"), {}, &ok);
    QVector<QStringList> result;
    if (!ok) {
        logFailure("select failed!", query);
        return result;
    }
    while (query.next()) {
        result.append({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                       query.value(3).toString(), query.value(4).toString()});
    }
    return result;
}

QStringList JobDatabase::busyPrinters()
{
    return printersOf(QStringLiteral("select * from printerinfo where state=1 or state=2"),
                      "select printing or waiting failed!");
}

QStringList JobDatabase::failedPrinters()
{
    return printersOf(QStringLiteral("select * from printerinfo where state=-1"), "select printing anomaly failed!");
}
