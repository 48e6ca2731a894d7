// Linked into the tests of a ThreadSanitizer build (scripts/test.sh --tsan).
//
// Debian's Qt is not built with ThreadSanitizer. Its QMutex and QSemaphore
// wait on futexes and publish with atomics inside libQt5Core, so ThreadSanitizer
// sees none of the ordering Qt gives between threads, and every object handed
// from one thread to another through a queued signal, a mutex or the thread
// pool would be reported as a race. This file tells ThreadSanitizer about those
// hand-offs where they cross a library boundary, which makes them replaceable:
// a definition in the executable comes before the one in libQt5Core, for our
// own calls and for the calls of Qt's other libraries alike. Each replacement
// calls the real function and adds the acquire or release it implies:
//
// - a signal emitted, an event posted or a method invoked releases "the event
//   queues", and every event delivered acquires them (Qt orders both through
//   the receiving thread's event queue; one key for all queues orders a little
//   more than Qt does, never less);
// - QMutex and QReadWriteLock unlock releases the lock, lock acquires it, and
//   QWaitCondition::wait does both around its wait;
// - QSemaphore::release releases the semaphore, a successful acquire acquires it;
// - a function started on a QThreadPool acquires the pool before it runs;
// - a QThread releases itself when it has finished (after the objects left to
//   deleteLater() are gone), and a successful QThread::wait acquires it.
//
// Nothing else changes: what our own code does between those points stays
// fully checked, and an access from two threads without one of those hand-offs
// between them is still reported. The one key for all event queues can hide a
// race only between a thread that emitted something and another that later
// received an unrelated event. The file is built without instrumentation, like
// the Qt code it stands in for (cmake/QuorviaTesting.cmake).

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QMutex>
#include <QReadWriteLock>
#include <QRunnable>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QThreadStorage>
#include <QVariant>
#include <QWaitCondition>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <sanitizer/tsan_interface.h>

namespace {

char eventQueues; // the key of every event queue

template<typename F>
F real(const char *symbol)
{
    void *function = dlsym(RTLD_NEXT, symbol);
    if (!function) {
        std::fprintf(stderr, "qthandoffs: %s not found: %s\n", symbol, dlerror());
        std::abort();
    }
    return reinterpret_cast<F>(function);
}

// Runs in the receiving thread just before Qt delivers any event.
bool eventDelivered(void **)
{
    __tsan_acquire(&eventQueues);
    return false;
}

struct Registration
{
    Registration() { QInternal::registerCallback(QInternal::EventNotifyCallback, eventDelivered); }
} registration;

const char finishedConnected[] = "_q_tsanFinishedConnected";

// A finishing QThread deletes the objects left to deleteLater() and only then
// its thread-local data, just before it wakes QThread::wait(): the release
// sits in that data so that it follows the deletions.
struct FinishRelease
{
    QThread *thread;
    ~FinishRelease() { __tsan_release(thread); }
};

QThreadStorage<FinishRelease *> &finishReleases()
{
    static QThreadStorage<FinishRelease *> storage;
    return storage;
}

} // namespace

void QMetaObject::activate(QObject *sender, const QMetaObject *meta, int index, void **argv)
{
    static const auto next =
        real<void (*)(QObject *, const QMetaObject *, int, void **)>("_ZN11QMetaObject8activateEP7QObjectPKS_iPPv");
    __tsan_release(&eventQueues);
    next(sender, meta, index, argv);
}

void QCoreApplication::postEvent(QObject *receiver, QEvent *event, int priority)
{
    static const auto next =
        real<void (*)(QObject *, QEvent *, int)>("_ZN16QCoreApplication9postEventEP7QObjectP6QEventi");
    __tsan_release(&eventQueues);
    next(receiver, event, priority);
}

bool QMetaObject::invokeMethodImpl(QObject *object, QtPrivate::QSlotObjectBase *slot, Qt::ConnectionType type,
                                   void *ret)
{
    static const auto next = real<bool (*)(QObject *, QtPrivate::QSlotObjectBase *, Qt::ConnectionType, void *)>(
        "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv");
    __tsan_release(&eventQueues);
    return next(object, slot, type, ret);
}

