#pragma once

#include <QString>

namespace toolkit {

// Sends Qt's log output to the console and to a per-application log file.
// Register the appenders after the application name is set.
class LogManager
{
public:
    static void registerConsoleAppender();
    static void registerFileAppender();

    // "<cache dir>/<application name>.log", e.g.
    // ~/.cache/<organisation>/<application>/<application>.log
    static QString logFilePath();

    LogManager() = delete;
};

} // namespace toolkit
