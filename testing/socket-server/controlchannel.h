#pragma once

#include <QObject>

class PrintSession;
class QSocketNotifier;

// Test control over stdin, one command per line, each acknowledged on stdout
// with "ok<TAB>command" once it took effect or "error<TAB>text". End of input
// ends the program, so the server never outlives its test.
class ControlChannel : public QObject
{
    Q_OBJECT
public:
    explicit ControlChannel(PrintSession *session, QObject *parent = nullptr);

private:
    void readInput();
    // Returns an error text, empty on success.
    QString execute(const QString &word, const QString &rest);

    PrintSession *m_session;
    QSocketNotifier *m_notifier;
    QByteArray m_input;
    bool m_quit = false;
};
