#pragma once

#include <QMainWindow>

namespace toolkit {

class TitleBar;

// A frameless QMainWindow whose title bar is the toolkit's own.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

    TitleBar *titlebar() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    TitleBar *m_titlebar;
};

} // namespace toolkit
