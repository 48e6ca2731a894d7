#pragma once

#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMenu;

namespace toolkit {

class WindowButton;

// The custom title bar of toolkit windows: icon, title, widgets added by the
// program, a menu button and the window buttons that the window's flags
// allow. Dragging it moves the window.
class TitleBar : public QWidget
{
    Q_OBJECT

public:
    explicit TitleBar(QWidget *parent = nullptr);

    void setIcon(const QIcon &icon);
    void setTitle(const QString &title);

    void setSeparatorVisible(bool visible);
    // Transparent: the window's background shows through the bar.
    void setBackgroundTransparent(bool transparent);

    // The program's menu; its actions are shown above the toolkit's own
    // (About, Exit) when the menu button is pressed.
    void setMenu(QMenu *menu);
    QMenu *menu() const;
    void setMenuVisible(bool visible);
    bool menuVisible() const;
    // The menu that the menu button opens, rebuilt each time it opens.
    QMenu *popupMenu() const;

    // Left-aligned widgets follow the icon, right-aligned ones precede the
    // buttons, anything else is centred.
    void addWidget(QWidget *widget, Qt::Alignment alignment = Qt::Alignment());

    // Shows the window buttons that the window's current flags ask for.
    void updateWindowButtons();

public slots:
    void showMenu();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void rebuildPopup();
    void showAbout();
    void toggleMaximized();

    QLabel *m_icon;
    QLabel *m_title;
    QHBoxLayout *m_left;
    QHBoxLayout *m_center;
    QHBoxLayout *m_right;
    WindowButton *m_menuButton;
    WindowButton *m_minimizeButton;
    WindowButton *m_maximizeButton;
    WindowButton *m_closeButton;
    QPointer<QMenu> m_menu;
    QMenu *m_popup;
    bool m_separatorVisible = false;
    bool m_transparent = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace toolkit
