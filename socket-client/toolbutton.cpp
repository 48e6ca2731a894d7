#include "toolbutton.h"

#include <QIcon>

namespace {

const QString transparent = QStringLiteral("background:transparent;");

} // namespace

ToolButton::ToolButton(const QString &name, int width, int height, int type, QWidget *parent)
    : QToolButton(parent)
    , m_name(name)
    , m_type(type)
{
    setStyleSheet(QStringLiteral("background:transparent;border:0px;"));
    setFixedSize(width, height);
    setCheckable(true);
    setChecked(false);
    showIcon("");
    setIconSize(QSize(30, 30));
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QToolButton::toggled, this, &ToolButton::reactToToggle);
}

void ToolButton::reactToToggle(bool checked)
{
    m_name = checked ? QStringLiteral("del") : QStringLiteral("add");
    showIcon("-hover");
}

void ToolButton::enterEvent(QEvent *)
{
    showIcon("-hover");
    highlight();
}

void ToolButton::leaveEvent(QEvent *)
{
    showIcon("");
    setStyleSheet(transparent);
}

void ToolButton::mousePressEvent(QMouseEvent *)
{
    showIcon("-click");
    highlight();
}

void ToolButton::mouseReleaseEvent(QMouseEvent *)
{
    showIcon("-hover");
    emit clicked(false);
    highlight();
}

void ToolButton::showIcon(const char *state)
{
    setIcon(QIcon(QStringLiteral(":/data/img/%1%2.png").arg(m_name, QLatin1String(state))));
}

void ToolButton::highlight()
{
    switch (m_type) {
    case Plain:
        setStyleSheet(transparent);
        break;
    case Blue:
        setStyleSheet(QStringLiteral("background-color:#3D6BE5;border-radius:4px;"));
        break;
    case Red:
        setStyleSheet(QStringLiteral("background-color:#F04134;border-radius:4px;"));
        break;
    default:
        break;
    }
}
