#include "SoundEffectsTest.h"

#include "TestContext.h"

#include "chords/SoundEffects.h"

#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

void pressKey(TestContext &t, SoundEffects &effects, qint16 keyCode)
{
    t.state.LastKeyCode = keyCode;
    effects.TSYX();
}

}  // namespace

void SoundEffectsTest::everyEffectInTheKeyOfC_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("note");
    QTest::addColumn<QString>("name");
    QTest::newRow("P") << 80 << 47 << 48 << "铜钹";
    QTest::newRow("[") << 219 << 115 << 60 << "木鱼";
    QTest::newRow("]") << 221 << 118 << 72 << "定音鼓";
    QTest::newRow(";") << 186 << 123 << 60 << "鸟鸣";
    QTest::newRow("'") << 222 << 122 << 60 << "海浪声";
    QTest::newRow("/") << 191 << 14 << 48 << "编钟";
}

void SoundEffectsTest::everyEffectInTheKeyOfC()
{
    QFETCH(int, keyCode);
    QFETCH(int, program);
    QFETCH(int, note);
    QFETCH(QString, name);
    TestContext t;
    SoundEffects effects(t.ctx, t.window);
    pressKey(t, effects, qint16(keyCode));
    QCOMPARE(t.sent(), (Msgs{R::control(6, 0, 0), R::program(6, program), R::noteOn(6, note, 100)}));
    QCOMPARE(t.window.XSWB(), "特殊音效\r\n         " + name);
}

void SoundEffectsTest::keyPTwiceNeverStops()
{
    TestContext t;
    SoundEffects effects(t.ctx, t.window);
    pressKey(t, effects, 80);
    pressKey(t, effects, 80);
    const Msgs once{R::control(6, 0, 0), R::program(6, 47), R::noteOn(6, 48, 100)};
    QCOMPARE(t.sent(), once + once);
    QVERIFY(t.midi.messagesOfKind(0x80).isEmpty());
}

void SoundEffectsTest::rightBracketInD()
{
    TestContext t;
    t.state.KeyBase = 38;
    SoundEffects effects(t.ctx, t.window);
    pressKey(t, effects, 221);
    QCOMPARE(t.midi.messagesOfKind(0x90), Msgs{R::noteOn(6, 74, 100)});
}

void SoundEffectsTest::displayAfterSlash()
{
    TestContext t;
    SoundEffects effects(t.ctx, t.window);
    pressKey(t, effects, 191);
    const QString text = t.window.XSWB();
    QCOMPARE(text, QStringLiteral("特殊音效") + QChar('\r') + QChar('\n') + QString(9, ' ') + QStringLiteral("编钟"));
}

void SoundEffectsTest::scoreNumbersMapToKeys()
{
    const QVector<int> codes{80, 219, 221, 186, 222, 191};
    for (int n = 1; n <= 6; ++n) {
        const qint16 code = SoundEffects::keyCodeForYX(n);
        QCOMPARE(int(code), codes[n - 1]);
        QCOMPARE(SoundEffects::effectForKeyCode(code), n - 1);
    }
    for (int n : {0, 7, -1, 99})
        QCOMPARE(SoundEffects::keyCodeForYX(n), qint16(0));
}

void SoundEffectsTest::otherKeyCodesDoNothing()
{
    TestContext t;
    SoundEffects effects(t.ctx, t.window);
    for (qint16 code : {qint16(0), qint16(73), qint16(96), qint16(-80)}) {
        pressKey(t, effects, code);
        QVERIFY(t.sent().isEmpty());
        QVERIFY(t.window.XSWB().isEmpty());
    }
}
