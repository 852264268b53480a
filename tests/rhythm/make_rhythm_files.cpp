// Writes the nine built-in rhythms as rhythm files, each under its own name,
// through the save routine itself: make_rhythm_files [folder]
#include "RhythmTests.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QString::fromUtf8(DZQ_SOURCE_DIR "/data/演奏记录");
    QDir().mkpath(folder);
    for (int n = 1; n <= RhythmPattern::kBuiltInCount; ++n) {
        RhythmRig rig;
        rig.applyBuiltIn(n);
        const QString path = QDir(folder).filePath(RhythmPattern::builtInRhythmFileName(n));
        if (!rig.files.SaveJZwj(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
