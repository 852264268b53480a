#include "TestMain.h"

#include "headless/EditorRender.h"
#include "headless/ScoreRender.h"
#include "platform/dialogs/UserDialogs.h"
#include "rhythm/RhythmPattern.h"
#include "score/ScorePlayer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Records what it is told.
struct NoticeList : Notifier {
    QStringList texts;
    void message(const QString &text, const QString &) override { texts << text; }
};

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

}  // namespace

// What a render or an editor run tells its caller, and what it keeps back.
class HeadlessRunsTest : public QObject {
    Q_OBJECT
private slots:
    void scoreRenderPassesMessagesOnButReturnsTheScoreError()
    {
        QTemporaryDir dir;
        QVERIFY(!writeFile(dir, QStringLiteral("a.bin"), "x").isEmpty());  // too short to be a rhythm
        NoticeList notices;
        const ScoreRender::Performance p =
            ScoreRender::play(QStringLiteral("JP10KC8ZZ5"), dir.path(), notices, 60LL * 1000 * 1000 * 1000);
        QCOMPARE(p.ending, ScoreRender::Ending::Error);
        QCOMPARE(p.errorToken, QStringLiteral("ZZ"));
        QVERIFY(notices.texts.contains(RhythmPattern::openErrorText()));
        for (const QString &text : notices.texts)
            QVERIFY2(!text.startsWith(ScorePlayer::errorMessage()), qPrintable(text));
    }

    void editorImportReportsWhatItSaid()
    {
        QTemporaryDir dir;
        const QString edit = dir.filePath(QStringLiteral("out.lnk"));
        QString error, notice;

        // An unreadable score: its message is the error, nothing is written.
        QVERIFY(!EditorRender::importScore(dir.filePath(QStringLiteral("missing.txt")), edit, 0, &error, &notice));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(edit));

        // A score cut at 100 measures: written, and the cut is the notice.
        const QByteArray longScore = "KC32" + QByteArray("KD").repeated(100) + "TZ";
        const QString score = writeFile(dir, QStringLiteral("long.txt"), longScore);
        error.clear();
        QVERIFY2(EditorRender::importScore(score, edit, 0, &error, &notice), qPrintable(error));
        QVERIFY(error.isEmpty());
        QVERIFY(notice.contains(QStringLiteral("只导入了前100个小节")));
        QVERIFY(QFile::exists(edit));

        // A short one has nothing to say.
        const QString shortScore = writeFile(dir, QStringLiteral("short.txt"), "KC8KD8TZ");
        QVERIFY(EditorRender::importScore(shortScore, edit, 0, &error, &notice));
        QVERIFY(notice.isEmpty());

        // An edit file that cannot be written: only the saving's message.
        const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/out.lnk"));
        QVERIFY(!EditorRender::importScore(score, nowhere, 0, &error, &notice));
        QVERIFY(error.startsWith(QStringLiteral("保存编辑文件")));
        QVERIFY(!error.contains(QStringLiteral("只导入了前100个小节")));
    }

    void editorPlayKeepsOpeningErrorsFromTheNotices()
    {
        QTemporaryDir dir;
        NoticeList notices;
        ScoreRender::Performance p;
        QString error;
        QVERIFY(!EditorRender::play(dir.filePath(QStringLiteral("missing.lnk")), notices, &p, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(notices.texts.isEmpty());
        QVERIFY(p.messages.isEmpty());
    }
};

DZQ_REGISTER_TEST(HeadlessRunsTest)

#include "HeadlessRunsTest.moc"
