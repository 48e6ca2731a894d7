#pragma once

#include <QString>

// Where the CUPS administration tools (lpadmin, cupsenable, cupsaccept) are
// run from. Always the system's sbin directory; tests point it at stand-in
// tools to make a tool fail, crash or go missing.
namespace cupstooldir {

QString toolPath(const QString &tool);

void setDirForTesting(const QString &dir);

} // namespace cupstooldir
