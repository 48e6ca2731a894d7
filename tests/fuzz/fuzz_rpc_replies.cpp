// Replies of the three calls the configurator decodes, read through the
// client's own reply transport, protocol and bounds from bytes instead of a
// socket. The first byte picks the call. Anything but a Thrift exception
// escaping is a failure: the client catches only those.

#include "fuzzing.h"

#include "CloudPrint.h"
#include "cloudprintclient.h"
#include "replytransport.h"

#include <thrift/transport/TBufferTransports.h>

#include <algorithm>
#include <cstring>

namespace {

const QByteArray uriPrefix = QByteArrayLiteral("tqp://10.0.0.5:9100/");

// A device URI carries only unreserved characters, ':', '/' and %XX escapes.
bool isUriText(const std::string &uri)
{
    return std::all_of(uri.begin(), uri.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
               || (c != '\0' && std::strchr("-._~:/%", c));
    });
}

} // namespace

void fuzz(const QByteArray &input)
{
    if (input.isEmpty())
        return;
    // A buffer of exactly the reply's size, so that AddressSanitizer sees any read past it.
    std::vector<uint8_t> reply(input.cbegin() + 1, input.cend());
    const auto replyBytes = static_cast<uint32_t>(reply.size());
    auto wire = std::make_shared<apache::thrift::transport::TMemoryBuffer>(reply.data(), replyBytes);
    auto protocol = std::make_shared<ReplyProtocol>(CloudPrintRPCClient::replyTransport(wire));
    cloudprint::CloudPrintClient client(protocol);
    try {
        switch (uchar(input.at(0)) % 3) {
        case 0:
            client.recv_Verfiy();
            break;
        case 1: {
            const std::vector<Printer> printers = CloudPrintRPCClient::readPrinters(*protocol, uriPrefix);
            // Every record takes at least its stop byte on the wire.
            FUZZ_CHECK(printers.size() <= replyBytes);
            for (const Printer &printer : printers) {
                const QByteArray uri = QByteArray::fromStdString(printer.Addr);
                FUZZ_CHECK(printer.__isset.Addr && uri.startsWith(uriPrefix) && isUriText(printer.Addr));
                // An ID in valid UTF-8 comes back from its URI unchanged.
                const QByteArray id = QByteArray::fromStdString(printer.ID);
                if (QString::fromUtf8(id.constData(), id.size()).toUtf8() == id)
                    FUZZ_CHECK(QByteArray::fromPercentEncoding(uri.mid(uriPrefix.size())) == id);
            }
            break;
        }
        default: {
            std::string driver;
            client.recv_GetPpdDrv(driver);
            FUZZ_CHECK(driver.size() <= replyBytes);
            break;
        }
        }
    } catch (const apache::thrift::TException &) {
        // A malformed, failed or oversized reply: the client logs it and goes on.
    }
}
