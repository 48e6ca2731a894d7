#include "queueurilist.h"

#include <cups/file.h>
#include <cups/ipp.h>

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace {

// libcups reads the system lpoptions below CUPS_SERVERROOT when it is set.
QByteArray systemLpoptionsPath()
{
    QByteArray root = qgetenv("CUPS_SERVERROOT");
    if (root.isEmpty())
        root = QByteArrayLiteral("/etc/cups");
    return root.append("/lpoptions");
}

// libcups takes the home directory from HOME, else from the user database.
QByteArray userLpoptionsPath()
{
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        const passwd *pw = getpwuid(getuid());
        if (!pw || !pw->pw_dir)
            return {};
        home = pw->pw_dir;
    }
    return home.append("/.cups/lpoptions");
}

struct IppResponse
{
    ipp_t *ipp;
    ~IppResponse() { ippDelete(ipp); }
};

// Queue names compare like CUPS compares them: ASCII letters without case.
bool sameQueueName(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a.at(i)) != lower(b.at(i)))
            return false;
    }
    return true;
}

const char *nullIfEmpty(const QByteArray &text)
{
    return text.isEmpty() ? nullptr : text.constData();
}

} // namespace

CupsDestList QueueUriList::fetch()
{
    const std::vector<Printer> printers = requestPrinters();
    if (printers.empty())
        return {};

    std::vector<LpoptionsLine> lines;
    readLpoptions(systemLpoptionsPath(), lines);
    const QByteArray user = userLpoptionsPath();
    if (!user.isEmpty())
        readLpoptions(user, lines);

    CupsDestList list;
    for (const Printer &printer : printers) {
        // libcups names a queue as the first lpoptions line spells it.
        QByteArray name = printer.name;
        for (const LpoptionsLine &line : lines) {
            if (sameQueueName(line.name, printer.name)) {
                name = line.name;
                break;
            }
        }
        *list.countRef() = cupsAddDest(name.constData(), nullptr, list.count(), list.destsRef());
        cups_dest_t *dest = cupsGetDest(name.constData(), nullptr, list.count(), list.begin());
        if (dest && !printer.deviceUri.isNull())
            dest->num_options =
                cupsAddOption("device-uri", printer.deviceUri.constData(), dest->num_options, &dest->options);
    }

    // Options for a queue the server knows, or for an instance of it that
    // starts with the queue's options; lines for other names are ignored.
    for (const LpoptionsLine &line : lines) {
        if (!cupsGetDest(line.name.constData(), nullptr, list.count(), list.begin()))
            continue;
        const char *instance = nullIfEmpty(line.instance);
        *list.countRef() = cupsAddDest(line.name.constData(), instance, list.count(), list.destsRef());
        cups_dest_t *dest = cupsGetDest(line.name.constData(), instance, list.count(), list.begin());
        if (dest)
            dest->num_options = cupsParseOptions(line.options.constData(), dest->num_options, &dest->options);
    }
    return list;
}

std::vector<QueueUriList::Printer> QueueUriList::requestPrinters()
{
    static const char *const attributes[] = {"printer-name", "device-uri"};

    ipp_t *request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof(attributes) / sizeof(attributes[0])), nullptr, attributes);
    // Queues restricted to some users are only listed for them.
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());

    std::vector<Printer> printers;
    const IppResponse response{cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/")};
    if (!response.ipp || cupsLastError() >= IPP_STATUS_REDIRECTION_OTHER_SITE)
        return printers;

    ipp_attribute_t *attr = ippFirstAttribute(response.ipp);
    while (attr) {
        while (attr && ippGetGroupTag(attr) != IPP_TAG_PRINTER)
            attr = ippNextAttribute(response.ipp);
        if (!attr)
            break;

        Printer printer;
        for (; attr && ippGetGroupTag(attr) == IPP_TAG_PRINTER; attr = ippNextAttribute(response.ipp)) {
            const char *attrName = ippGetName(attr);
            if (!attrName)
                continue;
            if (!std::strcmp(attrName, "printer-name") && ippGetValueTag(attr) == IPP_TAG_NAME)
                printer.name = ippGetString(attr, 0, nullptr);
            else if (!std::strcmp(attrName, "device-uri") && ippGetValueTag(attr) == IPP_TAG_URI)
                printer.deviceUri = ippGetString(attr, 0, nullptr);
        }
        if (!printer.name.isEmpty())
            printers.push_back(printer);
    }
    return printers;
}

void QueueUriList::readLpoptions(const QByteArray &path, std::vector<LpoptionsLine> &lines)
{
    cups_file_t *file = cupsFileOpen(path.constData(), "r");
    if (!file)
        return;

    char line[8192];
    char *value = nullptr;
    int lineNumber = 0;
    while (cupsFileGetConf(file, line, sizeof(line), &value, &lineNumber)) {
        if ((qstricmp(line, "dest") && qstricmp(line, "default")) || !value)
            continue;

        const char *name = value;
        char *cursor = value;
        while (*cursor && *cursor != '/' && !std::isspace(static_cast<unsigned char>(*cursor)))
            ++cursor;
        const char *instance = "";
        if (*cursor == '/') {
            *cursor++ = '\0';
            instance = cursor;
            while (*cursor && !std::isspace(static_cast<unsigned char>(*cursor)))
                ++cursor;
        }
        if (*cursor)
            *cursor++ = '\0';
        lines.push_back({QByteArray(name), QByteArray(instance), QByteArray(cursor)});
    }
    cupsFileClose(file);
}
