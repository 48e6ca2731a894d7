#pragma once

#include <QAbstractButton>

namespace toolkit {

// A flat button that shows only its icon, with a soft background under the
// mouse.
class IconButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit IconButton(QWidget *parent = nullptr);
    IconButton(const QIcon &icon, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool m_hovered = false;
};

} // namespace toolkit
