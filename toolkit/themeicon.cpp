#include "themeicon.h"

#include <QDir>
#include <QRegularExpression>

namespace toolkit {

namespace {

// The program's icons first, so that a program can replace the toolkit's own.
const char *const searchDirectories[] = {themeIconDirectory, ":/icons/quorvia/builtin/actions"};

} // namespace

QIcon themeIcon(const QString &name)
{
    const QRegularExpression pattern(
        QStringLiteral("^%1(?:_(\\d+)px)?\\.(?:svg|png)$").arg(QRegularExpression::escape(name)));
    QIcon icon;
    for (const char *directory : searchDirectories) {
        const QDir dir{QString::fromLatin1(directory)};
        for (const QString &file : dir.entryList(QDir::Files)) {
            const QRegularExpressionMatch match = pattern.match(file);
            if (!match.hasMatch())
                continue;
            const int size = match.captured(1).toInt();
            icon.addFile(dir.filePath(file), size > 0 ? QSize(size, size) : QSize());
        }
        if (!icon.isNull())
            return icon;
    }
    return QIcon::fromTheme(name);
}

} // namespace toolkit
