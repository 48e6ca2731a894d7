#include "configdialog.h"

#include "agentcheck.h"
#include "buildconfig.h"
#include "cloudprintclient.h"
#include "config.h"
#include "cupsclient.h"
#include "dialog.h"
#include "fontsize.h"
#include "frame.h"
#include "iconbutton.h"
#include "inputvalidators.h"
#include "lineedit.h"
#include "placement.h"
#include "portconfigdialog.h"
#include "printerlist.h"
#include "printerport.h"
#include "spinner.h"
#include "statusthread.h"
#include "themeicon.h"
#include "titlebar.h"
#include "verifyworker.h"
#include "versionmatch.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

// The resource bundles live in a static library, where rcc's own
// registration objects would be dropped by the linker; register them from
// the window's unit, which every user of the library pulls in.
static void registerConfiguratorResources()
{
    Q_INIT_RESOURCE(confighelper);
    Q_INIT_RESOURCE(theme_icons);
    Q_INIT_RESOURCE(configurator_translations);
}

namespace {

const struct ResourceRegistration
{
    ResourceRegistration() { registerConfiguratorResources(); }
} resourceRegistration;

constexpr int alertDurationMs = 3000;
constexpr int localRefreshMs = 2000;
constexpr int serverPollMs = 120000;
const QString configHelperIcon = QStringLiteral(":/view/resource/config-helper.svg");

QString &agentPath()
{
    static QString path = QStringLiteral(QUORVIA_AGENT_PATH);
    return path;
}

} // namespace

ConfiguratorWindow::ConfiguratorWindow(QWidget *parent)
    : toolkit::MainWindow(parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setWindowTitle(QString());

    m_pageStack = new QStackedWidget(this);
    m_pageStack->setFixedSize(680, 450);

    printerport::ConfigPrinterPort();

    setFixedSize(680, 500);
    m_titlebar = titlebar();
    m_titlebar->setSeparatorVisible(true);
    m_titlebar->setBackgroundTransparent(true);
    m_titlebar->setIcon(QIcon(configHelperIcon));

    m_pageStack->addWidget(createConnectionPage());
    m_pageStack->setCurrentIndex(0);
    setCentralWidget(m_pageStack);

    setupMenu();

    m_verifyThread = std::make_unique<QThread>();
    m_worker = std::make_unique<ConfiguratorWindowInnter::Worker>();
    m_worker->moveToThread(m_verifyThread.get());
    connect(m_worker.get(), &ConfiguratorWindowInnter::Worker::listPrinterFinish, this,
            &ConfiguratorWindow::finishVerfiy);
    connect(this, &ConfiguratorWindow::verfiyStart, m_worker.get(), &ConfiguratorWindowInnter::Worker::doListPrinter);
    m_verifyThread->start(QThread::InheritPriority);

    prefillFromLastUsed();

    m_statusTimer.setInterval(localRefreshMs);
    m_pollTimer.setInterval(serverPollMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &ConfiguratorWindow::checkoutStatus);
    connect(&m_pollTimer, &QTimer::timeout, this, &ConfiguratorWindow::checkoutPrintStatus);
}

ConfiguratorWindow::~ConfiguratorWindow()
{
    m_verifyThread->quit();
    m_verifyThread->wait();
    m_verifyThread.reset();
    m_worker->releaseMemory();
    m_worker.reset();
}

ConfiguratorWindowInnter::Worker *ConfiguratorWindow::worker() const
{
    return m_worker.get();
}

void ConfiguratorWindow::setAgentPathForTesting(const QString &path)
{
    agentPath() = path;
}

void ConfiguratorWindow::splashShow()
{
    toolkit::moveToCenter(this);
    show();
}

void ConfiguratorWindow::showEvent(QShowEvent *event)
{
    if (!agentPath().isEmpty())
        AgentCheck(agentPath()).ensureRunning();
    toolkit::MainWindow::showEvent(event);
}

