#include "EditorRig.h"
#include "TestMain.h"

#include <QRandomGenerator>
#include <QSet>

namespace {

// Where what the editor shows differs from CurrentMeasure of the model;
// empty when it shows exactly that measure.
QString shownMismatch(EditorRig &rig)
{
    const EditorModel &m = rig.model;
    EditorControls &c = rig.controls();
    const int cur = m.CurrentMeasure;
    if (cur < 0 || cur > m.lastUsableMeasure() || m.MeasureTotal < 0 || m.MeasureTotal > m.lastUsableMeasure())
        return QStringLiteral("measure %1 / total %2 beyond the tables").arg(cur).arg(m.MeasureTotal);
    if (c.scrollValue() != cur || c.scrollMaximum() < cur)
        return QStringLiteral("scroll bar %1 of %2, measure %3").arg(c.scrollValue()).arg(c.scrollMaximum()).arg(cur);
    if (c.XJZS() != QString::number(cur))
        return QStringLiteral("XJZS %1, measure %2").arg(c.XJZS()).arg(cur);
    if (c.XJXSS() != EditorControls::realBarsText(cur))
        return QStringLiteral("XJXSS %1, measure %2").arg(c.XJXSS()).arg(cur);
    for (int r = 0; r < EditorModel::kMelodyRows; ++r) {
        if (c.melodyText(r) != m.RowTexts(cur, r))
            return QStringLiteral("row %1 shows '%2', measure %3 holds '%4'")
                .arg(r)
                .arg(c.melodyText(r), QString::number(cur), m.RowTexts(cur, r));
    }
    if (c.gridBoxes() != m.StepCount())
        return QStringLiteral("%1 boxes for %2 steps").arg(c.gridBoxes()).arg(m.StepCount());
    for (int row = EditorModel::kMelodyRows; row < EditorModel::kRows; ++row) {
        for (int j = 0; j < m.StepCount(); ++j) {
            const bool hit = m.StepCells(m.firstStep(cur) + j, row) == QLatin1String("O");
            if (c.boxTicked(row, j) != hit)
                return QStringLiteral("box %1 of row %2 ticked %3, cell hit %4").arg(j).arg(row).arg(!hit).arg(hit);
        }
    }
    return QString();
}

// Everything of the edit that an edit of one measure may touch.
struct Snapshot {
    QStringList cells;    // step * rows + row
    QStringList texts;    // measure * rows + row
    QStringList headers;  // measure
};

Snapshot snapshot(const EditorModel &m)
{
    Snapshot s;
    for (int a = 0; a < EditorModel::kSteps; ++a) {
        for (int r = 0; r < EditorModel::kRows; ++r)
            s.cells << m.StepCells(a, r);
    }
    for (int k = 0; k < EditorModel::kMeasures; ++k) {
        for (int r = 0; r < EditorModel::kRows; ++r)
            s.texts << m.RowTexts(k, r);
        s.headers << m.MeasureHeaders(k);
    }
    return s;
}

// The measures (of the current size) in which two snapshots differ.
QSet<int> changedMeasures(const Snapshot &a, const Snapshot &b, const EditorModel &m)
{
    QSet<int> out;
    for (int i = 0; i < int(a.cells.size()); ++i) {
        if (a.cells[i] != b.cells[i])
            out << (i / EditorModel::kRows) / m.StepCount();
    }
    for (int i = 0; i < int(a.texts.size()); ++i) {
        if (a.texts[i] != b.texts[i])
            out << i / EditorModel::kRows;
    }
    for (int i = 0; i < int(a.headers.size()); ++i) {
        if (a.headers[i] != b.headers[i])
            out << i;
    }
    return out;
}

QString randomMelody(QRandomGenerator &rng, int maxLength)
{
    static const QStringList cells{QStringLiteral("KC"), QStringLiteral("mg"), QStringLiteral("XZ"),
                                   QStringLiteral("TZ"), QStringLiteral("--"), QStringLiteral("LA"),
                                   QStringLiteral("H"), QStringLiteral("WB")};
    QString text;
    const int n = int(rng.bounded(maxLength / 2 + 1));
    for (int k = 0; k < n; ++k)
        text += cells[int(rng.bounded(cells.size()))];
    return text.left(maxLength);
}

// One random action of the user on the editor; returns its name. Typing,
// ticking and storing the settings are checked to change only the measure shown.
QString randomAction(EditorRig &rig, QRandomGenerator &rng, const QStringList &files, QString *fault)
{
    EditorControls &c = rig.controls();
    EditorPlayback &p = rig.playback();
    EditorModel &m = rig.model;
    const int measure = m.CurrentMeasure;
    auto onlyThisMeasure = [&](const Snapshot &before, const QString &what) {
        const QSet<int> changed = changedMeasures(before, snapshot(m), m);
        if (!changed.isEmpty() && changed != QSet<int>{measure}) {
            QStringList list;
            for (int k : changed)
                list << QString::number(k);
            *fault = QStringLiteral("%1 in measure %2 changed measures %3").arg(what).arg(measure).arg(list.join(','));
        }
        return what;
    };

    switch (rng.bounded(20)) {
    case 0:
    case 1:
    case 2: {
        const int row = int(rng.bounded(EditorModel::kMelodyRows));
        const Snapshot before = snapshot(m);
        rig.enterMelody(row, randomMelody(rng, c.melodyMaxLength()));
        return onlyThisMeasure(before, QStringLiteral("type row %1").arg(row));
    }
    case 3:
    case 4: {
        const int row = EditorModel::kMelodyRows + int(rng.bounded(5));
        const int step = int(rng.bounded(c.gridBoxes()));
        const Snapshot before = snapshot(m);
        c.clickBox(row, step, !c.boxTicked(row, step));
        return onlyThisMeasure(before, QStringLiteral("tick %1/%2").arg(row).arg(step));
    }
    case 5: {
        const Snapshot before = snapshot(m);
        if (rng.bounded(2))
            c.setTempoText(QString::number(50 + rng.bounded(160)));
        c.selectInstrument(int(rng.bounded(10)), int(rng.bounded(47)));
        c.BCXJ();
        return onlyThisMeasure(before, QStringLiteral("store the settings"));
    }
    case 6:
        rig.show(int(rng.bounded(m.lastUsableMeasure() + 1)));
        return QStringLiteral("scroll");
    case 7:
        c.insertMeasure();
        return QStringLiteral("insert");
    case 8:
        c.clearMeasure();
        return QStringLiteral("clear");
    case 9:
        c.selectTimeSignature(int(rng.bounded(3)));
        return QStringLiteral("time signature %1").arg(c.timeSignature());
    case 10:
        rig.t.dialogs.inputAnswers << QString::number(rng.bounded(30));
        c.askMeasureTotal();
        return QStringLiteral("measure total");
    case 11:
        if (rng.bounded(3) == 0)
            c.setXJZS(QString::number(rng.bounded(120)));  // a number typed, then audition
        p.audition();
        return QStringLiteral("audition");
    case 12:
        p.setST2(!p.ST2());
        return QStringLiteral("play / stop");
    case 13:
    case 14:
        rig.t.clock.advanceMs(int(rng.bounded(4000)));
        return QStringLiteral("time passes");
    case 15:
        rig.t.dialogs.openAnswers << (rng.bounded(4) == 0 ? QString() : files[int(rng.bounded(files.size()))]);
        rig.c.files.openClicked();
        return QStringLiteral("open");
    case 16:
        rig.t.dialogs.openAnswers << (rng.bounded(3) == 0 ? QString() : files.last());
        rig.c.files.importClicked();
        return QStringLiteral("import");
    case 17:
        rig.t.dialogs.saveAnswers << files[int(rng.bounded(2))];
        rig.c.files.saveClicked();
        return QStringLiteral("save");
    case 18:
        rig.c.leave();
        rig.c.open();
        return QStringLiteral("leave and reopen");
    default:
        c.selectKey(int(rng.bounded(12)));
        return QStringLiteral("key");
    }
}

}  // namespace

