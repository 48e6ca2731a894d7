#include "clientlog.h"

Q_LOGGING_CATEGORY(lcDatabase, "olvenka.database")
Q_LOGGING_CATEGORY(lcSession, "olvenka.session")
Q_LOGGING_CATEGORY(lcUpload, "olvenka.session.upload", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBus, "olvenka.bus")
Q_LOGGING_CATEGORY(lcPrinters, "olvenka.printers")
