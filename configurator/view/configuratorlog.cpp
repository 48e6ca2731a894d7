#include "configuratorlog.h"

Q_LOGGING_CATEGORY(lcConfigurator, "quorvia.configurator")
