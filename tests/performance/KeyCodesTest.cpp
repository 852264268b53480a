#include "PerformanceViewTests.h"

#include "widgets/KeyCodes.h"

#include <QKeyEvent>
#include <QTest>

void KeyCodesTest::qtKeys()
{
    using namespace KeyCodes;
    const auto none = Qt::NoModifier;
    QCOMPARE(fromQtKey(Qt::Key_A, none), 0x41);
    QCOMPARE(fromQtKey(Qt::Key_Z, none), 0x5A);
    QCOMPARE(fromQtKey(Qt::Key_0, none), 0x30);
    QCOMPARE(fromQtKey(Qt::Key_9, Qt::KeypadModifier), 0x69);
    QCOMPARE(fromQtKey(Qt::Key_0, Qt::KeypadModifier), 0x60);
    // Keypad with Num Lock off still gives the rhythm keys.
    QCOMPARE(fromQtKey(Qt::Key_End, Qt::KeypadModifier), 0x61);
    QCOMPARE(fromQtKey(Qt::Key_End, none), 0);
    QCOMPARE(fromQtKey(Qt::Key_F1, none), 0x70);
    QCOMPARE(fromQtKey(Qt::Key_F12, none), 0x7B);
    QCOMPARE(fromQtKey(Qt::Key_F13, none), 0);
    QCOMPARE(fromQtKey(Qt::Key_Space, none), 32);
    QCOMPARE(fromQtKey(Qt::Key_Backspace, none), 8);
    QCOMPARE(fromQtKey(Qt::Key_Backslash, none), 0xDC);
    QCOMPARE(fromQtKey(Qt::Key_Equal, none), 0xBB);
    QCOMPARE(fromQtKey(Qt::Key_Plus, Qt::ShiftModifier), 0xBB);
    QCOMPARE(fromQtKey(Qt::Key_Minus, none), 0xBD);
    QCOMPARE(fromQtKey(Qt::Key_Apostrophe, none), 0xDE);
    QCOMPARE(fromQtKey(Qt::Key_Exclam, Qt::ShiftModifier), 0x31);  // shift + 1
    QCOMPARE(fromQtKey(Qt::Key_Shift, Qt::ShiftModifier), 0);
}

void KeyCodesTest::physicalPositions()
{
    using namespace KeyCodes;
    const auto evdev = ScanCodes::Evdev;
    // French layout: the key labelled A sits where a US keyboard has Q.
    QCOMPARE(fromKey(Qt::Key_A, Qt::NoModifier, 16 + 8, evdev), 0x51);
    // German layout: Z and Y swapped, ß where "-" is.
    QCOMPARE(fromKey(Qt::Key_Z, Qt::NoModifier, 21 + 8, evdev), 0x59);
    QCOMPARE(fromKey(Qt::Key_ssharp, Qt::NoModifier, 12 + 8, evdev), 0xBD);
    // A French top row types "&" for 1; the position plays LC.
    QCOMPARE(fromKey(Qt::Key_Ampersand, Qt::NoModifier, 2 + 8, evdev), 0x31);
    QCOMPARE(fromKey(Qt::Key_Backslash, Qt::NoModifier, 43 + 8, evdev), 0xDC);
    // Keypad 1 plays rhythm 1 with or without Num Lock.
    QCOMPARE(fromKey(Qt::Key_End, Qt::KeypadModifier, 79 + 8, evdev), 0x61);
    QCOMPARE(fromKey(Qt::Key_F12, Qt::NoModifier, 88 + 8, evdev), 0x7B);
    QCOMPARE(fromKey(Qt::Key_Space, Qt::NoModifier, 57 + 8, evdev), 32);
    // No scan code (tests, other platforms): the Qt key decides.
    QCOMPARE(fromKey(Qt::Key_A, Qt::NoModifier, 0, evdev), 0x41);
    QCOMPARE(fromKey(Qt::Key_A, Qt::NoModifier, 24, ScanCodes::None), 0x41);
    // Windows: the End key is extended and is no keypad digit.
    QCOMPARE(fromKey(Qt::Key_End, Qt::NoModifier, 0x14F, ScanCodes::Set1), 0);
    QCOMPARE(fromKey(Qt::Key_1, Qt::KeypadModifier, 0x4F, ScanCodes::Set1), 0x61);
    QCOMPARE(fromKey(Qt::Key_Q, Qt::NoModifier, 0x10, ScanCodes::Set1), 0x51);
    // Modifier keys have no code.
    QCOMPARE(fromKey(Qt::Key_Shift, Qt::ShiftModifier, 42 + 8, evdev), 0);
    QCOMPARE(fromScanCode(0xFFFF, evdev), 0);
}

void KeyCodesTest::keyNames()
{
    QCOMPARE(KeyCodes::keyName(0x41), QString("A"));
    QCOMPARE(KeyCodes::keyName(0xDC), QString("\\"));
    QCOMPARE(KeyCodes::keyName(0x74), QString("F5"));
    QCOMPARE(KeyCodes::keyName(0x60), QString("0"));
    QCOMPARE(KeyCodes::keyName(32), QString("Space"));
    QVERIFY(KeyCodes::keyName(0x7F).isEmpty());
}
