#include "cupslog.h"

Q_LOGGING_CATEGORY(lcCups, "quorvia.cups")
