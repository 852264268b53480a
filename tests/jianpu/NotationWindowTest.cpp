#include <QApplication>

#include "MainWindowRig.h"
#include "ProgramRun.h"
#include "TestMain.h"

#include "headless/RenderCommand.h"
#include "jianpu/NotationExport.h"
#include "jianpu/NotationView.h"
#include "jianpu/NotationWindow.h"

#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

// Counts the keys that reach it, as the keyboard button would play them.
class KeyCounter : public QWidget {
public:
    int presses = 0;
    int releases = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++presses; }
    void keyReleaseEvent(QKeyEvent *) override { ++releases; }
};

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run render(const QStringList &arguments)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = RenderCommand::run(QStringList{QStringLiteral("dzq")} + arguments, QString(), out, err,
                                  &NotationExport::renderCommand);
    out.flush();
    err.flush();
    return r;
}

void writeScore(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace

class NotationWindowTest : public QObject {
    Q_OBJECT
private slots:
    void buttonOpensTheWindowBesideTheExportButton()
    {
        MainWindowRig rig;
        auto *button = rig.find<QPushButton>("JianPu");
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("简谱"));
        auto *exportButton = rig.find<QPushButton>("DcMidi");
        QCOMPARE(button->x(), exportButton->x() + exportButton->width() + 1);
        // The score buttons closed up right of it and left of the keyboard picture.
        auto *picture = rig.find<QWidget>("Picture2");
        QVERIFY(picture);
        for (int i = 0; i < 5; ++i) {
            const QRect g = rig.find<QPushButton>(qPrintable(QStringLiteral("Yuepu(%1)").arg(i)))->geometry();
            QVERIFY(g.left() > button->geometry().right());
            QVERIFY2(!g.intersects(picture->geometry()), qPrintable(QString::number(g.right())));
        }

        rig.t.window.setText3(QStringLiteral("KC8KD8TZ"));
        QTest::mouseClick(button, Qt::LeftButton);
        NotationWindow *w = rig.form.notationWindow();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->view()->picture().sheet().cells.size(), 2);
        // A second click shows the same window.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(rig.form.notationWindow(), w);
    }

    // Keys typed while the notation window has the focus still play.
    void keysGoOnToTheKeyboard()
    {
        MainWindowRig rig;
        QTest::mouseClick(rig.find<QPushButton>("JianPu"), Qt::LeftButton);
        NotationWindow *w = rig.form.notationWindow();
        KeyCounter counter;
        w->setKeyTarget(&counter);
        QTest::keyClick(w, Qt::Key_A);
        QCOMPARE(counter.presses, 1);
        QCOMPARE(counter.releases, 1);

        // With the real keyboard button the note is written into the score.
        w->setKeyTarget(rig.keyboard());
        QTest::keyClick(w, Qt::Key_A);
        QVERIFY2(rig.t.window.Text3().startsWith(QStringLiteral("KC")), qPrintable(rig.t.window.Text3()));
    }

    // Changes of the score are gathered: a burst of key presses reads the
    // notation once, after the burst, not once per key.
    void changesAreGatheredOffTheKeyPress()
    {
        MainWindowRig rig;
        QTest::mouseClick(rig.find<QPushButton>("JianPu"), Qt::LeftButton);
        NotationView *view = rig.form.notationWindow()->view();
        QTRY_VERIFY(!view->rebuildPending());
        const int before = view->rebuilds();
        QString score;
        for (int i = 0; i < 200; ++i) {
            score += QStringLiteral("KC4");
            rig.t.window.setText3(score);
        }
        QVERIFY(view->rebuildPending());
        QCOMPARE(view->rebuilds(), before);
        QTRY_VERIFY(!view->rebuildPending());
        QCOMPARE(view->rebuilds(), before + 1);
        QCOMPARE(view->picture().sheet().cells.size(), 200);
    }

    void followsTimeSignatureKeyAndTempo()
    {
        MainWindowRig rig;
        QTest::mouseClick(rig.find<QPushButton>("JianPu"), Qt::LeftButton);
        NotationView *view = rig.form.notationWindow()->view();
        rig.t.window.setText3(QStringLiteral("KC8KD8KE8KF8KG8KA8TZ"));
        rig.c.pattern.SelectTimeSignature(1);
        QCOMPARE(view->picture().sheet().beatsPerBar, 3);
        QCOMPARE(view->picture().sheet().bars.size(), 2);
        rig.c.pattern.SelectTimeSignature(2);
        QCOMPARE(view->picture().sheet().bars.size(), 2);
        QCOMPARE(view->picture().sheet().bars[0].count, 4);
        rig.c.voices.selectTempo(0);
        QCOMPARE(view->picture().sheet().tempo, 60);
        rig.c.voices.selectKey(2);
        QCOMPARE(view->picture().header().key, QStringLiteral("1=D"));
    }

    // While the score plays, the note being played is marked; it goes when
    // playing ends.
    void playingNoteIsMarked()
    {
        MainWindowRig rig;
        QTest::mouseClick(rig.find<QPushButton>("JianPu"), Qt::LeftButton);
        NotationView *view = rig.form.notationWindow()->view();
        rig.t.window.setText3(QStringLiteral("YQ1KC8KD16KE8TZ"));
        rig.c.player.playClicked();
        QVERIFY(rig.c.player.ScorePlaying());
        QCOMPARE(view->playing(), std::make_pair(0, 1));
        for (int i = 0; i < 8; ++i)
            rig.c.player.onClockTick();
        QCOMPARE(view->playing(), std::make_pair(1, 3));  // KD: its digit and its dash
        for (int i = 0; i < 16; ++i)
            rig.c.player.onClockTick();
        QCOMPARE(view->playing(), std::make_pair(3, 4));
        for (int i = 0; i < 8; ++i)
            rig.c.player.onClockTick();
        QVERIFY(!rig.c.player.ScorePlaying());
        QTRY_COMPARE(view->playing(), std::make_pair(0, 0));
    }

    void savesPdfSvgAndPng()
    {
        MainWindowRig rig;
        QTest::mouseClick(rig.find<QPushButton>("JianPu"), Qt::LeftButton);
        NotationWindow *w = rig.form.notationWindow();
        rig.t.window.setText3(QStringLiteral("KC8KCKGKGKAKAKG16TZ"));
        QTemporaryDir dir;
        rig.t.dialogs.saveAnswers = {dir.filePath("a.pdf"), dir.filePath("a.svg"), dir.filePath("a.png"),
                                     dir.filePath("plain"), dir.filePath("a.txt"), QString()};
        for (int i = 0; i < 6; ++i)
            w->saveClicked();
        QVERIFY(fileBytes(dir.filePath("a.pdf")).startsWith("%PDF"));
        QVERIFY(fileBytes(dir.filePath("a.svg")).contains("<svg"));
        const QImage png(dir.filePath("a.png"));
        QCOMPARE(png.width(), int(2 * NotationExport::kPictureWidth));
        QVERIFY(fileBytes(dir.filePath("plain.pdf")).startsWith("%PDF"));  // no extension: PDF
        QVERIFY(!QFile::exists(dir.filePath("a.txt")));
        QCOMPARE(rig.t.dialogs.messages.size(), 1);
        QVERIFY(rig.t.dialogs.messages[0].contains(QStringLiteral(".pdf")));
        // The window keeps its own layout after saving at other widths.
        QCOMPARE(w->view()->picture().width(), qreal(qMax(w->view()->width(), 200)));
    }

    void commandLineDrawsPictures()
    {
        QTemporaryDir dir;
        const QString score = dir.filePath("小星星.txt");
        writeScore(score, "YQ1KC8KCKGKGKAKAKG16\r\nKF8KFKEKEKDKDKC16TZ\r\n");
        Run r = render({"--render", score, "-o", dir.filePath("x.pdf")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("4小节，4/4拍")), qPrintable(r.out + r.err));
        QVERIFY(fileBytes(dir.filePath("x.pdf")).startsWith("%PDF"));

        r = render({"--render", score, "-o", dir.filePath("x.png"), "--time", "2/4"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("8小节，2/4拍")));

        r = render({"--render", score, "-o", dir.filePath("y.svg"), "--time", "5/4"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(RenderCommand::usage()));
        QVERIFY(!QFile::exists(dir.filePath("y.svg")));

        r = render({"--render", dir.filePath("none.txt"), "-o", dir.filePath("y.svg")});
        QCOMPARE(r.status, 1);
        QVERIFY(!QFile::exists(dir.filePath("y.svg")));

        r = render({"--render", score, "-o", dir.filePath("no/such/folder/y.svg")});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("无法写入")));

        // Errors are drawn in red; the picture is written and the status says so.
        const QString bad = dir.filePath("bad.txt");
        writeScore(bad, "KC8kd8KE8TZ");
        r = render({"--render", bad, "-o", dir.filePath("bad.svg")});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(QStringLiteral("乐谱中出现错误，请修改！")));
        QVERIFY(r.err.contains(QStringLiteral("第4个字符")));
        QVERIFY(fileBytes(dir.filePath("bad.svg")).contains("#d01010"));

        QVERIFY(RenderCommand::wantsPicture({"dzq", "--render", "a.txt", "-o", "b.PDF"}));
        QVERIFY(!RenderCommand::wantsPicture({"dzq", "--render", "a.txt", "-o", "b.mid"}));
        QVERIFY(!RenderCommand::wantsPicture({"dzq", "--import", "a.txt", "-o", "b.png"}));
    }

    // The program draws without any display and without a platform chosen.
    void programDrawsWithoutADisplay()
    {
        QTemporaryDir dir;
        const QString score = dir.filePath("a.txt");
        writeScore(score, "KC8KCKGKGKAKAKG16TZ");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        for (const char *name : {"a.pdf", "a.svg", "a.png"}) {
            const ProgramRun r = runProgram({"--render", score, "-o", dir.filePath(name)}, env);
            QVERIFY2(r.status == 0, qPrintable(r.err));
            QVERIFY(QFile::exists(dir.filePath(name)));
        }
        const ProgramRun r = runProgram({"--render", score, "-o", dir.filePath("b.png"), "--time", "7/8"}, env);
        QCOMPARE(r.status, 1);
        QVERIFY(!QFile::exists(dir.filePath("b.png")));
    }

    // A long score fills several A4 pages; no row is cut between them.
    void longScoresTakeSeveralPages()
    {
        QTemporaryDir dir;
        const QString score = dir.filePath("long.txt");
        writeScore(score, QByteArray("KC4").repeated(1200) + "TZ");
        const Run r = render({"--render", score, "-o", dir.filePath("long.pdf")});
        QCOMPARE(r.status, 0);
        const QByteArray pdf = fileBytes(dir.filePath("long.pdf"));
        const int pages = int(pdf.count("/Type /Page\n")) + int(pdf.count("/Type /Page\r"))
                          + int(pdf.count("/Type /Page "));
        QVERIFY2(pages > 2, qPrintable(QString::number(pages)));
    }
};

DZQ_REGISTER_TEST(NotationWindowTest)

DZQ_GUI_TEST_MAIN()

#include "NotationWindowTest.moc"
