#pragma once

#include "practice/PracticeGrading.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// The practice record "练习记录.csv" in the record folder: one line per
// finished run, UTF-8 with a byte order mark so that a spreadsheet reads it.
//
// A line is added by writing the whole file anew beside the old one,
// flushing it to the disk and renaming it over the old one: the file is
// always either the old one or the old one with the new line, never a half
// line, whatever stops the program; and a file that cannot be read whole is
// never replaced.
namespace Practice::History {

QString fileName();  // "练习记录.csv"
QString header();    // the first line
// One line of the record (no line end); the date as "yyyy-MM-dd HH:mm:ss".
QString line(const QDateTime &when, const QString &score, const Result &result);

// Appends a line to the record in `folder`, creating the file with its
// header. False with the reason when it could not be written.
bool append(const QString &folder, const QString &line, QString *reason);

// The accuracy of every run of `score` the record holds, oldest first.
QVector<double> accuracies(const QString &folder, const QString &score);

// The fields of a CSV line (quotes as a spreadsheet writes them).
QStringList fields(const QString &line);

}  // namespace Practice::History
