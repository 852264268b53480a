#include "FakeMidiInputPorts.h"
#include "TestMain.h"

#include "platform/midi/MidiInputs.h"
#include "platform/midi/MidiStreamParser.h"
#include "platform/midi/RtMidiInputs.h"
#include "platform/midi/RtMidiPorts.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <thread>

Q_DECLARE_METATYPE(MidiMessage)

namespace {

std::vector<unsigned char> bytes(const QString &hex)
{
    const QByteArray raw = QByteArray::fromHex(hex.toLatin1());
    return std::vector<unsigned char>(raw.begin(), raw.end());
}

QVector<quint32> parse(const QStringList &deliveries)
{
    MidiStreamParser parser;
    QVector<quint32> out;
    for (const QString &d : deliveries) {
        const std::vector<unsigned char> b = bytes(d);
        parser.feed(b.data(), b.size(), [&out](const MidiMessage &m) { out << m.packed(); });
    }
    return out;
}

const QString kKeystation = QStringLiteral("Keystation 49:Keystation 49 MIDI 1 24:0");
const QString kThrough = QStringLiteral("Midi Through:Midi Through Port-0 14:0");
const QString kVmpk = QStringLiteral("VMPK Output:out 128:0");

}  // namespace

class MidiInputTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<MidiMessage>(); }

    // What a port delivers, as RtMidi may hand it over: whole messages,
    // pieces, running status, real-time bytes and system messages between.
    void parser_data()
    {
        QTest::addColumn<QStringList>("deliveries");
        QTest::addColumn<QVector<quint32>>("messages");
        QTest::newRow("whole") << QStringList{"903c64"} << QVector<quint32>{0x643c90};
        QTest::newRow("running status") << QStringList{"903c64", "4050", "4300"}
                                        << QVector<quint32>{0x643c90, 0x504090, 0x004390};
        QTest::newRow("in pieces") << QStringList{"90", "3c", "64"} << QVector<quint32>{0x643c90};
        QTest::newRow("several at once") << QStringList{"903c64803c40b04000"}
                                         << QVector<quint32>{0x643c90, 0x403c80, 0x0040b0};
        QTest::newRow("real time inside") << QStringList{"90f83cfe64"} << QVector<quint32>{0x643c90};
        QTest::newRow("program changes, two bytes") << QStringList{"c00506"} << QVector<quint32>{0x05c0, 0x06c0};
        QTest::newRow("pitch bend") << QStringList{"e00040"} << QVector<quint32>{0x4000e0};
        QTest::newRow("stray data first") << QStringList{"3c64903c64"} << QVector<quint32>{0x643c90};
        QTest::newRow("sysex data are no notes") << QStringList{"f0433c64f7903c64"} << QVector<quint32>{0x643c90};
        QTest::newRow("sysex in pieces") << QStringList{"f04344", "4546f7", "903c64"} << QVector<quint32>{0x643c90};
        QTest::newRow("sysex ends running status") << QStringList{"903c64f001f73e40"} << QVector<quint32>{0x643c90};
        QTest::newRow("song position skipped, ends running status")
            << QStringList{"903c64f201023e40"} << QVector<quint32>{0x643c90};
        QTest::newRow("tune request ends running status") << QStringList{"903c64f63e40"} << QVector<quint32>{0x643c90};
        // A SysEx left unfinished (no F7) ends at the next status byte that
        // is not real time: the notes after it play.
        QTest::newRow("unfinished sysex, notes after it")
            << QStringList{"f07e010203", "903c64", "903e64", "904064"}
            << QVector<quint32>{0x643c90, 0x643e90, 0x644090};
        QTest::newRow("unfinished sysex, then running status")
            << QStringList{"f07e01", "903c64", "3e64"} << QVector<quint32>{0x643c90, 0x643e90};
        QTest::newRow("real time leaves a sysex open") << QStringList{"f07e01f8", "3c64f7", "903c64"}
                                                      << QVector<quint32>{0x643c90};
        QTest::newRow("a lone f7 is nothing") << QStringList{"f7", "3c64", "903c64"} << QVector<quint32>{0x643c90};
        QTest::newRow("a new status drops the unfinished message")
            << QStringList{"903c", "803c40"} << QVector<quint32>{0x403c80};
    }
    void parser()
    {
        QFETCH(QStringList, deliveries);
        QFETCH(QVector<quint32>, messages);
        QCOMPARE(parse(deliveries), messages);
    }

    void choices()
    {
        QCOMPARE(MidiInputChoice::parse("none"), MidiInputChoice::none());
        QCOMPARE(MidiInputChoice::parse("NONE"), MidiInputChoice::none());
        QCOMPARE(MidiInputChoice::parse("All"), MidiInputChoice::all());
        QCOMPARE(MidiInputChoice::parse("keys"), MidiInputChoice::named("keys"));
        const MidiInputPort keystation{kKeystation, "Keystation 49", true};
        const MidiInputPort through{kThrough, "Midi Through", false};
        QVERIFY(MidiInputChoice::all().takes(keystation));
        QVERIFY(!MidiInputChoice::all().takes(through));
        QVERIFY(!MidiInputChoice::none().takes(keystation));
        QVERIFY(MidiInputChoice::named("KEYSTATION").takes(keystation));
        QVERIFY(MidiInputChoice::named("through").takes(through));  // by name, any port
        QVERIFY(!MidiInputChoice::named("").takes(keystation));
        // A keyboard plugged in again gets new client and port numbers.
        QCOMPARE(MidiInputs::choiceName(kKeystation), QString("Keystation 49:Keystation 49 MIDI 1"));
        QCOMPARE(MidiInputs::choiceName("JACK dzq-test:out"), QString("JACK dzq-test:out"));
    }

    // Every input at start but the through port; then as chosen.
    void connectsWhatTheChoiceTakes()
    {
        FakeMidiInputPorts ports;
        ports.add(kKeystation);
        ports.add(kThrough, false);
        ports.add(kVmpk);
        MidiInputs inputs(ports);
        QSignalSpy connected(&inputs, &MidiInputs::connected);
        QSignalSpy disconnected(&inputs, &MidiInputs::disconnected);
        inputs.poll();
        QCOMPARE(inputs.connectedNames(), (QStringList{kKeystation, kVmpk}));
        QCOMPARE(connected.count(), 2);
        QCOMPARE(connected[1][1].toString(), kVmpk);
        QCOMPARE(inputs.deviceOf(kKeystation), QString("Keystation 49"));

        inputs.setChoice(MidiInputChoice::named(MidiInputs::choiceName(kVmpk)));
        QCOMPARE(inputs.connectedNames(), QStringList{kVmpk});
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(disconnected[0][1].toString(), kKeystation);
        inputs.setChoice(MidiInputChoice::named("midi through"));
        QCOMPARE(inputs.connectedNames(), QStringList{kThrough});
        inputs.setChoice(MidiInputChoice::none());
        QVERIFY(inputs.connectedNames().isEmpty());
        QCOMPARE(ports.closed.size(), 3);
    }

    // Plugged in later: connected at the next look; unplugged: dropped,
    // its port closed; plugged in again: a new source.
    void hotPlug()
    {
        FakeMidiInputPorts ports;
        MidiInputs inputs(ports);
        QSignalSpy connected(&inputs, &MidiInputs::connected);
        QSignalSpy disconnected(&inputs, &MidiInputs::disconnected);
        QSignalSpy changed(&inputs, &MidiInputs::changed);
        inputs.poll();
        QVERIFY(inputs.connectedNames().isEmpty());
        QCOMPARE(changed.count(), 0);
        ports.add(kKeystation);
        inputs.poll();
        QCOMPARE(connected.count(), 1);
        const int first = connected[0][0].toInt();
        QVERIFY(ports.isOpen(kKeystation));
        inputs.poll();  // nothing new
        QCOMPARE(connected.count(), 1);
        QCOMPARE(changed.count(), 1);
        ports.remove(kKeystation);
        inputs.poll();
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(disconnected[0][0].toInt(), first);
        QVERIFY(!ports.isOpen(kKeystation));
        ports.add(kKeystation);
        inputs.poll();
        QCOMPARE(connected.count(), 2);
        QVERIFY(connected[1][0].toInt() != first);
    }

    // Unplugged and plugged in again between two looks: the same name, but
    // the old connection is dead. It is dropped and opened anew.
    void pluggedInAgainBetweenLooks()
    {
        FakeMidiInputPorts ports;
        ports.add(kKeystation);
        MidiInputs inputs(ports);
        QSignalSpy connected(&inputs, &MidiInputs::connected);
        QSignalSpy disconnected(&inputs, &MidiInputs::disconnected);
        inputs.poll();
        ports.replugged << kKeystation;
        inputs.poll();
        ports.replugged.clear();
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(connected.count(), 2);
        QVERIFY(connected[1][0].toInt() != connected[0][0].toInt());
        QCOMPARE(ports.opens, 2);
        inputs.poll();
        QCOMPARE(connected.count(), 2);
    }

    // A port that cannot be opened is not tried every second, but again
    // once it was gone, or when it is chosen.
    void refusedPorts()
    {
        FakeMidiInputPorts ports;
        ports.add(kKeystation);
        ports.refused << kKeystation;
        MidiInputs inputs(ports);
        inputs.poll();
        inputs.poll();
        QCOMPARE(ports.opens, 1);
        QVERIFY(inputs.connectedNames().isEmpty());
        ports.refused.clear();
        inputs.poll();
        QCOMPARE(ports.opens, 1);
        inputs.setChoice(MidiInputChoice::named("keystation"));
        QCOMPARE(inputs.connectedNames(), QStringList{kKeystation});
        ports.refused << kKeystation;
        ports.remove(kKeystation);
        inputs.poll();
        ports.add(kKeystation);
        inputs.poll();
        ports.refused.clear();
        ports.remove(kKeystation);
        inputs.poll();
        ports.add(kKeystation);
        inputs.poll();
        QCOMPARE(inputs.connectedNames(), QStringList{kKeystation});
    }

    // Once started, the ports are listed on another thread and the list is
    // applied on the owner's: signals come there, a port plugged in later
    // is found by a later look.
    void listsOffTheOwnerThread()
    {
        FakeMidiInputPorts ports;
        ports.add(kKeystation);
        MidiInputs inputs(ports);
        QThread *connectedOn = nullptr;
        connect(&inputs, &MidiInputs::connected, &inputs, [&] { connectedOn = QThread::currentThread(); });
        inputs.start();
        QTRY_COMPARE(inputs.connectedNames(), QStringList{kKeystation});
        QVERIFY(ports.lastListingThread() != nullptr);
        QVERIFY(ports.lastListingThread() != QThread::currentThread());
        QCOMPARE(connectedOn, QThread::currentThread());
        ports.add(kVmpk);
        QTRY_COMPARE_WITH_TIMEOUT(inputs.connectedNames(), (QStringList{kKeystation, kVmpk}), 5 * MidiInputs::kPollMs);
        inputs.setChoice(MidiInputChoice::named("vmpk"));  // on the list at hand, at once
        QCOMPARE(inputs.connectedNames(), QStringList{kVmpk});
    }

    // A listing that hangs (a stuck sound server) holds up neither the
    // owner's events, nor a choice, nor the end; what was connected stays.
    void stuckListingLeavesTheOwnerFree()
    {
        FakeMidiInputPorts ports;
        ports.add(kKeystation);
        auto inputs = std::make_unique<MidiInputs>(ports);
        ports.hold();
        inputs->start();
        QTRY_COMPARE(ports.begun(), 1);
        bool ran = false;
        QTimer::singleShot(0, inputs.get(), [&ran] { ran = true; });
        QTRY_VERIFY_WITH_TIMEOUT(ran, 500);
        inputs->setChoice(MidiInputChoice::named("keystation"));
        QVERIFY(inputs->ports().isEmpty());
        QVERIFY(inputs->connectedNames().isEmpty());
        ports.release();
        QTRY_COMPARE(inputs->connectedNames(), QStringList{kKeystation});

        ports.hold();
        const int begun = ports.begun();
        QTRY_VERIFY_WITH_TIMEOUT(ports.begun() > begun, 5 * MidiInputs::kPollMs);
        QCOMPARE(inputs->connectedNames(), QStringList{kKeystation});
        QElapsedTimer ending;
        ending.start();
        inputs.reset();
        QVERIFY2(ending.elapsed() < MidiInputs::kStopWaitMs + 1000, qPrintable(QString::number(ending.elapsed())));
        QCOMPARE(ports.closed.size(), 1);
        // The thread left behind ends without touching what is gone.
        ports.release();
        QTRY_COMPARE(ports.listingsEnded.load(), ports.begun());
        QCoreApplication::processEvents();
    }

    // Messages come from the port's own thread, in order, parsed per port.
    void handsMessagesToTheOwnerThread()
    {
        FakeMidiInputPorts ports;
        ports.add(kKeystation);
        ports.add(kVmpk);
        MidiInputs inputs(ports);
        QSignalSpy received(&inputs, &MidiInputs::received);
        inputs.poll();
        constexpr int kNotes = 600;
        std::thread player([&ports] {
            ports.deliver(kKeystation, bytes("90"));
            for (int i = 0; i < kNotes; ++i)
                ports.deliver(kKeystation, {static_cast<unsigned char>(i % 128), 0x40});  // running status
        });
        player.join();
        ports.deliver(kVmpk, bytes("b04000"));
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), kNotes + 1, 10000);
        const QThread *owner = QThread::currentThread();
        QCOMPARE(inputs.thread(), owner);
        for (int i = 0; i < kNotes; ++i) {
            QCOMPARE(received[i][1].value<MidiMessage>().packed(), quint32(0x400090 | (i % 128) << 8));
            QVERIFY(received[i][2].toLongLong() > 0);
        }
        QCOMPARE(received[kNotes][1].value<MidiMessage>().packed(), quint32(0x40b0));
        QVERIFY(received[kNotes][0].toInt() != received[0][0].toInt());
        QCOMPARE(inputs.droppedMessages(), quint64(0));
    }

    // What a port queued before it was dropped is not handed over; a queue
    // the owner did not empty in time drops (and counts) the excess.
    void droppedPortsAndFullQueues()
    {
        FakeMidiInputPorts ports;
        ports.add(kKeystation);
        MidiInputs inputs(ports);
        QSignalSpy received(&inputs, &MidiInputs::received);
        inputs.poll();
        ports.deliver(kKeystation, bytes("903c64"));
        ports.remove(kKeystation);
        inputs.poll();
        inputs.deliverPending();
        QCOMPARE(received.count(), 0);

        ports.add(kKeystation);
        inputs.poll();
        for (int i = 0; i < MidiInputs::kQueueCapacity + 10; ++i)
            ports.deliver(kKeystation, bytes("903c64"));
        QCOMPARE(inputs.droppedMessages(), quint64(10));
        inputs.deliverPending();
        QCOMPARE(received.count(), MidiInputs::kQueueCapacity);
        QCoreApplication::processEvents();  // the wake-up, with nothing left
        QCOMPARE(received.count(), MidiInputs::kQueueCapacity);
    }

    // The machine's own ports: without an ALSA sequencer and a JACK server
    // there are none, and nothing fails. With a sequencer, the program's
    // own output port (which echoes what it plays) is never offered.
    void systemPorts()
    {
        qputenv("JACK_DEFAULT_SERVER",
                QByteArray("dzq-test-absent-") + QByteArray::number(QCoreApplication::applicationPid()));
        RtMidiInputs system;
        RtMidiPorts outputs;
        const bool sequencer = QFileInfo::exists("/dev/snd/seq");
        if (sequencer && outputs.count() > 0) {
            QString error;
            const int out = outputs.open(0, &error);
            QVERIFY2(out > 0, qPrintable(error));
            for (const MidiInputPort &p : system.ports())
                QVERIFY2(!p.name.startsWith("Quorvane"), qPrintable(p.name));
            outputs.close(out);
        }
        if (!sequencer)
            QVERIFY(system.ports().isEmpty());
        struct Nobody : MidiInputReceiver {
            void receive(const unsigned char *, std::size_t) override { QFAIL("a port that was never opened played"); }
        } nobody;
        QString error;
        QCOMPARE(system.open(RtMidiInputs::jackPrefix() + "nobody:out", nobody, &error), 0);
        QVERIFY(!error.isEmpty());
        QCOMPARE(system.open("Nobody:nothing 200:0", nobody, &error), 0);
        QVERIFY(!error.isEmpty());
        system.close(42);  // never opened: nothing happens
        qunsetenv("JACK_DEFAULT_SERVER");
    }
};

DZQ_REGISTER_TEST(MidiInputTest)

#include "MidiInputTest.moc"
