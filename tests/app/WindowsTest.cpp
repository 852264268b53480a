#include "TestContext.h"
#include "TestMain.h"

#include "app/DZQQD.h"
#include "app/Form1.h"
#include "app/Form3.h"
#include "controllers/mainwindow/MainWindowControllers.h"
#include "controllers/PerformanceControllers.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>


// The welcome dialog, the main window's start and end, the farewell window.
class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void welcomeHandsOverOnce()
    {
        VirtualClock clock;
        DZQQD dialog(clock);
        QSignalSpy spy(&dialog, &DZQQD::handedOver);
        dialog.show();
        QCOMPARE(dialog.size(), QSize(400, 300));
        QVERIFY(dialog.findChild<QLabel *>("Label1")->text().startsWith("     欢迎使用Quorvane软件"));
        auto *ok = dialog.findChild<QPushButton *>("Command1");
        QCOMPARE(ok->text(), QString("知道了"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QVERIFY(!dialog.Timer1().isEnabled());
        clock.advanceMs(30000);
        QCOMPARE(spy.count(), 1);
    }

    void welcomeHandsOverAfter25Seconds()
    {
        VirtualClock clock;
        DZQQD dialog(clock);
        QSignalSpy spy(&dialog, &DZQQD::handedOver);
        clock.advanceMs(24999);
        QCOMPARE(spy.count(), 0);
        clock.advanceMs(1);
        QCOMPARE(spy.count(), 1);
    }

    void farewellShapeIsTheLetters()
    {
        VirtualClock clock;
        Form3 form(clock);
        const QRegion shape = form.shape();
        QVERIFY(!shape.isEmpty());
        // The blank between the two characters lies outside the shape.
        const QFontMetrics m(Form3::farewellFont());
        const int zai = m.horizontalAdvance(QStringLiteral("再"));
        const int blank = m.horizontalAdvance(QStringLiteral(" "));
        const int middleOfBlank = zai + blank / 2;
        for (int y = 0; y < form.height(); ++y)
            QVERIFY2(!shape.contains(QPoint(middleOfBlank, y)), qPrintable(QString::number(y)));
        // Some point in the left half belongs to a stroke of 再.
        bool inside = false;
        for (int y = 0; y < form.height() && !inside; ++y)
            for (int x = 0; x < zai && !inside; ++x)
                inside = shape.contains(QPoint(x, y));
        QVERIFY(inside);
        QCOMPARE(form.palette().color(QPalette::Window), QColor(128, 128, 128));
    }

    void farewellEndsAfterFourSecondsOrAClickOnALetter()
    {
        VirtualClock clock;
        Form3 form(clock);
        QSignalSpy spy(&form, &Form3::finished);
        form.show();
        QPoint outside(-1, -1);
        for (int x = 0; x < form.width() && outside.x() < 0; ++x)
            if (!form.shape().contains(QPoint(x, 5)))
                outside = QPoint(x, 5);
        QTest::mouseClick(&form, Qt::LeftButton, {}, outside);
        QCOMPARE(spy.count(), 0);
        const QPoint inside = form.shape().boundingRect().center();
        QPoint letter = inside;
        for (const QRect &r : form.shape())
            if (r.width() > 2 && r.height() > 0) {
                letter = r.center();
                break;
            }
        QTest::mouseClick(&form, Qt::LeftButton, {}, letter);
        QCOMPARE(spy.count(), 1);

        Form3 other(clock);
        QSignalSpy spy2(&other, &Form3::finished);
        clock.advanceMs(3999);
        QCOMPARE(spy2.count(), 0);
        clock.advanceMs(1);
        QCOMPARE(spy2.count(), 1);
    }

    void initialisationRunsOnceAcrossHideAndShow()
    {
        TestContext t;
        PerformanceControllers p(t.ctx, t.window);
        MainWindowControllers c(t.ctx, t.window, p);
        Form1 form(c);
        QCOMPARE(form.windowTitle(), QString("Quorvane电子琴2012"));
        QCOMPARE(form.size(), QSize(988, 337));
        form.activate();
        QVERIFY(form.MainInitialised());
        form.hide();
        form.show();
        form.activate();
        QCOMPARE(form.qdcshRuns(), 1);
    }

    void quitClosesTheDeviceOnce()
    {
        TestContext t;
        PerformanceControllers p(t.ctx, t.window);
        MainWindowControllers c(t.ctx, t.window, p);
        Form1 form(c);
        QSignalSpy closed(&form, &Form1::closed);
        form.show();
        form.activate();
        QVERIFY(t.port.isOpen());
        const int closesBefore = t.midi.closeCount;
        QTest::mouseClick(form.findChild<QPushButton *>("Command1"), Qt::LeftButton);
        QCOMPARE(t.midi.closeCount, closesBefore + 1);
        QVERIFY(!t.port.isOpen());
        QCOMPARE(t.media.commands, QStringList{"CLOSE NN"});
        QCOMPARE(closed.count(), 1);
        QVERIFY(t.dialogs.messages.isEmpty());
    }
};

DZQ_REGISTER_TEST(WindowsTest)
#include "WindowsTest.moc"
