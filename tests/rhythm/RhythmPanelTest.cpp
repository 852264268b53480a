#include "RhythmTests.h"

#include "rhythm/RhythmPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "TestMain.h"

// The rhythm panel on the rhythm controllers.
class RhythmPanelTest : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void gridColoursOnTheWidgets();
    void controlsFollowTheControllers();
    void clicksReachTheControllers();
    void fileListShowsAndHides();
};

namespace {

const char *const kRows[4] = {"BZA", "BZB", "BZC", "BZD"};

struct PanelRig {
    RhythmRig rig;
    RhythmPanel panel{rig.pattern, rig.sequencer, rig.files};

    template <typename T>
    T *find(const QString &name) const
    {
        T *w = panel.findChild<T *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    QCheckBox *cell(int row, int i) const
    {
        return find<QCheckBox>(QStringLiteral("%1(%2)").arg(QLatin1String(kRows[row])).arg(i));
    }
    void show()
    {
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
    }
    // A mouse move with no button held, delivered the way the window system does.
    static void hover(QWidget *w, QPoint pos)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(w->mapToGlobal(pos)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
};

QColor red()
{
    return QColor(255, 0, 0);
}

QColor yellow()
{
    return QColor(255, 255, 0);
}

// Cell colours on all four rows for time signature k (hidden cell 15 skipped).
void checkWidgetColours(const PanelRig &p, int k)
{
    const QSet<int> reds[3] = {{0, 1, 4, 5, 8, 9, 12, 13, 16},
                               {0, 1, 2, 6, 7, 8, 12, 13, 14, 16},
                               {0, 1, 2, 3, 8, 9, 10, 11, 16}};
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; i <= 16; ++i) {
            QCheckBox *c = p.cell(r, i);
            const QByteArray where = c->objectName().toUtf8();
            if (k == 1 && i == 15) {
                QVERIFY2(c->isHidden(), where.constData());
                continue;
            }
            QVERIFY2(!c->isHidden(), where.constData());
            QVERIFY(c->autoFillBackground());
            QCOMPARE(c->palette().color(QPalette::Window), reds[k].contains(i) ? red() : yellow());
        }
    }
}

}  // namespace

void RhythmPanelTest::layout()
{
    PanelRig p;
    QCOMPARE(p.panel.objectName(), QString("Jiezhou(2)"));
    QCOMPARE(p.panel.size(), QSize(391, 146));
    const char *const signatures[3] = {"2/4", "3/4", "4/4"};
    for (int k = 0; k < 3; ++k) {
        auto *o = p.find<QRadioButton>(QStringLiteral("Option1(%1)").arg(k));
        QCOMPARE(o->pos(), QPoint(16 + 40 * k, 16));
        QCOMPARE(o->text(), QString(signatures[k]));
        QCOMPARE(o->isChecked(), k == 0);
    }
    auto *check5 = p.find<QPushButton>("Check5");
    QCOMPARE(check5->pos(), QPoint(136, 16));
    // Each option's label ends clear of the control to its right, and
    // nearer to its own circle than to that control.
    for (int k = 0; k < 3; ++k) {
        auto *o = p.find<QRadioButton>(QStringLiteral("Option1(%1)").arg(k));
        QWidget *next = k < 2 ? p.find<QWidget>(QStringLiteral("Option1(%1)").arg(k + 1)) : check5;
        QStyleOptionButton opt;
        opt.initFrom(o);
        opt.text = o->text();
        const QRect circle = o->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, o);
        const QRect label = o->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, o);
        const int end = o->x() + label.left() + o->fontMetrics().horizontalAdvance(o->text());
        const int gap = next->x() - end;
        QVERIFY2(gap >= 4 && gap > label.left() - circle.right(),
                 qPrintable(QStringLiteral("%1 ends at %2, the next begins at %3").arg(o->text()).arg(end).arg(next->x())));
    }
    QCOMPARE(check5->text(), QString("自动同步"));
    QVERIFY(check5->isCheckable());
    auto *bzqd = p.find<QPushButton>("BzQd");
    QCOMPARE(bzqd->pos(), QPoint(328, 16));
    QCOMPARE(bzqd->text(), QString("启动"));
    QVERIFY(bzqd->isCheckable());
    QCOMPARE(p.find<QLabel>("Label11")->pos(), QPoint(213, 16));
    QCOMPARE(p.find<QListWidget>("File1")->pos(), QPoint(213, 36));
    QVERIFY(p.find<QListWidget>("File1")->isHidden());
    QCOMPARE(p.find<QLabel>("Label2")->text(), QString("音 量"));
    QCOMPARE(p.find<QLabel>("Label2")->pos(), QPoint(330, 41));
    auto *volume = p.find<QComboBox>("VsbVol");
    QCOMPARE(volume->pos(), QPoint(325, 56));
    QCOMPARE(volume->count(), 8);
    QCOMPARE(volume->currentText(), QString("100"));
    QCOMPARE(p.find<QPushButton>("Cmdcill(0)")->text(), QString("删 除"));
    QCOMPARE(p.find<QPushButton>("Cmdcill(0)")->pos(), QPoint(328, 84));
    QCOMPARE(p.find<QPushButton>("Cmdcill(1)")->text(), QString("保 存"));
    QCOMPARE(p.find<QPushButton>("Cmdcill(1)")->pos(), QPoint(328, 107));

    const int instTops[4] = {40, 61, 84, 107};
    const int trackTops[4] = {41, 64, 88, 110};
    for (int r = 0; r < 4; ++r) {
        auto *list = p.find<QComboBox>(QStringLiteral("LblInst(%1)").arg(r));
        QCOMPARE(list->pos(), QPoint(16, instTops[r]));
        QCOMPARE(list->count(), 47);
        QCOMPARE(list->itemText(46), QString("三角铃-开音"));
        QCOMPARE(list->currentIndex(), -1);
        auto *track = p.find<QWidget>(QStringLiteral("PicTrack(%1)").arg(r));
        QCOMPARE(track->geometry(), QRect(112, trackTops[r], 209, 18));
        // Only cell 0 is designed; the others come at start-up.
        QCOMPARE(p.cell(r, 0)->geometry(), QRect(0, 0, 13, 17));
        QVERIFY(!p.panel.cell(r, 1));
    }

    p.panel.createCells();
    p.panel.createCells();
    for (int r = 0; r < 4; ++r) {
        auto *track = p.find<QWidget>(QStringLiteral("PicTrack(%1)").arg(r));
        QCOMPARE(track->findChildren<QCheckBox *>().size(), 17);
        for (int i = 0; i <= 16; ++i) {
            QCOMPARE(p.cell(r, i)->parentWidget(), track);
            QCOMPARE(p.cell(r, i)->geometry(), QRect(13 * i, 0, 13, 17));
            QCOMPARE(p.cell(r, i)->palette().color(QPalette::Window), red());
        }
        // Cell 16 starts on the track's last pixel column.
        QCOMPARE(p.cell(r, 16)->x(), track->width() - 1);
    }
}

