#include "SongTestSupport.h"
#include "TestMain.h"

#include "songs/SongKey.h"

#include <QTest>

// The key that fits a melody, and its notes as degrees of that key.
class SongKeyTest : public QObject {
    Q_OBJECT
private slots:
    void keyWithTheMostNotesOnItsScale_data()
    {
        QTest::addColumn<QVector<int>>("pitches");
        QTest::addColumn<int>("signature");
        QTest::addColumn<int>("key");
        QTest::newRow("C major") << QVector<int>{60, 62, 64, 65, 67, 69, 71, 72} << -1 << 0;
        QTest::newRow("G major") << QVector<int>{67, 69, 71, 72, 74, 76, 78, 79} << -1 << 7;
        QTest::newRow("Bb major") << QVector<int>{70, 72, 74, 75, 77, 79, 81, 82} << -1 << 10;
        QTest::newRow("tie: the last note") << QVector<int>{60, 62, 64, 67, 69, 67} << -1 << 7;
        QTest::newRow("tie: the signature first") << QVector<int>{60, 62, 64, 67, 69, 67} << 5 << 5;
        QTest::newRow("signature that does not fit") << QVector<int>{60, 62, 64, 65, 67, 69, 71} << 2 << 0;
        QTest::newRow("tie: the tonic heard most") << QVector<int>{62, 64, 65, 65, 67, 69, 69} << -1 << 5;
        QTest::newRow("nothing") << QVector<int>{} << -1 << 0;
    }
    void keyWithTheMostNotesOnItsScale()
    {
        QFETCH(QVector<int>, pitches);
        QFETCH(int, signature);
        QFETCH(int, key);
        QCOMPARE(SongKey::choose(pitches, signature), key);
    }

    void signaturesNameTheirMajorKey()
    {
        QCOMPARE(SongKey::keyOfSignature(0), 0);
        QCOMPARE(SongKey::keyOfSignature(1), 7);
        QCOMPARE(SongKey::keyOfSignature(-1), 5);
        QCOMPARE(SongKey::keyOfSignature(-3), 3);
        QCOMPARE(SongKey::keyOfSignature(7), 1);
    }

    void offScaleNotesKeepTheMelodysDirection()
    {
        // In C (KeyBase 36): C# as the first note goes down; after C it goes
        // up to D; after D down to C; repeated it stays; F# between E and G
        // rising goes to G only when F would not rise.
        const SongKey::Degrees d = SongKey::degrees({61, 60, 61, 62, 61, 61, 64, 66, 65, 66}, 0);
        QCOMPARE(d.offsets, (QVector<int>{24, 24, 26, 26, 24, 24, 28, 29, 29, 31}));
        QCOMPARE(d.movedToScale, 6);
        QCOMPARE(d.foldedIn, 0);
    }

    void octavesOutsideTheFiveAreFoldedIn()
    {
        // Key D (KeyBase 38): MIDI 26 is below offset 0, 95 and 97 above MG (55);
        // the highest A and B have no code the player knows: an octave down.
        const SongKey::Degrees d = SongKey::degrees({26, 38, 93, 95, 97, 116}, 2);
        QCOMPARE(d.offsets, (QVector<int>{0, 0, 55, 45, 47, 53}));
        QCOMPARE(d.foldedIn, 4);
        QCOMPARE(d.movedToScale, 1);  // 116 is G#, no degree of D major
        for (int o : d.offsets)
            QVERIFY(SongKey::isDegree(o) && o >= 0 && o <= SongKey::kHighestOffset);
    }
};

DZQ_REGISTER_TEST(SongKeyTest)
#include "SongKeyTest.moc"
