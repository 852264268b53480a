#pragma once

#include <QObject>

// The lock-free ring, the sample clock and the hand-over of timed messages.
class SpscRingTest : public QObject {
    Q_OBJECT
private slots:
    void wrapsAroundInOrder();
    void fullAndEmpty();
    void concurrentProducerAndConsumer();
};

class SampleClockTest : public QObject {
    Q_OBJECT
private slots:
    void exactReportsMapExactly();
    void jitterIsSmoothedAndDriftFollowed();
    void stallRestartsTheEstimate();
};

class MessageSchedulerTest : public QObject {
    Q_OBJECT
private slots:
    void timedMessagesLandOnNearestBoundary();
    void lateMessagesPlayAtOnceInOrder();
    void liveMessageWaitsOnlyForItsOwnChannel();
    void flushKeepsLaterMessagesOfItsChannel();
    void fullQueueNeverLosesMessages();
    void eachChannelKeepsItsOrder();
};
