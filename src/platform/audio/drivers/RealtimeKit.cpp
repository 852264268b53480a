#include "platform/audio/drivers/RealtimeKit.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <limits>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {

const QString kService = QStringLiteral("org.freedesktop.RealtimeKit1");
const QString kPath = QStringLiteral("/org/freedesktop/RealtimeKit1");
const QString kInterface = QStringLiteral("org.freedesktop.RealtimeKit1");

// The integer a Properties.Get reply carries; false for anything else.
bool integerReply(const QDBusMessage &reply, qint64 *value)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    QVariant v = reply.arguments().constFirst();
    if (v.metaType() == QMetaType::fromType<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    switch (v.typeId()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        *value = v.toLongLong();
        return true;
    case QMetaType::ULongLong:
        *value = qint64(qMin<quint64>(v.toULongLong(), quint64(std::numeric_limits<qint64>::max())));
        return true;
    default:
        return false;
    }
}

#ifdef Q_OS_LINUX
// rtkit grants nothing to a process whose real-time threads could run
// unchecked: both limits go down to its maximum (never up).
bool limitRealtimeCpu(qint64 maxUsec, rlimit *before)
{
    if (getrlimit(RLIMIT_RTTIME, before) != 0)
        return false;
    rlimit limit = *before;
    limit.rlim_max = qMin(limit.rlim_max, rlim_t(maxUsec));
    limit.rlim_cur = qMin(limit.rlim_cur, limit.rlim_max);
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}
#endif

}  // namespace

RealtimeKit::RealtimeKit(const QDBusConnection &bus, QObject *parent) : QObject(parent), bus_(bus) {}

QDBusConnection RealtimeKit::systemBus()
{
    return QDBusConnection::systemBus();
}

void RealtimeKit::makeThreadRealtime(quint64 threadId, int priority, Done done)
{
#ifdef Q_OS_LINUX
    if (!bus_.isConnected() || threadId == 0 || priority < 1) {
        QMetaObject::invokeMethod(this, [done] { done(false); }, Qt::QueuedConnection);
        return;
    }
    readProperty(QStringLiteral("MaxRealtimePriority"), [=](bool ok, qint64 maxPriority) {
        if (!ok || maxPriority < 1)
            return done(false);
        readProperty(QStringLiteral("RTTimeUSecMax"), [=](bool ok, qint64 maxUsec) {
            rlimit before{};
            if (!ok || maxUsec < 1 || !limitRealtimeCpu(maxUsec, &before))
                return done(false);
            QDBusMessage message =
                QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("MakeThreadRealtime"));
            message << QVariant::fromValue(qulonglong(threadId))
                    << QVariant::fromValue(uint(qMin(qint64(priority), maxPriority)));
            call(message, [=](const QDBusMessage &reply) {
                const bool granted = reply.type() == QDBusMessage::ReplyMessage;
                if (!granted)
                    setrlimit(RLIMIT_RTTIME, &before);  // best effort: raising the hard limit takes privilege
                done(granted);
            });
        });
    });
#else
    Q_UNUSED(threadId);
    Q_UNUSED(priority);
    QMetaObject::invokeMethod(this, [done] { done(false); }, Qt::QueuedConnection);
#endif
}

void RealtimeKit::call(const QDBusMessage &message, Reply next)
{
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, next] {
        watcher->deleteLater();
        next(watcher->reply());
    });
}

void RealtimeKit::readProperty(const QString &name, std::function<void(bool ok, qint64 value)> next)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
    message << kInterface << name;
    call(message, [next](const QDBusMessage &reply) {
        qint64 value = 0;
        const bool ok = integerReply(reply, &value);
        next(ok, value);
    });
}
