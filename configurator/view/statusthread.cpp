#include "statusthread.h"

#include "verifyworker.h"

#include <QCoreApplication>
#include <QThread>

#include <memory>

namespace statusthread {

namespace {

std::unique_ptr<QThread> g_thread;
std::unique_ptr<ConfiguratorWindowInnter::Worker> g_worker;

// Runs as the application object goes: a poll in progress is finished, not
// cut off, and nothing is left running behind the event loop.
void stop()
{
    g_thread->quit();
    g_thread->wait();
    g_worker.reset();
    g_thread.reset();
}

} // namespace

ConfiguratorWindowInnter::Worker *worker()
{
    if (!g_thread) {
        g_thread = std::make_unique<QThread>();
        g_thread->setObjectName(QStringLiteral("status"));
        g_worker = std::make_unique<ConfiguratorWindowInnter::Worker>();
        g_worker->moveToThread(g_thread.get());
        qAddPostRoutine(stop);
    }
    if (!g_thread->isRunning())
        g_thread->start(QThread::InheritPriority);
    return g_worker.get();
}

} // namespace statusthread