void RhythmPanelTest::gridColoursOnTheWidgets()
{
    PanelRig p;
    p.show();
    p.panel.createCells();
    p.rig.pattern.BZXS();
    checkWidgetColours(p, 0);

    QTest::mouseClick(p.find<QRadioButton>("Option1(1)"), Qt::LeftButton);
    QCOMPARE(p.rig.pattern.TimeSignature(), qint16(1));
    QCOMPARE(p.rig.pattern.LastStep(), qint16(14));
    checkWidgetColours(p, 1);
    // Hidden cell 15 keeps its colour and its tick.
    QCOMPARE(p.cell(0, 15)->palette().color(QPalette::Window), yellow());

    QTest::mouseClick(p.find<QRadioButton>("Option1(2)"), Qt::LeftButton);
    checkWidgetColours(p, 2);
    QCOMPARE(p.cell(2, 15)->palette().color(QPalette::Window), yellow());

    QTest::mouseClick(p.find<QRadioButton>("Option1(0)"), Qt::LeftButton);
    checkWidgetColours(p, 0);
    QVERIFY(p.find<QRadioButton>("Option1(0)")->isChecked());
    QVERIFY(!p.find<QRadioButton>("Option1(2)")->isChecked());
}

void RhythmPanelTest::controlsFollowTheControllers()
{
    PanelRig p;
    p.panel.createCells();
    p.rig.applyBuiltIn(7);  // header 05020003091B
    const int drums[4] = {0, 3, 9, 27};
    for (int r = 0; r < 4; ++r)
        QCOMPARE(p.find<QComboBox>(QStringLiteral("LblInst(%1)").arg(r))->currentIndex(), drums[r]);
    QCOMPARE(p.find<QComboBox>("VsbVol")->currentText(), QString("100"));
    QVERIFY(p.find<QRadioButton>("Option1(2)")->isChecked());
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; i <= 16; ++i)
            QCOMPARE(p.cell(r, i)->isChecked(), p.rig.pattern.Cells(r, i));
    }
    QVERIFY(p.cell(0, 8)->isChecked());
    QVERIFY(p.cell(3, 3)->isChecked());

    p.rig.sequencer.setBzQd(true);
    QVERIFY(p.find<QPushButton>("BzQd")->isChecked());
    QCOMPARE(p.find<QPushButton>("BzQd")->text(), QString("停止"));
    p.rig.sequencer.setBzQd(false);
    QCOMPARE(p.find<QPushButton>("BzQd")->text(), QString("启动"));
    p.rig.sequencer.setCheck5(true);
    QVERIFY(p.find<QPushButton>("Check5")->isChecked());

    writeBytes(p.rig.t.path("a.bin"), savedText(4).toLatin1() + "\r\n");
    p.rig.files.openAtStartUp();
    QCOMPARE(p.find<QLabel>("Label11")->text(), QString("a.bin"));
    QVERIFY(p.find<QRadioButton>("Option1(1)")->isChecked());
    QVERIFY(p.cell(0, 15)->isHidden());
}