QWidget *ConfiguratorWindow::createConnectionPage()
{
    auto *picture = new QLabel;
    picture->setPixmap(QPixmap(QStringLiteral(":/view/resource/printer.png"))
                           .scaled(260, 260, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picture->setAlignment(Qt::AlignCenter);

    auto *picturePanel = new QWidget;
    picturePanel->setFixedSize(258, 410);
    picturePanel->setContentsMargins(0, 0, 0, 0);
    auto *pictureLayout = new QVBoxLayout(picturePanel);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addWidget(picture, 0, Qt::AlignCenter);

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(picturePanel, 1);
    row->addWidget(createAuthWidget(), 2);

    auto *group = new toolkit::BackgroundGroup;
    group->setContentsMargins(10, 10, 10, 10);
    group->setLayout(row);
    return group;
}

QWidget *ConfiguratorWindow::createAuthWidget()
{
    auto *title = new QLabel(tr("Connect to Cloud Print Server"));
    title->setContentsMargins(10, 0, 10, 10);
    title->setFixedSize(293, 45);
    toolkit::bindFontSize(title, toolkit::FontSize::T5, true);

    auto *ipLabel = new QLabel(tr("IP Address"));
    ipLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ipLabel->setFixedSize(80, 36);
    toolkit::bindFontSize(ipLabel, toolkit::FontSize::T6);

    m_ipEdit = new toolkit::LineEdit;
    m_ipEdit->setObjectName(QStringLiteral("ipEdit"));
    m_ipEdit->setClearButtonEnabled(false);
    m_ipEdit->setPlaceholderText(tr("Please input the printer IP address"));
    m_ipEdit->setFixedSize(255, 36);
    m_ipEdit->setContentsMargins(5, 0, 0, 0);
    m_ipEdit->setValidator(createIpValidator(m_ipEdit));

    auto *authLabel = new QLabel(tr("Auth Code"));
    authLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    toolkit::bindFontSize(authLabel, toolkit::FontSize::T6);

    m_authEdit = new toolkit::PasswordEdit;
    m_authEdit->setObjectName(QStringLiteral("authCodeEdit"));
    m_authEdit->setClearButtonEnabled(false);
    m_authEdit->setPlaceholderText(tr("Please input the auth code"));
    m_authEdit->setFixedSize(255, 36);
    m_authEdit->setContentsMargins(5, 0, 0, 0);
    m_authEdit->setValidator(createAuthcodeValidator(m_authEdit));

    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(20);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(0, 80);
    grid->setColumnStretch(1, 260);
    grid->addWidget(ipLabel, 0, 0, Qt::AlignLeft);
    grid->addWidget(m_ipEdit, 0, 1, Qt::AlignLeft);
    grid->addWidget(authLabel, 2, 0, Qt::AlignLeft);
    grid->addWidget(m_authEdit, 2, 1, Qt::AlignLeft);

    m_nextButton = new QPushButton(tr("Next"));
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    m_nextButton->setProperty("toolkitRole", QStringLiteral("recommend"));
    m_nextButton->setFixedSize(286, 36);

    m_spinner = new toolkit::Spinner;
    m_spinner->setObjectName(QStringLiteral("spinner"));
    m_spinner->setFixedSize(32, 32);
    m_spinner->hide();

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_nextButton);
    buttonRow->addWidget(m_spinner);

    auto *layout = new QVBoxLayout;
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title);
    layout->addSpacing(66);
    layout->addLayout(grid);
    layout->addSpacing(194);
    layout->addLayout(buttonRow);

    auto *panel = new QWidget;
    panel->setLayout(layout);
    panel->setFixedSize(360, 410);

    connect(m_nextButton, &QPushButton::clicked, this, &ConfiguratorWindow::startVerfiy);
    connect(m_nextButton, &QPushButton::clicked, this, &ConfiguratorWindow::clearHits);
    connect(m_ipEdit, &QLineEdit::textChanged, this, &ConfiguratorWindow::updateAddressValid);
    connect(m_ipEdit, &QLineEdit::textChanged, this, &ConfiguratorWindow::clearHits);
    connect(m_authEdit, &QLineEdit::textChanged, this, &ConfiguratorWindow::updateCodePresent);
    connect(m_authEdit, &QLineEdit::textChanged, this, &ConfiguratorWindow::clearHits);
    return panel;
}

void ConfiguratorWindow::setupMenu()
{
    auto *menu = new QMenu(m_titlebar);
    QMenu *settings = menu->addMenu(tr("Settings"));
    QAction *portSetting = settings->addAction(tr("Port Setting"));
    connect(portSetting, &QAction::triggered, this, &ConfiguratorWindow::showconfigTipDialog);
    m_titlebar->setMenu(menu);
}

