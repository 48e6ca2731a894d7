#pragma once

// What the fuzz targets share: the entry point, a property check and a
// private home folder. Each target includes this once and defines fuzz().

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that must hold for every input. A failure aborts, which libFuzzer
// and the replay both report as a crash, with this line for the reason.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

// Points HOME at a new folder of this process, removed again at exit, so a
// target that writes the user's files never touches real ones.
inline QString privateHome()
{
    static const QString home = [] {
        QByteArray path = QFile::encodeName(QDir::tempPath()) + "/quorvia-fuzz-XXXXXX";
        FUZZ_CHECK(::mkdtemp(path.data()) != nullptr);
        qputenv("HOME", path);
        std::atexit([] { QDir(QFile::decodeName(qgetenv("HOME"))).removeRecursively(); });
        return QFile::decodeName(path);
    }();
    return home;
}

// Checks one input: every property the target states must hold for it.
void fuzz(const QByteArray &input);

// The product parses QByteArrays from sockets and files: each input is one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
