#pragma once

#include "style.h"

#include <QObject>

namespace toolkit {

// Keeps the user's theme choice for this application and applies it.
class ApplicationSettings : public QObject
{
    Q_OBJECT

public:
    // Loads the stored choice and applies it to the running application.
    explicit ApplicationSettings(QObject *parent = nullptr);

    Theme theme() const;
    void setTheme(Theme theme);

    // The per-user file the choice is kept in.
    static QString filePath();

private:
    Theme m_theme = Theme::Light;
};

} // namespace toolkit
