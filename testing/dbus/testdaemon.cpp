// The daemon as installed, except that it recognises the agent and the
// signing service by their paths in the build tree, so tests run without
// installing anything.
#include "daemon.h"

int main(int argc, char **argv)
{
    return runDaemon(argc, argv, {QByteArrayLiteral(TEST_AGENT_PATH), QByteArrayLiteral(TEST_SIGNER_PATH)});
}
