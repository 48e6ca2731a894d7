#include "agentlog.h"

Q_LOGGING_CATEGORY(lcAgent, "quorvia.agent")
