#include "TestContext.h"
#include "TestMain.h"

#include "headless/HeadlessSession.h"

#include <QDir>
#include <QTest>

namespace {

constexpr qint64 kMs = 1000000;

// Records what it is told.
struct ListeningNotifier : Notifier {
    QStringList texts;
    void message(const QString &text, const QString &) override { texts << text; }
};

// The Session a controller is given must be made of the session's own parts.
template <typename S>
bool sharesItsParts(S &s)
{
    return &s.ctx.state == &s.state && &s.ctx.port == &s.port && &s.ctx.media == &s.media
           && &s.ctx.dialogs == &s.dialogs && &s.ctx.clock == &s.clock;
}

}  // namespace

class HeadlessSessionTest : public QObject {
    Q_OBJECT
private slots:
    void renderSessionRecordsOnItsOwnClock()
    {
        auto s = std::make_unique<RenderSession>(QStringLiteral("/records"));
        QVERIFY(sharesItsParts(*s));
        QCOMPARE(s->ctx.recordFolder, QStringLiteral("/records"));
        QVERIFY(s->port.OpenMidiDevice(0));

        // Outside timed playing a message gets the clock's present; inside a
        // tick, the tick's time, even when the clock has moved on.
        s->clock.setNow(5 * kMs);
        s->port.NoteOn(0, 60, 100);
        s->clock.setNow(9 * kMs);
        {
            Clock::TickScope tick(s->clock, 7 * kMs);
            s->port.NoteOff(0, 60);
        }
        s->port.NoteOn(1, 62, 90);

        const QVector<TimedMidiMessage> &sent = s->midi.messages();
        QCOMPARE(sent.size(), 3);
        const qint64 times[] = {5 * kMs, 7 * kMs, 9 * kMs};
        const quint32 messages[] = {RecordingMidiBackend::noteOn(0, 60, 100), RecordingMidiBackend::noteOff(0, 60),
                                    RecordingMidiBackend::noteOn(1, 62, 90)};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(sent[i].ns, times[i]);
            QCOMPARE(sent[i].message.packed(), messages[i]);
        }
    }

    void renderSessionKeepsMessagesAndAsksNobody()
    {
        auto s = std::make_unique<RenderSession>();
        QVERIFY(s->ctx.recordFolder.isEmpty());

        // A MIDI error before anyone listens is only kept ...
        QVERIFY(!s->port.OpenMidiDevice(5));
        QCOMPARE(s->dialogs.messages.size(), 1);

        // ... afterwards it is kept and passed on, title and all.
        ListeningNotifier listener;
        s->dialogs.listener = &listener;
        s->port.NoteOn(0, 60, 100);  // nothing open: an invalid handle
        s->dialogs.message(QStringLiteral("提示"));
        QCOMPARE(s->dialogs.messages.size(), 3);
        QCOMPARE(listener.texts, s->dialogs.messages.mid(1));
        QCOMPARE(listener.texts.last(), QStringLiteral("提示"));

        // Every question is answered as if cancelled.
        UserDialogs &asked = s->ctx.dialogs;
        QString text = QStringLiteral("unchanged");
        QVERIFY(asked.openFile(QStringLiteral("乐谱记录txt|*.txt"), QString()).isEmpty());
        QVERIFY(asked.saveFile(QStringLiteral("乐谱记录txt|*.txt"), QString(), true).isEmpty());
        QVERIFY(!asked.input(QStringLiteral("名称"), QString(), QStringLiteral("x"), &text));
        QCOMPARE(text, QStringLiteral("unchanged"));
        QVERIFY(!asked.openUrl(QStringLiteral("https://example.org")));
        QCOMPARE(s->dialogs.messages.size(), 3);
    }

    void testSessionPlugsInTheFakes()
    {
        TestContext t;
        QVERIFY(sharesItsParts(t));
        // Device 0 is open before the test starts, opened once.
        QVERIFY(t.port.isOpen());
        QCOMPARE(t.port.openDeviceId(), qint16(0));
        QCOMPARE(t.midi.openCount, 1);
        // The record folder is the test's own, empty one.
        QCOMPARE(t.ctx.recordFolder, t.folder.path());
        QVERIFY(QDir(t.folder.path()).isEmpty());
        QCOMPARE(t.path(QStringLiteral("a.txt")), t.folder.filePath(QStringLiteral("a.txt")));

        // The port sends to the recording backend and reports to the
        // scripted dialogs.
        t.port.NoteOn(2, 64, 80);
        QCOMPARE(t.sent(), QVector<quint32>{RecordingMidiBackend::noteOn(2, 64, 80)});
        t.midi.sendResult = 5;
        t.port.NoteOff(2, 64);
        QCOMPARE(t.dialogs.messages.size(), 1);
        t.clearSent();
        QVERIFY(t.sent().isEmpty());
    }
};

DZQ_REGISTER_TEST(HeadlessSessionTest)

#include "HeadlessSessionTest.moc"
