#include "cupstooldir.h"

namespace cupstooldir {
namespace {

QString &toolDir()
{
    static QString dir = QStringLiteral("/usr/sbin");
    return dir;
}

} // namespace

QString toolPath(const QString &tool)
{
    return toolDir() + QLatin1Char('/') + tool;
}

void setDirForTesting(const QString &dir)
{
    toolDir() = dir;
}

} // namespace cupstooldir
