#include "PerformanceTests.h"
#include "PerformanceRig.h"

#include <QSignalSpy>
#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

void MelodyVoicesTest::tempoList()
{
    const QStringList texts = MelodyVoices::tempoTexts();
    QCOMPARE(texts.size(), 13);
    QCOMPARE(texts.first(), QString("60 拍/分钟"));
    QCOMPARE(texts[7], QString("95 拍/分钟"));
    QCOMPARE(texts[8], QString("100拍/分钟"));
    QCOMPARE(texts.last(), QString("120拍/分钟"));

    PerformanceRig rig;
    QSignalSpy spy(&rig.voices, &MelodyVoices::eighthBeatMsChanged);
    const int expected[] = {125, 115, 107, 100, 94, 88, 83, 79, 75, 71, 68, 65, 62};
    for (int p = 0; p < 13; ++p) {
        const int yxyz = rig.t.choices.count();
        rig.voices.selectTempo(p);
        QCOMPARE(int(rig.t.state.EighthBeatMs), expected[p]);
        QCOMPARE(spy.last().at(0).toInt(), expected[p]);
        QCOMPARE(rig.t.choices.count(), yxyz + 1);
        QCOMPARE(rig.voices.tempoPosition(), p);
    }
    // Halves go to the even neighbour: 62.5 -> 62, 93.75 -> 94, 78.9 -> 79.
    QCOMPARE(MelodyVoices::eighthBeatMsFor(120), 62);
    QCOMPARE(MelodyVoices::eighthBeatMsFor(80), 94);
    QCOMPARE(MelodyVoices::eighthBeatMsFor(95), 79);
    QCOMPARE(MelodyVoices::eighthBeatMsFor(200), 38);   // 37.5 -> 38
    QCOMPARE(MelodyVoices::eighthBeatMsFor(600), 12);   // 12.5 -> 12
    QCOMPARE(MelodyVoices::eighthBeatMsFor(0), 0);
    QVERIFY(rig.sent().isEmpty());  // the tempo sends nothing
}

void MelodyVoicesTest::instrumentChoice()
{
    PerformanceRig rig;
    QCOMPARE(MelodyVoices::instrumentTexts().size(), 129);
    QCOMPARE(MelodyVoices::instrumentTexts().at(1), QString("1.明亮钢琴"));
    const int yxyz = rig.t.choices.count();
    rig.voices.selectInstrument(0, 1);
    // Bank select 0 and program 0 on channel 0.
    QCOMPARE(rig.sent(), (Msgs{R::control(0, 0, 0), R::program(0, 0)}));
    QCOMPARE(int(rig.t.state.VoiceInstrument[0]), 0);
    QCOMPARE(rig.t.choices.count(), yxyz + 1);
    // Program 0 is still a sounding voice for the keyboard.
    QVERIFY(rig.voices.voiceSounds(0));
    rig.t.clearSent();
    rig.press(0x41);
    QVERIFY(rig.noteOns().contains(R::noteOn(0, 60, 70)));
}

void MelodyVoicesTest::silentVoiceWhileNoteSounds()
{
    PerformanceRig rig;
    rig.press(0x41);  // KC sounds: note 60
    rig.t.clearSent();
    rig.voices.selectInstrument(1, 0);
    QCOMPARE(rig.sent(), Msgs{R::noteOff(1, 60)});
    QCOMPARE(int(rig.t.state.VoiceInstrument[1]), 51);
    QVERIFY(!rig.voices.voiceSounds(1));
    rig.t.clearSent();
    rig.press(0x53);
    QCOMPARE(rig.noteOns(), (Msgs{R::noteOn(0, 62, 70), R::noteOn(2, 62, 70)}));
}

void MelodyVoicesTest::instrumentTextChange()
{
    PerformanceRig rig;
    const int yxyz = rig.t.choices.count();
    rig.voices.instrumentTextChanged(2, 5);
    QCOMPARE(rig.sent(), (Msgs{R::control(2, 0, 0), R::program(2, 4)}));
    QCOMPARE(int(rig.t.state.VoiceInstrument[2]), 4);
    QCOMPARE(rig.voices.instrumentPosition(2), 5);
    rig.t.clearSent();
    // The silent entry has no program: nothing malformed is sent.
    rig.voices.instrumentTextChanged(2, 0);
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(int(rig.t.state.VoiceInstrument[2]), 4);
    QVERIFY(!rig.voices.voiceSounds(2));
    QCOMPARE(rig.t.choices.count(), yxyz);
}

void MelodyVoicesTest::volumes()
{
    PerformanceRig rig;
    QCOMPARE(MelodyVoices::volumeTexts(),
             (QStringList{"25", "40", "55", "70", "85", "100", "120"}));
    rig.press(0x41);
    rig.t.clearSent();
    int yxyz = rig.t.choices.count();
    rig.voices.selectVolume(2, 6);
    QCOMPARE(int(rig.t.state.VoiceVelocity[2]), 120);
    QCOMPARE(rig.t.choices.count(), yxyz + 1);
    QVERIFY(rig.sent().isEmpty());  // the sounding note keeps its velocity
    rig.press(0x53);
    QCOMPARE(rig.noteOns(),
             (Msgs{R::noteOn(0, 62, 70), R::noteOn(1, 62, 70), R::noteOn(2, 62, 120)}));
    yxyz = rig.t.choices.count();
    rig.voices.volumeTextChanged(0, 0);
    QCOMPARE(int(rig.t.state.VoiceVelocity[0]), 25);
    QCOMPARE(rig.t.choices.count(), yxyz);
    QCOMPARE(int(rig.t.state.VoiceVelocity[3]), 70);  // the chord volume is not ours
}

