#include "portconfigdialog.h"

#include "fontsize.h"
#include "label.h"
#include "lineedit.h"
#include "placement.h"
#include "printerport.h"
#include "titlebar.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int alertDurationMs = 3000;
} // namespace

std::unique_ptr<toolkit::Dialog> createConfigTipDialog()
{
    auto dialog = std::make_unique<toolkit::Dialog>();
    dialog->setModal(true);
    dialog->setFixedSize(380, 139);
    dialog->setIcon(QIcon(QStringLiteral(":/view/resource/warning_logo.svg")));
    dialog->setMessage(
        PortConfigDialog::tr("Modify configuration to restart service to take effect, whether to continue?"));
    dialog->messageLabel()->setAlignment(Qt::AlignCenter);
    dialog->messageLabel()->setWordWrap(true);
    toolkit::bindFontSize(dialog->messageLabel(), toolkit::FontSize::T6);
    dialog->addButton(PortConfigDialog::tr("Cancel"));
    dialog->addButton(PortConfigDialog::tr("Continue"), true, toolkit::Dialog::ButtonWarning);
    return dialog;
}

PortConfigDialog::PortConfigDialog(QWidget *parent)
    : toolkit::MainWindow(parent)
{
    initUI();
    toolkit::moveToCenterOf(this, parent);
}

void PortConfigDialog::initUI()
{
    titlebar()->setMenuVisible(false);
    titlebar()->setIcon(QIcon(QStringLiteral(":/view/resource/controlcenter.svg")));
    setWindowFlags((windowFlags() | Qt::Dialog) & ~Qt::WindowMinMaxButtonsHint);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(480, 323);

    auto *title = new toolkit::Label(tr("Port Configuration"));
    toolkit::bindFontSize(title, toolkit::FontSize::T5, true);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(0);
    titleRow->setContentsMargins(18, 0, 0, 0);
    titleRow->addWidget(title);

    auto *hint = new toolkit::Label(tr("Port configurable range: 1025-65535"));
    hint->setTone(toolkit::Label::Tone::Secondary);
    toolkit::bindFontSize(hint, toolkit::FontSize::T8);
    auto *hintRow = new QHBoxLayout;
    hintRow->setSpacing(0);
    hintRow->setContentsMargins(18, 0, 0, 0);
    hintRow->addWidget(hint);

    auto *portLabel = new toolkit::Label(tr("Cloud Port"));
    toolkit::bindFontSize(portLabel, toolkit::FontSize::T6);
    m_portEdit = new toolkit::LineEdit;
    m_portEdit->setObjectName(QStringLiteral("portEdit"));
    m_portEdit->setFixedSize(326, 36);
    m_portEdit->setValidator(new QIntValidator(0, printerport::MaximumPort, m_portEdit));
    m_portEdit->setText(QString::number(printerport::GetCloudPrintPortInFile()));
    auto *grid = new QGridLayout;
    grid->setContentsMargins(18, 0, 0, 10);
    grid->setColumnStretch(0, 95);
    grid->setColumnStretch(1, 341);
    grid->addWidget(portLabel, 0, 0, Qt::AlignLeft);
    grid->addWidget(m_portEdit, 0, 1, Qt::AlignLeft);

    m_modifyButton = new QPushButton(tr("Modify"));
    m_modifyButton->setObjectName(QStringLiteral("modifyButton"));
    m_modifyButton->setProperty("toolkitRole", QStringLiteral("recommend"));
    m_modifyButton->setFixedSize(200, 36);
    toolkit::bindFontSize(m_modifyButton, toolkit::FontSize::T6);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_modifyButton);
    buttonRow->addStretch();

    auto *layout = new QVBoxLayout;
    layout->addStretch(6);
    layout->addLayout(titleRow);
    layout->addStretch(26);
    layout->addLayout(hintRow);
    layout->addStretch(10);
    layout->addLayout(grid);
    layout->addSpacing(30);
    layout->addLayout(buttonRow);
    layout->addSpacing(10);

    auto *central = new QWidget;
    central->setLayout(layout);
    setCentralWidget(central);
}

int PortConfigDialog::exec()
{
    QEventLoop loop;
    connect(this, &PortConfigDialog::finished, &loop, &QEventLoop::quit);
    connect(m_modifyButton, &QPushButton::clicked, &loop, [this, &loop] {
        if (savePort())
            loop.quit();
    });
    show();
    loop.exec();
    hide();
    return 0;
}

bool PortConfigDialog::savePort()
{
    // A port outside the range, or one the file did not take, is reported
    // instead of closing as if it had been saved.
    const int port = m_portEdit->text().toInt(nullptr, 10);
    if (!printerport::IsValidPort(port)) {
        m_portEdit->showAlertMessage(tr("Please enter a port from 1025 to 65535"), alertDurationMs);
        return false;
    }
    if (!printerport::SetCloudPrintPort(port)) {
        m_portEdit->showAlertMessage(tr("The port could not be saved"), alertDurationMs);
        return false;
    }
    return true;
}

void PortConfigDialog::closeEvent(QCloseEvent *event)
{
    emit finished();
    event->accept();
}
