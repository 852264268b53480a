#include "MidiBackendTest.h"

#include "AudioAnalysis.h"
#include "RecordingMidiBackend.h"
#include "ScriptedDialogs.h"

#include "core/Clock.h"
#include "platform/audio/AudioEngine.h"
#include "platform/midi/MidiLogBackend.h"
#include "platform/midi/RtMidiPorts.h"
#include "platform/midi/SystemMidiBackend.h"
#include "midiport/MidiPort.h"

#include <QTemporaryDir>
#include <QTest>

#include <fluidsynth.h>

namespace {

// Ports of a pretend MIDI system that keeps what was sent.
class FakePorts : public ExternalMidiPorts {
public:
    QStringList names;
    QString openError;  // non-empty: opening fails with it
    QString sendError;
    QVector<QByteArray> sent;
    QVector<int> openedIndexes;
    int closed = 0;

    int count() override { return names.size(); }
    QString name(int index) override { return index >= 0 && index < names.size() ? names[index] : QString(); }
    int open(int index, QString *error) override
    {
        if (!openError.isEmpty()) {
            *error = openError;
            return 0;
        }
        openedIndexes << index;
        return 100 + index;
    }
    void close(int) override { ++closed; }
    bool send(int connection, const unsigned char *bytes, int length, QString *error) override
    {
        if (!sendError.isEmpty()) {
            *error = sendError;
            return false;
        }
        sent << QByteArray::number(connection) + ':' + QByteArray(reinterpret_cast<const char *>(bytes), length).toHex(' ');
        return true;
    }
};

AudioEngine::Options quietEngine()
{
    AudioEngine::Options o;
    o.soundFont = AudioAnalysis::smallFont();
    o.output = AudioEngine::Output::Manual;
    return o;
}

}  // namespace

// --------------------------------------------------------- SystemMidiBackend

void SystemMidiBackendTest::withoutSequencerOnlyTheBuiltIns()
{
    auto ports = std::make_unique<RtMidiPorts>();
    if (ports->hasSequencer())
        QSKIP("this machine has an ALSA sequencer");
    AudioEngine engine(quietEngine());  // never started: listing needs no font
    SystemMidiBackend backend(engine, std::move(ports));
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port(backend, dialogs, clock);
    QVector<MidiDeviceEntry> list;
    QVERIFY(port.ListMidiDevices(&list));
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].text, QStringLiteral("默认 MIDI 输出（内置合成器）"));
    QCOMPARE(list[0].id, qint16(-1));
    QCOMPARE(list[1].text, QStringLiteral("Quorvane 内置合成器"));
    QCOMPARE(list[1].id, qint16(0));
    QVERIFY(dialogs.messages.isEmpty());
    // Entry 1 of the list (start-up's choice) opens the synthesizer.
    QVERIFY(port.OpenMidiDevice(list[1].id));
    QVERIFY(!port.OpenMidiDevice(1));
    QCOMPARE(dialogs.messages.size(), 1);
}

void SystemMidiBackendTest::externalPortsFollowTheBuiltIns()
{
    auto fake = std::make_unique<FakePorts>();
    FakePorts &ports = *fake;
    ports.names = {QStringLiteral("Midi Through:Midi Through Port-0 14:0"), QStringLiteral("USB 键盘")};
    AudioEngine engine(quietEngine());
    SystemMidiBackend backend(engine, std::move(fake));
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port(backend, dialogs, clock);
    QVector<MidiDeviceEntry> list;
    QVERIFY(port.ListMidiDevices(&list));
    QCOMPARE(list.size(), 4);
    QCOMPARE(list[2].id, qint16(1));
    QCOMPARE(list[2].text, ports.names[0].left(31));  // device names are at most 31 characters
    QCOMPARE(list[3].text, QStringLiteral("USB 键盘"));
    QCOMPARE(list[3].id, qint16(2));
    QVERIFY(port.OpenMidiDevice(2));
    QCOMPARE(ports.openedIndexes, QVector<int>{1});
    // Reselecting it closes and opens it again; a second handle is refused.
    QVERIFY(port.OpenMidiDevice(2));
    QCOMPARE(ports.closed, 1);
    MidiHandle second = 0;
    QCOMPARE(backend.open(2, &second), MidiError::Allocated);
    QCOMPARE(second, MidiHandle(0));
    // Ids past the list.
    QCOMPARE(backend.open(3, &second), MidiError::BadDeviceId);
    QString name;
    QCOMPARE(backend.deviceCaps(3, &name), MidiError::BadDeviceId);
    QCOMPARE(backend.deviceCaps(-2, &name), MidiError::BadDeviceId);
}

