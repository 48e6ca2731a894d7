// server.conf as anything may have left it on disk: arbitrary bytes, read
// through the real AES layer.

#include "configcheck.h"

void fuzz(const QByteArray &input)
{
    loadServerFile(input);
}
