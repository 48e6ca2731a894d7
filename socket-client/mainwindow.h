#pragma once

#include "clientsettings.h"

#include <QAbstractSocket>
#include <QFile>
#include <QMainWindow>
#include <QQueue>
#include <QSystemTrayIcon>

#include <memory>

class AddPrinterWidget;
class DBus;
class QAction;
class QListWidget;
class QTcpSocket;
class ToolButton;
namespace Ui {
class MainWindow;
}

// The client's only window: the connect page, the printer list page and
// the session with the print server behind them.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const ClientSettings &settings = ClientSettings::defaults(), QWidget *parent = nullptr);
    ~MainWindow() override;

    AddPrinterWidget *addPrinterWidget() const { return m_addPrinterWidget.get(); }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }

    void connectToServer();
    void sendVerify();
    void sendFileInfo(const QString &path, const QString &mode);
    void sendFile();

public slots:
    void callPrintOperation(const QString &fileName, const QString &mode);
    void readVerifySocket();
    void readFileInfoSocket();
    void readFileSocket();
    void displayError(QAbstractSocket::SocketError error);
    void updatedbAfterConnectSucc();
    void cancelPrinting(const QString &command);
    void priorityPrinting(const QString &command);

    void on_settingBtn_clicked();
    void on_loginCheckBox_clicked(bool checked);
    void on_checkBox_clicked(bool checked);
    void on_comboBox_activated(const QString &address);
    void on_comboBox_currentTextChanged(const QString &address);
    void actionTriggered();
    void onSysTrayIconActived(QSystemTrayIcon::ActivationReason reason);
    void changeTitleBarWidgetSlot();
    void loadTitleWidSlot();
    void quitAppSlot();
    void fillComboBox();
    void switchToConnectWid();
    void moveWindow();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct PrintRequest
    {
        QString path;
        QString mode;
    };

    void initUi();
    void createTitleBarButtons();
    void registerOnBus();
    void autoLogin();
    void showPrinterListPage();
    void refreshViews();
    void sendJobCommand(const QString &command);
    void connectIfUnconnected(QTcpSocket *socket, quint16 port);
    void closeSessionSockets();
    void clearSpoolDir();
    void endSession(const QString &message);
    // The current upload is over (confirmed, refused, failed or cut off):
    // the next waiting print request starts.
    void finishUpload();
    void abortUpload(const char *reason);
    // A session socket failed: the upload it carried, if any, is over.
    void uploadConnectionLost(QTcpSocket *socket);
    void setPageControlsVisible(bool visible);

    const ClientSettings m_settings;
    std::unique_ptr<Ui::MainWindow> ui;
    QTcpSocket *m_verifySocket;
    QTcpSocket *m_fileInfoSocket;
    QTcpSocket *m_fileSocket;
    std::unique_ptr<AddPrinterWidget> m_addPrinterWidget;
    QSystemTrayIcon *m_trayIcon;
    ToolButton *m_switchButton = nullptr;
    QWidget *m_switchLabel = nullptr;
    QWidget *m_returnWidget = nullptr;
    QListWidget *m_addressList = nullptr;
    QAction *m_codeToggle = nullptr;
    std::unique_ptr<DBus> m_dbus;
    bool m_registeredOnBus = false;

    bool m_codeVisible = false;
    bool m_dragging = false;

    // Session
    QString m_serverAddress;
    QString m_lastAddress;
    QString m_lastCode;

    // Current upload
    QFile m_file;
    QString m_fileName;
    QString m_documentName;
    QString m_printerName;
    QString m_jobTag;
    qint64 m_fileSize = 0;
    qint64 m_bytesSent = 0;
    QByteArray m_header;
    QString m_pdfName;
    bool m_uploading = false;
    // Tells a late socket error apart from one of the upload now running.
    quint64 m_uploadSerial = 0;
    // True while sendFile writes: replies wait until it is done.
    bool m_sending = false;
    bool m_onPrinterPage = false;
    QQueue<PrintRequest> m_waiting;
};
