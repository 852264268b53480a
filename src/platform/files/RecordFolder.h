#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The record folder "演奏记录" that holds the user's scores, rhythm files and
// recordings: beside the program when it exists or can be made there and is
// writable, otherwise in the user's documents folder. Created when missing.
// An installed program (its shipped files in PREFIX/share/dzq/演奏记录) makes
// no folder beside itself: it uses the documents folder, which receives the
// shipped files once.
namespace RecordFolder {

constexpr const char *kName = "演奏记录";

// The folder to use; programDir is the folder of the executable and
// documentsDir the user's documents folder (both given for tests);
// installedDir the shipped files of an installation, when there is one.
QString locate(const QString &programDir, const QString &documentsDir, const QString &installedDir = QString());
// Where an installation keeps the shipped files, relative to the program's folder.
QString installedDirFor(const QString &programDir);
// The folder for this run of the program.
QString locateForProgram();

// A free name "<prefix>-yyyyMMdd-hhmmss.<suffix>" in `folder` for work the
// program keeps on the user's behalf ("-2", "-3" … added when taken).
QString keptName(const QString &folder, const QString &prefix, const QString &suffix, const QDateTime &when);
// Writes work that was never saved (a score, an edit) under such a name in
// `folder`; the path, or empty with a Chinese reason.
QString keepWork(const QString &folder, const QString &prefix, const QString &suffix, const QByteArray &bytes,
                 QString *error);

}  // namespace RecordFolder
