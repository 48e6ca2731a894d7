#pragma once

#include <QIcon>
#include <QString>

namespace toolkit {

// Directory in which a program supplies its theme icons, as
// "<name>.svg" or "<name>_<size>px.svg" (several sizes may exist).
constexpr const char *themeIconDirectory = ":/icons/quorvia/builtin/texts";

// The icon of that name from the program's or the toolkit's built-in
// directories, falling back to the desktop icon theme.
QIcon themeIcon(const QString &name);

} // namespace toolkit