void SystemMidiBackendTest::externalPortsGetBytesAtOnce()
{
    auto fake = std::make_unique<FakePorts>();
    FakePorts &ports = *fake;
    ports.names = {QStringLiteral("Synth")};
    AudioEngine engine(quietEngine());
    SystemMidiBackend backend(engine, std::move(fake));
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port(backend, dialogs, clock);
    QVERIFY(port.OpenMidiDevice(1));
    {
        // A tick far in the future: external ports play at once all the same.
        Clock::TickScope scope(clock, 999'000'000'000);
        port.NoteOn(0, 60, 70);
    }
    port.ProgramChange(2, 0, 14);
    port.NoteOff(0, 60);
    QCOMPARE(ports.sent, (QVector<QByteArray>{"100:90 3c 46", "100:b2 00 00", "100:c2 0e", "100:80 3c 00"}));
    QVERIFY(dialogs.messages.isEmpty());
}

void SystemMidiBackendTest::openAndSendFailuresSayWhatToDo()
{
    auto fake = std::make_unique<FakePorts>();
    FakePorts &ports = *fake;
    ports.names = {QStringLiteral("Synth")};
    ports.openError = QStringLiteral("MidiOutAlsa::openPort: ALSA error making port connection. ") + QString(200, 'x');
    AudioEngine engine(quietEngine());
    SystemMidiBackend backend(engine, std::move(fake));
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port(backend, dialogs, clock);

    // Nothing open yet.
    port.NoteOn(0, 60, 70);
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.messages[0].contains(QStringLiteral("“设  备”")));

    QVERIFY(!port.OpenMidiDevice(1));
    QCOMPARE(dialogs.messages.size(), 2);
    QVERIFY(dialogs.messages[1].contains(QStringLiteral("ALSA error making port connection")));
    QVERIFY(dialogs.messages[1].size() <= 127);
    QVERIFY(!port.isOpen());

    ports.openError.clear();
    ports.sendError = QStringLiteral("port gone");
    QVERIFY(port.OpenMidiDevice(1));
    port.NoteOn(0, 60, 70);
    QCOMPARE(dialogs.messages.size(), 3);
    QVERIFY(dialogs.messages[2].contains(QStringLiteral("port gone")));

    for (int code : {1, 2, 3, 4, 5, 6, 7, 67, 68, 999}) {
        const QString text = backend.errorText(code);
        QVERIFY(!text.isEmpty() && text.size() <= 127);
    }
    QCOMPARE(backend.close(MidiHandle(12345)), MidiError::InvalidHandle);
    QCOMPARE(backend.shortMsg(MidiHandle(12345), MidiMessage::unpack(0x90), -1), MidiError::InvalidHandle);
}

void SystemMidiBackendTest::closingTheSynthesizerSilencesIt()
{
    if (AudioAnalysis::smallFont().isEmpty())
        QSKIP("TimGM6mb.sf2 is not installed");
    auto fake = std::make_unique<FakePorts>();
    fake->names = {QStringLiteral("Synth")};
    AudioEngine engine(quietEngine());
    SystemMidiBackend backend(engine, std::move(fake));
    ScriptedDialogs dialogs;
    VirtualClock clock;
    MidiPort port(backend, dialogs, clock);
    engine.start();
    QVERIFY(engine.waitUntilReady());
    fluid_synth_t *synth = engine.synth();

    QVERIFY(port.OpenMidiDevice(-1));
    port.ProgramChange(1, 0, 19);  // organ: held until released
    port.NoteOn(1, 60, 100);
    int sfont = 0, bank = 0, preset = 0;
    fluid_synth_get_program(synth, 1, &sfont, &bank, &preset);
    QCOMPARE(preset, 19);
    auto held = [synth] {
        fluid_voice_t *list[64] = {};
        fluid_synth_get_voicelist(synth, list, 64, -1);
        int n = 0;
        for (fluid_voice_t *v : list)
            n += v && fluid_voice_is_on(v) ? 1 : 0;
        return n;
    };
    QVERIFY(held() > 0);
    // Switching to the external port: its note-off would never reach the
    // synthesizer, so the synthesizer lets go of everything.
    QVERIFY(port.OpenMidiDevice(1));
    float l[4800], r[4800];
    engine.renderManual(l, r, 4800, 1'000'000'000);
    QCOMPARE(held(), 0);
    QVERIFY(dialogs.messages.isEmpty());
}

// ------------------------------------------------------------ MidiLogBackend

void MidiLogBackendTest::everyMessageIsOneLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("midi.log"));
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier run\n");
    }
    RecordingMidiBackend inner;
    VirtualClock clock;
    const qint64 start = 7'000'000'000;
    clock.setNow(start);
    MidiLogBackend log(inner, path, clock, start);
    QVERIFY2(log.isLogging(), qPrintable(log.errorString()));

    MidiHandle handle = 0;
    QCOMPARE(log.open(0, &handle), MidiError::Ok);
    clock.setNow(start + 1'534'400'000);
    QCOMPARE(log.shortMsg(handle, MidiMessage::unpack(0x463c90), 1'534'000'000), MidiError::Ok);
    // A description of the run goes between the messages, marked, in UTF-8.
    log.writeComment(QStringLiteral("声音输出：pulseaudio，缓冲 256 帧 × 2"));
    clock.setNow(start + 1'600'000'000);
    inner.sendResult = MidiError::NotReady;  // refused messages are logged too
    QCOMPARE(log.shortMsg(handle, MidiMessage::unpack(0x3c80), 1'600'000'000), MidiError::NotReady);
    QCOMPARE(log.close(handle), MidiError::Ok);
    QCOMPARE(log.shortMsg(handle, MidiMessage::unpack(0xEC2), -1), MidiError::InvalidHandle);
    inner.sendResult = MidiError::Ok;
    QCOMPARE(log.open(-1, &handle), MidiError::Ok);
    QCOMPARE(log.shortMsg(handle, MidiMessage::unpack(0x7f2399), -1), MidiError::Ok);

    // Nothing else changes: the inner device got every message it accepted,
    // with its time.
    QCOMPARE(inner.messages(), (QVector<quint32>{0x463c90, 0x7f2399}));
    QCOMPARE(inner.sent[0].dueNs, qint64(1'534'000'000));
    QCOMPARE(inner.sent[1].deviceId, -1);

    // Each line is on disk at once, after what was there.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()),
             QStringLiteral("earlier run\n1534 0 0x463c90\n# 声音输出：pulseaudio，缓冲 256 帧 × 2\n1600 0 0x3c80\n"
                            "1600 none 0xec2\n1600 -1 0x7f2399\n"));
}