void RhythmPanelTest::clicksReachTheControllers()
{
    PanelRig p;
    p.show();
    p.panel.createCells();
    p.rig.applyBuiltIn(1);
    p.rig.t.clearSent();

    // A tick on row D sounds the current step (rows A and C at step 0).
    QTest::mouseClick(p.cell(3, 3), Qt::LeftButton);
    QVERIFY(p.rig.pattern.Cells(3, 3));
    QCOMPARE(p.rig.t.state.Steps.cell(3, 3).Sounding, qint16(-1));
    QCOMPARE(formatMessages(p.rig.t.sent()), formatMessages({drum(35, 100), drum(37, 100)}));
    QTest::mouseClick(p.cell(3, 3), Qt::LeftButton);
    QVERIFY(!p.rig.pattern.Cells(3, 3));
    QVERIFY(!p.cell(3, 3)->isChecked());

    // Cell 16 shows only its first pixel column at the track's end: no click takes it.
    for (int row = 0; row < 4; ++row) {
        p.rig.t.clearSent();
        QTest::mouseClick(p.cell(row, 16), Qt::LeftButton, {}, QPoint(0, 8));
        QVERIFY(!p.rig.pattern.Cells(row, 16));
        QVERIFY(!p.cell(row, 16)->isChecked());
        QVERIFY(p.rig.t.sent().isEmpty());
    }

    auto *drumList = p.find<QComboBox>("LblInst(1)");
    QTest::keyClick(drumList, Qt::Key_Down);
    QCOMPARE(p.rig.pattern.Instrument(1), qint16(4));
    QCOMPARE(p.rig.t.state.Steps.cell(0, 1).Message, drum(39, 100));
    QTest::keyClick(p.find<QComboBox>("VsbVol"), Qt::Key_Down);
    QCOMPARE(p.rig.pattern.VolumeIndex(), qint16(6));
    QCOMPARE(p.rig.t.state.Steps.cell(0, 0).Velocity, qint16(110));

    auto *bzqd = p.find<QPushButton>("BzQd");
    QTest::mouseClick(bzqd, Qt::LeftButton);
    QVERIFY(p.rig.sequencer.BzQd());
    QCOMPARE(bzqd->text(), QString("停止"));
    QCOMPARE(p.rig.t.choices.count(), 1);
    QTest::mouseClick(bzqd, Qt::LeftButton);
    QVERIFY(!p.rig.sequencer.BzQd());
    QCOMPARE(bzqd->text(), QString("启动"));

    auto *check5 = p.find<QPushButton>("Check5");
    QTest::mouseClick(check5, Qt::LeftButton);
    QVERIFY(p.rig.sequencer.Check5());
    QTest::mouseClick(check5, Qt::LeftButton);
    QVERIFY(!p.rig.sequencer.Check5());
    QCOMPARE(check5->text(), QString("自动同步"));

    QTest::mouseClick(p.find<QPushButton>("Cmdcill(1)"), Qt::LeftButton);
    QCOMPARE(p.rig.t.dialogs.saveRequests.size(), 1);
    QCOMPARE(p.rig.t.dialogs.saveRequests[0].filter, QString("节奏bin|*.bin"));

    QSignalSpy background(&p.panel, &RhythmPanel::backgroundClicked);
    QTest::mouseClick(&p.panel, Qt::LeftButton, {}, QPoint(200, 135));
    QCOMPARE(background.size(), 1);
}

void RhythmPanelTest::fileListShowsAndHides()
{
    PanelRig p;
    writeBytes(p.rig.t.path("a.bin"), savedText(4).toLatin1() + "\r\n");
    writeBytes(p.rig.t.path("b.bin"), savedText(7).toLatin1() + "\r\n");
    p.show();
    auto *label = p.find<QLabel>("Label11");
    auto *list = p.find<QListWidget>("File1");

    PanelRig::hover(label, QPoint(5, 5));
    QVERIFY(list->isVisible());
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QString("b.bin"));

    // Moving over the list keeps it; a click on an entry opens it and hides the list.
    PanelRig::hover(&p.panel, list->geometry().center());
    QVERIFY(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QCOMPARE(label->text(), QString("b.bin"));
    QCOMPARE(p.rig.pattern.TimeSignature(), qint16(2));
    QVERIFY(!list->isVisible());

    // The delete button deletes the entry clicked last.
    PanelRig::hover(label, QPoint(5, 5));
    QCOMPARE(list->currentRow(), 1);
    QTest::mouseClick(p.find<QPushButton>("Cmdcill(0)"), Qt::LeftButton);
    QVERIFY(!QFile::exists(p.rig.t.path("b.bin")));
    QCOMPARE(list->count(), 1);

    // Anywhere else over the panel hides it, also over a track.
    PanelRig::hover(&p.panel, QPoint(20, 135));
    QVERIFY(!list->isVisible());
    PanelRig::hover(label, QPoint(5, 5));
    QVERIFY(list->isVisible());
    PanelRig::hover(p.find<QWidget>("PicTrack(1)"), QPoint(20, 5));
    QVERIFY(!list->isVisible());
}

DZQ_REGISTER_TEST(RhythmPanelTest)
#include "RhythmPanelTest.moc"
