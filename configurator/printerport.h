#pragma once

#include <QString>

// The cloud port: the TCP port of a cloud print server whose address names
// none. The user's choice lives in a per-user INI file and takes effect at the
// next start of the configurator.
namespace printerport {

// The in-memory cloud port, fixed once ConfigPrinterPort() has run.
int GetCloudPrintPort();

// "PrinterPorts/CloudPort" as stored in the port file; 0 when absent or not a number.
int GetCloudPrintPortInFile();

// The ports a cloud print server may listen on.
constexpr int MinimumPort = 1025;
constexpr int MaximumPort = 65535;
bool IsValidPort(int port);

// Stores a port from MinimumPort to MaximumPort in the port file. False for
// any other value, or when the file could not be written.
bool SetCloudPrintPort(int port);

// The port file, in the configurator's settings folder.
QString PortFilePath();

// Sets the port file path below the home directory, then loads the file or creates it.
void ConfigPrinterPort();

} // namespace printerport
