#include "style.h"

#include <QApplication>
#include <QPalette>

// The toolkit's resources live in a static library, where rcc's own
// registration objects would be dropped by the linker; register them from
// this unit, which every toolkit widget pulls in.
static void registerToolkitResources()
{
    Q_INIT_RESOURCE(toolkit);
    Q_INIT_RESOURCE(toolkit_translations);
}

namespace toolkit {

namespace {

const struct ResourceRegistration
{
    ResourceRegistration() { registerToolkitResources(); }
} resourceRegistration;

const Colors lightColors{
    QColor(0xf3, 0xf4, 0xf6), QColor(0xff, 0xff, 0xff), QColor(0x1f, 0x23, 0x29), QColor(0x6b, 0x72, 0x80),
    QColor(0x25, 0x63, 0xeb), QColor(0x1d, 0x4e, 0xd8), QColor(0xff, 0xff, 0xff), QColor(0xe8, 0xea, 0xee),
    QColor(0xdc, 0xdf, 0xe4), QColor(0xf5, 0xf6, 0xf8), QColor(0xd1, 0xd5, 0xdb), QColor(0xe5, 0xe7, 0xeb),
    QColor(0, 0, 0, 18),      QColor(0xdc, 0x26, 0x26), QColor(0xfe, 0xf2, 0xf2), QColor(0xf8, 0xb4, 0xb4),
    QColor(0xb9, 0x1c, 0x1c), QColor(0x16, 0xa3, 0x4a),
};

const Colors darkColors{
    QColor(0x1e, 0x1f, 0x22),  QColor(0x2b, 0x2d, 0x31), QColor(0xe5, 0xe7, 0xeb), QColor(0x9c, 0xa3, 0xaf),
    QColor(0x3b, 0x82, 0xf6),  QColor(0x25, 0x63, 0xeb), QColor(0xff, 0xff, 0xff), QColor(0x3a, 0x3d, 0x44),
    QColor(0x46, 0x4a, 0x52),  QColor(0x23, 0x24, 0x28), QColor(0x4b, 0x50, 0x58), QColor(0x3a, 0x3d, 0x44),
    QColor(255, 255, 255, 24), QColor(0xf8, 0x71, 0x71), QColor(0x3b, 0x1d, 0x1d), QColor(0x7f, 0x1d, 0x1d),
    QColor(0xfc, 0xa5, 0xa5),  QColor(0x4a, 0xde, 0x80),
};

Theme activeTheme = Theme::Light;

QString styleSheet(const Colors &c)
{
    const auto n = [](const QColor &color) { return color.name(QColor::HexArgb); };
    return QStringLiteral(
               "QPushButton { background: %1; color: %2; border: none; border-radius: %3px; padding: 0 16px; }"
               "QPushButton:hover { background: %4; }"
               "QPushButton:disabled { color: %5; }"
               "QPushButton[toolkitRole=\"recommend\"] { background: %6; color: %7; }"
               "QPushButton[toolkitRole=\"recommend\"]:hover { background: %8; }"
               "QPushButton[toolkitRole=\"recommend\"]:disabled { background: %4; color: %5; }"
               "QPushButton[toolkitRole=\"warning\"] { color: %9; }"
               "QLineEdit { background: %10; color: %2; border: 1px solid %11; border-radius: %3px;"
               " padding: 0 8px; selection-background-color: %6; selection-color: %7; }"
               "QLineEdit:focus { border-color: %6; }"
               "QLineEdit[toolkitAlert=\"true\"] { border-color: %9; }"
               "QMenu { background: %12; color: %2; border: 1px solid %11; border-radius: 6px; padding: 4px; }"
               "QMenu::item { padding: 6px 24px 6px 16px; border-radius: 4px; }"
               "QMenu::item:selected { background: %6; color: %7; }"
               "QMenu::separator { height: 1px; background: %13; margin: 4px 8px; }")
        .arg(n(c.button), n(c.text), QString::number(metrics::controlRadius), n(c.buttonHover), n(c.secondaryText),
             n(c.accent), n(c.onAccent), n(c.accentHover), n(c.warning))
        .arg(n(c.field), n(c.border), n(c.panel), n(c.separator));
}

} // namespace

const Colors &colors()
{
    return activeTheme == Theme::Dark ? darkColors : lightColors;
}

Theme currentTheme()
{
    return activeTheme;
}

void applyTheme(QApplication *app, Theme theme)
{
    activeTheme = theme;
    const Colors &c = colors();
    QPalette palette = app->palette();
    palette.setColor(QPalette::Window, c.window);
    palette.setColor(QPalette::WindowText, c.text);
    palette.setColor(QPalette::Base, c.field);
    palette.setColor(QPalette::AlternateBase, c.panel);
    palette.setColor(QPalette::Text, c.text);
    palette.setColor(QPalette::PlaceholderText, c.secondaryText);
    palette.setColor(QPalette::Button, c.button);
    palette.setColor(QPalette::ButtonText, c.text);
    palette.setColor(QPalette::Highlight, c.accent);
    palette.setColor(QPalette::HighlightedText, c.onAccent);
    palette.setColor(QPalette::ToolTipBase, c.panel);
    palette.setColor(QPalette::ToolTipText, c.text);
    palette.setColor(QPalette::Link, c.accent);
    palette.setColor(QPalette::Disabled, QPalette::Text, c.secondaryText);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, c.secondaryText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, c.secondaryText);
    app->setPalette(palette);
    app->setStyleSheet(styleSheet(c));
}

} // namespace toolkit
