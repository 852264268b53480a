#pragma once

#include <QMetaObject>
#include <QObject>

// Asks the thread of `receiver` to run its invokable `method`, which takes
// no arguments, once its event loop comes round. Meant for worker threads:
// the call carries nothing built by our code, so all it hands over goes
// through the caller's own atomics and locks, where ThreadSanitizer sees it.
// (A lambda or a bound member posted from another thread is built here and
// read there behind Qt's own queue, which the sanitizer cannot follow.)
inline void postToOwner(QObject *receiver, const char *method)
{
    [[maybe_unused]] const bool posted = QMetaObject::invokeMethod(receiver, method, Qt::QueuedConnection);
    Q_ASSERT(posted);
}
