#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The print server's message format and the rules around it that need no
// socket: fields, codes, encodings, spooled file names and job keys.
namespace protocol {

// Message codes of both directions.
enum Code {
    Verify = 1,
    Verified = 2,
    VerifyRefused = 3,
    FileHeader = 4,
    HeaderAccepted = 5,
    HeaderRefused = 6,
    CodeRevoked = 7,
    FileReceived = 8,
    FileFailed = 9,
    ServerProblem = 10,
    JobPrinted = 11,
    JobPrinting = 13,
    CancelJob = 14,
    PrioritizeJob = 15,
    JobFailed = 16,
};

// Values of a job's state column.
enum JobState {
    StatePrinted = 0,
    StatePrinting = 1,
    StateWaiting = 2,
    StateCancelled = 3,
    StateAnomaly = -1,
};

// Sections between "##", empty ones kept.
QStringList fields(const QString &message);
// Field 0 as a decimal number; text that is no number counts as 0.
int code(const QString &message);
// The code of a verify or file-info reply: the bytes up to the first NUL,
// read as UTF-8.
int replyCode(const QByteArray &reply);
// Printer list replies and everything on the file socket are GBK.
QString fromGbk(const QByteArray &bytes);
// The printer names of a code-2 reply: all fields but the first and the last.
QStringList printerList(const QByteArray &reply);

// What the client sends, in the system's local 8-bit encoding.
QByteArray verifyMessage(const QString &authCode, const QString &address);
QByteArray fileHeader(const QString &documentName, const QString &printerName, qint64 size, const QString &jobTag,
                      const QString &mode);
QString jobCommand(Code command, const QString &printer, const QString &pdfName);

// A spooled file is named <job tag>_0_<document name>_0_<printer name>.pdf.
struct SpooledName
{
    QString jobTag;
    QString documentName;
    QString printerName;
};
SpooledName parseSpooledName(const QString &fileName);
// The job's key: the document's base name, the job tag and ".pdf".
QString pdfName(const QString &documentName, const QString &jobTag);
// A bare file name: not empty, no directory part, not "." or "..".
bool isPlainFileName(const QString &fileName);

} // namespace protocol
