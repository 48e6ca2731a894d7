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

#include <QtCore>

#include <dlfcn.h>

#include <climits>
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

// For the calls that may fail to take what they wait for.
bool acquiredIf(bool taken, void *key)
{
    if (taken)
        __tsan_acquire(key);
    return taken;
}

// Runs in the receiving thread just before Qt delivers any event.
bool eventDelivered(void **)
{
    __tsan_acquire(&eventQueues);
    return false;
}

[[maybe_unused]] const bool registered = QInternal::registerCallback(QInternal::EventNotifyCallback, eventDelivered);

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

using Arg = QGenericArgument;

bool QMetaObject::invokeMethod(QObject *object, const char *member, Qt::ConnectionType type, QGenericReturnArgument ret,
                               Arg a0, Arg a1, Arg a2, Arg a3, Arg a4, Arg a5, Arg a6, Arg a7, Arg a8, Arg a9)
{
    static const auto next = real<bool (*)(QObject *, const char *, Qt::ConnectionType, QGenericReturnArgument, Arg,
                                           Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg, Arg)>(
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
    return acquiredIf(next(this, timeout), this);
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

// Qt's own overload does just this, calling the other one inside the library.
bool QWaitCondition::wait(QMutex *mutex, unsigned long time)
{
    return wait(mutex, time == ULONG_MAX ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(time));
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
    return acquiredIf(next(this, n), this);
}

bool QSemaphore::tryAcquire(int n, int timeout)
{
    static const auto next = real<bool (*)(QSemaphore *, int, int)>("_ZN10QSemaphore10tryAcquireEii");
    return acquiredIf(next(this, n, timeout), this);
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
    QRunnable *runnable = QRunnable::create([this, function = std::move(functionToRun)] {
        __tsan_acquire(this);
        function();
    });
    __tsan_release(this);
    start(runnable, priority);
}

void QThread::start(Priority priority)
{
    static const auto next = real<void (*)(QThread *, Priority)>("_ZN7QThread5startENS_8PriorityE");
    if (!property(finishedConnected).toBool()) {
        setProperty(finishedConnected, true);
        connect(
            this, &QThread::finished, this, [this] { finishReleases().setLocalData(new FinishRelease{this}); },
            Qt::DirectConnection);
    }
    next(this, priority);
}

bool QThread::wait(QDeadlineTimer deadline)
{
    static const auto next = real<bool (*)(QThread *, QDeadlineTimer)>("_ZN7QThread4waitE14QDeadlineTimer");
    return acquiredIf(next(this, deadline), this);
}

// Qt's own overload does just this, calling the other one inside the library.
bool QThread::wait(unsigned long time)
{
    return wait(time == ULONG_MAX ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(time));
}
