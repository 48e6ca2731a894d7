#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace toolkit {

class AlertBubble;

// A line edit that can show a transient alert message under itself.
class LineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit LineEdit(QWidget *parent = nullptr);

    // Shows the message under the field; it goes away by itself after
    // durationMs (never when durationMs is negative) or on hideAlertMessage().
    void showAlertMessage(const QString &text, int durationMs = -1);
    void hideAlertMessage();

    bool isAlert() const;
    QString alertMessage() const;

signals:
    void alertChanged(bool alert);

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void setAlertLook(bool alert);

    QPointer<AlertBubble> m_bubble;
    QTimer m_alertTimer;
};

// Password variant: hidden echo with a button that reveals the text.
class PasswordEdit : public LineEdit
{
    Q_OBJECT

public:
    explicit PasswordEdit(QWidget *parent = nullptr);

private:
    void updateEchoAction();

    QAction *m_echoAction = nullptr;
};

// Search variant: search icon, placeholder and clear button.
class SearchEdit : public LineEdit
{
    Q_OBJECT

public:
    explicit SearchEdit(QWidget *parent = nullptr);
};

} // namespace toolkit
