// What the print server sends the socket client: verify and file-info
// replies (a code before the first NUL), the printer list of a verify reply,
// and the GBK messages of the file socket (code and job key as fields).

#include "fuzzing.h"

#include "protocol.h"

#include <algorithm>

void fuzz(const QByteArray &reply)
{
    const QString separator = QStringLiteral("##");

    // Verify and file-info replies: nothing after the first NUL counts.
    const int nul = reply.indexOf('\0');
    const int code = protocol::replyCode(reply);
    FUZZ_CHECK(code == protocol::replyCode(reply.left(nul < 0 ? reply.size() : nul)));
    FUZZ_CHECK(code
               == protocol::replyCode(reply
                                      + QByteArray("\0"
                                                   "7##x##",
                                                   7)));
    if (nul < 0)
        FUZZ_CHECK(code == protocol::code(QString::fromUtf8(reply)));

    // The GBK text splits into fields that join back to it.
    const QString text = protocol::fromGbk(reply);
    const QStringList fields = protocol::fields(text);
    FUZZ_CHECK(!fields.isEmpty() && fields.join(separator) == text);
    if (std::none_of(reply.cbegin(), reply.cend(), [](char c) { return uchar(c) >= 0x80; }))
        FUZZ_CHECK(text == QString::fromLatin1(reply.constData(), reply.size()));

    // A verify reply's printers: the fields between the code and the last,
    // never more than there are fields.
    const QStringList printers = protocol::printerList(reply);
    FUZZ_CHECK(printers.size() == std::max(0, fields.size() - 2));
    FUZZ_CHECK(printers == fields.mid(1, printers.size()));
    for (const QString &printer : printers)
        FUZZ_CHECK(!printer.contains(separator));

    // File-socket messages: the code is field 0 read as a number.
    FUZZ_CHECK(protocol::code(text) == fields.first().toInt());
}
