#include "singleapplication.h"

#include "singleinstance.h"

#include <QWidget>

SingleApplication::SingleApplication(const QString &id, int &argc, char **argv)
    : QApplication(argc, argv)
    , m_instance(std::make_unique<SingleInstance>(id))
{
    m_running = !m_instance->claim();
    connect(m_instance.get(), &SingleInstance::messageReceived, this,
            [this](const QByteArray &message) { emit messageReceived(QString::fromUtf8(message)); });
}

SingleApplication::~SingleApplication() = default;

bool SingleApplication::isRunning() const
{
    return m_running;
}

bool SingleApplication::sendMessage(const QString &message, int timeoutMs) const
{
    return m_instance->sendMessage(message.toUtf8(), timeoutMs);
}

void SingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    m_window = window;
    disconnect(m_activation);
    if (activateOnMessage)
        m_activation = connect(this, &SingleApplication::messageReceived, this, &SingleApplication::activateWindow);
}

QWidget *SingleApplication::activationWindow() const
{
    return m_window;
}

void SingleApplication::activateWindow()
{
    if (!m_window)
        return;
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    m_window->showNormal();
    m_window->activateWindow();
}
