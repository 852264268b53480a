#include "SongTestSupport.h"
#include "TestMain.h"

#include "songs/MusicXml.h"

#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// What a notation program reads from the document.
struct Read {
    int fifths = 99;
    int beats = 0;
    QString clef;
    QString title;
    QString partName;
    int program = 0;
    QStringList words;
    QStringList tempi;      // "per-minute/sound tempo"
    QStringList harmonies;  // "E minor", "B-1 major"
    QStringList bars;       // each bar's notes: "C4:8~", "~C4:2", "r:16", "R", fermata "f"
    QVector<int> heads;     // MIDI note of every note not tied from the one before
    QVector<int> alters;
    QStringList steps;
    QString barStyle;
};

int midiOf(const QString &step, int alter, int octave)
{
    static const QString letters = QStringLiteral("C D EF G A B");
    return int(letters.indexOf(step)) + alter + 12 * (octave + 1);
}

Read readDocument(const QByteArray &bytes)
{
    Read r;
    QXmlStreamReader x(bytes);
    QString step;
    int alter = 0;
    int octave = 0;
    QString note;
    bool rest = false;
    bool tieStart = false;
    bool tieStop = false;
    bool fermata = false;
    bool measureRest = false;
    int duration = 0;
    QString rootStep;
    int rootAlter = 0;
    QString perMinute;
    while (!x.atEnd()) {
        x.readNext();
        const QString name = x.name().toString();
        if (x.isStartElement()) {
            if (name == "measure")
                r.bars << QString();
            else if (name == "note") {
                rest = tieStart = tieStop = fermata = measureRest = false;
                alter = 0;
            } else if (name == "rest") {
                rest = true;
                measureRest = x.attributes().value("measure") == QLatin1String("yes");
            } else if (name == "tie") {
                (x.attributes().value("type") == QLatin1String("start") ? tieStart : tieStop) = true;
            } else if (name == "fermata") {
                fermata = true;
            } else if (name == "sound" && x.attributes().hasAttribute("tempo")) {
                r.tempi << perMinute + "/" + x.attributes().value("tempo").toString();
            } else if (name == "step") {
                step = x.readElementText();
            } else if (name == "alter") {
                alter = x.readElementText().toInt();
            } else if (name == "octave") {
                octave = x.readElementText().toInt();
            } else if (name == "duration") {
                duration = x.readElementText().toInt();
            } else if (name == "fifths") {
                r.fifths = x.readElementText().toInt();
            } else if (name == "beats") {
                r.beats = x.readElementText().toInt();
            } else if (name == "sign") {
                r.clef = x.readElementText();
            } else if (name == "work-title") {
                r.title = x.readElementText();
            } else if (name == "part-name") {
                r.partName = x.readElementText();
            } else if (name == "midi-program") {
                r.program = x.readElementText().toInt();
            } else if (name == "words") {
                r.words << x.readElementText();
            } else if (name == "per-minute") {
                perMinute = x.readElementText();
            } else if (name == "root-step") {
                rootStep = x.readElementText();
                rootAlter = 0;
            } else if (name == "root-alter") {
                rootAlter = x.readElementText().toInt();
            } else if (name == "kind") {
                r.harmonies << QStringLiteral("%1%2 %3").arg(rootStep, rootAlter ? QString::number(rootAlter) : QString(),
                                                              x.readElementText());
            } else if (name == "bar-style") {
                r.barStyle = x.readElementText();
            }
        } else if (x.isEndElement() && name == "note") {
            if (measureRest) {
                note = "R";
            } else if (rest) {
                note = QStringLiteral("r:%1").arg(duration);
            } else {
                note = QStringLiteral("%1%2%3%4:%5%6")
                           .arg(tieStop ? "~" : "", step, alter ? QString::number(alter) : QString())
                           .arg(octave)
                           .arg(duration)
                           .arg(tieStart ? "~" : "");
                if (!tieStop) {
                    r.heads << midiOf(step, alter, octave);
                    r.alters << alter;
                    r.steps << step;
                }
            }
            if (fermata)
                note += "f";
            r.bars.last() += (r.bars.last().isEmpty() ? "" : " ") + note;
        }
    }
    if (x.hasError())
        r.bars << "XML error: " + x.errorString();
    return r;
}

Read written(const QString &score, int key = 0, int beats = 4)
{
    MusicXml::Options o;
    o.keyPosition = key;
    o.beatsPerBar = beats;
    o.title = "歌";
    return readDocument(MusicXml::document(ScoreTimeline::read(score), o));
}

}  // namespace

