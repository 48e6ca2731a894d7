#pragma once

#include "mainwindow.h"
#include "printer.h"

#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class PrinterList;
class QLabel;
class QPushButton;
class QStackedWidget;
class QThread;

namespace toolkit {
class IconButton;
class LineEdit;
class PasswordEdit;
class SearchEdit;
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

    // Shows only the printer rows that match `name` (byName) or `ip`.
    void updateVisiblePrinter(const QString &name, const QString &ip, bool byName);

signals:
    void verfiyStart();
    // Asks the status worker to poll this server; the values travel with
    // the signal to the status thread.
    void updateStatus(const QString &address, const QString &authcode);

public slots:
    void splashShow();
    void startVerfiy();
    void finishVerfiy(int code);
    void clearHits();
    void checkoutStatus();
    void filterBySearch();
    void checkoutPrintStatus();
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
    // 0: rows built for a new page; 1: no printers, the user was told;
    // 2: rows rebuilt and the existing page shown again.
    int createPrinterWidget();
    void createTitleBarControls();
    void buildPrinterPage();
    void showServerStates(int code, const std::vector<Printer> &printers);

    std::unique_ptr<QThread> m_verifyThread;
    toolkit::TitleBar *m_titlebar = nullptr;
    toolkit::LineEdit *m_ipEdit = nullptr;
    toolkit::PasswordEdit *m_authEdit = nullptr;
    QPushButton *m_nextButton = nullptr;
    toolkit::Spinner *m_spinner = nullptr;
    std::unique_ptr<ConfiguratorWindowInnter::Worker> m_worker;
    bool m_addressValid = false;
    bool m_codePresent = false;
    QTimer m_statusTimer;
    QTimer m_pollTimer;
    PrinterList *m_printerList = nullptr;
    toolkit::IconButton *m_backButton = nullptr;
    toolkit::IconButton *m_refreshButton = nullptr;
    toolkit::SearchEdit *m_searchEdit = nullptr;
    bool m_statusConnected = false;
    QStackedWidget *m_pageStack = nullptr;
    QLabel *m_ipCaption = nullptr;
};
