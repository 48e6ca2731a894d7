// Names of the files the print backend leaves in the spool folder and hands
// over on the bus: <job tag>_0_<document name>_0_<printer name>.pdf, or
// anything else a caller sends.

#include "fuzzing.h"

#include "protocol.h"

#include <QFileInfo>

void fuzz(const QByteArray &input)
{
    const QString name = QString::fromUtf8(input.constData(), input.size());
    const QString separator = QStringLiteral("_0_");

    // The parts are the name's own sections, in order. The parts of a name
    // without sections and the job key's exact form: socket-client.rules
    // (spooledName).
    const protocol::SpooledName parts = protocol::parseSpooledName(name);
    const int first = name.indexOf(separator);
    FUZZ_CHECK(parts.jobTag == (first < 0 ? name : name.left(first)));
    FUZZ_CHECK(!parts.documentName.contains(separator));
    if (first >= 0)
        FUZZ_CHECK(name.startsWith(parts.jobTag + separator + parts.documentName));

    // The job key is a bare file name whenever the tag is.
    const QString key = protocol::pdfName(parts.documentName, parts.jobTag);
    if (!parts.jobTag.contains(QLatin1Char('/')))
        FUZZ_CHECK(!key.contains(QLatin1Char('/')));

    // A name accepted as plain stays inside the spool folder it is joined to.
    if (protocol::isPlainFileName(name)) {
        const QString spool = QStringLiteral("/var/spool/olvenka-cloud-printer/outfile");
        FUZZ_CHECK(!name.isEmpty() && !name.contains(QLatin1Char('/')));
        FUZZ_CHECK(QFileInfo(QDir::cleanPath(spool + QLatin1Char('/') + name)).path() == spool);
    }
}
