// server.conf as anything may have left it on disk: arbitrary bytes, read
// through the real AES layer.

#include "configcheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    loadServerFile(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
