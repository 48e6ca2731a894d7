#pragma once

#include <QString>
#include <QToolButton>

// An icon-only button whose icon follows the pointer (normal, hover,
// pressed) and whose name follows its check state ("del" checked, "add"
// not). A release always emits clicked and never toggles: owners set the
// check state themselves.
class ToolButton : public QToolButton
{
    Q_OBJECT

public:
    enum Type { Plain = 0, Blue = 1, Red = 2 };

    ToolButton(const QString &name, int width, int height, int type, QWidget *parent = nullptr);

    QString name() const { return m_name; }

public slots:
    void reactToToggle(bool checked);

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void showIcon(const char *state);
    void highlight();

    QString m_name;
    int m_type;
};