class ShownMeasureTest : public QObject {
    Q_OBJECT
private slots:
    void randomEditsShowTheCurrentMeasure_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 22u, 333u, 4444u, 55555u})
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }
    void randomEditsShowTheCurrentMeasure()
    {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        EditorRig rig;
        // Two edit files the actions save and open, a damaged one, a score.
        const QStringList files{rig.t.path(QStringLiteral("a.lnk")), rig.t.path(QStringLiteral("b.lnk")),
                                rig.write(QStringLiteral("bad.lnk"), "0000\r\nKC\r\n"),
                                rig.write(QStringLiteral("song.txt"), "YQ12XZ8KGKEKDKC32KEKGHC16KA8KG4TZ")};
        QStringList trail;
        for (int i = 0; i < 300; ++i) {
            QString fault;
            trail << randomAction(rig, rng, files, &fault);
            if (trail.size() > 8)
                trail.removeFirst();
            QVERIFY2(fault.isEmpty(), qPrintable(fault + QStringLiteral(" after ") + trail.join(" / ")));
            const QString mismatch = shownMismatch(rig);
            QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch + QStringLiteral(" after ") + trail.join(" / ")));
        }
    }

    // Fault 1: playing from the start while another measure is shown.
    void playingShowsMeasureZeroFromTheFirstStep()
    {
        EditorRig rig;
        rig.enterMelody(0, QStringLiteral("KC"));
        rig.show(1);
        rig.enterMelody(0, QStringLiteral("KG"));
        QCOMPARE(rig.controls().XJXSS(), QStringLiteral("实际小节数是(3-4)小节"));
        rig.model.MeasureTotal = 1;
        rig.playback().setST2(true);
        QCOMPARE(rig.controls().scrollValue(), 0);
        QCOMPARE(rig.controls().melodyText(0).left(2), QStringLiteral("KC"));
        rig.t.clock.advanceMs(600);
        rig.playback().setST2(false);
        QCOMPARE(rig.controls().XJZS(), QStringLiteral("0"));
        QCOMPARE(rig.controls().XJXSS(), QStringLiteral("实际小节数是(1-2)小节"));
        // Typing now goes into the measure shown, and measure 1 keeps its KG.
        rig.enterMelody(0, QStringLiteral("KE"));
        rig.controls().clickBox(5, 2, true);
        QCOMPARE(rig.model.StepCells(0, 0), QStringLiteral("KE"));
        QCOMPARE(rig.model.StepCells(16, 0), QStringLiteral("KG"));
        QCOMPARE(rig.model.StepCells(18, 5), QString());
    }

    // A text being typed while the music moves on stays in its own measure.
    void typingWhilePlayingStaysInItsMeasure()
    {
        EditorRig rig;
        rig.model.MeasureTotal = 1;
        rig.playback().setST2(true);
        rig.controls().setMelodyText(2, QStringLiteral("hc"));  // not yet left
        rig.t.clock.advanceMs(5 * 187);
        QCOMPARE(rig.controls().melodyText(2), QStringLiteral("hc"));  // kept while measure 0 plays
        rig.t.clock.advanceMs(12 * 187);                                // measure 1 plays
        QCOMPARE(rig.controls().scrollValue(), 1);
        QCOMPARE(rig.controls().melodyText(2), QString());
        QCOMPARE(rig.model.StepCells(0, 2), QStringLiteral("HC"));
        QCOMPARE(rig.model.StepCells(16, 2), QString());
    }

    // Fault 2: after a change of time signature the boxes show the cells,
    // so the next audition keeps every hit.
    void changingTheTimeSignatureKeepsTheHits()
    {
        EditorRig rig;
        rig.controls().clickBox(5, 0, true);  // 乐器6
        rig.controls().clickBox(5, 4, true);
        rig.controls().selectTimeSignature(1);
        QVERIFY(rig.controls().boxTicked(5, 0));
        QVERIFY(rig.controls().boxTicked(5, 4));
        rig.playback().audition();
        rig.t.clock.advanceMs(30 * 187);
        QCOMPARE(rig.model.StepCells(4, 5), QStringLiteral("O"));
        rig.t.clearSent();
        const qint64 start = rig.t.clock.nowNs() / 1000000;
        rig.playback().setST2(true);
        rig.t.clock.advanceMs(30 * 187);
        QCOMPARE(rig.drumTimes(), (QVector<qint64>{start, start + 4 * 187}));
    }

    // The cells beyond an edit stay when the editor is opened again in 2/4;
    // the measures they now fall into show them.
    void reopeningShowsKeptCellsInTheirNewMeasures()
    {
        EditorRig rig;
        rig.controls().selectTimeSignature(2);
        rig.show(10);
        rig.enterMelody(3, QStringLiteral("KC"));
        rig.controls().clickBox(7, 20, true);
        rig.show(0);
        rig.c.leave();
        rig.c.open();
        QCOMPARE(int(rig.model.MeasureLastStep), 15);
        rig.show(20);  // steps 320..335: the first half of the old measure 10
        QCOMPARE(rig.controls().melodyText(3), QStringLiteral("KC") + QString(30, QLatin1Char('-')));
        rig.show(21);
        QCOMPARE(rig.controls().melodyText(3), QString(32, QLatin1Char('-')));
        QVERIFY(rig.controls().boxTicked(7, 4));
    }

    // Fault 3: a cancelled open or import shows the emptied measure 0.
    void cancelledDialogsShowTheEmptiedEdit_data()
    {
        QTest::addColumn<bool>("import");
        QTest::newRow("open") << false;
        QTest::newRow("import") << true;
    }
    void cancelledDialogsShowTheEmptiedEdit()
    {
        QFETCH(bool, import);
        EditorRig rig;
        rig.model.MeasureTotal = 4;
        rig.show(3);
        rig.enterMelody(1, QStringLiteral("MC"));
        rig.controls().clickBox(9, 9, true);
        if (import)
            rig.c.files.importClicked();
        else
            rig.c.files.openClicked();
        QCOMPARE(int(rig.model.MeasureTotal), 0);
        QCOMPARE(rig.controls().scrollValue(), 0);
        QCOMPARE(rig.controls().XJZS(), QStringLiteral("0"));
        QCOMPARE(rig.controls().melodyText(1), QString());
        QVERIFY(!rig.controls().boxTicked(9, 9));
        // What is saved now is what the window shows: one empty measure.
        const QString path = rig.t.path(QStringLiteral("after.lnk"));
        QVERIFY(rig.c.files.BCBJWJ(path));
        QVERIFY(!EditorRig::readAll(path).contains("MC"));
        QVERIFY(!EditorRig::readAll(path).contains("O"));
    }

    // Fault 4: a clamp to the capacity of the tables is shown.
    void theClampToCapacityIsShown()
    {
        EditorRig rig;
        rig.show(99);
        rig.controls().clickBox(5, 3, true);  // step 1587: measure 49 in 4/4
        rig.controls().selectTimeSignature(2);
        QCOMPARE(int(rig.model.CurrentMeasure), 49);
        QCOMPARE(rig.controls().scrollValue(), 49);
        QCOMPARE(rig.controls().scrollMaximum(), 49);
        QCOMPARE(rig.controls().XJZS(), QStringLiteral("49"));
        QCOMPARE(rig.controls().XJXSS(), QStringLiteral("实际小节数是(99-100)小节"));
        QVERIFY(rig.controls().boxTicked(5, 19));
    }

    // Fault 5: a typed tempo that no header can hold is stored as the
    // nearest entry of the list, said once, and that is what plays.
    void typedTempoIsStoredAsTheNearestEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("told");
        QTest::newRow("200") << "200" << 12 << true;
        QTest::newRow("30") << "30" << 0 << true;
        QTest::newRow("82") << "82" << 4 << true;
        QTest::newRow("halfway goes slower") << "82.5" << 4 << true;
        QTest::newRow("83") << "83" << 5 << true;
        QTest::newRow("a listed number written otherwise") << "100.0" << 8 << false;
        QTest::newRow("listed") << "95" << 7 << false;
    }
    void typedTempoIsStoredAsTheNearestEntry()
    {
        QFETCH(QString, typed);
        QFETCH(int, index);
        QFETCH(bool, told);
        EditorRig rig;
        rig.controls().setTempoText(typed);
        rig.controls().BCXJ();
        QCOMPARE(rig.model.MeasureHeaders(0).right(2).toInt(), index);
        QCOMPARE(rig.t.dialogs.messages.size(), told ? 1 : 0);
        QCOMPARE(rig.controls().tempoIndex(), index);
        QCOMPARE(rig.controls().tempoText(), EditorControls::tempoList().at(index));
        const int ms = 15000 / EditorControls::tempoList().at(index).toInt();
        QCOMPARE(int(rig.model.StepInterval), ms);
        rig.controls().BCXJ();  // stored again: nothing more to say
        QCOMPARE(rig.t.dialogs.messages.size(), told ? 1 : 0);
        // The measure plays at the tempo it holds, now and when shown again.
        rig.controls().selectTempo(0);
        rig.show(1);
        rig.show(0);
        QCOMPARE(int(rig.model.StepInterval), ms);
    }
};

DZQ_REGISTER_TEST(ShownMeasureTest)
#include "ShownMeasureTest.moc"