void ConfiguratorWindow::prefillFromLastUsed()
{
    const ServerConfig last = Config().lastUsed();
    if (last.Address.isEmpty())
        return;
    const QUrl url(last.Address, QUrl::TolerantMode);
    m_ipEdit->setText(url.host(QUrl::FullyDecoded));
    m_authEdit->setText(last.Authcode);
}

void ConfiguratorWindow::updateAddressValid(const QString &text)
{
    m_addressValid = isIpv4Address(text.simplified());
    updateNextEnabled();
}

void ConfiguratorWindow::updateCodePresent(const QString &text)
{
    m_codePresent = !text.simplified().isEmpty();
    updateNextEnabled();
}

void ConfiguratorWindow::updateNextEnabled()
{
    m_nextButton->setEnabled(m_addressValid && m_codePresent);
}

void ConfiguratorWindow::startVerfiy()
{
    m_worker->setAddress(m_ipEdit->text());
    m_worker->setAuthcode(m_authEdit->text());
    m_nextButton->hide();
    m_spinner->start();
    m_spinner->show();
    m_ipEdit->deselect();
    m_authEdit->deselect();
    emit verfiyStart();
}

void ConfiguratorWindow::clearHits()
{
    m_ipEdit->hideAlertMessage();
    m_authEdit->hideAlertMessage();
}

void ConfiguratorWindow::finishVerfiy(int code)
{
    switch (code) {
    case ConfiguratorWindowInnter::Worker::ConnectFailed:
    case ConfiguratorWindowInnter::Worker::ListFailed:
        m_ipEdit->showAlertMessage(tr("Please check network connection or IP"), alertDurationMs);
        break;
    case ConfiguratorWindowInnter::Worker::VerifyFailed:
        m_authEdit->showAlertMessage(tr("Invalid authorization code"), alertDurationMs);
        break;
    default: {
        // The worker is idle now, so its session may be used from here.
        CloudPrintRPCClient *client = m_worker->client();
        const cloudprint::Auth *auth = m_worker->auth();
        const std::string version = client && auth ? client->GetServerVersion(*auth) : std::string();
        setServerVersion(QByteArray(version.data(), static_cast<int>(version.size())));

        switch (isVersionMatch()) {
        case VersionCompatible:
            if (createPrinterWidget() == 0)
                buildPrinterPage();
            return;
        case ClientVersionTooLow:
            m_ipEdit->showAlertMessage(tr("Client version is too low"), alertDurationMs);
            break;
        case ClientVersionTooHigh:
        case ServerVersionInvalid:
            m_ipEdit->showAlertMessage(tr("Client version is too high"), alertDurationMs);
            break;
        case ClientVersionInvalid:
            m_ipEdit->showAlertMessage(tr("Client version not obtained or incorrect"), alertDurationMs);
            break;
        default:
            break;
        }
        break;
    }
    }
    showIdle();
}

int ConfiguratorWindow::createPrinterWidget()
{
    const std::vector<Printer> printers = m_worker->printers();
    if (printers.empty()) {
        showIdle();
        toolkit::Dialog dialog(this);
        dialog.setIcon(QIcon(configHelperIcon));
        dialog.setTextFormat(Qt::RichText);
        dialog.setTitle(tr("No printer available, please try to connect to other print server"));
        dialog.addButton(tr("OK"), true);
        dialog.exec();
        return 1;
    }

    if (!m_printerList) {
        m_printerList = new PrinterList;
        m_printerList->setObjectName(QStringLiteral("printerList"));
    }
    m_printerList->rebuild(printers, CUPSClient::listPrinter());
    // The connection page waits behind the printer page, ready for "back".
    showIdle();

    if (m_pageStack->count() == 2) {
        m_pageStack->setCurrentIndex(1);
        m_searchEdit->setVisible(true);
        m_backButton->show();
        m_refreshButton->show();
        m_ipCaption->setText(tr("IP Address (%1)").arg(m_ipEdit->text()));
        return 2;
    }
    createTitleBarControls();
    return 0;
}

