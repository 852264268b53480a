#pragma once

#include <QString>

// The record folder "演奏记录" that holds the user's scores, rhythm files and
// recordings: beside the program when it exists or can be made there and is
// writable, otherwise in the user's documents folder. Created when missing.
namespace RecordFolder {

constexpr const char *kName = "演奏记录";

// The folder to use; programDir is the folder of the executable and
// documentsDir the user's documents folder (both given for tests).
QString locate(const QString &programDir, const QString &documentsDir);
// The folder for this run of the program.
QString locateForProgram();

}  // namespace RecordFolder
