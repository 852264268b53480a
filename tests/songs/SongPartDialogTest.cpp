#include <QApplication>

#include "TestMain.h"

#include "songs/SongPartDialog.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

SongMelody::Part part(int number, const QString &name, int program, bool drums = false)
{
    SongMelody::Part p;
    p.number = number;
    p.name = name;
    p.program = program;
    p.percussion = drums;
    p.notes = 10 * number;
    p.lowest = 57;
    p.highest = 76;
    return p;
}

// The list's partner: what it asked to hear, and whether that still plays.
struct Listener {
    SongImportResult song;
    QVector<int> asked;
    bool playing = false;
    std::function<void()> ended;
    SongOpening::PartChoice choice{
        song, [this](int p) { asked << p; playing = p > 0; }, [this] { return playing; },
        [this](std::function<void()> f) { ended = std::move(f); }};

    Listener()
    {
        song.fileName = QStringLiteral("歌.mid");
        song.parts = {part(1, "Bass", 32), part(2, "Melody", 56), part(3, "Drums", -1, true)};
        song.part = 2;
    }
};

}  // namespace

// The part list of a song: the import's choice selected, drums not to be
// chosen, "试听" of the selected part, nothing left playing once it closes.
class SongPartDialogTest : public QObject {
    Q_OBJECT
private slots:
    void listsThePartsAndListens()
    {
        Listener l;
        {
            SongPartDialog d(l.choice);
            auto *table = d.findChild<QTableWidget *>("songParts");
            auto *listen = d.findChild<QPushButton *>("listen");
            QVERIFY(table && listen);
            QCOMPARE(table->rowCount(), 3);
            QCOMPARE(table->item(1, 1)->text(), QString("Melody"));
            QCOMPARE(table->item(1, 2)->text(), QString("喇叭"));
            QCOMPARE(table->item(1, 4)->text(), QString("A3–E5"));
            QCOMPARE(table->item(1, 5)->text(), QString("★"));
            QCOMPARE(table->item(2, 2)->text(), QString("打击乐"));
            QCOMPARE(d.selectedPart(), 2);
            QVERIFY(!(table->item(2, 0)->flags() & Qt::ItemIsSelectable));

            listen->click();
            QCOMPARE(l.asked, QVector<int>({2}));
            QCOMPARE(listen->text(), QString("停止"));
            // Another part while one plays: that one is heard instead.
            d.selectPart(1);
            QCOMPARE(l.asked, QVector<int>({2, 1}));
            // It ends by itself: the button offers to listen again.
            l.playing = false;
            l.ended();
            QCOMPARE(listen->text(), QString("试听"));
            listen->click();
            listen->click();
            QCOMPARE(l.asked, QVector<int>({2, 1, 1, 0}));
            l.playing = true;
        }
        QCOMPARE(l.asked.last(), 0);  // closing stops it
        QVERIFY(!l.ended);
    }
};

DZQ_GUI_TEST_MAIN(SongPartDialogTest)

#include "SongPartDialogTest.moc"
