#pragma once

#include "dialog.h"
#include "mainwindow.h"

#include <memory>

class QPushButton;

namespace toolkit {
class LineEdit;
}

// The confirmation shown before the port dialog: index 1 ("Continue")
// goes on, anything else stops.
std::unique_ptr<toolkit::Dialog> createConfigTipDialog();

// Shows the stored cloud port and saves a new one; the change takes effect at
// the next start of the configurator.
class PortConfigDialog : public toolkit::MainWindow
{
    Q_OBJECT

public:
    explicit PortConfigDialog(QWidget *parent = nullptr);

    void initUI();
    // Runs until the port is saved or the window is closed; returns 0.
    int exec();

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool savePort();

    toolkit::LineEdit *m_portEdit = nullptr;
    QPushButton *m_modifyButton = nullptr;
};
