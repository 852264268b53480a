#include "EditorRig.h"
#include "TestMain.h"

#include "editor/model/MeasureHeader.h"

class EditorModelTest : public QObject {
    Q_OBJECT
private slots:
    void noteCodes_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("code");
        const struct { const char *cell; int code; } rows[] = {
            {"LC", 0},   {"LB", 11},  {"WC", 12}, {"KC", 24}, {"HB", 47}, {"MC", 48},
            {"MG", 55},  {"XZ", 254}, {"TZ", 255}, {"--", 255}, {"MA", 255}, {"MB", 255},
            {"lc", 255}, {"", 255},   {"D-", 255}, {"KC ", 255},
        };
        for (const auto &r : rows)
            QTest::newRow(r.cell[0] ? r.cell : "empty") << QString::fromLatin1(r.cell) << r.code;
    }
    void noteCodes()
    {
        QFETCH(QString, cell);
        QFETCH(int, code);
        QCOMPARE(int(EditorModel::SYYPSB(cell)), code);
    }

    void melodyRowsAreUpperCasedPaddedAndCut()
    {
        EditorRig rig;
        rig.enterMelody(0, QStringLiteral("mc"));
        QCOMPARE(rig.controls().melodyText(0), QStringLiteral("MC") + QString(30, QLatin1Char('-')));
        QCOMPARE(rig.model.StepCells(0, 0), QStringLiteral("MC"));
        for (int s = 1; s < 16; ++s)
            QCOMPARE(rig.model.StepCells(s, 0), QStringLiteral("--"));

        // Odd length, in measure 1: absolute steps 16 and 17.
        rig.show(1);
        rig.enterMelody(2, QStringLiteral("MCD"));
        QCOMPARE(rig.model.StepCells(16, 2), QStringLiteral("MC"));
        QCOMPARE(rig.model.StepCells(17, 2), QStringLiteral("D-"));
        QCOMPARE(int(EditorModel::SYYPSB(rig.model.StepCells(17, 2))), 255);
        QCOMPARE(rig.model.RowTexts(1, 2).size(), 32);
    }

    void beatInMeasureOne()
    {
        EditorRig rig;
        rig.show(1);
        rig.controls().clickBox(6, 3, true);  // box 3 of DJY2
        QCOMPARE(rig.model.StepCells(19, 6), QStringLiteral("O"));
        QCOMPARE(rig.model.RowTexts(1, 6), QStringLiteral("---O------------"));
        QVERIFY(rig.model.StepCells(3, 6).isEmpty());  // measure 0 untouched
    }

    void changingTheMeasureSizeReslicesTheCells()
    {
        EditorRig rig;
        rig.enterMelody(0, QStringLiteral("KC"));
        rig.controls().clickBox(5, 0, true);
        rig.show(1);
        rig.enterMelody(0, QStringLiteral("KD"));
        rig.controls().clickBox(5, 1, true);
        rig.show(0);
        rig.controls().selectTimeSignature(2);
        QCOMPARE(int(rig.model.MeasureLastStep), 31);
        QCOMPARE(rig.controls().gridBoxes(), 32);
        // Measure 0 now holds the old measures 0 and 1 one after the other,
        // and shows them: the boxes of both, and both melodies in one text.
        QCOMPARE(rig.model.StepCells(16, 0), QStringLiteral("KD"));
        QVERIFY(rig.controls().boxTicked(5, 0));
        QVERIFY(rig.controls().boxTicked(5, 17));
        const QString both = QStringLiteral("KC") + QString(30, QLatin1Char('-')) + QStringLiteral("KD")
                             + QString(30, QLatin1Char('-'));
        QCOMPARE(rig.controls().melodyText(0), both);
        QCOMPARE(rig.model.RowTexts(0, 0), both);
        // Leaving the box keeps both halves; untouched rows stay empty.
        rig.controls().melodyFocusLost(0);
        QCOMPARE(rig.model.StepCells(16, 0), QStringLiteral("KD"));
        QCOMPARE(rig.controls().melodyText(1), QString());
        // Back to 2/4: the old measures come back as they were.
        rig.controls().selectTimeSignature(0);
        rig.show(1);
        QCOMPARE(rig.controls().melodyText(0), QStringLiteral("KD") + QString(30, QLatin1Char('-')));
        QVERIFY(rig.controls().boxTicked(5, 1));
        QVERIFY(!rig.controls().boxTicked(5, 0));
    }

    void joinRowsNormalisesCellsAndHeaders()
    {
        EditorRig rig;
        EditorModel &m = rig.model;
        m.MeasureTotal = 7;
        m.setStepCell(0, 0, QStringLiteral("MC"));
        m.setStepCell(1, 0, QStringLiteral("XZ"));
        m.setStepCell(2, 0, QStringLiteral("0-"));
        m.setStepCell(3, 0, QStringLiteral("-"));
        m.setStepCell(4, 0, QStringLiteral("D"));
        m.setStepCell(0, 5, QStringLiteral("O"));
        m.setStepCell(1, 5, QStringLiteral("x"));
        rig.controls().BCXJ();  // measure 0 keeps its settings
        m.JoinRows();
        QCOMPARE(m.RowTexts(0, 0), QStringLiteral("MCXZ----D") + QString(22, QLatin1Char('-')));
        QCOMPARE(m.RowTexts(0, 5), QStringLiteral("Ox") + QString(14, QLatin1Char('-')));
        QCOMPARE(m.RowTexts(7, 9), QString(16, QLatin1Char('-')));
        QCOMPARE(m.MeasureHeaders(0).size(), 48);
        QCOMPARE(m.MeasureHeaders(7), QStringLiteral("0007"));
    }

    void clearEditKeepsCellsBeyondTheEdit()
    {
        EditorRig rig;
        rig.model.setStepCell(40, 0, QStringLiteral("KC"));  // measure 2
        rig.model.setStepCell(3, 0, QStringLiteral("KC"));
        rig.model.MeasureTotal = 1;
        rig.model.ClearEdit();
        QCOMPARE(int(rig.model.MeasureTotal), 0);
        QVERIFY(rig.model.StepCells(3, 0).isEmpty());
        QCOMPARE(rig.model.StepCells(40, 0), QStringLiteral("KC"));
    }

    void headerOfTheInitialSettings()
    {
        EditorRig rig;
        rig.show(3);
        rig.controls().BCXJ();
        QCOMPARE(rig.model.MeasureHeaders(3),
                 QStringLiteral("0003" "0E46" "3346" "4E46" "5246" "1846" "0046" "0246" "0346" "2846" "1046" "00" "04"));
    }

    void headerRoundTripWithSilenceAndLimitedVolumes()
    {
        EditorRig rig;
        EditorControls &c = rig.controls();
        c.selectInstrument(0, 0);   // "0.无声": -1
        c.selectInstrument(5, 0);   // first drum: -1
        c.selectInstrument(4, 128);
        c.setVolumeText(1, QStringLiteral("200"));
        c.setVolumeText(2, QStringLiteral("-5"));
        c.setVolumeText(3, QStringLiteral("abc"));
        c.setVolumeText(6, QStringLiteral("99.7"));
        c.selectKey(11);
        c.selectTempo(8);
        c.BCXJ();
        const QString header = rig.model.MeasureHeaders(0);
        QCOMPARE(header.mid(4, 4), QStringLiteral("FF46"));
        QCOMPARE(header.mid(8, 4), QStringLiteral("337F"));
        QCOMPARE(header.mid(12, 4), QStringLiteral("4E00"));
        QCOMPARE(header.mid(24, 4), QStringLiteral("FF46"));
        QCOMPARE(header.right(4), QStringLiteral("1108"));
        QCOMPARE(rig.model.RowVolumes[1], qint16(127));

        // Other settings, then the header is applied again.
        for (int r = 0; r < 10; ++r) {
            c.selectInstrument(r, 7);
            c.setVolumeText(r, QStringLiteral("20"));
        }
        c.selectKey(0);
        c.selectTempo(0);
        rig.t.clearSent();
        c.CXTSB();
        QCOMPARE(c.instrument(0), 0);
        QCOMPARE(c.instrument(5), 0);
        QCOMPARE(c.instrument(4), 128);
        QCOMPARE(c.volumeText(1), QStringLiteral("127"));
        QCOMPARE(c.volumeText(2), QStringLiteral("0"));
        QCOMPARE(c.volumeText(6), QStringLiteral("99"));
        QCOMPARE(int(rig.t.state.KeyBase), 47);
        QCOMPARE(int(rig.model.StepInterval), 150);
        // Program changes on channels 0..4; "0.无声" has no program to send.
        const auto programs = rig.t.midi.messagesOfKind(0xC0);
        QCOMPARE(programs.size(), 4);
        QCOMPARE(programs.last(), RecordingMidiBackend::program(4, 127));
        // The step cells of the measure take drum 35 at volume 70.
        const StepCell &cell = rig.t.state.Steps.cell(15, 0);
        QCOMPARE(int(cell.Note), 35);
        QCOMPARE(int(cell.Velocity), 70);
        QCOMPARE(cell.Message, quint32(70 * 65536 + 35 * 256 + 153));
    }

    void damagedHeaderFieldsLeaveTheirSettings()
    {
        EditorRig rig;
        EditorControls &c = rig.controls();
        // Row 0 instrument "ZZ", row 1 volume "G1", key "12", tempo "1x".
        QString header = MeasureHeader::compose(0, c.currentSettings());
        header.replace(4, 2, QStringLiteral("ZZ"));
        header.replace(10, 2, QStringLiteral("G1"));
        header.replace(44, 4, QStringLiteral("121x"));
        rig.model.setMeasureHeader(0, header);
        c.CXTSB();
        QCOMPARE(c.instrument(0), 15);
        QCOMPARE(c.volumeText(1), QStringLiteral("70"));
        QCOMPARE(c.keyIndex(), 0);
        QCOMPARE(int(rig.model.StepInterval), 187);
        QVERIFY(!MeasureHeader::hasSettings(QStringLiteral("0003")));
    }

    void typedTempos_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("interval");  // 187: refused, the tempo stays "80"
        QTest::newRow("100") << "100" << 150;
        QTest::newRow("65.5") << "65.5" << 229;
        QTest::newRow("zero") << "0" << 187;
        QTest::newRow("negative") << "-90" << 187;
        QTest::newRow("not a number") << "abc" << 187;
        QTest::newRow("too fast for 1 ms") << "100000" << 187;
    }
    void typedTempos()
    {
        QFETCH(QString, text);
        QFETCH(int, interval);
        EditorRig rig;
        rig.controls().setTempoText(text);
        QCOMPARE(int(rig.model.StepInterval), interval);
        QCOMPARE(rig.playback().YYDS().interval(), interval);
    }

    void typedVolumes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("volume");  // 70: refused, the row keeps its volume
        QTest::newRow("95") << "95" << 95;
        QTest::newRow("above 127") << "300" << 127;
        QTest::newRow("empty while retyping") << "" << 70;
        QTest::newRow("zero") << "0" << 70;
        QTest::newRow("negative") << "-5" << 70;
        QTest::newRow("not a number") << "abc" << 70;
    }
    void typedVolumes()
    {
        QFETCH(QString, text);
        QFETCH(int, volume);
        EditorRig rig;
        QCOMPARE(rig.controls().typeVolumeText(3, text), volume != 70);
        QCOMPARE(int(rig.model.RowVolumes[3]), volume);
        rig.controls().BCXJ();
        QCOMPARE(rig.model.MeasureHeaders(0).mid(18, 2).toInt(nullptr, 16), volume);
    }

    void scrollBarReachesEveryMeasureOfTheMusic()
    {
        // An opened file sets the range to its measures; growing the music
        // beyond them grows the range.
        EditorRig rig;
        rig.model.MeasureTotal = 3;
        rig.controls().setScrollMaximum(3);
        rig.show(3);
        rig.controls().insertMeasure();
        QCOMPARE(int(rig.model.MeasureTotal), 5);
        QCOMPARE(rig.controls().scrollMaximum(), 5);
        rig.t.dialogs.inputAnswers << QStringLiteral("9") << QStringLiteral("2");
        rig.controls().askMeasureTotal();
        QCOMPARE(rig.controls().scrollMaximum(), 9);
        rig.controls().askMeasureTotal();  // a shorter music keeps the range
        QCOMPARE(rig.controls().scrollMaximum(), 9);
    }

    void measureButtons()
    {
        EditorRig rig;
        rig.t.dialogs.inputAnswers << QStringLiteral("7") << QStringLiteral("abc") << QStringLiteral("100")
                                   << QString();
        rig.controls().askMeasureTotal();
        QCOMPARE(int(rig.model.MeasureTotal), 7);
        rig.controls().askMeasureTotal();  // not a number: said, nothing changes
        rig.controls().askMeasureTotal();  // beyond the 100 measures of 2/4
        rig.controls().askMeasureTotal();  // cancelled
        QCOMPARE(int(rig.model.MeasureTotal), 7);
        QCOMPARE(rig.t.dialogs.messages.size(), 2);

        rig.model.MeasureTotal = 3;
        rig.show(3);
        rig.enterMelody(0, QStringLiteral("KC"));
        rig.model.setRowText(4, 0, QStringLiteral("old"));
        rig.controls().insertMeasure();
        QCOMPARE(int(rig.model.CurrentMeasure), 4);
        QCOMPARE(int(rig.model.MeasureTotal), 5);
        QCOMPARE(rig.controls().melodyText(0), QString());
        QCOMPARE(rig.model.RowTexts(4, 0), QString());
        QCOMPARE(rig.controls().XJZS(), QStringLiteral("4"));

        rig.show(99);
        rig.controls().insertMeasure();  // no room after the last measure
        QCOMPARE(int(rig.model.CurrentMeasure), 99);
        QCOMPARE(rig.t.dialogs.messages.size(), 3);
    }
};

DZQ_REGISTER_TEST(EditorModelTest)
#include "EditorModelTest.moc"
