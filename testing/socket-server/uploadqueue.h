#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Uploads announced by accepted headers, oldest first. File bytes fill the
// oldest one; a complete upload is saved in the output directory under its job
// tag (".N" added when that name is taken).
class UploadQueue
{
public:
    struct Saved
    {
        QString tag;
        qint64 size = 0;
        QString path; // empty when the file could not be written
    };

    explicit UploadQueue(QString outDir);

    void add(const QString &tag, qint64 size);
    bool isEmpty() const { return m_pending.isEmpty(); }
    QString currentTag() const { return m_pending.isEmpty() ? QString() : m_pending.first().tag; }
    // Bytes the oldest upload has got so far, and still lacks (0 without upload).
    qint64 received() const { return m_data.size(); }
    qint64 missing() const { return m_pending.isEmpty() ? 0 : m_pending.first().size - m_data.size(); }
    // Takes at most missing() bytes.
    void append(const QByteArray &bytes) { m_data.append(bytes); }
    // Saves and removes the oldest upload once it has all its bytes.
    std::optional<Saved> takeComplete();
    // Gives up the oldest upload, whose bytes went with a lost connection.
    void dropCurrent();
    // A new session starts without uploads.
    void clear()
    {
        m_pending.clear();
        m_data.clear();
    }

private:
    struct Pending
    {
        QString tag;
        qint64 size;
    };
    QString freePath(const QString &tag) const;

    QString m_outDir;
    QList<Pending> m_pending;
    QByteArray m_data;
};
