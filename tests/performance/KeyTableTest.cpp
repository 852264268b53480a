#include "PerformanceTests.h"
#include "PerformanceRig.h"

#include "performance/KeyTable.h"
#include "resources/StringTable.h"

#include <QSet>
#include <QTest>

void KeyTableTest::noteKeysAndCodes()
{
    const auto &keys = KeyTable::noteKeys();
    QCOMPARE(int(keys.size()), 34);
    QSet<int> codes;
    for (const NoteKey &k : keys) {
        QVERIFY2(!codes.contains(k.keyCode), "a key code appears twice");
        codes.insert(k.keyCode);
        // Every code written names the key's own offset, on a white key.
        QCOMPARE(KeyTable::codeToOffset(QString::fromLatin1(k.code)), int(k.offset));
        QVERIFY(!KeyTable::isBlackKey(k.offset));
        // The help text names the same code ("\" borrows the text of "=").
        const QString help = StringTable::text(k.helpId);
        if (k.keyCode != 0xDC)
            QVERIFY2(help.contains(QStringLiteral("乐谱中用 %1 表示").arg(k.code)), k.code);
    }
    const NoteKey *a = KeyTable::lookup(0x41);
    QVERIFY(a);
    QCOMPARE(int(a->offset), 24);
    QCOMPARE(QString(a->code), QString("KC"));
    QCOMPARE(int(a->helpId), 415);
    const NoteKey *backslash = KeyTable::lookup(0xDC);
    QVERIFY(backslash);
    QCOMPARE(int(backslash->offset), 57);
    QCOMPARE(QString(backslash->code), QString("MA"));
    QCOMPARE(int(backslash->helpId), 433);
    const NoteKey *equal = KeyTable::lookup(0xBB);
    QCOMPARE(int(equal->offset), 55);
    QCOMPARE(QString(equal->code), QString("MG"));
    QCOMPARE(int(equal->helpId), 433);
    const char *highRow[] = {"HE", "HF", "HG", "HA", "HB"};
    const int highCodes[] = {0x43, 0x56, 0x42, 0x4E, 0x4D};
    const int highOffsets[] = {40, 41, 43, 45, 47};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(QString(KeyTable::lookup(highCodes[i])->code), QString(highRow[i]));
        QCOMPARE(int(KeyTable::lookup(highCodes[i])->offset), highOffsets[i]);
    }
    QVERIFY(!KeyTable::lookup(0x49));  // I is a chord key
    QVERIFY(!KeyTable::lookup(0));
    QVERIFY(!KeyTable::lookup(-1));
}

void KeyTableTest::transposition()
{
    auto note = [](int base, int keyCode) {
        return KeyTable::midiNote(qint16(base), KeyTable::lookup(keyCode)->offset);
    };
    QCOMPARE(int(note(36, 0x41)), 60);
    QCOMPARE(int(note(36, 0x31)), 36);
    QCOMPARE(int(note(36, 0xBB)), 91);
    QCOMPARE(int(note(36, 0xDC)), 93);
    // Key "B": the lowest key sounds 47, the highest on-screen key 111.
    QCOMPARE(int(note(47, 0x31)), 47);
    QCOMPARE(int(note(47, 0xDC)), 104);
    QCOMPARE(int(KeyTable::midiNote(47, 64)), 111);
}

void KeyTableTest::codesToOffsets()
{
    QCOMPARE(KeyTable::codeToOffset(u"KC"), 24);
    QCOMPARE(KeyTable::codeToOffset(u"LC"), 0);
    QCOMPARE(KeyTable::codeToOffset(u"MG"), 55);
    QCOMPARE(KeyTable::codeToOffset(u"MA"), 57);
    QCOMPARE(KeyTable::codeToOffset(u"MB"), 59);
    QCOMPARE(KeyTable::codeToOffset(u"HB"), 47);
    for (const char *bad : {"", "K", "KCX", "kc", "XZ", "TZ", "KH", "NC", "K1"})
        QCOMPARE(KeyTable::codeToOffset(QString::fromLatin1(bad)), -1);
    QCOMPARE(KeyTable::offsetToCode(24), QString("KC"));
    QCOMPARE(KeyTable::offsetToCode(59), QString("MB"));
    QVERIFY(KeyTable::offsetToCode(25).isEmpty());
    QVERIFY(KeyTable::offsetToCode(60).isEmpty());
    QVERIFY(KeyTable::offsetToCode(-1).isEmpty());
    // Round trip over every white offset.
    for (int o = 0; o < 60; ++o) {
        if (!KeyTable::isBlackKey(o))
            QCOMPARE(KeyTable::codeToOffset(KeyTable::offsetToCode(o)), o);
    }
}

void KeyTableTest::keyRoles()
{
    QCOMPARE(KeyTable::roleOf(0x70), KeyRole::Combination);
    QCOMPARE(KeyTable::roleOf(0x7B), KeyRole::Combination);
    QCOMPARE(KeyTable::roleOf(0x7C), KeyRole::None);  // F13
    QCOMPARE(KeyTable::roleOf(32), KeyRole::Stop);
    QCOMPARE(KeyTable::roleOf(8), KeyRole::Rest);
    for (int k : {0x49, 0x4B, 0x4C, 0x4F, 0xBC, 0xBE})
        QCOMPARE(KeyTable::roleOf(k), KeyRole::Chord);
    for (int k : {0x50, 0xBA, 0xBF, 0xDB, 0xDD, 0xDE})
        QCOMPARE(KeyTable::roleOf(k), KeyRole::Effect);
    for (int k = 0x60; k <= 0x69; ++k)
        QCOMPARE(KeyTable::roleOf(k), KeyRole::Rhythm);
    for (const NoteKey &k : KeyTable::noteKeys())
        QCOMPARE(KeyTable::roleOf(k.keyCode), KeyRole::Note);
    for (int k : {0, 9, 13, 27, 0xC0, 0x6A, 0x7F})
        QCOMPARE(KeyTable::roleOf(k), KeyRole::None);
}

void KeyTableTest::blackKeys()
{
    int black = 0;
    for (int o = 0; o <= 64; ++o)
        black += KeyTable::isBlackKey(o);
    QCOMPARE(black, 27);
    QVERIFY(KeyTable::isBlackKey(1));
    QVERIFY(KeyTable::isBlackKey(61));
    QVERIFY(!KeyTable::isBlackKey(64));
    QVERIFY(!KeyTable::isBlackKey(-12));
}
