#include "RhythmTests.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

int hexValue(QChar c)
{
    const QString digits = QStringLiteral("0123456789ABCDEF");
    return int(digits.indexOf(c.toUpper()));
}

// What a rhythm text must hold to be applied: 80 characters or more and six
// two-digit hexadecimal header values within their ranges.
bool acceptable(const QString &text)
{
    if (text.size() < 80)
        return false;
    const int limits[6] = {8, 3, 47, 47, 47, 47};
    for (int k = 0; k < 6; ++k) {
        const QChar hi = text[2 * k];
        const QChar lo = text[2 * k + 1];
        if (hi.unicode() > 127 || lo.unicode() > 127 || hexValue(hi) < 0 || hexValue(lo) < 0)
            return false;
        if (hexValue(hi) * 16 + hexValue(lo) >= limits[k])
            return false;
    }
    return true;
}

// The pattern's invariants: values in range, the step table in step with the
// cells, every message a well-formed percussion note-on.
void checkConsistent(const RhythmRig &rig, const char *where)
{
    const RhythmPattern &p = rig.pattern;
    const SharedState &s = rig.t.state;
    QVERIFY2(p.VolumeIndex() >= 0 && p.VolumeIndex() < 8, where);
    QVERIFY2(p.TimeSignature() >= 0 && p.TimeSignature() <= 2, where);
    QVERIFY2(p.LastStep() == (p.TimeSignature() == 1 ? 14 : 15) || p.LastStep() == 16, where);
    for (int r = 0; r < 4; ++r) {
        QVERIFY2(p.Instrument(r) >= -1 && p.Instrument(r) <= 46, where);
        for (int i = 0; i <= 16; ++i)
            QVERIFY2(s.Steps.cell(i, r).Sounding == (p.Cells(r, i) ? -1 : 0), where);
    }
    for (const auto &sent : rig.t.midi.sent) {
        QVERIFY2((sent.message & 0xFF) == 0x99, where);
        QVERIFY2(((sent.message >> 8) & 0xFF) >= 34 && ((sent.message >> 8) & 0xFF) <= 81, where);
        QVERIFY2((sent.message >> 16) >= 50 && (sent.message >> 16) <= 120, where);
    }
}

// After an accepted text: the pattern says what the text says.
void checkApplied(const RhythmRig &rig, const QString &text)
{
    const RhythmPattern &p = rig.pattern;
    const int volume = hexValue(text[0]) * 16 + hexValue(text[1]);
    const int signature = hexValue(text[2]) * 16 + hexValue(text[3]);
    QCOMPARE(int(p.VolumeIndex()), volume);
    QCOMPARE(int(p.TimeSignature()), signature);
    QCOMPARE(int(p.LastStep()), signature == 1 ? 14 : 15);
    const int starts[4] = {12, 28, 44, 61};
    const int counts[4] = {16, 16, 17, 16};
    for (int r = 0; r < 4; ++r) {
        const int position = hexValue(text[4 + 2 * r]) * 16 + hexValue(text[5 + 2 * r]);
        QCOMPARE(int(p.Instrument(r)), position);
        for (int i = 0; i < counts[r]; ++i)
            QCOMPARE(p.Cells(r, i), text[starts[r] + i] == QLatin1Char('*'));
        for (int step = 0; step <= 15; ++step)
            QCOMPARE(rig.t.state.Steps.cell(step, r).Message, drum(position + 35, 50 + 10 * volume));
    }
}

QChar randomChar(QRandomGenerator &rng)
{
    static const QString alphabet = QStringLiteral("0123456789ABCDEFabcdefGg*-*-*-, .\r\n\t\0节０");
    if (rng.bounded(10) == 0)
        return QChar(char16_t(rng.bounded(1, 0xFFFF)));
    return alphabet[rng.bounded(int(alphabet.size()))];
}

QString mutated(QRandomGenerator &rng)
{
    QString text = RhythmPattern::builtInRhythmText(rng.bounded(1, 10));
    if (rng.bounded(2))
        text = text.leftJustified(93, QLatin1Char(' '));
    switch (rng.bounded(5)) {
    case 0:  // a few characters replaced, often in the header
        for (int k = rng.bounded(1, 4); k > 0; --k) {
            const int pos = rng.bounded(2) ? rng.bounded(12) : rng.bounded(int(text.size()));
            text[pos] = randomChar(rng);
        }
        break;
    case 1:  // cut short around the limit
        text.truncate(rng.bounded(70, 90));
        break;
    case 2:  // a character inserted or removed
        if (rng.bounded(2))
            text.insert(rng.bounded(int(text.size())), randomChar(rng));
        else
            text.remove(rng.bounded(int(text.size())), 1);
        break;
    case 3: {  // anything at all
        text.clear();
        for (int n = rng.bounded(130); n > 0; --n)
            text += randomChar(rng);
        break;
    }
    default:  // a valid header with random values
        for (int k = 0; k < 12; ++k)
            text[k] = QStringLiteral("0123456789ABCDEF")[rng.bounded(k % 2 ? 16 : 4)];
        break;
    }
    return text;
}

}  // namespace