// The MusicXML document: pitches in every key, bars and ties, marks.
class MusicXmlTest : public QObject {
    Q_OBJECT
private slots:
    void everyCodeSoundsItsPitchInEveryKey()
    {
        // All 33 codes, LC to MG.
        QString score = QStringLiteral("LC1");
        QVector<int> offsets{0};
        for (int octave = 0; octave < 5; ++octave) {
            for (int i = octave == 0 ? 1 : 0; i < (octave == 4 ? 5 : 7); ++i) {
                score += QString(QLatin1Char("LWKHM"[octave])) + QLatin1Char("CDEFGAB"[i]);
                offsets << octave * 12 + QVector<int>{0, 2, 4, 5, 7, 9, 11}[i];
            }
        }
        score += "TZ";
        const QVector<int> fifths{0, -5, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};
        const QStringList tonics{"C", "D-1", "D", "E-1", "E", "F", "F1", "G", "A-1", "A", "B-1", "B"};
        for (int key = 0; key < 12; ++key) {
            const Read r = written(score, key);
            QCOMPARE(r.fifths, fifths[key]);
            QCOMPARE(r.heads.size(), offsets.size());
            for (int i = 0; i < offsets.size(); ++i) {
                QCOMPARE(r.heads[i], 36 + key + offsets[i]);
                QVERIFY(qAbs(r.alters[i]) <= 1);
            }
            // The tonic is spelled as the key is named.
            QCOMPARE(r.steps[0] + (r.alters[0] ? QString::number(r.alters[0]) : QString()), tonics[key]);
        }
    }

    void barsTiesAndNoteValues_data()
    {
        QTest::addColumn<QString>("score");
        QTest::addColumn<int>("beats");
        QTest::addColumn<QStringList>("bars");
        QTest::newRow("tied over the bar") << "KC40TZ" << 4 << QStringList{"C4:32~", "~C4:8 r:24"};
        QTest::newRow("2/4 shapes") << "KC12KD12TZ" << 2 << QStringList{"C4:12 D4:4~", "~D4:8 r:8"};
        QTest::newRow("3/4 and rests") << "XZ24KC7XZ17TZ" << 3 << QStringList{"R", "C4:6~ ~C4:1 r:16 r:1"};
        QTest::newRow("command inside a note") << "KC8VS1YX1TZ" << 2 << QStringList{"C4:8~ ~C4:2 r:6"};
        QTest::newRow("held") << "WB8KC0TZ" << 4 << QStringList{"B3:8 C4:8f r:16"};
        QTest::newRow("nothing") << "TZ" << 4 << QStringList{"R"};
        QTest::newRow("error") << "KC8QQ" << 2 << QStringList{"C4:8 r:8"};
    }
    void barsTiesAndNoteValues()
    {
        QFETCH(QString, score);
        QFETCH(int, beats);
        QFETCH(QStringList, bars);
        const Read r = written(score, 0, beats);
        QCOMPARE(r.bars, bars);
        QCOMPARE(r.beats, beats);
    }

    void commandsTempoChordsAndPart()
    {
        const Read r = written("YQ3JP1HX2KC8YX6VS9HX6KD8JP99TZ", 2);
        QCOMPARE(r.title, QString("歌"));
        QCOMPARE(r.partName, QString("排笛"));
        QCOMPARE(r.program, 76);
        QCOMPARE(r.words, (QStringList{"组合三（排笛）", "2/4节奏1", "编钟", "节奏停"}));
        QCOMPARE(r.tempi, (QStringList{"90/90.361446", "100/100.000000"}));
        QCOMPARE(r.harmonies, (QStringList{"E minor", "B minor"}));
        QCOMPARE(r.bars, (QStringList{"D4:8~ ~D4:12 E4:8 r:4"}));
        QCOMPARE(r.barStyle, QString("light-heavy"));
        QCOMPARE(r.clef, QString("G"));
        QCOMPARE(written("VS1LC8TZ").tempi, QStringList{"60/60.000000"});
        QCOMPARE(written("VS1LC8TZ").clef, QString("F"));
        QCOMPARE(written("YQ5KC8TZ").words, QStringList{"组合五（诗歌、独奏嗓音、明亮）"});
    }

    void haltsAndErrorsEndTheMusic()
    {
        Read r = written("KC8VS0KD8TZ");
        QCOMPARE(r.words, QStringList{"演奏在这里停住"});
        QCOMPARE(r.barStyle, QString());  // not an end the score wrote
        r = written("KC8KD4");
        QCOMPARE(r.barStyle, QString("light-heavy"));
    }

    void exportsTellWhatHappened()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.musicxml");
        MusicXml::Export e = MusicXml::exportScore("KC8KD8QQ", path, {});
        QCOMPARE(e.status, MusicXml::Export::ScoreError);
        QVERIFY2(e.message.contains("出错的位置：第7个字符“QQ”。"), qPrintable(e.message));
        QCOMPARE(e.notes, 2);
        QVERIFY(QFile::exists(path));
        e = MusicXml::exportScore("KC8KD0TZ", path, {});
        QCOMPARE(e.status, MusicXml::Export::Ok);
        QVERIFY(e.notice.contains("第4个字符处时值为0"));
        e = MusicXml::exportScore("KC8TZ", dir.filePath("no/such/folder/b.musicxml"), {});
        QCOMPARE(e.status, MusicXml::Export::Failed);
        QVERIFY(e.message.startsWith("无法写入MusicXML文件“b.musicxml”"));
        e = MusicXml::exportScore(QString(40000, 'X'), dir.filePath("c.musicxml"), {});
        QCOMPARE(e.status, MusicXml::Export::Failed);
        QVERIFY(!QFile::exists(dir.filePath("c.musicxml")));
        QVERIFY(MusicXml::isMusicXmlFile("x.MusicXML") && MusicXml::isMusicXmlFile("x.xml"));
        QVERIFY(!MusicXml::isMusicXmlFile("x.mxl"));
    }
};

DZQ_REGISTER_TEST(MusicXmlTest)
#include "MusicXmlTest.moc"
