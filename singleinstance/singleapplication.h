#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

#include <memory>

class QWidget;
class SingleInstance;

// A widgets application object that runs once per user and identifier. The
// first process claims the identifier; later ones find it running and may
// pass it a message. On a message the first process can bring its
// activation window forward.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    SingleApplication(const QString &id, int &argc, char **argv);
    ~SingleApplication() override;

    // True when another process of this user holds the identifier.
    bool isRunning() const;
    // Delivers message to the running process; false when it did not arrive
    // within timeoutMs.
    bool sendMessage(const QString &message, int timeoutMs = 5000) const;

    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const;

public slots:
    // Un-minimizes, raises, shows in normal state (also from hidden) and
    // focuses the activation window, in this order.
    void activateWindow();

signals:
    void messageReceived(const QString &message);

private:
    std::unique_ptr<SingleInstance> m_instance;
    bool m_running = false;
    QPointer<QWidget> m_window;
    QMetaObject::Connection m_activation;
};