void RhythmRobustnessTest::fuzzRhythmTexts()
{
    QRandomGenerator rng(20120101);
    RhythmRig rig;
    int accepted = 0;
    for (int n = 0; n < 4000; ++n) {
        const QString text = mutated(rng);
        const QString before = patternSnapshot(rig.pattern, rig.t.state);
        const int messages = int(rig.t.dialogs.messages.size());
        rig.t.clearSent();
        const bool applied = rig.apply(text);
        const QByteArray where = QStringLiteral("case %1: %2").arg(n).arg(text).toUtf8();
        QVERIFY2(applied == acceptable(text), where.constData());
        if (applied) {
            ++accepted;
            QCOMPARE(rig.t.dialogs.messages.size(), messages);
            checkApplied(rig, text);
        } else {
            QCOMPARE(rig.t.dialogs.messages.size(), messages + 1);
            QCOMPARE(patternSnapshot(rig.pattern, rig.t.state), before);
        }
        checkConsistent(rig, where.constData());
        // Now and then the sequencer plays on whatever the pattern holds.
        if (n % 7 == 0)
            rig.sequencer.onBzdsTick();
    }
    // Both outcomes were exercised a fair number of times.
    QVERIFY(accepted > 500);
    QVERIFY(accepted < 3500);
}

void RhythmRobustnessTest::fuzzRhythmFiles()
{
    QRandomGenerator rng(19491001);
    RhythmRig rig;
    const QString path = rig.t.path("f.bin");
    for (int n = 0; n < 400; ++n) {
        QByteArray bytes = savedText(rng.bounded(1, 10)).toLatin1() + "\r\n";
        if (rng.bounded(4) == 0) {
            bytes.resize(rng.bounded(200));
            for (char &c : bytes)
                c = char(rng.bounded(256));
        } else {
            for (int k = rng.bounded(1, 6); k > 0; --k)
                bytes[rng.bounded(int(bytes.size()))] = char(rng.bounded(256));
            if (rng.bounded(3) == 0)
                bytes.truncate(rng.bounded(int(bytes.size())));
        }
        writeBytes(path, bytes);
        const QByteArray where = "file case " + QByteArray::number(n) + ": " + bytes.toHex();
        rig.files.refreshFile1();
        rig.files.openFromList(0);
        checkConsistent(rig, where.constData());
        rig.files.openAtStartUp();
        checkConsistent(rig, where.constData());
        QString text;
        QVERIFY(rig.files.readJPEntry(10, &text));
        rig.t.state.RhythmText = text;
        rig.pattern.OpenJZwj();
        checkConsistent(rig, where.constData());
        rig.t.clearSent();
    }
}

void RhythmRobustnessTest::corpus()
{
    const QDir dir(QStringLiteral(DZQ_RHYTHM_CORPUS));
    const QStringList names = dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 30);
    for (const QString &name : names) {
        const QByteArray where = name.toUtf8();
        RhythmRig rig;
        rig.applyBuiltIn(9);
        QVERIFY(QFile::copy(dir.filePath(name), rig.t.path(name)));
        const QString before = patternSnapshot(rig.pattern, rig.t.state);

        // Whole file, as at start-up and for JP: the name tells the outcome.
        rig.files.openAtStartUp();
        QCOMPARE(rig.files.Label11(), name);
        if (name.startsWith(QStringLiteral("ok-"))) {
            QVERIFY2(rig.t.dialogs.messages.isEmpty(), where.constData());
        } else {
            QVERIFY2(rig.t.dialogs.messages.size() == 1, where.constData());
            QVERIFY2(patternSnapshot(rig.pattern, rig.t.state) == before, where.constData());
        }
        checkConsistent(rig, where.constData());

        // From the list (first line, up to a comma) and by JP: never a fault.
        rig.files.openFromList(0);
        checkConsistent(rig, where.constData());
        QString text;
        QVERIFY2(rig.files.readJPEntry(10, &text), where.constData());
        rig.t.state.RhythmText = text;
        rig.pattern.OpenJZwj();
        checkConsistent(rig, where.constData());
    }

#ifdef Q_OS_UNIX
    // A pipe named like a rhythm file is neither listed nor read (it would block).
    RhythmRig rig;
    QCOMPARE(mkfifo(QFile::encodeName(rig.t.path("pipe.bin")).constData(), 0600), 0);
    rig.files.openAtStartUp();
    QVERIFY(rig.files.File1().isEmpty());
    QVERIFY(rig.files.Label11().isEmpty());
#endif
}
