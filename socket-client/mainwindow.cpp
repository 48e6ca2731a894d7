#include "mainwindow.h"

#include "addprinterwidget.h"
#include "clientlog.h"
#include "dbus.h"
#include "jobdatabase.h"
#include "printeradaptor.h"
#include "protocol.h"
#include "toolbutton.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusError>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTcpSocket>
#include <QTimer>
#include <QWindow>
#include <QX11Info>

#include <X11/Xlib.h>

namespace {

const QString serviceName = QStringLiteral("com.olvenka.cloud.printer");
const QString objectPath = QStringLiteral("/com/olvenka/cloud/printer");

// The window grows around its centre by this much for the printer list page.
constexpr int growX = 175;
constexpr int growY = 150;
const QSize connectPageSize(500, 350);
const QSize printerPageSize(850, 650);
constexpr int titleBarHeight = 35;

} // namespace

MainWindow::MainWindow(const ClientSettings &settings, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(settings)
    , ui(std::make_unique<Ui::MainWindow>())
{
    ui->setupUi(this);
    initUi();

    m_verifySocket = new QTcpSocket(this);
    m_fileInfoSocket = new QTcpSocket(this);
    m_fileSocket = new QTcpSocket(this);
    // Every message is one small write that waits for an answer: held back
    // for the peer's delayed acknowledgement, each would cost 40 ms.
    for (QTcpSocket *socket : {m_verifySocket, m_fileInfoSocket, m_fileSocket}) {
        connect(socket, &QTcpSocket::connected, socket,
                [socket] { socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    }

    m_addPrinterWidget = std::make_unique<AddPrinterWidget>(m_settings.ppdDir, m_settings.queuePpd);

    m_trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/data/img/olvenka-cloud-printer.svg")), this);
    m_trayIcon->setToolTip(tr("Olvenka Cloud Printer"));
    auto *trayMenu = new QMenu(this);
    connect(trayMenu->addAction(QIcon(QStringLiteral(":/data/img/quit.png")), tr("quit")), &QAction::triggered, this,
            &MainWindow::quitAppSlot);
    m_trayIcon->setContextMenu(trayMenu);
    m_trayIcon->show();

    createTitleBarButtons();
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::onSysTrayIconActived);
    connect(m_verifySocket, &QTcpSocket::readyRead, this, &MainWindow::readVerifySocket);
    connect(m_fileInfoSocket, &QTcpSocket::readyRead, this, &MainWindow::readFileInfoSocket);
    connect(m_fileSocket, &QTcpSocket::readyRead, this, &MainWindow::readFileSocket);
    connect(m_verifySocket, &QTcpSocket::errorOccurred, this, &MainWindow::displayError);
    for (QTcpSocket *socket : {m_fileInfoSocket, m_fileSocket})
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { uploadConnectionLost(socket); });
    connect(m_addPrinterWidget.get(), &AddPrinterWidget::loadPrintLogWidSignal, this,
            &MainWindow::changeTitleBarWidgetSlot);
    connect(m_addPrinterWidget.get(), &AddPrinterWidget::cancelPrintingActionSignal, this, &MainWindow::cancelPrinting);
    connect(m_addPrinterWidget.get(), &AddPrinterWidget::priorityPrintingActionSignal, this,
            &MainWindow::priorityPrinting);

    // A fresh home may lack ~/.config as well: without the folder no job
    // or server could ever be stored.
    QDir().mkpath(m_settings.configDir);
    registerOnBus();
    JobDatabase::open(m_settings.databaseFile);
    fillComboBox();
    autoLogin();
}

MainWindow::~MainWindow()
{
    if (m_registeredOnBus) {
        QDBusConnection bus = QDBusConnection::systemBus();
        bus.unregisterObject(objectPath);
        bus.unregisterService(serviceName);
    }
    // The page is owned here, also while it is shown inside the window.
    m_addPrinterWidget->setParent(nullptr);
    JobDatabase::close();
}

void MainWindow::initUi()
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::ClickFocus);
    setWindowTitle(tr("Olvenka Cloud Printer"));
    setWindowIcon(QIcon(QStringLiteral(":/data/img/olvenka-cloud-printer.svg")));
    ui->iconLabel->setPixmap(QPixmap(QStringLiteral(":/data/img/logo.png")));

    QLineEdit *code = ui->codeLineEdit;
    code->setStyleSheet(QStringLiteral("QLineEdit{border:1px solid rgba(207, 207, 207, 0.5);border-radius:4px;"
                                       "color:rgba(68, 68, 68, 1);font-size:14px;}"));
    code->setPlaceholderText(tr("Enter the authorization code"));
    code->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9]{12}")), code));
    code->setEchoMode(QLineEdit::Password);
    code->setContextMenuPolicy(Qt::NoContextMenu);
    code->setFocusPolicy(Qt::ClickFocus);
    m_codeToggle = code->addAction(QIcon(QStringLiteral(":/data/img/hide-code.png")), QLineEdit::TrailingPosition);
    connect(m_codeToggle, &QAction::triggered, this, &MainWindow::actionTriggered);

    ui->settingBtn->setShortcut(Qt::Key_Return);

    m_addressList = new QListWidget(this);
    QComboBox *box = ui->comboBox;
    box->setModel(m_addressList->model());
    box->setView(m_addressList);
    box->setFixedSize(250, 30);
    box->setEditable(true);
    box->setItemDelegate(new QStyledItemDelegate(box));
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setFocusPolicy(Qt::ClickFocus);
    box->lineEdit()->setMaxLength(15);

    ui->checkBox->setChecked(true);
}

