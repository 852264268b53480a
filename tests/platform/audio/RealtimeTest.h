#pragma once

#include <QDBusContext>
#include <QObject>

#include <sys/resource.h>

// Stands in for rtkit on a private peer-to-peer connection: answers the two
// properties and MakeThreadRealtime, and notes what it was asked.
class FakeRealtimeKit : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.RealtimeKit1")
    Q_PROPERTY(int MaxRealtimePriority READ maxRealtimePriority)
    Q_PROPERTY(qlonglong RTTimeUSecMax READ rtTimeUSecMax)
public:
    int maxPriority = 20;
    qlonglong maxUsec = 200000;
    QString refusal;  // an error name to answer with; empty: granted

    int calls = 0;
    quint64 thread = 0;
    uint priority = 0;
    rlimit limitAtCall{};

    int maxRealtimePriority() const { return maxPriority; }
    qlonglong rtTimeUSecMax() const { return maxUsec; }

public slots:
    void MakeThreadRealtime(qulonglong threadId, uint threadPriority);
};

// A service whose property is not a number.
class OddRealtimeKit : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.RealtimeKit1")
    Q_PROPERTY(QString MaxRealtimePriority READ maxRealtimePriority)
    Q_PROPERTY(qlonglong RTTimeUSecMax READ rtTimeUSecMax)
public:
    QString maxRealtimePriority() const { return QStringLiteral("20"); }
    qlonglong rtTimeUSecMax() const { return 200000; }
};

class RealtimeKitTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void oddPropertyIsRefusal();
    void noServiceAtPath();
    void noConnectionAnswersAtOnce();
};

class RealtimeRequestTest : public QObject {
    Q_OBJECT
private slots:
    void refusedThreadIsHandedToOwnerOnce();
    void answerForAnotherThreadIsIgnored();
    void reopenedStreamAsksAgain();
};
