#pragma once

#include <QString>

class EditorModel;

// Turns a score text into an edit: its notes, rests and end mark go into
// melody rows 0 and 1 step by step (a duration unit is an eighth, a step a
// quarter of a beat), commands and unknown pairs are skipped.
namespace ScoreImport {

constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

QString filter();  // "编辑记录txt|*.txt"

// A score file's text with every line end dropped. False with a reason.
bool readText(const QString &path, QString *text, QString *error);
// Why a file is no score at all (a MIDI song, whose bytes would import as
// an empty edit); empty for anything that may be a score.
QString refusal(const QString &path);

struct Scan {
    int steps = 0;      // the import step at the end
    bool cut = false;   // a token fell beyond the last measure the tables hold
};

// YUEPUSB: scans importText from its start into the cells of rows 0 and 1,
// using and updating model.ImportDuration; sets MeasureTotal (never beyond
// the last usable measure) and CurrentMeasure 0.
Scan YUEPUSB(const QString &importText, EditorModel &model);
// DrYpsb: empty cells of rows 0 and 1 become "--"; the melody row texts of
// measures 0..MeasureTotal are joined from their cells.
void DrYpsb(EditorModel &model);

// "乐谱太长..." for a cut import.
QString cutMessage(const EditorModel &model);

}  // namespace ScoreImport