void MainWindow::createTitleBarButtons()
{
    auto *titleBar = qobject_cast<QHBoxLayout *>(ui->titleBarWid->layout());
    m_switchButton = new ToolButton(QStringLiteral("switch"), 30, 30, ToolButton::Plain, ui->titleBarWid);
    m_switchLabel = new QLabel(tr("Switch server"), ui->titleBarWid);
    titleBar->insertWidget(2, m_switchButton);
    titleBar->insertWidget(3, m_switchLabel);
    connect(m_switchButton, &ToolButton::clicked, this, [this] {
        closeSessionSockets();
        switchToConnectWid();
    });

    auto *minButton = new ToolButton(QStringLiteral("min"), 30, 30, ToolButton::Blue, ui->titleBtnWid);
    auto *closeButton = new ToolButton(QStringLiteral("close"), 30, 30, ToolButton::Red, ui->titleBtnWid);
    ui->titleBtnWid->layout()->addWidget(minButton);
    ui->titleBtnWid->layout()->addWidget(closeButton);
    connect(minButton, &ToolButton::clicked, this, &QWidget::showMinimized);
    connect(closeButton, &ToolButton::clicked, this, [this] {
        hide();
        loadTitleWidSlot();
        m_addPrinterWidget->widgetMakeZero();
    });

    m_returnWidget = new QWidget(ui->titleBarWid);
    // At least 90 wide, and wide enough for its label in every language.
    m_returnWidget->setMinimumWidth(90);
    m_returnWidget->setFixedHeight(30);
    auto *returnLayout = new QHBoxLayout(m_returnWidget);
    returnLayout->setContentsMargins(15, 0, 0, 0);
    returnLayout->setSpacing(8);
    auto *returnButton = new ToolButton(QStringLiteral("return"), 30, 30, ToolButton::Plain, m_returnWidget);
    returnLayout->addWidget(returnButton);
    returnLayout->addWidget(new QLabel(tr("Return"), m_returnWidget));
    m_returnWidget->hide();
    connect(returnButton, &ToolButton::clicked, this, [this] {
        m_addPrinterWidget->loadAddPrinterWidSlot();
        loadTitleWidSlot();
    });

    setPageControlsVisible(false);
}

void MainWindow::setPageControlsVisible(bool visible)
{
    m_switchButton->setVisible(visible);
    m_switchLabel->setVisible(visible);
    ui->lineframe->setVisible(visible);
}

void MainWindow::registerOnBus()
{
    m_dbus = std::make_unique<DBus>(m_settings.spoolDir);
    new PrinterAdaptor(m_dbus.get());
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerService(serviceName))
        qCDebug(lcBus).noquote() << "error:" << bus.lastError().message();
    else if (!bus.registerObject(objectPath, m_dbus.get(), QDBusConnection::ExportAdaptors))
        qCDebug(lcBus).noquote() << "error:" << bus.lastError().message();
    else
        m_registeredOnBus = true;
    connect(m_dbus.get(), &DBus::sendPrintSignal, this, &MainWindow::callPrintOperation, Qt::DirectConnection);
}