void ConfiguratorWindow::createTitleBarControls()
{
    if (!m_backButton) {
        m_backButton = new toolkit::IconButton(toolkit::themeIcon(QStringLiteral("arrow_left")), m_titlebar);
        m_backButton->setObjectName(QStringLiteral("backButton"));
        m_backButton->setIconSize(QSize(7, 10));
        m_titlebar->addWidget(m_backButton, Qt::AlignLeft);
        connect(m_backButton, &QAbstractButton::clicked, this, &ConfiguratorWindow::showBackWindows);
    }
    if (!m_refreshButton) {
        m_refreshButton = new toolkit::IconButton(toolkit::themeIcon(QStringLiteral("refresh")), m_titlebar);
        m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
        m_titlebar->addWidget(m_refreshButton, Qt::AlignLeft);
        connect(m_refreshButton, &QAbstractButton::clicked, this, &ConfiguratorWindow::checkoutPrintStatus);
    }
    if (!m_searchEdit) {
        m_searchEdit = new toolkit::SearchEdit(m_titlebar);
        m_searchEdit->setObjectName(QStringLiteral("searchEdit"));
        m_searchEdit->setFixedSize(350, 36);
        m_titlebar->addWidget(m_searchEdit);
        connect(m_searchEdit, &QLineEdit::editingFinished, this, &ConfiguratorWindow::filterBySearch);
    }
}

void ConfiguratorWindow::buildPrinterPage()
{
    m_ipCaption = new QLabel(tr("IP Address (%1)").arg(m_ipEdit->text()));
    m_ipCaption->setObjectName(QStringLiteral("ipCaption"));
    m_ipCaption->setContentsMargins(10, 0, 0, 0);
    m_ipCaption->setFixedSize(329, 25);
    toolkit::bindFontSize(m_ipCaption, toolkit::FontSize::T5, true);

    auto *hint = new QLabel(tr("Select the printer to add"));
    hint->setFixedSize(328, 20);
    hint->setContentsMargins(10, 0, 0, 0);
    toolkit::bindFontSize(hint, toolkit::FontSize::T6, true);

    auto *content = new QWidget;
    content->setContentsMargins(0, 0, 0, 0);
    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->addWidget(m_ipCaption);
    contentLayout->addWidget(hint);
    contentLayout->addWidget(m_printerList);

    auto *group = new toolkit::BackgroundGroup;
    group->setContentsMargins(10, 10, 10, 10);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(0, 0, 0, 0);
    groupLayout->addWidget(content);

    m_pageStack->addWidget(group);
    m_pageStack->setCurrentIndex(1);

    // Both keep running for the window's life, also behind the connection page.
    m_statusTimer.start();
    m_pollTimer.start();
}

void ConfiguratorWindow::checkoutStatus()
{
    if (m_printerList) {
        CUPSClient::removeLeftoverQueues();
        m_printerList->refreshInstalled(CUPSClient::listPrinter());
    }
}

void ConfiguratorWindow::checkoutPrintStatus()
{
    ConfiguratorWindowInnter::Worker *worker = statusthread::worker();
    if (!m_statusConnected) {
        connect(this, &ConfiguratorWindow::updateStatus, worker, &ConfiguratorWindowInnter::Worker::doListPrinterFor);
        connect(worker, &ConfiguratorWindowInnter::Worker::listPrinterResult, this,
                &ConfiguratorWindow::showServerStates);
        m_statusConnected = true;
    }
    const ServerConfig last = Config().lastUsed();
    emit updateStatus(last.Address, last.Authcode);
}

void ConfiguratorWindow::showServerStates(int, const std::vector<Printer> &printers)
{
    // Whatever the poll's result: a failed poll leaves the last list.
    if (m_printerList)
        m_printerList->applyServerStates(printers);
}

void ConfiguratorWindow::filterBySearch()
{
    if (m_printerList)
        m_printerList->filter(m_searchEdit->text());
}

void ConfiguratorWindow::updateVisiblePrinter(const QString &name, const QString &ip, bool byName)
{
    if (m_printerList)
        m_printerList->updateVisiblePrinter(name, ip, byName);
}

void ConfiguratorWindow::showBackWindows()
{
    if (m_searchEdit) {
        m_searchEdit->hide();
        m_backButton->hide();
        m_refreshButton->hide();
    }
    m_pageStack->setCurrentIndex(0);
    showIdle();
    m_worker->releaseMemory();
}

void ConfiguratorWindow::showIdle()
{
    m_nextButton->show();
    m_spinner->hide();
    m_spinner->stop();
}

void ConfiguratorWindow::showconfigTipDialog()
{
    const std::unique_ptr<toolkit::Dialog> confirmation = createConfigTipDialog();
    toolkit::moveToCenterOf(confirmation.get(), this);
    if (confirmation->exec() != 1)
        return;
    PortConfigDialog dialog(this);
    dialog.exec();
}
