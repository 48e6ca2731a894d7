#include "events.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcSocketServer, "olvenka.testserver")

QString roleName(Role role)
{
    static const char *const names[] = {"verify", "info", "file"};
    return QLatin1String(names[size_t(role)]);
}

std::optional<Role> roleFromName(const QString &name)
{
    for (Role role : kRoles) {
        if (roleName(role) == name)
            return role;
    }
    return std::nullopt;
}

void writeEvent(const QStringList &fields)
{
    const QByteArray line = fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}