bool QMetaObject::invokeMethod(QObject *object, const char *member, Qt::ConnectionType type,
                               QGenericReturnArgument ret, QGenericArgument a0, QGenericArgument a1,
                               QGenericArgument a2, QGenericArgument a3, QGenericArgument a4, QGenericArgument a5,
                               QGenericArgument a6, QGenericArgument a7, QGenericArgument a8, QGenericArgument a9)
{
    static const auto next = real<bool (*)(QObject *, const char *, Qt::ConnectionType, QGenericReturnArgument,
                                           QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                                           QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                                           QGenericArgument, QGenericArgument)>(
        "_ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22QGenericReturnArgument16QGenericArgumentS7_"
        "S7_S7_S7_S7_S7_S7_S7_S7_");
    __tsan_release(&eventQueues);
    return next(object, member, type, ret, a0, a1, a2, a3, a4, a5, a6, a7, a8, a9);
}

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto next = real<void (*)(QMutex *)>("_ZN6QMutex4lockEv");
    next(this);
    __tsan_acquire(this);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto next = real<bool (*)(QMutex *, int)>("_ZN6QMutex7tryLockEi");
    const bool locked = next(this, timeout);
    if (locked)
        __tsan_acquire(this);
    return locked;
}

void QMutex::unlock() noexcept
{
    static const auto next = real<void (*)(QMutex *)>("_ZN6QMutex6unlockEv");
    __tsan_release(this);
    next(this);
}

void QReadWriteLock::lockForRead()
{
    static const auto next = real<void (*)(QReadWriteLock *)>("_ZN14QReadWriteLock11lockForReadEv");
    next(this);
    __tsan_acquire(this);
}

void QReadWriteLock::lockForWrite()
{
    static const auto next = real<void (*)(QReadWriteLock *)>("_ZN14QReadWriteLock12lockForWriteEv");
    next(this);
    __tsan_acquire(this);
}

void QReadWriteLock::unlock()
{
    static const auto next = real<void (*)(QReadWriteLock *)>("_ZN14QReadWriteLock6unlockEv");
    __tsan_release(this);
    next(this);
}

bool QWaitCondition::wait(QMutex *mutex, QDeadlineTimer deadline)
{
    static const auto next =
        real<bool (*)(QWaitCondition *, QMutex *, QDeadlineTimer)>("_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
    __tsan_release(mutex);
    const bool woken = next(this, mutex, deadline);
    __tsan_acquire(mutex);
    return woken;
}

bool QWaitCondition::wait(QMutex *mutex, unsigned long time)
{
    static const auto next =
        real<bool (*)(QWaitCondition *, QMutex *, unsigned long)>("_ZN14QWaitCondition4waitEP6QMutexm");
    __tsan_release(mutex);
    const bool woken = next(this, mutex, time);
    __tsan_acquire(mutex);
    return woken;
}

void QSemaphore::acquire(int n)
{
    static const auto next = real<void (*)(QSemaphore *, int)>("_ZN10QSemaphore7acquireEi");
    next(this, n);
    __tsan_acquire(this);
}

bool QSemaphore::tryAcquire(int n)
{
    static const auto next = real<bool (*)(QSemaphore *, int)>("_ZN10QSemaphore10tryAcquireEi");
    const bool acquired = next(this, n);
    if (acquired)
        __tsan_acquire(this);
    return acquired;
}

bool QSemaphore::tryAcquire(int n, int timeout)
{
    static const auto next = real<bool (*)(QSemaphore *, int, int)>("_ZN10QSemaphore10tryAcquireEii");
    const bool acquired = next(this, n, timeout);
    if (acquired)
        __tsan_acquire(this);
    return acquired;
}

void QSemaphore::release(int n)
{
    static const auto next = real<void (*)(QSemaphore *, int)>("_ZN10QSemaphore7releaseEi");
    __tsan_release(this);
    next(this, n);
}

// Qt Gui scales and converts large images on the global pool this way.
void QThreadPool::start(std::function<void()> functionToRun, int priority)
{
    QThreadPool *pool = this;
    QRunnable *runnable = QRunnable::create([pool, function = std::move(functionToRun)] {
        __tsan_acquire(pool);
        function();
    });
    __tsan_release(pool);
    start(runnable, priority);
}

void QThread::start(Priority priority)
{
    static const auto next = real<void (*)(QThread *, Priority)>("_ZN7QThread5startENS_8PriorityE");
    if (!property(finishedConnected).toBool()) {
        setProperty(finishedConnected, true);
        QThread *thread = this;
        connect(
            this, &QThread::finished, this,
            [thread] { finishReleases().setLocalData(new FinishRelease{thread}); }, Qt::DirectConnection);
    }
    next(this, priority);
}

bool QThread::wait(QDeadlineTimer deadline)
{
    static const auto next = real<bool (*)(QThread *, QDeadlineTimer)>("_ZN7QThread4waitE14QDeadlineTimer");
    const bool finished = next(this, deadline);
    if (finished)
        __tsan_acquire(this);
    return finished;
}

bool QThread::wait(unsigned long time)
{
    static const auto next = real<bool (*)(QThread *, unsigned long)>("_ZN7QThread4waitEm");
    const bool finished = next(this, time);
    if (finished)
        __tsan_acquire(this);
    return finished;
}
