#include "SpecialEffectsTest.h"

#include "TestContext.h"

#include "chords/SpecialEffects.h"

#include <QTest>

using R = RecordingMidiBackend;
using Msgs = QVector<quint32>;

namespace {

void pressKey(TestContext &t, SpecialEffects &effects, qint16 keyCode)
{
    t.state.LastKeyCode = keyCode;
    effects.TSYX();
}

}  // namespace

void SpecialEffectsTest::everyEffectInTheKeyOfC_data()
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

void SpecialEffectsTest::everyEffectInTheKeyOfC()
{
    QFETCH(int, keyCode);
    QFETCH(int, program);
    QFETCH(int, note);
    QFETCH(QString, name);
    TestContext t;
    SpecialEffects effects(t.ctx);
    pressKey(t, effects, qint16(keyCode));
    QCOMPARE(t.sent(), (Msgs{R::control(6, 0, 0), R::program(6, program), R::noteOn(6, note, 100)}));
    QCOMPARE(t.window.XSWB(), "特殊音效\r\n         " + name);
}

void SpecialEffectsTest::keyPTwiceNeverStops()
{
    TestContext t;
    SpecialEffects effects(t.ctx);
    pressKey(t, effects, 80);
    pressKey(t, effects, 80);
    const Msgs once{R::control(6, 0, 0), R::program(6, 47), R::noteOn(6, 48, 100)};
    QCOMPARE(t.sent(), once + once);
    QVERIFY(t.midi.messagesOfKind(0x80).isEmpty());
}

void SpecialEffectsTest::rightBracketInD()
{
    TestContext t;
    t.state.KeyBase = 38;
    SpecialEffects effects(t.ctx);
    pressKey(t, effects, 221);
    QCOMPARE(t.midi.messagesOfKind(0x90), Msgs{R::noteOn(6, 74, 100)});
}

void SpecialEffectsTest::displayAfterSlash()
{
    TestContext t;
    SpecialEffects effects(t.ctx);
    pressKey(t, effects, 191);
    const QString text = t.window.XSWB();
    QCOMPARE(text, QStringLiteral("特殊音效") + QChar('\r') + QChar('\n') + QString(9, ' ') + QStringLiteral("编钟"));
}

void SpecialEffectsTest::scoreNumbersMapToKeys()
{
    const QVector<int> codes{80, 219, 221, 186, 222, 191};
    for (int n = 1; n <= 6; ++n) {
        const qint16 code = SpecialEffects::keyCodeForYX(n);
        QCOMPARE(int(code), codes[n - 1]);
        QCOMPARE(SpecialEffects::effectForKeyCode(code), n - 1);
    }
    for (int n : {0, 7, -1, 99})
        QCOMPARE(SpecialEffects::keyCodeForYX(n), qint16(0));
}

void SpecialEffectsTest::otherKeyCodesDoNothing()
{
    TestContext t;
    SpecialEffects effects(t.ctx);
    for (qint16 code : {qint16(0), qint16(73), qint16(96), qint16(-80)}) {
        pressKey(t, effects, code);
        QVERIFY(t.sent().isEmpty());
        QVERIFY(t.window.XSWB().isEmpty());
    }
}
