#pragma once

#include "service.h"

// Runs the daemon until it is terminated: registers the service object and
// the well-known name on the system bus. Returns 3 when either is refused.
int runDaemon(int &argc, char **argv, const ForwardTargets &targets);
