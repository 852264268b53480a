#include "TestContext.h"
#include "TestMain.h"

#include "controllers/mainwindow/MainWindowControllers.h"
#include "controllers/PerformanceControllers.h"
#include "controllers/mainwindow/StatusClock.h"
#include "performance/MiniKeyboard.h"

#include <QTest>

// What the main window asks of its controllers when the user quits, comes
// back from the mini window or plays on the main keyboard: each is one named
// call, exercised here without any window.
class WindowRulesTest : public QObject {
    Q_OBJECT
private slots:
    void durationTickStops_data();
    void durationTickStops();
    void statusClockRunsWhileStarted();
    void quitClosesTheDeviceOnce();
    void scoreHandedBackEnablesPlay();
};

namespace {

constexpr int kKeyA = 0x41;
constexpr int kKeyS = 0x53;

// One keyboard with a duration tick: the main window's or the mini window's.
struct TickRig {
    TestContext t;
    PerformanceControllers c{t.ctx, t.window};
    MiniKeyboard mini{t.ctx, t.window};
    bool onMini = false;

    explicit TickRig(bool mini) : onMini(mini)
    {
        c.initialise();
        if (onMini)
            this->mini.activate();
    }
    void press(int key) { onMini ? mini.keyPressed(key) : c.keyboard.keyPressed(key); }
    PlaybackTimer &tick() { return onMini ? mini.timer1() : c.keyboard.timer1(); }
    void stop() { onMini ? mini.stopDurationTick() : c.keyboard.stopDurationTick(); }
};

}  // namespace

void WindowRulesTest::durationTickStops_data()
{
    QTest::addColumn<bool>("mini");
    QTest::newRow("main keyboard") << false;
    QTest::newRow("mini window") << true;
}

void WindowRulesTest::durationTickStops()
{
    QFETCH(bool, mini);
    TickRig rig(mini);
    rig.press(kKeyA);
    QVERIFY(rig.tick().isTicking());
    rig.t.clock.advanceMs(250);  // three ticks of 80 or 83 ms
    QCOMPARE(rig.t.state.DurationCount, qint16(3));
    rig.stop();
    QVERIFY(!rig.tick().isEnabled());
    // A stopped tick neither counts nor ends the score by itself after 100 ticks.
    rig.t.clock.advanceMs(200 * 125);
    QCOMPARE(rig.t.state.DurationCount, qint16(3));
    QCOMPARE(rig.t.state.ScoreText, QString("KC"));
    // The next key writes what was counted and starts the tick again.
    rig.press(kKeyS);
    QVERIFY(rig.tick().isTicking());
    QCOMPARE(rig.t.state.ScoreText, QString("KC3KD"));
}

void WindowRulesTest::statusClockRunsWhileStarted()
{
    VirtualClock clock;
    StatusClock status(clock);
    int changes = 0;
    connect(&status, &StatusClock::changed, [&] { ++changes; });
    clock.advanceMs(3000);
    QCOMPARE(changes, 0);  // idle until the window is first active
    status.start();
    clock.advanceMs(3000);
    QCOMPARE(changes, 3);
    const QString credit = status.Label8();
    status.stop();
    clock.advanceMs(3000);
    QCOMPARE(changes, 3);
    QCOMPARE(status.Label8(), credit);
}

void WindowRulesTest::quitClosesTheDeviceOnce()
{
    TestContext t;
    PerformanceControllers c(t.ctx, t.window);
    MainWindowControllers main(t.ctx, t.window, c);
    QVERIFY(t.port.isOpen());
    const int sent = int(t.midi.sent.size());
    main.quit();
    QVERIFY(!t.port.isOpen());
    QCOMPARE(t.midi.closeCount, 1);
    // The window's own shut-down follows and finds the device closed: it is
    // not closed twice, and no message goes out at the end.
    main.shutDown();
    QCOMPARE(t.midi.closeCount, 1);
    QCOMPARE(int(t.midi.sent.size()), sent);
    QVERIFY(t.media.commands.contains(QStringLiteral("CLOSE NN")));
}

void WindowRulesTest::scoreHandedBackEnablesPlay()
{
    TestContext t;
    PerformanceControllers c(t.ctx, t.window);
    c.player.setButtonEnabled(0, false);
    c.scoreHandedBack();
    QVERIFY(c.player.buttonEnabled(0));
}

DZQ_REGISTER_TEST(WindowRulesTest)
#include "WindowRulesTest.moc"
