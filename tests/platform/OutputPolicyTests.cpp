// When the device buffer grows, and what the next run starts with.
#include "TestMain.h"
#include "platform/audio/BufferMemory.h"
#include "platform/audio/UnderrunPolicy.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 kMs = 1'000'000;
constexpr qint64 kOpenedAt = 100'000 * kMs;

}  // namespace

class OutputPolicyTest : public QObject {
    Q_OBJECT
private slots:
    void underrunsThatGrowTheBuffer_data()
    {
        QTest::addColumn<qint64>("wokenAt");    // 0: never paused
        QTest::addColumn<qint64>("underrunAt");  // 0: none reported
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("grows");
        const qint64 settled = kOpenedAt + 5000 * kMs;
        QTest::newRow("none") << qint64(0) << qint64(0) << true << false;
        QTest::newRow("in silence, settled") << qint64(0) << settled << true << true;
        QTest::newRow("stream paused") << qint64(0) << settled << false << false;
        QTest::newRow("program starting up") << qint64(0) << kOpenedAt + 1999 * kMs << true << false;
        QTest::newRow("start-up over") << qint64(0) << kOpenedAt + 2000 * kMs << true << true;
        QTest::newRow("filling after a pause") << settled << settled + 299 * kMs << true << false;
        QTest::newRow("after the refill") << settled << settled + 300 * kMs << true << true;
        QTest::newRow("reported before the wake") << settled << settled - 10 * kMs << true << false;
        // A wake during start-up does not shorten it.
        QTest::newRow("woken while starting") << kOpenedAt + 100 * kMs << kOpenedAt + 1000 * kMs << true << false;
    }
    void underrunsThatGrowTheBuffer()
    {
        QFETCH(qint64, wokenAt);
        QFETCH(qint64, underrunAt);
        QFETCH(bool, active);
        QFETCH(bool, grows);
        UnderrunPolicy policy;
        policy.opened(kOpenedAt);
        if (wokenAt > 0)
            policy.restarted(wokenAt);
        QCOMPARE(policy.needsLargerBuffer(underrunAt, active), grows);
    }

    void bufferRememberedBetweenRuns_data()
    {
        QTest::addColumn<QVariant>("stored");  // invalid: nothing
        QTest::addColumn<int>("grewTo");       // 0: no underrun in the run
        QTest::addColumn<int>("endedWith");
        QTest::addColumn<double>("cleanSeconds");
        QTest::addColumn<int>("nextRun");      // 0: the smallest
        QTest::newRow("first run, clean") << QVariant() << 0 << 128 << 30.0 << 0;
        QTest::newRow("only the priority changed") << QVariant(512) << 128 << -1 << 0.0 << 512;
        QTest::newRow("grew once") << QVariant() << 256 << 256 << 30.0 << 256;
        QTest::newRow("grew twice") << QVariant() << 512 << 512 << 5.0 << 512;
        QTest::newRow("killed after growing") << QVariant() << 256 << -1 << 0.0 << 256;
        QTest::newRow("remembered, short run") << QVariant(512) << 0 << 512 << 599.0 << 512;
        QTest::newRow("remembered, clean long") << QVariant(512) << 0 << 512 << 600.0 << 256;
        QTest::newRow("back to the smallest") << QVariant(256) << 0 << 256 << 3600.0 << 0;
        QTest::newRow("smallest stays") << QVariant() << 0 << 128 << 3600.0 << 0;
        QTest::newRow("not a step") << QVariant(300) << 0 << -1 << 0.0 << 0;
        QTest::newRow("not a number") << QVariant(QStringLiteral("viel")) << 0 << -1 << 0.0 << 0;
    }
    void bufferRememberedBetweenRuns()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, grewTo);
        QFETCH(int, endedWith);
        QFETCH(double, cleanSeconds);
        QFETCH(int, nextRun);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dzq.conf"));
        {
            QSettings settings(path, QSettings::IniFormat);
            if (stored.isValid())
                settings.setValue(QStringLiteral("audio/bufferFrames"), stored);
            if (grewTo > 0)
                BufferMemory::grew(settings, grewTo);
            if (endedWith > 0)  // -1: the run was killed
                BufferMemory::atExit(settings, endedWith, cleanSeconds);
        }
        QSettings next(path, QSettings::IniFormat);
        QCOMPARE(BufferMemory::recall(next), nextRun);
    }
};

DZQ_REGISTER_TEST(OutputPolicyTest)
#include "OutputPolicyTests.moc"
