#include "TestContext.h"
#include "TestMain.h"

#include "controllers/mainwindow/Navigation.h"
#include "controllers/mainwindow/StatusClock.h"

// Tabs, help topics, the clock label and the credit line.
class NavigationTest : public QObject {
    Q_OBJECT
private slots:
    void tabsShowTheirPanelAndMessage()
    {
        TestContext t;
        Navigation nav(t.window);
        t.choices.watch(nav);
        QVector<int> shown;
        connect(&nav, &Navigation::tabChanged, [&](int tab) { shown << tab; });
        nav.selectTab(Navigation::kChord);
        QCOMPARE(t.window.FJWZ(), QString("和弦调整。。。"));
        nav.selectTab(Navigation::kRhythm);
        QCOMPARE(t.window.FJWZ(), QString("节奏调整。。。"));
        nav.selectTab(3);  // there is no tab 3
        QCOMPARE(shown, (QVector<int>{Navigation::kChord, Navigation::kRhythm}));
        QCOMPARE(nav.helpTopic(), -1);
    }

    void helpTabSelectsTheIntroductionAndGivesTheKeyboardBack()
    {
        TestContext t;
        Navigation nav(t.window);
        t.choices.watch(nav);
        const int before = t.choices.count();
        nav.selectTab(Navigation::kHelp);
        QCOMPARE(t.window.FJWZ(), QString("查看帮助。。。"));
        QCOMPARE(nav.helpTopic(), 0);
        QVERIFY(nav.helpText().startsWith("    Quorvane电子琴"));
        QVERIFY(t.choices.count() > before);
        nav.selectHelpTopic(6);
        QVERIFY(nav.helpText().contains("WAV"));
        nav.selectHelpTopic(7);
        QCOMPARE(nav.helpTopic(), 6);
    }

    void creditLineTurnsRound()
    {
        VirtualClock clock;
        StatusClock status(clock);
        const QString credit = status.Label8();
        const QDateTime t0(QDate(2011, 12, 30), QTime(23, 59, 59));
        for (int i = 0; i < credit.size(); ++i) {
            status.onTick(t0);
            if (i == 0)
                QCOMPARE(status.Label8(), credit.mid(1) + credit.left(1));
        }
        QCOMPARE(status.Label8(), credit);
        QCOMPARE(status.SjXs(), QString("2011-12-30 23-59-59"));
        QCOMPARE(StatusClock::formatTime(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
                 QString("2026-01-02 03-04-05"));
    }
};

DZQ_REGISTER_TEST(NavigationTest)
#include "NavigationTest.moc"
