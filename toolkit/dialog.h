#pragma once

#include <QDialog>
#include <QList>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace toolkit {

// The toolkit's themed dialog: icon, optional title and message, content
// widgets and a row of buttons. A click on a button emits buttonClicked and
// closes the dialog; exec() then returns that button's index, and -1 when
// the dialog was closed any other way (close button, Escape).
class Dialog : public QDialog
{
    Q_OBJECT

public:
    enum ButtonType { ButtonNormal, ButtonWarning };

    explicit Dialog(QWidget *parent = nullptr);

    void setIcon(const QIcon &icon);
    void setTitle(const QString &title);
    void setMessage(const QString &message);
    void setTextFormat(Qt::TextFormat format);
    QLabel *messageLabel() const;

    void addContent(QWidget *widget, Qt::Alignment alignment = Qt::Alignment());

    // Appends a button and returns its index.
    int addButton(const QString &text, bool isDefault = false, ButtonType type = ButtonNormal);
    int buttonCount() const;
    QAbstractButton *button(int index) const;

public slots:
    void reject() override;

signals:
    void buttonClicked(int index, const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void onButtonClicked(int index);

    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_message;
    QVBoxLayout *m_contentLayout;
    QHBoxLayout *m_buttonLayout;
    QList<QPushButton *> m_buttons;
};

} // namespace toolkit
