// When the device buffer grows, and what the next run starts with.
#include "TestMain.h"
#include "platform/audio/BufferMemory.h"
#include "platform/audio/drivers/DeviceOutput.h"
#include "platform/audio/drivers/UnderrunPolicy.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 kMs = 1'000'000;
constexpr qint64 kOpenedAt = 100'000 * kMs;
constexpr qint64 kSecond = 1000 * kMs;

// The owner's output check every 200 ms on a virtual clock, against a device
// whose buffer moves between the steps as the policy asks (as the engine
// does). Changes are noted as "seconds after opening:frames".
struct ResizeRig {
    UnderrunPolicy policy;
    int frames;
    QList<qint64> underrunsAt;   // ms after opening, as the device reports them
    qint64 loudUntil = 0;        // the output sounds until then
    qint64 pausedUntil = 0;      // the stream is paused until then
    int downsToRefuse = 0;       // the device refuses this many step downs
    QStringList changes;

    explicit ResizeRig(int startFrames) : frames(startFrames)
    {
        policy.opened(kOpenedAt, startFrames > DeviceOutput::kBufferSteps[0]);
    }

    void runFor(qint64 seconds)
    {
        qint64 last = kOpenedAt;
        for (qint64 now = kOpenedAt + 200 * kMs; now <= kOpenedAt + seconds * kSecond; now += 200 * kMs) {
            qint64 underrun = 0;
            for (qint64 at : std::as_const(underrunsAt)) {
                const qint64 ns = kOpenedAt + at * kMs;
                if (ns > last && ns <= now)
                    underrun = ns;
            }
            last = now;
            const bool active = now >= kOpenedAt + pausedUntil * kSecond;
            const bool silent = now >= kOpenedAt + loudUntil * kSecond;
            const bool smallest = frames == DeviceOutput::kBufferSteps[0];
            const auto change = policy.check(now, underrun, active, smallest, silent);
            if (change == UnderrunPolicy::Change::None)
                continue;
            const int to = change == UnderrunPolicy::Change::Larger ? DeviceOutput::nextBufferStep(frames)
                                                                    : DeviceOutput::previousBufferStep(frames);
            const bool refuse = to == 0 || (change == UnderrunPolicy::Change::Smaller && downsToRefuse-- > 0);
            if (refuse) {
                policy.refused(change);
                continue;
            }
            frames = to;
            policy.changed(now, change);
            changes << QStringLiteral("%1:%2").arg((now - kOpenedAt) / double(kSecond)).arg(frames);
        }
    }
};

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

    // The buffer within a run: larger after an underrun, the step below
    // again after a clean stretch of running output, taken while the output
    // is silent; a step down that does not hold doubles the wait.
    void bufferResizedWithinTheRun_data()
    {
        QTest::addColumn<int>("startFrames");
        QTest::addColumn<QList<qint64>>("underrunsAtMs");
        QTest::addColumn<int>("loudUntil");    // seconds
        QTest::addColumn<int>("pausedUntil");  // seconds
        QTest::addColumn<int>("downsRefused");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("changes");
        using L = QList<qint64>;
        QTest::newRow("clean at the smallest") << 128 << L() << 0 << 0 << 0 << 900 << QString();
        QTest::newRow("remembered, quiet machine") << 512 << L() << 0 << 0 << 0 << 300 << "20:256 40:128";
        QTest::newRow("remembered, playing until 50 s") << 512 << L() << 50 << 0 << 0 << 300 << "50:256 70:128";
        // Paused time does not count (the check that finds the stream running
        // counts the 200 ms before it).
        QTest::newRow("remembered, paused for 100 s") << 512 << L() << 0 << 100 << 0 << 300 << "119.8:256 139.8:128";
        QTest::newRow("remembered, first step refused") << 512 << L() << 0 << 0 << 1 << 300 << "40:256 60:128";
        QTest::newRow("underrun during start-up") << 128 << L{1000} << 0 << 0 << 0 << 900 << QString();
        QTest::newRow("underrun, then clean") << 128 << L{10'000} << 0 << 0 << 0 << 900 << "10:256 130:128";
        QTest::newRow("the refill after a step down") << 128 << L{10'000, 130'200} << 0 << 0 << 0 << 900
                                                       << "10:256 130:128";
        QTest::newRow("the smaller fails at once") << 128 << L{10'000, 135'000} << 0 << 0 << 0 << 900
                                                   << "10:256 130:128 135:256 375:128";
        QTest::newRow("fails twice") << 128 << L{10'000, 135'000, 380'000} << 0 << 0 << 0 << 900
                                     << "10:256 130:128 135:256 375:128 380:256 860:128";
        QTest::newRow("held past the probation") << 128 << L{10'000, 440'000} << 0 << 0 << 0 << 900
                                                 << "10:256 130:128 440:256 560:128";
        QTest::newRow("at the largest, refused") << 512 << L{5000, 10'000} << 60 << 0 << 0 << 61 << QString();
        QTest::newRow("at the largest, then down") << 512 << L{5000} << 0 << 0 << 0 << 300 << "125:256 245:128";
    }
    void bufferResizedWithinTheRun()
    {
        QFETCH(int, startFrames);
        QFETCH(QList<qint64>, underrunsAtMs);
        QFETCH(int, loudUntil);
        QFETCH(int, pausedUntil);
        QFETCH(int, downsRefused);
        QFETCH(int, seconds);
        QFETCH(QString, changes);
        ResizeRig rig(startFrames);
        rig.underrunsAt = underrunsAtMs;
        rig.loudUntil = loudUntil;
        rig.pausedUntil = pausedUntil;
        rig.downsToRefuse = downsRefused;
        rig.runFor(seconds);
        QCOMPARE(rig.changes.join(QLatin1Char(' ')), changes);
    }

    // A machine that never holds the smaller buffer: each failed try doubles
    // the wait, up to half an hour.
    void failedStepDownsWaitLongerEachTime()
    {
        UnderrunPolicy policy;
        policy.opened(kOpenedAt);
        qint64 now = kOpenedAt + 10 * kSecond;
        policy.changed(now, UnderrunPolicy::Change::Larger);
        QList<qint64> waits{policy.cleanWaitNs() / kSecond};
        for (int i = 0; i < 6; ++i) {
            now += policy.cleanWaitNs();
            policy.changed(now, UnderrunPolicy::Change::Smaller);
            now += 5 * kSecond;
            policy.changed(now, UnderrunPolicy::Change::Larger);
            waits << policy.cleanWaitNs() / kSecond;
        }
        QCOMPARE(waits, (QList<qint64>{120, 240, 480, 960, 1920, 1920, 1920}));
    }

    void bufferRememberedBetweenRuns_data()
    {
        QTest::addColumn<QVariant>("stored");  // invalid: nothing
        QTest::addColumn<int>("grewTo");       // 0: no underrun in the run
        QTest::addColumn<int>("shrankTo");     // 0: did not come down in the run
        QTest::addColumn<int>("endedWith");
        QTest::addColumn<double>("cleanSeconds");
        QTest::addColumn<int>("nextRun");      // 0: the smallest
        QTest::newRow("first run, clean") << QVariant() << 0 << 0 << 128 << 30.0 << 0;
        QTest::newRow("only the priority changed") << QVariant(512) << 128 << 0 << -1 << 0.0 << 512;
        QTest::newRow("grew once") << QVariant() << 256 << 0 << 256 << 30.0 << 256;
        QTest::newRow("grew twice") << QVariant() << 512 << 0 << 512 << 5.0 << 512;
        QTest::newRow("killed after growing") << QVariant() << 256 << 0 << -1 << 0.0 << 256;
        QTest::newRow("remembered, short run") << QVariant(512) << 0 << 0 << 512 << 599.0 << 512;
        QTest::newRow("remembered, clean long") << QVariant(512) << 0 << 0 << 512 << 600.0 << 256;
        QTest::newRow("back to the smallest") << QVariant(256) << 0 << 0 << 256 << 3600.0 << 0;
        QTest::newRow("smallest stays") << QVariant() << 0 << 0 << 128 << 3600.0 << 0;
        QTest::newRow("not a step") << QVariant(300) << 0 << 0 << -1 << 0.0 << 0;
        QTest::newRow("not a number") << QVariant(QStringLiteral("viel")) << 0 << 0 << -1 << 0.0 << 0;
        QTest::newRow("came down, killed") << QVariant(512) << 0 << 256 << -1 << 0.0 << 256;
        QTest::newRow("came down to the smallest") << QVariant(512) << 0 << 128 << -1 << 0.0 << 0;
        QTest::newRow("grew, came down, short") << QVariant() << 512 << 256 << 256 << 30.0 << 256;
        QTest::newRow("came down, clean long") << QVariant(512) << 0 << 256 << 256 << 600.0 << 0;
    }
    void bufferRememberedBetweenRuns()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, grewTo);
        QFETCH(int, shrankTo);
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
            if (shrankTo > 0)
                BufferMemory::shrank(settings, shrankTo);
            if (endedWith > 0)  // -1: the run was killed
                BufferMemory::atExit(settings, endedWith, cleanSeconds);
        }
        QSettings next(path, QSettings::IniFormat);
        QCOMPARE(BufferMemory::recall(next), nextRun);
    }
};

DZQ_REGISTER_TEST(OutputPolicyTest)
#include "OutputPolicyTest.moc"