void MelodyVoicesTest::listsAreChooseOnly()
{
    PerformanceRig rig;
    const SharedState before = rig.t.state;
    const int yxyz = rig.t.choices.count();
    QSignalSpy keySpy(&rig.voices, &MelodyVoices::keyBaseChanging);
    rig.voices.selectInstrument(0, 129);
    rig.voices.selectInstrument(0, -1);
    rig.voices.selectInstrument(3, 5);
    rig.voices.selectInstrument(-1, 5);
    rig.voices.instrumentTextChanged(1, 200);
    rig.voices.selectVolume(0, 7);
    rig.voices.selectVolume(5, 1);
    rig.voices.volumeTextChanged(1, -1);
    rig.voices.selectTempo(13);
    rig.voices.selectTempo(-1);
    rig.voices.selectKey(12);
    rig.voices.selectKey(-1);
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(rig.t.choices.count(), yxyz);
    QCOMPARE(keySpy.count(), 0);
    QCOMPARE(rig.t.state.VoiceInstrument, before.VoiceInstrument);
    QCOMPARE(rig.t.state.VoiceVelocity, before.VoiceVelocity);
    QCOMPARE(rig.t.state.EighthBeatMs, before.EighthBeatMs);
    QCOMPARE(rig.t.state.KeyBase, before.KeyBase);
    QCOMPARE(rig.voices.instrumentPosition(0), 15);
    QCOMPARE(rig.voices.keyPosition(), 0);
    QCOMPARE(rig.voices.tempoPosition(), 6);
    QCOMPARE(rig.voices.instrumentPosition(7), -1);
}

void MelodyVoicesTest::keyChangeStopsTheSoundingNote()
{
    PerformanceRig rig;
    QCOMPARE(MelodyVoices::keyTexts().size(), 12);
    QCOMPARE(MelodyVoices::keyTexts().at(11), QString("B"));
    rig.press(0x41);  // note 60 sounds on 0..2
    rig.t.clearSent();
    int sentWhenAnnounced = -1;
    qint16 baseWhenAnnounced = 0;
    QList<int> oldBases;
    connect(&rig.voices, &MelodyVoices::keyBaseChanging, &rig.voices, [&](qint16 oldBase) {
        if (oldBases.isEmpty()) {
            sentWhenAnnounced = rig.sent().size();
            baseWhenAnnounced = rig.t.state.KeyBase;
        }
        oldBases << oldBase;
    });
    rig.voices.selectKey(2);
    QCOMPARE(sentWhenAnnounced, 0);         // announced first,
    QCOMPARE(int(baseWhenAnnounced), 36);   // before the key moves
    QCOMPARE(rig.sent(), (Msgs{R::noteOff(0, 60), R::noteOff(1, 60), R::noteOff(2, 60)}));
    QCOMPARE(int(rig.t.state.KeyBase), 38);
    // Later keys play at the new key, and nothing is left hanging.
    rig.press(0x53);
    QCOMPARE(rig.noteOns().first(), R::noteOn(0, 64, 70));
    rig.press(32);
    rig.voices.selectKey(11);
    QCOMPARE(int(rig.t.state.KeyBase), 47);
    rig.press(0x31);
    QCOMPARE(rig.noteOns().last(), R::noteOn(2, 47, 70));
    rig.voices.selectKey(0);
    rig.press(32);
    QCOMPARE(hangingMelodyNotes(rig.sent()), QString());
    QCOMPARE(oldBases, (QList<int>{36, 38, 47}));
}

void MelodyVoicesTest::sameKeyAgainChangesNothing()
{
    PerformanceRig rig;
    rig.press(0x41);
    rig.t.clearSent();
    QSignalSpy spy(&rig.voices, &MelodyVoices::keyBaseChanging);
    const int yxyz = rig.t.choices.count();
    rig.voices.selectKey(0);
    QVERIFY(rig.sent().isEmpty());
    QCOMPARE(spy.count(), 0);
    QCOMPARE(int(rig.t.state.KeyBase), 36);
    QCOMPARE(rig.t.choices.count(), yxyz + 1);  // the keyboard is still given back
}

void MelodyVoicesTest::combinations()
{
    PerformanceRig rig;
    QVERIFY(!MelodyVoices::combination(0));
    QVERIFY(!MelodyVoices::combination(13));
    QCOMPARE(QString::fromUtf8(MelodyVoices::combination(12)->word), QString("十二"));
    // Start-up instrumentation is row 7.
    QCOMPARE(MelodyVoices::combination(7)->positions, (std::array<qint16, 3>{15, 52, 79}));
    const int yxyz = rig.t.choices.count();
    QVERIFY(!rig.voices.applyCombination(0));
    QVERIFY(!rig.voices.applyCombination(13));
    QVERIFY(rig.sent().isEmpty());
    // Applying a row (score's YQ) does not give the keyboard back.
    QVERIFY(rig.voices.applyCombination(3));
    QCOMPARE(rig.t.choices.count(), yxyz);
    QCOMPARE(rig.voices.instrumentPosition(0), 76);
    QCOMPARE(rig.voices.instrumentPosition(1), 0);
    QCOMPARE(rig.t.state.VoiceInstrument, (std::array<qint16, kVoiceSlots>{75, 0, 0}));
    // Row 3: program 75 twice on channel 0; the silent voices stop their note.
    QCOMPARE(rig.sent(), (Msgs{R::control(0, 0, 0), R::program(0, 75), R::control(0, 0, 0),
                               R::program(0, 75), R::noteOff(1, 36), R::noteOff(2, 36)}));
}
