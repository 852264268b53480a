#include "EditorRig.h"
#include "TestMain.h"

#include <QRandomGenerator>

namespace {

constexpr qint64 kMs = 1000000;

// After any open or import: the edit fits the tables, it plays to its end in
// bounded time, every message is well formed and no melody note is left on.
void checkPlayable(EditorRig &rig, const char *where)
{
    const EditorModel &m = rig.model;
    QVERIFY2(m.MeasureLastStep == 15 || m.MeasureLastStep == 23 || m.MeasureLastStep == 31, where);
    QVERIFY2(m.MeasureTotal >= 0 && m.StepCount() * (m.MeasureTotal + 1) <= 1600, where);
    rig.t.clearSent();
    rig.playback().setST2(true);
    for (int guard = 0; rig.playback().SongPlaying(); ++guard) {
        QVERIFY2(guard <= 1600, where);
        rig.t.clock.runUntilIdle(rig.t.clock.nowNs() + 60000 * kMs, 1);
    }
    QMap<quint32, bool> on;
    for (const auto &s : rig.t.midi.sent) {
        QVERIFY2((s.message & 0x80) && ((s.message >> 8) & 0x80) == 0 && ((s.message >> 16) & 0x80) == 0
                     && (s.message >> 24) == 0,
                 where);
        const quint32 kind = s.message & 0xF0;
        const quint32 key = s.message & 0xFF0F;
        if (kind == 0x90 && (s.message & 0x0F) <= 4)
            on[key] = (s.message >> 16) > 0;
        else if (kind == 0x80)
            on[key] = false;
    }
    for (bool sounding : on)
        QVERIFY2(!sounding, where);
}

QByteArray randomBytes(QRandomGenerator &rng, const QList<QByteArray> &pieces, int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        if (rng.bounded(8) == 0)
            out += char(rng.bounded(256));
        else
            out += pieces[int(rng.bounded(pieces.size()))];
    }
    return out;
}

QByteArray editLines(int lines, const QByteArray &line)
{
    QByteArray out;
    for (int i = 0; i < lines; ++i)
        out += (i % 11 == 0 ? QByteArray("0000") : line) + "\r\n";
    return out;
}

}  // namespace

class EditorRobustnessTest : public QObject {
    Q_OBJECT
private slots:
    void nastyEditFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray melody(32, '-');
        QTest::newRow("CR only") << QByteArray("0000\r" + melody + "\r");
        QTest::newRow("NUL bytes") << QByteArray("0000\r\nKC\0\0", 10) + QByteArray(26, '\0') + "\r\n";
        QTest::newRow("invalid GBK") << QByteArray("0000\r\n\x81\x81\xff\xfe") + QByteArray(28, '-') + "\r\n";
        QTest::newRow("UTF-16") << QByteArray("\xff\xfe\x30\x00\x30\x00\r\x00\n\x00", 10) + QByteArray(64, 'K');
        QTest::newRow("33 characters") << QByteArray("0000\r\n" + melody + "-\r\n");
        QTest::newRow("garbage header") << QByteArray("0000ZZZZZZZZFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF9999\r\n" + melody);
        QTest::newRow("FF everywhere") << QByteArray(48, 'F') + "\r\n" + melody;
        QTest::newRow("header 47 chars") << QByteArray(47, '0') + "\r\n" + melody;
        QTest::newRow("1600 lines, 3/4 rows") << editLines(1600, QByteArray(48, 'O'));
        QTest::newRow("66 measures of 3/4") << editLines(66 * 11, QByteArray(48, 'O'));
        QTest::newRow("50 measures of 4/4") << editLines(50 * 11, "MGXZKCTZ" + QByteArray(56, '-'));
        QTest::newRow("too big") << QByteArray(2 * 1024 * 1024, 'K');
        QTest::newRow("long lines") << editLines(22, "KC" + QByteArray(5000, 'D'));
    }
    void nastyEditFiles()
    {
        QFETCH(QByteArray, bytes);
        EditorRig rig;
        rig.c.files.openEditFile(rig.write(QStringLiteral("nasty.lnk"), bytes));
        QVERIFY(rig.t.dialogs.messages.size() <= 1);
        checkPlayable(rig, QTest::currentDataTag());
    }

    void randomEditFiles()
    {
        QRandomGenerator rng(20261209);
        const QList<QByteArray> pieces{"KC", "MG", "XZ", "TZ", "--", "-", "O", "0000", "\r\n", "\r\n",
                                       "\n", "\r", QByteArray(32, '-'), QByteArray(16, 'O'), "FF", "46", "12"};
        EditorRig rig;
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes = (round % 2 ? QByteArray("0000\r\n") + QByteArray(32, '-') + "\r\n" : QByteArray());
            bytes += randomBytes(rng, pieces, int(rng.bounded(400)));
            rig.c.files.openEditFile(rig.write(QStringLiteral("random.lnk"), bytes));
            checkPlayable(rig, qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }

    void randomScores()
    {
        QRandomGenerator rng(7);
        const QList<QByteArray> pieces{"KC", "MG", "LA", "XZ", "TZ", "MA", "MB", "YQ", "VS", "JP", "HX", "YX",
                                       "1",  "2",  "8",  "99", "0",  "\r\n", "\n", "k",  "Z",  "\xb0\xa1"};
        EditorRig rig;
        for (int round = 0; round < 150; ++round) {
            rig.controls().selectTimeSignature(int(rng.bounded(3)));
            const QByteArray bytes = randomBytes(rng, pieces, int(rng.bounded(3000)));
            QVERIFY(rig.c.files.importScoreFile(rig.write(QStringLiteral("random.txt"), bytes)));
            for (int a = 0; a < rig.model.StepCount() * (rig.model.MeasureTotal + 1); ++a) {
                QCOMPARE(rig.model.StepCells(a, 0), rig.model.StepCells(a, 1));
                QVERIFY(rig.model.StepCells(a, 2).isEmpty() && rig.model.StepCells(a, 5).isEmpty());
            }
            checkPlayable(rig, qPrintable(QStringLiteral("round %1").arg(round)));
            rig.t.dialogs.messages.clear();
        }
    }
};

DZQ_REGISTER_TEST(EditorRobustnessTest)
#include "EditorRobustnessTest.moc"
