#pragma once

#include <QPointer>
#include <QWidget>

namespace toolkit {

// The transient message shown under a field: a small bubble pointing up at
// the field, living in the field's window so that it may overlap the
// widgets below.
class AlertBubble : public QWidget
{
    Q_OBJECT

public:
    explicit AlertBubble(QWidget *anchor);

    void setText(const QString &text);
    QString text() const;

    // Places the bubble under the anchor, kept inside the window.
    void reposition();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QPointer<QWidget> m_anchor;
    QString m_text;
    int m_arrowX = 0;
};

} // namespace toolkit
