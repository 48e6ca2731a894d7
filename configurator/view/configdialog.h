#pragma once

#include "mainwindow.h"

#include <QString>

#include <memory>

class QPushButton;
class QStackedWidget;
class QThread;

namespace toolkit {
class LineEdit;
class PasswordEdit;
class Spinner;
class TitleBar;
} // namespace toolkit

namespace ConfiguratorWindowInnter {
class Worker;
}

// The configurator's main window: the connection page (page 0) and the
// printer page (page 1) in a page stack, and the port setting in the title
// bar's menu.
class ConfiguratorWindow : public toolkit::MainWindow
{
    Q_OBJECT

public:
    explicit ConfiguratorWindow(QWidget *parent = nullptr);
    ~ConfiguratorWindow() override;

    // The verify worker, living on the verify thread.
    ConfiguratorWindowInnter::Worker *worker() const;

    // The agent started when the window is shown; tests point it elsewhere
    // (an empty path turns the check off).
    static void setAgentPathForTesting(const QString &path);

signals:
    void verfiyStart();
    // A compatible server's printers are in the worker; emitted on the way
    // to the printer page.
    void printersReady();

public slots:
    void splashShow();
    void startVerfiy();
    void finishVerfiy(int code);
    void clearHits();
    void showBackWindows();
    void showconfigTipDialog();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *createAuthWidget();
    QWidget *createConnectionPage();
    void setupMenu();
    void prefillFromLastUsed();
    void updateAddressValid(const QString &text);
    void updateCodePresent(const QString &text);
    void updateNextEnabled();
    void showIdle();
    bool openPrinterPage();

    std::unique_ptr<QThread> m_verifyThread;
    toolkit::TitleBar *m_titlebar = nullptr;
    toolkit::LineEdit *m_ipEdit = nullptr;
    toolkit::PasswordEdit *m_authEdit = nullptr;
    QPushButton *m_nextButton = nullptr;
    toolkit::Spinner *m_spinner = nullptr;
    std::unique_ptr<ConfiguratorWindowInnter::Worker> m_worker;
    bool m_addressValid = false;
    bool m_codePresent = false;
    QStackedWidget *m_pageStack = nullptr;
};
