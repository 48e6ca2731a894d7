#include "statusthread.h"

#include "verifyworker.h"

#include <QCoreApplication>
#include <QThread>

namespace statusthread {

namespace {

QThread *g_thread = nullptr;
ConfiguratorWindowInnter::Worker *g_worker = nullptr;

// Runs as the application object goes: a poll in progress is finished, not
// cut off, and nothing is left running behind the event loop.
void stop()
{
    g_thread->quit();
    g_thread->wait();
    delete g_worker;
    delete g_thread;
    g_worker = nullptr;
    g_thread = nullptr;
}

} // namespace

ConfiguratorWindowInnter::Worker *worker()
{
    if (!g_thread) {
        g_thread = new QThread;
        g_thread->setObjectName(QStringLiteral("status"));
        g_worker = new ConfiguratorWindowInnter::Worker;
        g_worker->moveToThread(g_thread);
        qAddPostRoutine(stop);
    }
    if (!g_thread->isRunning())
        g_thread->start(QThread::InheritPriority);
    return g_worker;
}

} // namespace statusthread