void MainWindow::autoLogin()
{
    const std::optional<JobDatabase::Server> server = JobDatabase::autoLoginServer();
    if (!server)
        return;
    const int index = ui->comboBox->findText(server->ip, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->comboBox->setCurrentIndex(index);
    ui->comboBox->setCurrentText(server->ip);
    ui->codeLineEdit->setText(server->code);
    on_settingBtn_clicked();
}

// Connect page

void MainWindow::fillComboBox()
{
    m_addressList->clear();
    const QVector<JobDatabase::Server> servers = JobDatabase::servers();
    for (const JobDatabase::Server &server : servers) {
        auto *item = new QListWidgetItem(server.ip, m_addressList);
        auto *entry = new QWidget;
        entry->setFixedSize(230, 30);
        auto *layout = new QHBoxLayout(entry);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addStretch();
        auto *remove = new QPushButton(entry);
        remove->setFixedSize(20, 20);
        remove->setIcon(QIcon(QStringLiteral(":/data/img/remove.png")));
        remove->setStyleSheet(QStringLiteral("background:transparent;"));
        layout->addWidget(remove);
        m_addressList->setItemWidget(item, entry);
        connect(remove, &QPushButton::pressed, this, [this, item] {
            ui->comboBox->hidePopup();
            JobDatabase::removeServer(item->text());
            delete m_addressList->takeItem(m_addressList->row(item));
        });
    }
}

void MainWindow::on_comboBox_activated(const QString &address)
{
    const std::optional<JobDatabase::Server> server = JobDatabase::server(address);
    if (!server)
        return;
    ui->codeLineEdit->setText(server->code);
    if (server->login == 1) {
        ui->loginCheckBox->setChecked(true);
        ui->checkBox->setChecked(true);
    } else {
        ui->loginCheckBox->setChecked(false);
    }
}

void MainWindow::on_comboBox_currentTextChanged(const QString &address)
{
    const std::optional<JobDatabase::Server> server = JobDatabase::server(address);
    ui->codeLineEdit->setText(server ? server->code : QString());
    ui->loginCheckBox->setChecked(server && server->login == 1);
}

void MainWindow::on_loginCheckBox_clicked(bool checked)
{
    if (checked)
        ui->checkBox->setChecked(true);
}

void MainWindow::on_checkBox_clicked(bool checked)
{
    if (!checked)
        ui->loginCheckBox->setChecked(false);
}

void MainWindow::actionTriggered()
{
    ui->codeLineEdit->setEchoMode(m_codeVisible ? QLineEdit::Password : QLineEdit::Normal);
    m_codeToggle->setIcon(
        QIcon(m_codeVisible ? QStringLiteral(":/data/img/hide-code.png") : QStringLiteral(":/data/img/show-code.png")));
    m_codeVisible = !m_codeVisible;
}

void MainWindow::on_settingBtn_clicked()
{
    const QString address = ui->comboBox->currentText();
    const QString code = ui->codeLineEdit->text();
    if (address.isEmpty()) {
        ui->remindLabel->setText(tr("Please enter the server IP address!"));
    } else if (code.isEmpty()) {
        ui->remindLabel->setText(tr("Please enter the authorization code!"));
    } else {
        // A new attempt must not show the outcome of the last one.
        ui->remindLabel->clear();
        m_serverAddress = address;
        connectToServer();
        sendVerify();
        clearSpoolDir();
    }
    m_lastAddress = address;
    m_lastCode = code;
}

void MainWindow::clearSpoolDir()
{
    const QDir spool(m_settings.spoolDir);
    const QStringList entries = spool.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        QFile::remove(spool.filePath(entry));
}

// Pages and title bar

void MainWindow::showPrinterListPage()
{
    m_onPrinterPage = true;
    setPageControlsVisible(true);
    ui->remindLabel->clear();
    const QRect old = geometry();
    setFixedSize(printerPageSize);
    move(old.x() - growX, old.y() - growY);
    ui->frame->setFixedSize(printerPageSize);
    ui->titleBarWid->setFixedSize(printerPageSize.width(), titleBarHeight);
    ui->contentWidget->setFixedSize(printerPageSize.width(), printerPageSize.height() - titleBarHeight);

    ui->connectWid->hide();
    m_addPrinterWidget->setParent(ui->contentWidget);
    m_addPrinterWidget->widgetMakeZero();
    m_addPrinterWidget->move(0, 0);
    m_addPrinterWidget->show();
}

void MainWindow::switchToConnectWid()
{
    m_onPrinterPage = false;
    setPageControlsVisible(false);
    const QRect old = geometry();
    setFixedSize(connectPageSize);
    move(old.x() + growX, old.y() + growY);
    ui->frame->setFixedSize(connectPageSize);
    ui->titleBarWid->setFixedSize(connectPageSize.width(), titleBarHeight);
    ui->contentWidget->setFixedSize(connectPageSize.width(), connectPageSize.height() - titleBarHeight);

    m_addPrinterWidget->hide();
    ui->connectWid->setParent(ui->contentWidget);
    ui->connectWid->move(0, 0);
    ui->connectWid->show();

    fillComboBox();
    ui->comboBox->setEditText(m_lastAddress);
    ui->codeLineEdit->setText(m_lastCode);
    closeSessionSockets();
    // Closed sockets report no error: an upload in flight ends here.
    if (m_uploading)
        abortUpload("the session ended");
    const int index = ui->comboBox->findText(m_lastAddress, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->comboBox->setCurrentIndex(index);
}

void MainWindow::changeTitleBarWidgetSlot()
{
    auto *titleBar = qobject_cast<QHBoxLayout *>(ui->titleBarWid->layout());
    if (titleBar->indexOf(ui->titleWid) < 0)
        return;
    titleBar->removeWidget(ui->titleWid);
    ui->titleWid->hide();
    titleBar->insertWidget(0, m_returnWidget);
    m_returnWidget->show();
    setPageControlsVisible(false);
}

void MainWindow::loadTitleWidSlot()
{
    auto *titleBar = qobject_cast<QHBoxLayout *>(ui->titleBarWid->layout());
    if (titleBar->indexOf(m_returnWidget) >= 0) {
        titleBar->removeWidget(m_returnWidget);
        m_returnWidget->hide();
        titleBar->insertWidget(0, ui->titleWid);
        ui->titleWid->show();
    }
    // The session controls belong to the printer list page only.
    setPageControlsVisible(m_onPrinterPage);
}

void MainWindow::onSysTrayIconActived(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (isHidden())
        show();
    else
        hide();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Only the tray menu ends the program; closing hides to the tray.
    event->ignore();
    hide();
    loadTitleWidSlot();
    m_addPrinterWidget->widgetMakeZero();
}

void MainWindow::quitAppSlot()
{
    closeSessionSockets();
    m_addPrinterWidget->removeClientQueues();
    JobDatabase::close();
    QCoreApplication::quit();
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = true;
    QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        moveWindow();
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::moveWindow()
{
    if (!QX11Info::isPlatformX11()) {
        if (QWindow *window = windowHandle())
            window->startSystemMove();
        return;
    }
    // The window manager moves the frameless window, as with a title bar.
    Display *display = QX11Info::display();
    const QPoint cursor = QCursor::pos();
    XEvent message = {};
    message.xclient.type = ClientMessage;
    message.xclient.message_type = XInternAtom(display, "_NET_WM_MOVERESIZE", False);
    message.xclient.display = display;
    message.xclient.window = Window(winId());
    message.xclient.format = 32;
    message.xclient.data.l[0] = cursor.x();
    message.xclient.data.l[1] = cursor.y();
    message.xclient.data.l[2] = 8;
    message.xclient.data.l[3] = Button1;
    message.xclient.data.l[4] = 0;
    XUngrabPointer(display, CurrentTime);
    XSendEvent(display, QX11Info::appRootWindow(QX11Info::appScreen()), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XFlush(display);
}

// Session

void MainWindow::connectToServer()
{
    m_verifySocket->abort();
    m_verifySocket->connectToHost(QHostAddress(m_serverAddress), m_settings.verifyPort);
}

void MainWindow::sendVerify()
{
    m_verifySocket->write(protocol::verifyMessage(ui->codeLineEdit->text(), ui->comboBox->currentText()));
}

void MainWindow::displayError(QAbstractSocket::SocketError)
{
    qCDebug(lcSession).noquote() << "verify connection:" << m_verifySocket->errorString();
    ui->remindLabel->setText(tr("Connection exception"));
}

void MainWindow::readVerifySocket()
{
    const QByteArray reply = m_verifySocket->readAll();
    switch (protocol::replyCode(reply)) {
    case protocol::Verified:
        updatedbAfterConnectSucc();
        showPrinterListPage();
        m_addPrinterWidget->fillTableWidget(protocol::printerList(reply));
        for (auto [socket, port] :
             {std::pair{m_fileInfoSocket, m_settings.fileInfoPort}, {m_fileSocket, m_settings.filePort}}) {
            socket->abort();
            socket->connectToHost(QHostAddress(m_serverAddress), port);
        }
        m_verifySocket->close();
        break;
    case protocol::VerifyRefused:
        m_verifySocket->close();
        ui->remindLabel->setText(tr("IP address or the authorization code is wrong!"));
        break;
    default:
        break;
    }
}

void MainWindow::updatedbAfterConnectSucc()
{
    JobDatabase::saveServer(ui->comboBox->currentText(), ui->codeLineEdit->text(), ui->checkBox->isChecked(),
                            ui->loginCheckBox->isChecked());
}

void MainWindow::connectIfUnconnected(QTcpSocket *socket, quint16 port)
{
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->connectToHost(QHostAddress(m_serverAddress), port);
}

void MainWindow::closeSessionSockets()
{
    // Also a connection still being made: it would outlive its session.
    for (QTcpSocket *socket : {m_fileInfoSocket, m_fileSocket}) {
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->close();
    }
}

void MainWindow::endSession(const QString &message)
{
    closeSessionSockets();
    ui->remindLabel->setText(message);
    switchToConnectWid();
}

void MainWindow::callPrintOperation(const QString &fileName, const QString &mode)
{
    const QString path = m_settings.spoolDir + QLatin1Char('/') + fileName;
    // One upload at a time; later requests wait their turn instead of
    // taking over the one in flight.
    if (m_uploading) {
        m_waiting.enqueue({path, mode});
        return;
    }
    sendFileInfo(path, mode);
}

void MainWindow::sendFileInfo(const QString &path, const QString &mode)
{
    if (path.isEmpty()) {
        qCDebug(lcSession) << "设置文件路径失败";
        return;
    }
    m_uploading = true;
    ++m_uploadSerial;
    const QFileInfo info(path);
    m_fileName = info.fileName();
    const protocol::SpooledName name = protocol::parseSpooledName(m_fileName);
    m_documentName = name.documentName;
    m_printerName = name.printerName;
    m_jobTag = name.jobTag;
    m_fileSize = info.size();
    m_bytesSent = 0;

    m_file.close();
    m_file.setFileName(path);
    // Read in 4096-byte chunks of the upload's own: no second buffer.
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        qCDebug(lcSession) << "文件打开失败";

    qCDebug(lcSession) << "发送文件头";
    m_header = protocol::fileHeader(m_documentName, m_printerName, m_fileSize, m_jobTag, mode);
    connectIfUnconnected(m_fileInfoSocket, m_settings.fileInfoPort);
    m_fileInfoSocket->write(m_header);
}

void MainWindow::readFileInfoSocket()
{
    switch (protocol::replyCode(m_fileInfoSocket->readAll())) {
    case protocol::HeaderAccepted:
        qCDebug(lcSession) << "文件头发送成功";
        sendFile();
        break;
    case protocol::HeaderRefused:
        qCDebug(lcSession) << "文件头发送失败";
        m_file.close();
        finishUpload();
        break;
    default:
        break;
    }
}

void MainWindow::sendFile()
{
    connectIfUnconnected(m_fileSocket, m_settings.filePort);
    m_sending = true;
    QByteArray chunk(4096, Qt::Uninitialized);
    for (;;) {
        const qint64 read = m_file.read(chunk.data(), chunk.size());
        if (read <= 0)
            break;
        // Handed to the kernel at once; the wait is only for what it did not
        // take. A server that stops reading, or a connection that is gone,
        // ends the upload instead of holding the window for every chunk left.
        bool written = m_fileSocket->write(chunk.constData(), read) == read;
        if (written && m_fileSocket->state() == QAbstractSocket::ConnectedState)
            m_fileSocket->flush();
        if (written && m_fileSocket->bytesToWrite() > 0)
            written = m_fileSocket->waitForBytesWritten(m_settings.writeTimeoutMs);
        if (!written) {
            m_sending = false;
            abortUpload("the server did not take the data in time");
            return;
        }
        m_bytesSent += read;
        qCDebug(lcUpload) << "已发送数据长度:" << read;
        qCDebug(lcUpload) << "发送数据总长度:" << m_bytesSent;
    }
    m_sending = false;
    if (m_bytesSent == m_fileSize)
        m_file.close();
}

void MainWindow::readFileSocket()
{
    // Replies that came in while a file was being written are handled
    // once it is done, so they cannot start another upload under it.
    if (m_sending) {
        QMetaObject::invokeMethod(this, &MainWindow::readFileSocket, Qt::QueuedConnection);
        return;
    }
    const QString reply = protocol::fromGbk(m_fileSocket->readAll());
    const QString pdfName = protocol::fields(reply).value(1);
    const int oldState = JobDatabase::jobState(pdfName);

    int newState = 0;
    const char *failureText = nullptr;
    switch (protocol::code(reply)) {
    case protocol::CodeRevoked:
        endSession(tr("Please update the authorization code"));
        return;
    case protocol::ServerProblem:
        endSession(tr("Please check the server connection"));
        return;
    case protocol::FileReceived:
        qCDebug(lcSession) << "服务端文件接收成功";
        m_pdfName = protocol::pdfName(m_documentName, m_jobTag);
        JobDatabase::insertJob(m_pdfName, m_printerName, m_documentName, protocol::StateWaiting,
                               QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd")));
        refreshViews();
        QFile::remove(m_file.fileName());
        finishUpload();
        return;
    case protocol::FileFailed:
        qCDebug(lcSession) << "服务端文件接收失败";
        finishUpload();
        return;
    case protocol::JobPrinted:
        qCDebug(lcSession).noquote() << "打印完毕" << pdfName;
        newState = protocol::StatePrinted;
        failureText = "update finished printing failed!";
        break;
    case protocol::JobPrinting:
        qCDebug(lcSession).noquote() << "正在打印中" << pdfName;
        newState = protocol::StatePrinting;
        failureText = "update printing failed!";
        break;
    case protocol::JobFailed:
        qCDebug(lcSession).noquote() << "打印异常" << pdfName;
        newState = protocol::StateAnomaly;
        failureText = "update print abnormal failed!";
        break;
    default:
        return;
    }
    // A job the user cancelled stays cancelled whatever the printer says.
    if (oldState != protocol::StateCancelled)
        JobDatabase::setJobState(pdfName, newState, failureText);
    refreshViews();
}

void MainWindow::refreshViews()
{
    m_addPrinterWidget->updateLogWidTableView();
    m_addPrinterWidget->updateTableWidget();
}

void MainWindow::finishUpload()
{
    m_uploading = false;
    if (!m_waiting.isEmpty()) {
        const PrintRequest next = m_waiting.dequeue();
        sendFileInfo(next.path, next.mode);
    }
}

void MainWindow::abortUpload(const char *reason)
{
    qCWarning(lcSession).noquote() << "upload of" << m_fileName << "stopped after" << m_bytesSent << "of" << m_fileSize
                                   << "bytes:" << QLatin1String(reason);
    m_file.close();
    // The server drops what it has of the file when its connection goes.
    m_fileSocket->abort();
    finishUpload();
}

void MainWindow::uploadConnectionLost(QTcpSocket *socket)
{
    if (!m_uploading)
        return;
    qCDebug(lcSession).noquote() << "session connection:" << socket->errorString();
    // Handled from the event loop: the error may be raised inside sendFile.
    const quint64 upload = m_uploadSerial;
    QTimer::singleShot(0, this, [this, upload] {
        if (m_uploading && upload == m_uploadSerial)
            abortUpload("the connection to the server was lost");
    });
}

void MainWindow::sendJobCommand(const QString &command)
{
    connectIfUnconnected(m_fileInfoSocket, m_settings.fileInfoPort);
    m_fileInfoSocket->write(command.toLocal8Bit());
    m_fileInfoSocket->waitForBytesWritten(m_settings.writeTimeoutMs);
}

void MainWindow::cancelPrinting(const QString &command)
{
    sendJobCommand(command);
    const QString pdfName = protocol::fields(command).value(2);
    qCDebug(lcSession).noquote() << "取消打印" << pdfName;
    JobDatabase::setJobState(pdfName, protocol::StateCancelled, "update cancel printing failed!");
    refreshViews();
}

void MainWindow::priorityPrinting(const QString &command)
{
    sendJobCommand(command);
}
