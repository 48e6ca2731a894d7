#include "authcodeinputdialog.h"

#include "config.h"

#include <QDateTime>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

// Resources of a static library must be pulled in by name.
static void initAgentResources()
{
    Q_INIT_RESOURCE(agent);
}

class AuthcodeInputDialogPrivate
{
public:
    AuthcodeInputDialogPrivate()
        : label(new QLabel)
        , lineEdit(new QLineEdit)
    { }

    QWidget *buildContent() const
    {
        auto *content = new QWidget;
        auto *layout = new QVBoxLayout(content);
        layout->setSpacing(0);
        layout->setContentsMargins(10, 10, 10, 10);
        layout->addSpacing(15);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        layout->addWidget(label);
        layout->addSpacing(16);
        lineEdit->setFixedSize(300, 36);
        lineEdit->setTextMargins(5, 0, 0, 0);
        lineEdit->setPlaceholderText(AuthcodeInputDialog::tr("Please input a new authorization code"));
        layout->addWidget(lineEdit, 0, Qt::AlignCenter);
        layout->addSpacing(12);
        return content;
    }

    void saveCode() const
    {
        Config config;
        config.servers[address] = ServerConfig{authcode, address, QDateTime::currentDateTime()};
        config.save();
    }

    QString address;
    QString authcode;
    QLabel *const label;
    QLineEdit *const lineEdit;
};

AuthcodeInputDialog::AuthcodeInputDialog(QWidget *parent)
    : toolkit::Dialog(parent)
    , d(new AuthcodeInputDialogPrivate)
{
    initAgentResources();
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setIcon(QIcon(QStringLiteral(":/dark/image/config-helper.svg")));
    addContent(d->buildContent());
    addButton(tr("Cancel"));
    addButton(tr("Print"), true);
    setFixedWidth(440);
    connect(this, &toolkit::Dialog::buttonClicked, this, &AuthcodeInputDialog::handleButtonsClicked);
}

AuthcodeInputDialog::~AuthcodeInputDialog() = default;

QString AuthcodeInputDialog::authcode() const
{
    return d->authcode;
}

void AuthcodeInputDialog::setAddress(const QString &addr)
{
    // The address stays on one line: broken after "tqp://" it reads as two.
    // Word joiners between its characters forbid a line break inside it.
    QString whole;
    for (const QChar c : addr) {
        if (!whole.isEmpty())
            whole += QChar(0x2060);
        whole += c;
    }
    d->label->setText(tr("The authorization code of cloud print server (%1) has been updated").arg(whole));
    d->address = addr;
}

void AuthcodeInputDialog::handleButtonsClicked(int index, const QString &)
{
    switch (index) {
    case CancelButton:
        d->authcode.clear();
        break;
    case PrintButton:
        d->authcode = d->lineEdit->text();
        d->saveCode();
        break;
    default:
        break;
    }
}
