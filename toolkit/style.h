#pragma once

#include <QColor>

class QApplication;

namespace toolkit {

enum class Theme { Light, Dark };

// The one palette every toolkit widget paints with.
struct Colors
{
    QColor window; // window background
    QColor panel;  // rounded groups and dialogs
    QColor text;
    QColor secondaryText;
    QColor accent; // recommended buttons, focus
    QColor accentHover;
    QColor onAccent; // text on accent
    QColor button;
    QColor buttonHover;
    QColor field; // input backgrounds
    QColor border;
    QColor separator;
    QColor hover; // flat buttons under the mouse
    QColor warning;
    QColor alertBackground;
    QColor alertBorder;
    QColor alertText;
    QColor success;
};

// One spacing scale and one corner radius for everything.
namespace metrics {
constexpr int spacingSmall = 4;
constexpr int spacing = 8;
constexpr int spacingLarge = 16;
constexpr int controlRadius = 8;
constexpr int panelRadius = 12;
constexpr int titleBarHeight = 50;
} // namespace metrics

const Colors &colors();
Theme currentTheme();

// Makes the theme current and gives the application its palette and style sheet.
void applyTheme(QApplication *app, Theme theme);

} // namespace toolkit
