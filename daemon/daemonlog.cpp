#include "daemonlog.h"

Q_LOGGING_CATEGORY(lcDaemon, "quorvia.daemon")
