#include "RhythmTests.h"

#include <QDir>
#include <QTest>

// The rhythm files installed with the program are the nine built-in rhythms,
// each exactly as the save button writes it under its own name.
void ShippedRhythmFilesTest::shippedFilesAreWhatSaveWrites()
{
    const QDir shipped(QString::fromUtf8(DZQ_SOURCE_DIR "/data/演奏记录"));
    QStringList names;
    for (int n = 1; n <= 9; ++n)
        names << RhythmPattern::builtInRhythmFileName(n);
    QStringList sorted = names;
    sorted.sort(Qt::CaseInsensitive);
    QCOMPARE(shipped.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name | QDir::IgnoreCase), sorted);

    for (int n = 1; n <= 9; ++n) {
        RhythmRig rig;
        rig.applyBuiltIn(n);
        const QString written = rig.t.path(names[n - 1]);
        QVERIFY(rig.files.SaveJZwj(written));
        QCOMPARE(fileBytes(shipped.filePath(names[n - 1])), fileBytes(written));
    }

    // A new user's start-up loads the first of them.
    RhythmRig rig;
    rig.t.ctx.recordFolder = shipped.path();
    rig.files.openAtStartUp();
    QCOMPARE(rig.files.Label11(), QString("1-24.bin"));
    QCOMPARE(rig.pattern.composeRhythmText("1-24.bin"), savedText(1));
    QVERIFY(rig.t.dialogs.messages.isEmpty());
}
