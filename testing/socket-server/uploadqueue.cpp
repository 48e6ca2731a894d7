#include "uploadqueue.h"

#include "events.h"

#include <QDir>
#include <QFile>

UploadQueue::UploadQueue(QString outDir)
    : m_outDir(std::move(outDir))
{
}

void UploadQueue::add(const QString &tag, qint64 size)
{
    m_pending.append({tag, size});
}

std::optional<UploadQueue::Saved> UploadQueue::takeComplete()
{
    if (m_pending.isEmpty() || missing() > 0)
        return std::nullopt;
    const Pending upload = m_pending.takeFirst();
    Saved saved{upload.tag, upload.size, freePath(upload.tag)};
    QFile file(saved.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(m_data) != m_data.size()) {
        qCWarning(lcSocketServer) << "cannot save" << saved.path << file.errorString();
        saved.path.clear();
    }
    m_data.clear();
    return saved;
}

void UploadQueue::dropCurrent()
{
    if (!m_pending.isEmpty())
        m_pending.removeFirst();
    m_data.clear();
}

QString UploadQueue::freePath(const QString &tag) const
{
    // The tag comes from the client; keep it inside the output directory.
    QString name = tag.isEmpty() ? QStringLiteral("upload") : tag;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QDir dir(m_outDir);
    QString path = dir.filePath(name);
    for (int n = 1; QFile::exists(path); ++n)
        path = dir.filePath(name + QLatin1Char('.') + QString::number(n));
    return path;
}
